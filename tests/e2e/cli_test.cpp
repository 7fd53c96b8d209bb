// The command line and one conversion: messages and exit codes, options, where the
// source is found and the output goes, the template beside the real program, and output
// that is complete or not there at all, even when the conversion is interrupted.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "cli_support.h"

using namespace clitest;

namespace fs = std::filesystem;

TEST(Cli, MessagesAndExitCodesForEveryKindOfCommandLine) {
  TempDir dir;
  for (const auto& [name, text] : {std::pair{"a.lwo", kJunk}, {"lw.cfg", std::string("LWCO\r\n0\r\nContentDirectory /c\r\n")},
                                   {"bad.cfg", std::string("LWCO \n0\n")}})
    writeFile(dir / name, text);
  for (const char* name : {"tri.lwo", "scene.lwx", "scene.lws.bak"}) writeFile(dir / name, triangle());
  const std::string from = kAscii + "Convert From: " + real(dir.path()) + "/a.lwo\nConvert To: ";
  const std::string prefix(79, 'p');
  const std::string longPath(1024, 'c');
  const std::string notOpened = kAscii + "could not open: none.lwo\nerror occured.\n";
  const std::string unsupported = kAscii + "unsupported source file 'scene.lw";
  enum Match { kExact, kStart, kEnd };
  const struct {
    std::vector<std::string> args;
    int exitCode;
    Match match;
    std::string out;  // after the banner for kExact and kStart
    std::string input = "";
  } rows[] = {
      {{}, 1, kExact, kUsage}, {{"-b"}, 1, kExact, kUsage}, {{"a.lwo", "out", "extra"}, 1, kExact, kUsage},
      {{"-x", "-b", "-y", "-", "-Nq", "a.lwo"}, 1, kExact, "Invalid option: -x\nInvalid option: -y\nInvalid option: -\n" + kUsage},
      {{"-b", "-C"}, 1, kExact, "Option -C needs a value.\n" + kUsage}, {{"-b", "-f"}, 1, kExact, "Option -f needs a value.\n" + kUsage},
      {{"-f", "a.lwo"}, 1, kExact, kUsage},  // the value is taken whatever it looks like
      {{"-P", "-z"}, 1, kExact, "Invalid option: -z\n" + kUsage + "- Hit return key -\n", "\n"},
      // Options end at the first positional argument; the last of -t and -b wins.
      {{"a.lwo", "-C"}, 1, kStart, from + "-C.X\n"}, {{"a.lwo", "-b"}, 1, kStart, from + "-b.X\n"},
      {{"-b", "-t", "a.lwo"}, 1, kStart, from + "a.X\n"}, {{"-t", "-b", "a.lwo"}, 1, kStart, kBinary},
      {{"a.lwo", "--help"}, 1, kStart, from + "--help.X\n"},
      // --help and --version end the options and convert nothing; other long forms stay invalid.
      {{"--help"}, 0, kExact, kUsage}, {{"-b", "--version", "a.lwo", "out", "extra"}, 0, kExact, ""},
      {{"-P", "--help", "a.lwo"}, 0, kExact, kUsage + "- Hit return key -\n", "\n"},
      {{"-x", "--version"}, 1, kExact, "Invalid option: -x\n" + kUsage},
      {{"--verbose", "a.lwo"}, 1, kExact, "Invalid option: --\n" + kUsage},
      {{"-F", "a.lwo"}, 1, kStart, kAscii + "Texture Coordinates: Flip Vertically\nC"},
      {{"-f" + prefix, "tri.lwo"}, 0, kStart, kAscii},
      {{"-f" + prefix + "p", "a.lwo", "b.lwo"}, 1, kExact, "The frame name prefix '" + prefix + "p' is too long (at most 79 characters).\n"},
      {{"-Clw.cfg", "none.lwo"}, 1, kExact, "Content directory: /c\n" + notOpened},
      // A missing or invalid configuration stops without the pause.
      {{"-P", "-Cnone.cfg", "a.lwo"}, 1, kExact, "LightWave CFG 'none.cfg' not found!\n"},
      {{"-P", "-C", "bad.cfg", "a.lwo"}, 1, kExact, "LightWave CFG 'bad.cfg' invalid!\n"},
      {{"-C" + longPath, "a.lwo"}, 1, kExact, "The lw.cfg path is too long (at most 1023 characters).\n"},
      {{"a.lwo", longPath}, 1, kExact, "The destination is too long (at most 1023 characters).\n"},
      {{longPath}, 1, kExact, "The source path is too long (at most 1023 characters).\n"},
      // 1023 characters still fit: this one fails only because the directory is missing.
      {{"a.lwo", "x/" + std::string(1021, 'd')}, 1, kExact, "can't locate destination directory 'x/.'.\n"},
      {{"-P", "tri.lwo", dir / "nodir/out.lws"}, 1, kExact, "can't locate destination directory '" + dir.path() + "/nodir/.'.\n", "\n"},
      {{"tri.lwo", "nodir/"}, 1, kExact, "can't locate destination directory 'nodir/.'.\n"},
      // A destination where not even a temporary file can be made.
      {{"tri.lwo", "/proc/"}, 1, kExact, kAscii + "Convert From: " + real(dir.path()) + "/tri.lwo\nConvert To: /proc/tri.X\ncould not create: /proc/tri.X\nerror occured.\n"},
      {{"-P", "a.lwo"}, 1, kEnd, "error occured.\n- Hit return key -\n", "\n"}, {{"-P", "tri.lwo"}, 0, kEnd, "- Hit return key -\n", "\n"},
      {{"-P", "tri.lwo"}, 0, kEnd, ""},  // no input at all must not hang the pause
      // Only names ending in .lws or .lwo, in any letter case.
      {{"scene.lwx"}, 1, kStart, unsupported + "x': the name must end in .lws or .lwo\nerror occured.\n"},
      {{"scene.lws.bak"}, 1, kStart, unsupported + "s.bak': "}};
  for (const auto& row : rows) {
    std::string label;
    for (const auto& a : row.args) label += a.substr(0, 30) + " ";
    const auto r = torvoCommand(row.args, dir.path(), row.input);
    EXPECT_EQ(r.exitCode, row.exitCode) << label << r.out;
    const std::string expected = row.match == kEnd ? row.out : kBanner + row.out;
    const std::size_t at = row.match == kEnd ? r.out.size() - std::min(r.out.size(), expected.size()) : 0;
    EXPECT_EQ(r.out.substr(at, row.match == kExact ? std::string::npos : expected.size()), expected) << label;
  }
  // Only the runs that succeeded wrote anything.
  EXPECT_EQ(listDir(dir.path()), (Names{"a.lwo", "bad.cfg", "lw.cfg", "scene.lws.bak", "scene.lwx", "tri.X", "tri.lwo"}));
  // An output path of 1024 characters is one too many; 1023 still fit.
  std::string parent = dir.path();
  while (parent.size() < 800) parent += "/" + std::string(200, 'd');
  const std::string fits = parent + "/" + std::string(1016 - parent.size(), 'e');
  const std::string tooLong = fits + "e";
  testsupport::makeDir(fits);
  testsupport::makeDir(tooLong);
  EXPECT_EQ(torvoCommand({"tri.lwo", fits}, dir.path()).exitCode, 0);
  EXPECT_TRUE(testsupport::fileExists(fits + "/tri.X"));
  const auto t = torvoCommand({"tri.lwo", tooLong}, dir.path());
  EXPECT_EQ(t.exitCode, 1);
  EXPECT_TRUE(contains(t.out, "output path too long: " + tooLong + "/tri.X\n")) << t.out;
  EXPECT_TRUE(listDir(tooLong).empty());
  // The current directory must fit the path field too.
  std::string deep = dir.path();
  while (deep.size() < 1100) deep += "/" + std::string(200, 'd');
  testsupport::makeDir(deep);
  writeFile(deep + "/a.lwo", triangle());
  const auto r = torvoCommand({"a.lwo"}, deep);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, kBanner + "The current directory cannot be read or is longer than 1023 characters.\n");
  EXPECT_EQ(listDir(deep), Names{"a.lwo"});
}

