// Number formatting for the text encoding, byte-identical to printf.
#pragma once

#include <cstddef>

namespace torvo {

// Longest result of formatFixed: "%f" of -DBL_MAX is 317 characters.
constexpr std::size_t kFixedBufferSize = 330;

// Writes "%f" of value into out (no terminator); returns the length.
std::size_t formatFixed(char* out, double value);
// Writes "%lld" of value into out (no terminator); returns the length. out needs 21 bytes.
std::size_t formatInt(char* out, long long value);

}  // namespace torvo
