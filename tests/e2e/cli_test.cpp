// The command line: banner, usage, options, configuration file, destinations, pause.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "cli_support.h"

using namespace clitest;
using testsupport::TempDir;

TEST(Cli, MessagesForEveryKindOfCommandLine) {
  TempDir dir;
  writeFile(dir / "a.lwo", kJunk);
  writeFile(dir / "tri.lwo", triangle());
  writeFile(dir / "lw.cfg", "LWCO\r\n0\r\nContentDirectory /content/dir\r\n");
  writeFile(dir / "empty.cfg", "");
  writeFile(dir / "bad.cfg", "LWCO \n0\n");
  const std::string from = kAscii + "Convert From: " + real(dir.path()) + "/a.lwo\nConvert To: ";
  const std::string prefix(79, 'p'), longPath(1024, 'c');
  enum Match { kExact, kStart, kEnd };
  struct Row {
    std::vector<std::string> args;
    int exitCode;
    Match match;
    std::string out;  // after the banner for kExact and kStart
    std::string input = "";
  };
  const Row rows[] = {
      {{}, 1, kExact, kUsage},
      {{"-x", "-b", "-y", "-", "-Nq", "a.lwo"}, 1, kExact,
       "Invalid option: -x\nInvalid option: -y\nInvalid option: -\n" + kUsage},
      {{"-b"}, 1, kExact, kUsage},
      {{"a.lwo", "out", "extra"}, 1, kExact, kUsage},
      {{"-b", "-C"}, 1, kExact, "Option -C needs a value.\n" + kUsage},
      {{"-b", "-f"}, 1, kExact, "Option -f needs a value.\n" + kUsage},
      {{"-f", "a.lwo"}, 1, kExact, kUsage},  // the value is taken whatever it looks like
      {{"-P", "-z"}, 1, kExact, "Invalid option: -z\n" + kUsage + "- Hit return key -\n", "\n"},
      // --help and --version end the options and convert nothing; other long forms stay invalid.
      {{"--help"}, 0, kExact, kUsage},
      {{"-b", "--version", "a.lwo", "out", "extra"}, 0, kExact, ""},
      {{"-P", "--help", "a.lwo"}, 0, kExact, kUsage + "- Hit return key -\n", "\n"},
      {{"-x", "--version"}, 1, kExact, "Invalid option: -x\n" + kUsage},
      {{"--verbose", "a.lwo"}, 1, kExact, "Invalid option: --\n" + kUsage},
      // Options end at the first positional argument.
      {{"a.lwo", "-C"}, 1, kStart, from + "-C.X\n"},
      {{"a.lwo", "-b"}, 1, kStart, from + "-b.X\n"},
      {{"a.lwo", "--help"}, 1, kStart, from + "--help.X\n"},
      {{"-b", "-t", "a.lwo"}, 1, kStart, from + "a.X\n"},
      {{"-t", "-b", "a.lwo"}, 1, kStart, kBinary},
      {{"-F", "a.lwo"}, 1, kStart, kAscii + "Texture Coordinates: Flip Vertically\nC"},
      {{"-f" + prefix, "tri.lwo"}, 0, kStart, kAscii},
      {{"-f", prefix, "tri.lwo"}, 0, kStart, kAscii},
      {{"-f" + prefix + "p", "a.lwo", "b.lwo"}, 1, kExact,
       "The frame name prefix '" + prefix + "p' is too long (at most 79 characters).\n"},
      {{"-Clw.cfg", "none.lwo"}, 1, kExact,
       "Content directory: /content/dir\n" + kAscii + "could not open: none.lwo\nerror occured.\n"},
      {{"-C", "lw.cfg", "none.lwo"}, 1, kExact,
       "Content directory: /content/dir\n" + kAscii + "could not open: none.lwo\nerror occured.\n"},
      {{"-Cempty.cfg", "none.lwo"}, 1, kExact,
       "Content directory: \n" + kAscii + "could not open: none.lwo\nerror occured.\n"},
      // A missing or invalid configuration stops without the pause.
      {{"-P", "-Cnone.cfg", "a.lwo"}, 1, kExact, "LightWave CFG 'none.cfg' not found!\n"},
      {{"-P", "-C", "bad.cfg", "a.lwo"}, 1, kExact, "LightWave CFG 'bad.cfg' invalid!\n"},
      {{"-C" + longPath, "a.lwo"}, 1, kExact, "The lw.cfg path is too long (at most 1023 characters).\n"},
      {{"a.lwo", longPath}, 1, kExact, "The destination is too long (at most 1023 characters).\n"},
      // 1023 characters still fit: this one fails only because the directory is missing.
      {{"a.lwo", "x/" + std::string(1021, 'd')}, 1, kExact, "can't locate destination directory 'x/.'.\n"},
      {{"-P", "tri.lwo", dir / "nodir/out.lws"}, 1, kExact,
       "can't locate destination directory '" + dir.path() + "/nodir/.'.\n", "\n"},
      {{"tri.lwo", "nodir/"}, 1, kExact, "can't locate destination directory 'nodir/.'.\n"},
      {{"-P", "a.lwo"}, 1, kEnd, "error occured.\n- Hit return key -\n", "\n"},
      {{"-P", "tri.lwo"}, 0, kEnd, "- Hit return key -\n", "\n"},
      {{"-P", "tri.lwo"}, 0, kEnd, ""},  // no input at all must not hang the pause
  };
  for (const Row& row : rows) {
    std::string label;
    for (const auto& a : row.args) label += a.substr(0, 30) + " ";
    SCOPED_TRACE(label);
    const auto r = torvo(row.args, dir.path(), row.input);
    EXPECT_EQ(r.exitCode, row.exitCode) << r.out;
    const std::string expected = row.match == kEnd ? row.out : kBanner + row.out;
    const std::size_t from = row.match == kEnd ? r.out.size() - std::min(r.out.size(), expected.size()) : 0;
    EXPECT_EQ(r.out.substr(from, row.match == kExact ? std::string::npos : expected.size()), expected);
  }
  // Only the runs that succeeded wrote anything.
  EXPECT_EQ(testsupport::listDir(dir.path()),
            (std::vector<std::string>{"a.lwo", "bad.cfg", "empty.cfg", "lw.cfg", "tri.X", "tri.lwo"}));
}