// Where the source is found (as given, in the content directory, in its Scenes folder) and where the output goes.
TEST(Cli, SourceAndOutputPlaces) {
  TempDir dir;
  const std::string start = dir / "start";
  const std::string content = dir / "content";
  for (const std::string d : {"start/out", "start/sub", "content/Scenes", "content/Objects", "Objects", "work"}) testsupport::makeDir(dir / d);
  writeFile(start + "/lw.cfg", "LWCO\n0\nContentDirectory " + content + "\nScenesDirectory Scenes\n");
  for (const std::string& path : {start + "/a.lwo", start + "/sub/a.lwo", content + "/a.lwo", content + "/b.lwo", content + "/Scenes/b.lwo",
                                  content + "/Scenes/c.lwo", dir / "Objects/Tri.lwo", content + "/Objects/tri.lwo"})
    writeFile(path, triangle());
  writeFile(content + "/Scenes/s.lws", LwscBuilder(0, 10).loadObject("Objects\\tri.lwo", {key(0, 0, 0, 0), key(10, 1, 0, 0)}).text());
  writeFile(dir / "MODEL.LWS", triangle());  // the content decides the kind
  const std::string out = real(start + "/out");
  const std::string s = real(start);
  const struct {
    std::vector<std::string> args;
    std::string cwd, source, convertTo, file;
  } rows[] = {
      {{"-Clw.cfg", "a.lwo"}, start, s + "/a.lwo", "a.X", "a.X"},
      {{"-Clw.cfg", "b.lwo"}, start, content + "/b.lwo", "b.X", "b.X"},
      {{"-C", "lw.cfg", "c.lwo"}, start, content + "/Scenes/c.lwo", "c.X", "c.X"},
      {{"-s", "-Clw.cfg", "c.lwo"}, start, content + "/Scenes/c.lwo", content + "/Scenes/c.X", "../content/Scenes/c.X"},
      {{"a.lwo", dir / "start/out"}, start, "", out + "/a.X", "out/a.X"},
      {{"a.lwo", "out"}, start, "", out + "/a.X", "out/a.X"}, {{"a.lwo", "out\\"}, start, "", out + "/a.X", "out/a.X"},
      {{"-b", "a.lwo", dir / "start/out/model.lwo"}, start, "", out + "/model.X", "out/model.X"},
      {{"a.lwo", "model.x"}, start, "", "model.X", "model.X"},  // a bare output name lands in the start directory
      // -s puts the output beside the source unless a destination directory is given.
      {{"-s", "sub/a.lwo"}, start, "", s + "/sub/a.X", "sub/a.X"}, {{"-s", "sub/a.lwo", "b.lwo"}, start, "", s + "/sub/b.X", "sub/b.X"},
      {{"-s", "sub/a.lwo", "out/"}, start, "", out + "/a.X", "out/a.X"},
      // Backslashes and any letter case; a path going up is not joined to anything.
      {{"objects\\TRI.LWO"}, dir.path(), "", "TRI.X", "../TRI.X"}, {{"../Objects/Tri.lwo", "out.x"}, dir / "work", "../Objects/Tri.lwo", "out.X", "../work/out.X"},
      {{"MODEL.LWS"}, dir.path(), "", "MODEL.X", "../MODEL.X"},
      {{"-C", "lw.cfg", "-b", "s.lws", "out/"}, start, content + "/Scenes/s.lws", out + "/s.X", "out/s.X"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args.back());
    const auto r = torvoCommand(row.args, row.cwd);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(contains(r.out, (row.source.empty() ? "" : "Convert From: " + row.source + "\n") + "Convert To: " + row.convertTo + "\n")) << r.out;
    EXPECT_TRUE(contains(r.out, row.source == content + "/Scenes/s.lws" ? "\nwriting a scene to X...\n" : "\nwriting a mesh to X...\n")) << r.out;
    EXPECT_EQ(readFile(start + "/" + row.file).substr(0, 11), std::count(row.args.begin(), row.args.end(), "-b") ? "xof 0302bin" : "xof 0302txt");
    std::remove((start + "/" + row.file).c_str());
    EXPECT_TRUE(listDir(out).empty());
  }
  EXPECT_EQ(listDir(start), (Names{"a.lwo", "lw.cfg", "out", "sub"}));
  // Not found anywhere.
  const auto d = torvoCommand({"-Clw.cfg", "d.lwo"}, start);
  EXPECT_EQ(d.exitCode, 1);
  EXPECT_EQ(d.out, kBanner + "Content directory: " + content + "\n" + kAscii + "could not open: d.lwo\nerror occured.\n");
}

