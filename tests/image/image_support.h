// Runs the converters on in-memory images and decodes what they write; asks an
// independent decoder (Pillow or netpbm) for its view of the same file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "image/ppm.h"
#include "lwbuild.h"

namespace imagetest {

using lwbuild::Bytes;
using lwbuild::TgaSpec;

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255}, kBlack{0, 0, 0};

// One byte at a time: GCC 12 misreads an inserted initializer list here as an overflow.
inline void putBgr(Bytes& b, Rgb c) {
  b.push_back(c.b);
  b.push_back(c.g);
  b.push_back(c.r);
}

// Grey pixels, each value `times` times in a row.
inline std::vector<Rgb> greys(std::initializer_list<int> values, std::size_t times = 1) {
  std::vector<Rgb> out;
  for (int v : values) out.insert(out.end(), times, Rgb{std::uint8_t(v), std::uint8_t(v), std::uint8_t(v)});
  return out;
}

inline TgaSpec tgaSpec(int type, int width, int height, int depth, int descriptor = 0) {
  TgaSpec s;
  s.imageType = type;
  s.width = width;
  s.height = height;
  s.pixelDepth = depth;
  s.descriptor = descriptor;
  return s;
}

inline TgaSpec withMap(TgaSpec s, int length, int entrySize, int firstIndex = 0) {
  s.colorMapType = 1;
  s.mapLength = length;
  s.mapEntrySize = entrySize;
  s.firstIndex = firstIndex;
  return s;
}

enum class Kind { Bmp, Tga };

inline int runConverter(Kind kind, std::FILE* source, std::FILE* destination) {
  return kind == Kind::Bmp ? convertBmpToPpm("vemo", source, destination)
                           : convertTgaToPpm("vemo", source, destination);
}

struct Conversion {
  int result = 0;
  std::string output;  // every byte written to the destination
};

// From any readable stream (pipes included), which is left open.
Conversion convertStream(Kind kind, std::FILE* source);
Conversion convert(Kind kind, const Bytes& input);

struct Picture {
  bool valid = false;
  long width = 0;
  long height = 0;
  std::vector<Rgb> pixels;  // top row first
};

// Parses a P6 file with maxval 255 as the converters write it.
Picture parsePpm(const std::string& ppm);

// An image that must convert to exactly these pixels (top row first).
struct Decoded {
  std::string what;
  Bytes file;
  long width;
  std::vector<Rgb> pixels;
};
void expectDecoded(Kind kind, const std::vector<Decoded>& cases);

// Images that must be refused with nothing written, and every cut of an accepted one.
void expectRefused(Kind kind, const std::vector<std::pair<std::string, Bytes>>& cases);
void expectEveryCutRefused(Kind kind, const Bytes& whole);

// The independent decoders, run once over many files: a picture for each file, or
// a reason (containing "not installed" when the decoder is missing).
struct Reference {
  Picture picture;
  std::string skipReason;
};
std::vector<Reference> decodeWithPillow(const std::vector<Bytes>& files, const char* suffix);
std::vector<Reference> decodeWithNetpbm(const std::vector<Bytes>& files, const char* program);

// Deterministic pseudo-random bytes for test images.
Bytes noise(std::size_t n, std::uint32_t seed);

// Widening of a 5-bit component to 0..255.
inline std::uint8_t widen5(unsigned v) { return static_cast<std::uint8_t>((v << 3) | (v >> 2)); }

}  // namespace imagetest
