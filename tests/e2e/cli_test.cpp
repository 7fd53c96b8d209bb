// The command line: banner, usage, options, configuration file, destinations, pause.
#include <gtest/gtest.h>

#include <string>

#include "cli_support.h"

using namespace clitest;
using testsupport::TempDir;

TEST(CliUsage, NoArgumentsPrintsBannerAndUsage) {
  TempDir dir;
  const auto r = torvo({}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, kBanner + kUsage);
}

TEST(CliUsage, EveryBadOptionIsReportedBeforeTheUsage) {
  TempDir dir;
  const auto r = torvo({"-x", "-b", "-y", "-", "-Nq", "a.lwo"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, kBanner + "Invalid option: -x\nInvalid option: -y\nInvalid option: -\n" + kUsage);
}

TEST(CliUsage, WrongNumberOfPositionalArguments) {
  TempDir dir;
  for (const auto& args : {std::vector<std::string>{"-b"}, std::vector<std::string>{"a.lwo", "out", "extra"}}) {
    const auto r = torvo(args, dir.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, kBanner + kUsage);
  }
  EXPECT_TRUE(testsupport::listDir(dir.path()).empty());
}

TEST(CliUsage, OptionWithoutItsValueIsAUsageError) {
  TempDir dir;
  writeFile(dir / "a.lwo", kJunk);
  const auto c = torvo({"a.lwo", "-C"}, dir.path());  // -C here is the destination, not an option
  EXPECT_NE(c.out.find("Convert To: -C.X\n"), std::string::npos) << c.out;
  for (const char* option : {"-C", "-f"}) {
    const auto r = torvo({"-b", option}, dir.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, kBanner + "Option " + option + " needs a value.\n" + kUsage);
  }
  // The value is taken whatever it looks like, so the source is consumed here.
  const auto f = torvo({"-f", "a.lwo"}, dir.path());
  EXPECT_EQ(f.exitCode, 1);
  EXPECT_EQ(f.out, kBanner + kUsage);
}

TEST(CliUsage, PauseAfterUsageWaitsForReturn) {
  TempDir dir;
  const auto r = torvo({"-P", "-z"}, dir.path(), "\n");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, kBanner + "Invalid option: -z\n" + kUsage + "- Hit return key -\n");
}

TEST(CliOptions, LaterFormatOptionWinsAndFlipIsAnnounced) {
  TempDir dir;
  writeFile(dir / "a.lwo", kJunk);
  const auto text = torvo({"-b", "-t", "a.lwo"}, dir.path());
  EXPECT_EQ(text.out.substr(0, kBanner.size() + kAscii.size()), kBanner + kAscii);
  const auto binary = torvo({"-t", "-b", "a.lwo"}, dir.path());
  EXPECT_EQ(binary.out.substr(0, kBanner.size() + kBinary.size()), kBanner + kBinary);
  const auto flip = torvo({"-F", "a.lwo"}, dir.path());
  EXPECT_EQ(flip.out.substr(0, kBanner.size() + kAscii.size() + 38),
            kBanner + kAscii + "Texture Coordinates: Flip Vertically\n" + "C");
}