// A relative source resolves where the command was started, whether it starts with a dot
// or not, with or without a destination; -s puts the output beside it.
TEST(Cli, RelativeSourcesResolveWhereTheCommandStarted) {
  TempDir dir;
  const std::string w = real(dir.path()) + "/work";
  const std::string m = real(dir.path()) + "/models";
  for (const char* d : {"work/out", "work/sub", "work/.hidden", "models"}) testsupport::makeDir(dir / d);
  for (const char* f : {"work/x.lwo", "work/.hidden/x.lwo", "models/x.lwo"}) writeFile(dir / f, triangle());
  writeFile(dir / "work/out/x.lwo", kJunk);  // where a dotted name was once looked for
  const struct {
    std::string arg, from, beside;  // beside: where -s writes without a destination
  } rows[] = {{"x.lwo", w + "/x.lwo", w + "/"}, {"./x.lwo", "./x.lwo", "./"}, {"../models/x.lwo", "../models/x.lwo", "../models/"},
              {m + "/x.lwo", m + "/x.lwo", m + "/"},
              {".hidden/x.lwo", ".hidden/x.lwo", ".hidden/"}};
  for (const auto& row : rows)
    for (const bool beside : {false, true})
      for (const bool destination : {false, true}) {
        SCOPED_TRACE(testing::Message() << row.arg << (beside ? " -s" : "") << (destination ? " out/" : ""));
        std::vector<std::string> args = {row.arg};
        if (beside) args.insert(args.begin(), "-s");
        if (destination) args.push_back("out/");
        const std::string to = destination ? w + "/out/x.X" : beside ? row.beside + "x.X" : "x.X";
        const auto r = torvoCommand(args, w);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_TRUE(contains(r.out, "Convert From: " + row.from + "\nConvert To: " + to + "\n")) << r.out;
        std::string file = to[0] == '/' ? to : w + "/" + to;
        std::replace(file.begin(), file.end(), '\\', '/');
        EXPECT_EQ(readFile(file).substr(0, 11), "xof 0302txt");
        std::remove(file.c_str());
      }
  EXPECT_EQ(listDir(w), (Names{".hidden", "out", "sub", "x.lwo"}));
  EXPECT_EQ(listDir(w + "/out"), Names{"x.lwo"});
}

