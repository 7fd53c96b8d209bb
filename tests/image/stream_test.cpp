// The converters on streams that cannot seek (pipes), where the input size is not
// known in advance, must decode and refuse exactly as they do on files.
#include <gtest/gtest.h>

#include <cstdio>

#include "image/image_support.h"
#include "image/ppm.h"
#include "support/run.h"

using namespace imagetest;
using lwbuild::Bytes;

#if defined(__unix__)

namespace {

Conversion convertFromPipe(Kind kind, const std::string& path) {
  Conversion c;
  std::FILE* source = ::popen(("cat '" + path + "'").c_str(), "r");
  std::FILE* destination = std::tmpfile();
  if (source == nullptr || destination == nullptr) {
    c.result = 999;
    return c;
  }
  c.result = kind == Kind::Bmp ? convertBmpToPpm("vemo", source, destination)
                               : convertTgaToPpm("vemo", source, destination);
  ::pclose(source);
  std::rewind(destination);
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, destination)) > 0) c.output.append(buffer, n);
  std::fclose(destination);
  return c;
}

}  // namespace

TEST(Streams, PipesGiveTheSameResultsAsFiles) {
  lwbuild::TgaSpec raw;
  raw.width = 300;
  raw.height = 20;
  lwbuild::TgaSpec rle = raw;
  rle.imageType = 11;
  rle.pixelDepth = 8;
  Bytes packets;
  for (int i = 0; i < 300 * 20 / 100; ++i) packets.insert(packets.end(), {0xE3, static_cast<std::uint8_t>(i)});
  struct Case {
    Kind kind;
    Bytes file;
  };
  const Case wholes[] = {
      {Kind::Tga, lwbuild::tgaBytes(raw, {}, noise(300 * 20 * 3, 5))},
      {Kind::Tga, lwbuild::tgaBytes(rle, {}, packets)},
      {Kind::Bmp, lwbuild::bmpBytes(5, 3, 24, {}, noise(16 * 3, 6))},
  };
  testsupport::TempDir dir;
  for (const Case& whole : wholes) {
    for (std::size_t cut : {whole.file.size(), whole.file.size() - 1, whole.file.size() / 2, std::size_t{17}}) {
      const Bytes file(whole.file.begin(), whole.file.begin() + static_cast<long>(cut));
      lwbuild::writeFile(dir / "image", file);
      const Conversion fromFile = convert(whole.kind, file);
      const Conversion fromPipe = convertFromPipe(whole.kind, dir / "image");
      EXPECT_EQ(fromPipe.result, fromFile.result) << "cut " << cut;
      EXPECT_EQ(fromPipe.output, fromFile.output) << "cut " << cut;
      EXPECT_EQ(fromFile.result, cut == whole.file.size() ? 1 : -1) << "cut " << cut;
    }
  }
}

#endif
