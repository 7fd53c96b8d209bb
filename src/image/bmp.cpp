// Windows bitmap (uncompressed 4, 8 and 24 bits per pixel) to PPM.
#include <cstdint>

#include "image/image_io.h"
#include "image/ppm.h"

namespace torvo {

namespace {

using imageio::Bytes;
using imageio::le16;
using imageio::le32;

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kHeaderSize = 54;  // file header plus the 40-byte info header
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kCoreHeaderSize = 12;  // OS/2 layout: 16-bit sizes, other offsets
constexpr unsigned kBmpMagic = 0x4D42;

struct BmpHeader {
  std::uint32_t dataOffset = 0;
  std::uint32_t infoSize = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;  // always positive here; topDown tells the order
  bool topDown = false;
  unsigned bitsPerPixel = 0;
  std::uint32_t compression = 0;
  std::uint64_t rowSize = 0;
};

bool parseHeader(const std::uint8_t* h, BmpHeader& out) {
  if (le16(h) != kBmpMagic) return false;
  out.dataOffset = le32(h + 10);
  out.infoSize = le32(h + 14);
  out.width = static_cast<std::int32_t>(le32(h + 18));
  const std::int64_t height = static_cast<std::int32_t>(le32(h + 22));
  out.bitsPerPixel = le16(h + 28);
  out.compression = le32(h + 30);
  if (out.infoSize == kCoreHeaderSize) return false;
  if (out.bitsPerPixel != 4 && out.bitsPerPixel != 8 && out.bitsPerPixel != 24) return false;
  if (out.compression != 0) return false;
  if (out.dataOffset < kHeaderSize) return false;
  if (out.width <= 0 || height == 0) return false;
  // A negative height stores the top row first; int64 keeps -INT32_MIN exact.
  out.topDown = height < 0;
  out.height = height < 0 ? -height : height;
  if (out.height > INT32_MAX) return false;
  out.rowSize = ((static_cast<std::uint64_t>(out.bitsPerPixel) * static_cast<std::uint64_t>(out.width) + 31) / 32) * 4;
  return true;
}

}  // namespace

Status convertBmpToPpm(const char* name, std::FILE* source, std::FILE* destination) {
  if (source == nullptr || destination == nullptr) return Status::kBadInput;
  std::uint8_t header[kHeaderSize];
  if (!imageio::readExact(source, header, kHeaderSize)) return Status::kBadInput;
  BmpHeader bmp;
  if (!parseHeader(header, bmp)) return Status::kBadInput;

  const std::uint64_t width = static_cast<std::uint64_t>(bmp.width);
  const std::uint64_t height = static_cast<std::uint64_t>(bmp.height);
  // Every size is checked by division first, so none of the products can wrap.
  const std::uint64_t gap = bmp.dataOffset - kHeaderSize;
  if (gap > imageio::kMaxBufferBytes) return Status::kBadInput;
  if (height > (imageio::kMaxBufferBytes - gap) / bmp.rowSize) return Status::kBadInput;
  if (width > imageio::kMaxBufferBytes / 3 / height) return Status::kBadInput;
  const std::uint64_t need = gap + height * bmp.rowSize;

  Bytes data;
  if (!imageio::readUpTo(source, need, data) || data.size() < need) return Status::kBadInput;

  // Larger info headers (V4, V5) put the colour table after themselves.
  std::uint64_t tableStart = kHeaderSize;
  if (bmp.infoSize > kInfoHeaderSize && kFileHeaderSize + bmp.infoSize <= bmp.dataOffset)
    tableStart = kFileHeaderSize + bmp.infoSize;
  const std::uint8_t* table = data.data() + (tableStart - kHeaderSize);
  const std::uint64_t tableEntries = (bmp.dataOffset - tableStart) / 4;
  const std::uint8_t* pixels = data.data() + gap;

  Bytes rgb(static_cast<std::size_t>(width * height * 3));
  auto putIndexed = [&](std::uint8_t* out, unsigned index) {
    if (index < tableEntries) {
      const std::uint8_t* e = table + 4 * static_cast<std::size_t>(index);
      out[0] = e[2];
      out[1] = e[1];
      out[2] = e[0];
    } else {
      out[0] = out[1] = out[2] = 0;
    }
  };
  for (std::uint64_t r = 0; r < height; ++r) {
    const std::uint64_t stored = bmp.topDown ? r : height - 1 - r;
    const std::uint8_t* in = pixels + stored * bmp.rowSize;
    std::uint8_t* out = rgb.data() + r * width * 3;
    switch (bmp.bitsPerPixel) {
      case 24:
        for (std::uint64_t x = 0; x < width; ++x, in += 3, out += 3) {
          out[0] = in[2];
          out[1] = in[1];
          out[2] = in[0];
        }
        break;
      case 8:
        for (std::uint64_t x = 0; x < width; ++x, out += 3) putIndexed(out, in[x]);
        break;
      default:  // 4 bits: the left pixel sits in the high nibble
        for (std::uint64_t x = 0; x < width; ++x, out += 3) {
          const unsigned byte = in[x / 2];
          putIndexed(out, (x % 2 == 0) ? byte >> 4 : byte & 15);
        }
        break;
    }
  }
  return imageio::writePpm(name, destination, static_cast<long>(bmp.width), static_cast<long>(bmp.height), rgb);
}

}  // namespace torvo