// A companion .lwoo is read after its object; a failed read or write keeps the old output and leaves no temporary.
TEST(Cli, FailuresKeepAnExistingFileAndLeaveNoTemporary) {
  TempDir dir;
  writeFile(dir / "car.lwo", triangle());
  writeFile(dir / "car.lwoo", triangle());
  const auto r = torvoCommand({"-b", "car.lwo"}, dir.path());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(inOrder(r.out, {"reading car.lwo :", "\nreading lwoo file :", "\nwriting a mesh to X...\n"})) << r.out;
  const std::string old = "an older X that must survive\n";
  for (const char* name : {"car.lwoo", "a.lwo"}) writeFile(dir / name, kJunk);
  for (const char* name : {"car.X", "a.X"}) writeFile(dir / name, old);
  const Names all = {"a.X", "a.lwo", "car.X", "car.lwo", "car.lwoo"};
  for (const std::string source : {"a.lwo", "car.lwo"}) {
    SCOPED_TRACE(source);
    const auto bad = torvoCommand({"-b", source}, dir.path());
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(contains(bad.out, "error occured.\n")) << bad.out;
    EXPECT_FALSE(contains(bad.out, "writing a mesh")) << bad.out;
    EXPECT_EQ(readFile(dir / (source.substr(0, source.size() - 3) + "X")), old);
  }
  // A file size limit of zero makes every write fail (the signal it raises is ignored).
  writeFile(dir / "a.lwo", triangle());
  const auto full = testsupport::run("/bin/sh", {"-c", "trap '' XFSZ; ulimit -f 0; exec \"$0\" -b a.lwo", TORVO_EXE}, dir.path());
  EXPECT_EQ(full.exitCode, 1);
  EXPECT_TRUE(contains(full.out, "could not write: a.X\nerror occured.\n")) << full.out;
  EXPECT_EQ(readFile(dir / "a.X"), old);
  EXPECT_EQ(listDir(dir.path()), all);
  EXPECT_EQ(torvoCommand({"a.lwo"}, dir.path()).exitCode, 0);
  EXPECT_EQ(readFile(dir / "a.X").substr(0, 16), "xof 0302txt 0032");
  // A directory taking the output name stays.
  std::remove((dir / "a.X").c_str());
  testsupport::makeDir(dir / "a.X");
  const auto taken = torvoCommand({"a.lwo"}, dir.path());
  EXPECT_EQ(taken.exitCode, 1);
  EXPECT_TRUE(contains(taken.out, "could not write: a.X\nerror occured.\n")) << taken.out;
  EXPECT_EQ(listDir(dir.path()), all);
}

