// Runs the converters on in-memory images and decodes what they write; asks an
// independent decoder (Pillow or netpbm) for its view of the same file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "lwbuild.h"

namespace imagetest {

using lwbuild::Bytes;

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

enum class Kind { Bmp, Tga };

struct Conversion {
  int result = 0;
  std::string output;  // every byte written to the destination
};

Conversion convert(Kind kind, const Bytes& input);

struct Picture {
  bool valid = false;
  long width = 0;
  long height = 0;
  std::vector<Rgb> pixels;  // top row first
  Rgb at(long x, long y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

// Parses a P6 file with maxval 255 as the converters write it.
Picture parsePpm(const std::string& ppm);

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