TEST(CliOptions, OptionsEndAtTheFirstPositionalArgument) {
  TempDir dir;
  writeFile(dir / "a.lwo", kJunk);
  const auto r = torvo({"a.lwo", "-b"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(inOrder(r.out, {kAscii, "Convert From: " + real(dir.path()) + "/a.lwo\n", "Convert To: -b.X\n",
                              "error occured.\n"}))
      << r.out;
}

TEST(CliOptions, PrefixLengthLimit) {
  TempDir dir;
  writeFile(dir / "a.lwo", triangle());
  const std::string ok(79, 'p');
  const auto fits = torvo({"-f" + ok, "a.lwo"}, dir.path());
  EXPECT_EQ(fits.exitCode, 0) << fits.out;
  const auto separate = torvo({"-f", ok, "a.lwo"}, dir.path());
  EXPECT_EQ(separate.exitCode, 0) << separate.out;
  const auto tooLong = torvo({"-f" + ok + "p", "a.lwo", "b.lwo"}, dir.path());
  EXPECT_EQ(tooLong.exitCode, 1);
  EXPECT_EQ(tooLong.out, kBanner + "The frame name prefix '" + ok + "p' is too long (at most 79 characters).\n");
  EXPECT_FALSE(testsupport::fileExists(dir / "b.X"));
}

TEST(CliConfig, AttachedAndSeparatePathsAreEquivalent) {
  TempDir dir;
  writeFile(dir / "lw.cfg", "LWCO\r\n0\r\nContentDirectory /content/dir\r\n");
  const std::string expected = kBanner + "Content directory: /content/dir\n" + kAscii + "could not open: a.lwo\n" +
                               "error occured.\n";
  EXPECT_EQ(torvo({"-Clw.cfg", "a.lwo"}, dir.path()).out, expected);
  EXPECT_EQ(torvo({"-C", "lw.cfg", "a.lwo"}, dir.path()).out, expected);
  writeFile(dir / "empty.cfg", "");
  EXPECT_EQ(torvo({"-Cempty.cfg", "a.lwo"}, dir.path()).out,
            kBanner + "Content directory: \n" + kAscii + "could not open: a.lwo\nerror occured.\n");
}

TEST(CliConfig, MissingOrInvalidFileStopsWithoutPause) {
  TempDir dir;
  writeFile(dir / "bad.cfg", "LWCO \n0\n");
  const auto missing = torvo({"-P", "-Cnone.cfg", "a.lwo"}, dir.path());
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.out, kBanner + "LightWave CFG 'none.cfg' not found!\n");
  const auto invalid = torvo({"-P", "-C", "bad.cfg", "a.lwo"}, dir.path());
  EXPECT_EQ(invalid.exitCode, 1);
  EXPECT_EQ(invalid.out, kBanner + "LightWave CFG 'bad.cfg' invalid!\n");
}

TEST(CliConfig, OverlongPathsAreRefused) {
  TempDir dir;
  const std::string longPath(1024, 'c');
  const auto cfg = torvo({"-C" + longPath, "a.lwo"}, dir.path());
  EXPECT_EQ(cfg.exitCode, 1);
  EXPECT_EQ(cfg.out, kBanner + "The lw.cfg path is too long (at most 1023 characters).\n");
  const auto dest = torvo({"a.lwo", longPath}, dir.path());
  EXPECT_EQ(dest.exitCode, 1);
  EXPECT_EQ(dest.out, kBanner + "The destination is too long (at most 1023 characters).\n");
  // 1023 characters still fit: this one fails only because the directory is missing.
  const std::string fits = "x/" + std::string(1021, 'd');
  const auto ok = torvo({"a.lwo", fits}, dir.path());
  EXPECT_EQ(ok.out, kBanner + "can't locate destination directory 'x/.'.\n");
}

TEST(CliDestination, ExistingDirectoryWithAndWithoutTrailingSeparator) {
  TempDir dir;
  testsupport::makeDir(dir / "out");
  writeFile(dir / "a.lwo", triangle());
  const std::string out = real(dir / "out");
  for (const std::string& dest : {dir / "out/", dir / "out", std::string("out"), std::string("out/"),
                                  std::string("out\\")}) {
    const auto r = torvo({"a.lwo", dest}, dir.path());
    EXPECT_EQ(r.exitCode, 0) << dest << "\n" << r.out;
    EXPECT_TRUE(contains(r.out, "Convert To: " + out + "/a.X\n")) << dest << "\n" << r.out;
    EXPECT_EQ(testsupport::listDir(out), std::vector<std::string>{"a.X"}) << dest;
    std::remove((out + "/a.X").c_str());
  }
}

TEST(CliDestination, DirectoryAndOutputName) {
  TempDir dir;
  testsupport::makeDir(dir / "out");
  writeFile(dir / "a.lwo", triangle());
  const auto r = torvo({"-b", "a.lwo", dir / "out/model.lwo"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(contains(r.out, "Convert To: " + real(dir / "out") + "/model.X\n")) << r.out;
  EXPECT_EQ(testsupport::readFile(dir / "out/model.X").substr(0, 16), "xof 0302bin 0032");
  EXPECT_EQ(testsupport::listDir(dir / "out"), std::vector<std::string>{"model.X"});
}

TEST(CliDestination, BareOutputNameLandsInTheStartDirectory) {
  TempDir dir;
  writeFile(dir / "a.lwo", triangle());
  const auto r = torvo({"a.lwo", "model.x"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(contains(r.out, "Convert To: model.X\n")) << r.out;
  EXPECT_EQ(testsupport::listDir(dir.path()), (std::vector<std::string>{"a.lwo", "model.X"}));
}

TEST(CliDestination, MissingDirectory) {
  TempDir dir;
  writeFile(dir / "a.lwo", triangle());
  const auto r = torvo({"-P", "a.lwo", dir / "nodir/out.lws"}, dir.path(), "\n");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, kBanner + "can't locate destination directory '" + dir.path() + "/nodir/.'.\n");
  const auto trailing = torvo({"a.lwo", "nodir/"}, dir.path());
  EXPECT_EQ(trailing.out, kBanner + "can't locate destination directory 'nodir/.'.\n");
  EXPECT_EQ(testsupport::listDir(dir.path()), std::vector<std::string>{"a.lwo"});
}

TEST(CliDestination, BesideSourceOnlyWithoutDestinationDirectory) {
  TempDir dir;
  testsupport::makeDir(dir / "sub");
  testsupport::makeDir(dir / "out");
  writeFile(dir / "sub/a.lwo", triangle());
  const std::string start = real(dir.path());
  const auto beside = torvo({"-s", "sub/a.lwo"}, dir.path());
  EXPECT_EQ(beside.exitCode, 0) << beside.out;
  EXPECT_TRUE(contains(beside.out, "Convert To: " + start + "/sub/a.X\n")) << beside.out;
  EXPECT_TRUE(testsupport::fileExists(dir / "sub/a.X"));

  const auto named = torvo({"-s", "sub/a.lwo", "b.lwo"}, dir.path());  // no directory part: -s still applies
  EXPECT_TRUE(contains(named.out, "Convert To: " + start + "/sub/b.X\n")) << named.out;
  EXPECT_TRUE(testsupport::fileExists(dir / "sub/b.X"));

  const auto ignored = torvo({"-s", "sub/a.lwo", "out/"}, dir.path());
  EXPECT_TRUE(contains(ignored.out, "Convert To: " + real(dir / "out") + "/a.X\n")) << ignored.out;
  EXPECT_TRUE(testsupport::fileExists(dir / "out/a.X"));
}

TEST(CliPause, SuccessfulRunWaitsForReturn) {
  TempDir dir;
  writeFile(dir / "a.lwo", triangle());
  const auto r = torvo({"-P", "a.lwo"}, dir.path(), "\n");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(r.out.substr(r.out.size() - 19), "- Hit return key -\n");
  // No input at all must not hang the pause.
  const auto closed = torvo({"-P", "a.lwo"}, dir.path());
  EXPECT_EQ(closed.exitCode, 0);
}

TEST(CliPause, FailedConversionReportsThenPauses) {
  TempDir dir;
  writeFile(dir / "a.lwo", kJunk);
  const auto r = torvo({"-P", "a.lwo"}, dir.path(), "\n");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out.substr(r.out.size() - 34), "error occured.\n- Hit return key -\n");
}

TEST(CliDestination, CurrentDirectoryTooLongForThePathField) {
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