TEST(Cli, TemplateBesideTheRealProgramCutToWhatTheOutputUses) {
  TempDir dir;
  for (const char* d : {"bin", "copy", "work"}) testsupport::makeDir(dir / d);
  fs::create_symlink(TORVO_EXE, dir / "bin/torvo");
  fs::copy_file(TORVO_EXE, dir / "copy/torvo");
  writeFile(dir / "box.lwo", triangle());
  writeFile(dir / "scene.lws", LwscBuilder().loadObject("box.lwo", {key(0, 0, 0, 0), key(30, 1, 0, 0)}).text());
  // Found through a link and through PATH; a copy without the template fails in text but not in binary.
  const auto viaLink = testsupport::run(dir / "bin/torvo", {"box.lwo", "work/link.x"}, dir.path());
  EXPECT_EQ(viaLink.exitCode, 0);
  EXPECT_TRUE(contains(viaLink.out, "writing template...\n")) << viaLink.out;
  EXPECT_EQ(testsupport::run("/bin/sh", {"-c", "PATH=\"$0\" exec torvo box.lwo work/path.x", dir / "bin"}, dir.path()).exitCode, 0);
  for (const char* source : {"box.lwo", "scene.lws"}) {
    const auto text = testsupport::run(dir / "copy/torvo", {source}, dir.path());
    EXPECT_EQ(text.exitCode, 1) << source;
    EXPECT_TRUE(contains(text.out, "template file " + real(dir / "copy") + "/TORVOtpl.x not found!\n")) << text.out;
  }
  EXPECT_EQ(testsupport::run(dir / "copy/torvo", {"-b", "box.lwo", "work/"}, dir.path()).exitCode, 0);
  EXPECT_EQ(listDir(dir / "work"), (Names{"box.X", "link.X", "path.X"}));
  EXPECT_EQ(listDir(dir.path()), (Names{"bin", "box.lwo", "copy", "scene.lws", "work"}));
  // Every output starts with the signature and Header; text files carry the template up to the first line naming what they do not use.
  const std::string binaryStart = std::string("xof 0302bin 0032\1\0\6\0\0\0Header\x0a\0\6\0\3\0\0\0\1\0\0\0\0\0\0\0\0\0\0\0\x0b\0", 50);
  const std::string header = "Header {\n 1;\n 0;\n 1;\n}\n\n";
  std::string whole = readFile(std::string(TORVO_BINARY_DIR) + "/TORVOtpl.x");
  whole.resize(whole.find("// Written only into files that use them"));  // the templates every file may carry
  ASSERT_EQ(whole.rfind("xof 0302txt 0032\n", 0), 0u);
  const std::pair<std::vector<std::string>, const char*> rows[] = {
      {{"-b", "box.lwo"}, ""}, {{"-b", "scene.lws"}, ""}, {{"box.lwo"}, "FrameTransformMatrix"}, {{"-T", "box.lwo"}, "FloatKeys"},
      {{"-M", "-T", "box.lwo"}, "FrameTransformMatrix"}, {{"scene.lws"}, nullptr}, {{"-A", "scene.lws"}, "FloatKeys"},
      {{"-M", "scene.lws"}, "FrameTransformMatrix"}};
  for (const auto& [args, marker] : rows) {
    SCOPED_TRACE(args[0] + " " + args[1 % args.size()]);
    const auto r = torvoCommand(args, dir.path());
    ASSERT_EQ(r.exitCode, 0);
    const std::string x = readFile(dir / (args.back().substr(0, args.back().find('.')) + ".X"));
    const bool binary = marker != nullptr && *marker == '\0';
    EXPECT_EQ(contains(r.out, "writing template...\n"), !binary);
    if (binary) {
      EXPECT_EQ(x.substr(0, binaryStart.size()), binaryStart);
      continue;
    }
    const std::string used = marker == nullptr ? whole : whole.substr(0, whole.rfind('\n', whole.find(marker)) + 1);
    EXPECT_EQ(x.substr(0, x.find(header) + header.size()), used + header);
  }
}

