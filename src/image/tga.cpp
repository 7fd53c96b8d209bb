// Truevision TGA (types 1, 2, 3 and their run-length forms 9, 10, 11) to PPM.
#include <cstdint>

#include "image/image_io.h"
#include "image/ppm.h"

namespace torvo {

namespace {

using imageio::BlockReader;
using imageio::Bytes;
using imageio::le16;

constexpr std::size_t kHeaderSize = 18;
constexpr std::uint64_t kMaxPacketPixels = 128;

struct TgaHeader {
  unsigned idLength = 0;
  unsigned colourMapType = 0;
  unsigned imageType = 0;
  unsigned firstIndex = 0;
  unsigned mapLength = 0;
  unsigned mapEntrySize = 0;
  unsigned width = 0;
  unsigned height = 0;
  unsigned pixelDepth = 0;
  unsigned descriptor = 0;
};

// Decoder state for one conversion; run-length packets carry over from row to row.
struct TgaReadState {
  bool rleEnabled = false;
  bool colourMapped = false;
  Bytes colourTable;  // red, green, blue per entry; unfilled entries stay black
  unsigned runRemaining = 0;
  bool runIsRepeat = false;
  std::uint8_t red = 0, green = 0, blue = 0;
  unsigned colourIndex = 0;
};

bool validDepth(unsigned bits) { return bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32; }
unsigned bytesFor(unsigned bits) { return (bits + 7) / 8; }

// 5-bit components are widened so that 31 becomes 255, as the PPM declares.
std::uint8_t widen5(unsigned v) { return static_cast<std::uint8_t>((v << 3) | (v >> 2)); }

void decode16(const std::uint8_t* p, std::uint8_t& r, std::uint8_t& g, std::uint8_t& b) {
  const unsigned lo = p[0], hi = p[1];
  r = widen5((hi >> 2) & 31);
  g = widen5(((hi & 3) << 3) | (lo >> 5));
  b = widen5(lo & 31);
}

// Decodes one colour of the given depth from p (which holds enough bytes).
void decodeColour(const std::uint8_t* p, unsigned depth, TgaReadState& s) {
  switch (depth) {
    case 8:
      s.colourIndex = p[0];
      s.red = s.green = s.blue = p[0];
      break;
    case 15:
    case 16:
      s.colourIndex = p[0] | (static_cast<unsigned>(p[1]) << 8);
      decode16(p, s.red, s.green, s.blue);
      break;
    default:  // 24 and 32: blue, green, red (and alpha, skipped)
      s.colourIndex = 0;
      s.blue = p[0];
      s.green = p[1];
      s.red = p[2];
      break;
  }
}

void putPixel(const TgaReadState& s, std::uint8_t* out) {
  if (!s.colourMapped) {
    out[0] = s.red;
    out[1] = s.green;
    out[2] = s.blue;
    return;
  }
  const std::size_t at = static_cast<std::size_t>(s.colourIndex) * 3;
  if (at + 3 <= s.colourTable.size()) {
    out[0] = s.colourTable[at];
    out[1] = s.colourTable[at + 1];
    out[2] = s.colourTable[at + 2];
  } else {
    out[0] = out[1] = out[2] = 0;
  }
}

bool readColourMap(const TgaHeader& h, BlockReader& in, TgaReadState& s) {
  const unsigned entryBytes = bytesFor(h.mapEntrySize);
  const std::uint8_t* p = nullptr;
  if (!take(in, static_cast<std::size_t>(h.mapLength) * entryBytes, p)) return false;
  s.colourTable.assign((static_cast<std::size_t>(h.firstIndex) + h.mapLength) * 3, 0);
  std::uint8_t* out = s.colourTable.data() + static_cast<std::size_t>(h.firstIndex) * 3;
  for (unsigned i = 0; i < h.mapLength; ++i, p += entryBytes, out += 3) {
    switch (h.mapEntrySize) {
      case 8:
        out[0] = out[1] = out[2] = p[0];
        break;
      case 15:
      case 16:
        decode16(p, out[0], out[1], out[2]);
        break;
      default:
        out[0] = p[2];
        out[1] = p[1];
        out[2] = p[0];
        break;
    }
  }
  return true;
}

// Decodes one row of width pixels into out; -1 when the input ends first.
bool readRow(const TgaHeader& h, BlockReader& in, TgaReadState& s, std::uint8_t* out) {
  const unsigned pixelBytes = bytesFor(h.pixelDepth);
  const unsigned width = h.width;
  if (!s.rleEnabled) {
    const std::uint8_t* p = nullptr;
    if (!take(in, static_cast<std::size_t>(width) * pixelBytes, p)) return false;
    if (!s.colourMapped && pixelBytes >= 3) {
      for (unsigned x = 0; x < width; ++x, p += pixelBytes, out += 3) {
        out[0] = p[2];
        out[1] = p[1];
        out[2] = p[0];
      }
    } else {
      for (unsigned x = 0; x < width; ++x, p += pixelBytes, out += 3) {
        decodeColour(p, h.pixelDepth, s);
        putPixel(s, out);
      }
    }
    return true;
  }
  unsigned x = 0;
  while (x < width) {
    if (s.runRemaining == 0) {
      const std::uint8_t* p = nullptr;
      if (!take(in, 1 + static_cast<std::size_t>(pixelBytes), p)) return false;
      s.runIsRepeat = (p[0] & 0x80) != 0;
      s.runRemaining = p[0] & 0x7F;
      decodeColour(p + 1, h.pixelDepth, s);
      putPixel(s, out);
      out += 3;
      ++x;
      continue;
    }
    if (s.runIsRepeat) {
      // Copy the repeated pixel over as much of the run as fits in this row.
      std::uint8_t pixel[3];
      putPixel(s, pixel);
      while (s.runRemaining > 0 && x < width) {
        out[0] = pixel[0];
        out[1] = pixel[1];
        out[2] = pixel[2];
        out += 3;
        ++x;
        --s.runRemaining;
      }
      continue;
    }
    const std::uint8_t* p = nullptr;
    if (!take(in, pixelBytes, p)) return false;
    --s.runRemaining;
    decodeColour(p, h.pixelDepth, s);
    putPixel(s, out);
    out += 3;
    ++x;
  }
  return true;
}

}  // namespace

Status convertTgaToPpm(const char* name, std::FILE* source, std::FILE* destination) {
  if (source == nullptr || destination == nullptr) return Status::kBadInput;
  std::uint8_t raw[kHeaderSize];
  if (!imageio::readExact(source, raw, kHeaderSize)) return Status::kBadInput;
  TgaHeader h;
  h.idLength = raw[0];
  h.colourMapType = raw[1];
  h.imageType = raw[2];
  h.firstIndex = le16(raw + 3);
  h.mapLength = le16(raw + 5);
  h.mapEntrySize = raw[7];
  h.width = le16(raw + 12);
  h.height = le16(raw + 14);
  h.pixelDepth = raw[16];
  h.descriptor = raw[17];

  TgaReadState s;
  switch (h.imageType) {
    case 1: case 2: case 3: s.rleEnabled = false; break;
    case 9: case 10: case 11: s.rleEnabled = true; break;
    default: return Status::kBadInput;
  }
  s.colourMapped = h.imageType == 1 || h.imageType == 9;
  if (s.colourMapped && h.colourMapType != 1) return Status::kBadInput;
  if (!validDepth(h.pixelDepth)) return Status::kBadInput;
  if (h.width == 0 || h.height == 0) return Status::kBadInput;
  // A colour map is read for the mapped types and skipped for the others.
  const bool hasMap = h.colourMapType == 1 && (s.colourMapped || h.mapLength > 0);
  if (hasMap && !validDepth(h.mapEntrySize)) return Status::kBadInput;
  const std::uint64_t mapBytes = hasMap ? static_cast<std::uint64_t>(h.mapLength) * bytesFor(h.mapEntrySize) : 0;

  // Bounds of the pixel data: exact when uncompressed; with run-length packets at
  // least one packet of 1 + pixelBytes per 128 pixels, at most one per pixel.
  const std::uint64_t pixelCount = static_cast<std::uint64_t>(h.width) * h.height;
  const unsigned pixelBytes = bytesFor(h.pixelDepth);
  const std::uint64_t minPixelData = s.rleEnabled
                                         ? (pixelCount + kMaxPacketPixels - 1) / kMaxPacketPixels * (1 + pixelBytes)
                                         : pixelCount * pixelBytes;
  const std::uint64_t maxPixelData = s.rleEnabled ? pixelCount * (1 + pixelBytes) : pixelCount * pixelBytes;
  const std::uint64_t prefix = h.idLength + mapBytes;
  if (pixelCount * 3 > imageio::kMaxBufferBytes) return Status::kBadInput;

  BlockReader in;
  if (!imageio::openReader(in, source, prefix + maxPixelData)) return Status::kBadInput;
  if (available(in) < prefix || available(in) - prefix < minPixelData) return Status::kBadInput;
  const std::uint8_t* skipped = nullptr;
  if (!take(in, h.idLength, skipped)) return Status::kBadInput;
  if (s.colourMapped) {
    if (!readColourMap(h, in, s)) return Status::kBadInput;
  } else if (!take(in, static_cast<std::size_t>(mapBytes), skipped)) {
    return Status::kBadInput;
  }

  Bytes rgb(static_cast<std::size_t>(pixelCount * 3));
  const std::size_t rowStride = static_cast<std::size_t>(h.width) * 3;
  const bool topDown = (h.descriptor & 0x20) != 0;
  const unsigned interleave = (h.descriptor >> 6) & 3;
  const unsigned step = interleave == 1 ? 2 : interleave == 2 ? 4 : 1;
  // Interleaved files store every step-th row, then the next pass one row lower.
  for (unsigned pass = 0; pass < step; ++pass) {
    for (unsigned n = pass; n < h.height; n += step) {
      const unsigned row = topDown ? n : h.height - 1 - n;
      if (!readRow(h, in, s, rgb.data() + row * rowStride)) return Status::kBadInput;
    }
  }
  return imageio::writePpm(name, destination, static_cast<long>(h.width), static_cast<long>(h.height), rgb);
}

}  // namespace torvo