TEST(Cli, DestinationDirectoryAndOutputName) {
  TempDir dir;
  testsupport::makeDir(dir / "out");
  testsupport::makeDir(dir / "sub");
  writeFile(dir / "a.lwo", triangle());
  writeFile(dir / "sub/a.lwo", triangle());
  const std::string out = real(dir / "out"), start = real(dir.path());
  struct Row {
    std::vector<std::string> args;
    std::string convertTo, file;
  };
  const Row rows[] = {
      {{"a.lwo", dir / "out/"}, out + "/a.X", "out/a.X"},
      {{"a.lwo", dir / "out"}, out + "/a.X", "out/a.X"},
      {{"a.lwo", "out"}, out + "/a.X", "out/a.X"},
      {{"a.lwo", "out/"}, out + "/a.X", "out/a.X"},
      {{"a.lwo", "out\\"}, out + "/a.X", "out/a.X"},
      {{"-b", "a.lwo", dir / "out/model.lwo"}, out + "/model.X", "out/model.X"},
      {{"a.lwo", "model.x"}, "model.X", "model.X"},  // a bare output name lands in the start directory
      // -s puts the output beside the source unless a destination directory is given.
      {{"-s", "sub/a.lwo"}, start + "/sub/a.X", "sub/a.X"},
      {{"-s", "sub/a.lwo", "b.lwo"}, start + "/sub/b.X", "sub/b.X"},
      {{"-s", "sub/a.lwo", "out/"}, out + "/a.X", "out/a.X"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args.back());
    const auto r = torvo(row.args, dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "Convert To: " + row.convertTo + "\n")) << r.out;
    EXPECT_EQ(testsupport::readFile(dir / row.file).substr(0, 11), row.args[0] == "-b" ? "xof 0302bin" : "xof 0302txt");
    std::remove((dir / row.file).c_str());
    EXPECT_TRUE(testsupport::listDir(out).empty());
  }
  EXPECT_EQ(testsupport::listDir(dir.path()), (std::vector<std::string>{"a.lwo", "out", "sub"}));
}

TEST(Cli, CurrentDirectoryTooLongForThePathField) {
  TempDir dir;
  std::string deep = dir.path();
  while (deep.size() < 1100) deep += "/" + std::string(200, 'd');
  testsupport::makeDir(deep);
  writeFile(deep + "/a.lwo", triangle());
  const auto r = torvo({"a.lwo"}, deep);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, kBanner + "The current directory cannot be read or is longer than 1023 characters.\n");
  EXPECT_EQ(testsupport::listDir(deep), std::vector<std::string>{"a.lwo"});
}