namespace {

// Starts torvo with default signal handling whatever the test runner set up, its output discarded.
pid_t spawn(const std::vector<std::string>& args, const std::string& cwd) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) signal(sig, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  if (chdir(cwd.c_str()) != 0 || freopen("/dev/null", "w", stdout) == nullptr) _exit(127);
  std::vector<char*> argv = {const_cast<char*>(TORVO_EXE)};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(TORVO_EXE, argv.data());
  _exit(127);
}

long temporaryFiles(const std::string& dir) {
  const Names names = listDir(dir);
  return std::count_if(names.begin(), names.end(), [](const std::string& n) { return contains(n, ".tmp-"); });
}

}  // namespace

// The texture is a named pipe that never delivers, so the conversion is caught with
// both its .X and its .PPM half written, whatever the machine's speed.
TEST(Concurrency, InterruptedConversionRemovesItsTemporaryFiles) {
  TempDir dir;
  testsupport::makeDir(dir / "Images");
  testsupport::makeDir(dir / "out");
  ASSERT_EQ(mkfifo((dir / "Images/held.tga").c_str(), 0600), 0);
  writeFile(dir / "tex.lwo", mappedObject("Images\\held.tga"));
  writeFile(dir / "lw.cfg", "LWCO\n0\nContentDirectory " + dir.path() + "\n");
  for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    SCOPED_TRACE(sig);
    writeFile(dir / "out/tex.X", std::string("previous contents\n"));
    const pid_t pid = spawn({"-C", dir / "lw.cfg", "tex.lwo", dir / "out/"}, dir.path());
    const int pipe = open((dir / "Images/held.tga").c_str(), O_RDWR);  // does not wait for the other end
    ASSERT_GE(pipe, 0);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (temporaryFiles(dir / "out") < 2 && std::chrono::steady_clock::now() < limit) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(temporaryFiles(dir / "out"), 2);
    kill(pid, sig);
    int status = 0;
    pid_t ended = 0;
    while ((ended = waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < limit + std::chrono::seconds(30))
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (ended == 0) {
      ADD_FAILURE() << "still running";
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
    }
    close(pipe);
    // Ended by the signal itself, as it would have without the clean-up.
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), sig);
    EXPECT_EQ(listDir(dir / "out"), Names{"tex.X"});
    EXPECT_EQ(readFile(dir / "out/tex.X"), "previous contents\n");
  }
}
