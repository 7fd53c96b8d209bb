// The converters on streams that cannot seek (pipes), where the input size is not
// known in advance, must decode and refuse exactly as they do on files.
#include <gtest/gtest.h>

#include <cstdio>

#include "image/image_support.h"
#include "support/run.h"

using namespace imagetest;

#if defined(__unix__)
TEST(Streams, PipesGiveTheSameResultsAsFiles) {
  Bytes packets;
  for (int i = 0; i < 300 * 20 / 100; ++i) packets.insert(packets.end(), {0xE3, static_cast<std::uint8_t>(i)});
  const std::pair<Kind, Bytes> wholes[] = {
      {Kind::Tga, lwbuild::tgaBytes(tgaSpec(2, 300, 20, 24), {}, noise(300 * 20 * 3, 5))},
      {Kind::Tga, lwbuild::tgaBytes(tgaSpec(11, 300, 20, 8), {}, packets)},
      {Kind::Bmp, lwbuild::bmpBytes(5, 3, 24, {}, noise(16 * 3, 6))},
  };
  testsupport::TempDir dir;
  for (const auto& [kind, whole] : wholes) {
    for (std::size_t cut : {whole.size(), whole.size() - 1, whole.size() / 2, std::size_t{17}}) {
      SCOPED_TRACE("cut " + std::to_string(cut));
      const Bytes file(whole.begin(), whole.begin() + static_cast<long>(cut));
      lwbuild::writeFile(dir / "image", file);
      const Conversion fromFile = convert(kind, file);
      std::FILE* pipe = ::popen(("cat '" + dir / "image" + "'").c_str(), "r");
      const Conversion fromPipe = convertStream(kind, pipe);
      if (pipe != nullptr) ::pclose(pipe);
      EXPECT_EQ(fromPipe.result, fromFile.result);
      EXPECT_EQ(fromPipe.output, fromFile.output);
      EXPECT_EQ(fromFile.result, cut == whole.size() ? 1 : -1);
    }
  }
}
#endif

TEST(Streams, MissingStreamsAndWriteFailures) {
  testsupport::TempDir dir;
  lwbuild::writeFile(dir / "in.bmp", lwbuild::bmpBytes(1, 1, 24, {}, {1, 2, 3, 0}));
  lwbuild::writeFile(dir / "in.tga", lwbuild::tgaBytes(tgaSpec(2, 1, 1, 24), {}, {1, 2, 3}));
  lwbuild::writeFile(dir / "out.ppm", Bytes{});
  for (const auto& [kind, name] : {std::pair{Kind::Bmp, "in.bmp"}, std::pair{Kind::Tga, "in.tga"}}) {
    SCOPED_TRACE(name);
    std::FILE* source = std::fopen((dir / name).c_str(), "rb");
    std::FILE* readOnly = std::fopen((dir / "out.ppm").c_str(), "rb");
    ASSERT_NE(source, nullptr);
    ASSERT_NE(readOnly, nullptr);
    EXPECT_EQ(runConverter(kind, nullptr, readOnly), -1);
    EXPECT_EQ(runConverter(kind, source, nullptr), -1);
    // A destination that cannot be written to.
    std::rewind(source);
    EXPECT_EQ(runConverter(kind, source, readOnly), -2);
    std::fclose(source);
    std::fclose(readOnly);
  }
}
