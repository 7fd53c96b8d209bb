#include "xfile/numfmt.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace torvo {

namespace {

constexpr int kDecimals = 6;
constexpr std::uint64_t kScale = 1000000;  // 10^kDecimals = 2^6 * 15625

// Below 2^-21 (about 4.77e-7) every value prints as zero; from 2^40 on the
// library formats it (the exact product below no longer fits comfortably).
constexpr int kSmallExponent = -21;
constexpr int kLargeExponent = 40;

// "00" to "99": two digits per step.
constexpr char kDigitPairs[201] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

void putPair(char* out, std::uint32_t pair) { std::memcpy(out, kDigitPairs + 2 * pair, 2); }

// Whole parts below this take the short path.
constexpr std::uint64_t kSmallWhole = 100;

// The six decimals of d < 10^6 as three digit pairs, without a division per pair: d / 10^4
// in 40-bit fixed point, each next pair the fraction times 100 (exact for every d < 10^6).
constexpr int kFractionBits = 40;
constexpr std::uint64_t kFractionMask = (std::uint64_t{1} << kFractionBits) - 1;
constexpr std::uint64_t kInverse10k = (std::uint64_t{1} << kFractionBits) / 10000 + 1;

void putDecimals(char* out, std::uint32_t d) {
  static_assert(kDecimals == 6);
  std::uint64_t t = std::uint64_t{d} * kInverse10k;
  putPair(out, static_cast<std::uint32_t>(t >> kFractionBits));
  t = (t & kFractionMask) * 100;
  putPair(out + 2, static_cast<std::uint32_t>(t >> kFractionBits));
  t = (t & kFractionMask) * 100;
  putPair(out + 4, static_cast<std::uint32_t>(t >> kFractionBits));
}

int digitCount32(std::uint32_t v) {
  if (v < 10) return 1;
  if (v < 100) return 2;
  if (v < 1000) return 3;
  if (v < 10000) return 4;
  if (v < 100000) return 5;
  if (v < 1000000) return 6;
  if (v < 10000000) return 7;
  if (v < 100000000) return 8;
  return v < 1000000000 ? 9 : 10;
}

// Unsigned decimal digits of v written forward at out; returns the end.
char* putDigits(char* out, std::uint64_t v) {
  if (v < 10) {
    *out = static_cast<char>('0' + v);
    return out + 1;
  }
  if (v <= 0xFFFFFFFFu) {
    // 32-bit arithmetic is cheaper, and almost every number here fits.
    auto v32 = static_cast<std::uint32_t>(v);
    char* end = out + digitCount32(v32);
    char* p = end;
    while (v32 >= 100) {
      p -= 2;
      putPair(p, v32 % 100);
      v32 /= 100;
    }
    if (v32 >= 10) {
      putPair(p - 2, v32);
    } else {
      p[-1] = static_cast<char>('0' + v32);
    }
    return end;
  }
  int length = 3;
  for (std::uint64_t limit = 1000; length < 20 && v >= limit; limit *= 10) ++length;
  char* end = out + length;
  char* p = end;
  while (v >= 100) {
    p -= 2;
    putPair(p, static_cast<std::uint32_t>(v % 100));
    v /= 100;
  }
  if (v >= 10) {
    p -= 2;
    putPair(p, static_cast<std::uint32_t>(v));
  } else {
    *--p = static_cast<char>('0' + v);
  }
  return end;
}

// 128-bit unsigned value as two halves; just enough arithmetic for one rounding.
struct Wide {
  std::uint64_t hi;
  std::uint64_t lo;
};

Wide multiply(std::uint64_t a, std::uint32_t b) {
  const std::uint64_t low = (a & 0xFFFFFFFFu) * b;
  const std::uint64_t high = (a >> 32) * b;
  Wide r;
  r.lo = low + (high << 32);
  r.hi = (high >> 32) + (r.lo < low ? 1 : 0);
  return r;
}

bool less(const Wide& a, const Wide& b) { return a.hi < b.hi || (a.hi == b.hi && a.lo < b.lo); }
bool equal(const Wide& a, const Wide& b) { return a.hi == b.hi && a.lo == b.lo; }

// round(n / 2^shift) with ties to even, for 0 < shift < 128; the quotient fits 64 bits.
std::uint64_t shiftRoundHalfEven(const Wide& n, int shift) {
  std::uint64_t q;
  Wide rem;
  Wide half;
  if (shift < 64) {
    q = (n.lo >> shift) | (n.hi << (64 - shift));
    rem = {0, n.lo & ((std::uint64_t{1} << shift) - 1)};
    half = {0, std::uint64_t{1} << (shift - 1)};
  } else if (shift == 64) {
    q = n.hi;
    rem = {0, n.lo};
    half = {0, std::uint64_t{1} << 63};
  } else {
    q = n.hi >> (shift - 64);
    rem = {n.hi & ((std::uint64_t{1} << (shift - 64)) - 1), n.lo};
    half = {std::uint64_t{1} << (shift - 65), 0};
  }
  return q + (static_cast<std::uint64_t>(less(half, rem)) | (static_cast<std::uint64_t>(equal(half, rem)) & q & 1));
}

// The same rounding for a short mantissa m (below kNarrowMantissa, its trailing zeros
// taken off): m * 15625 < 2^64 fits one 64-bit word; shift < kNarrowShift. A negative shift
// (a whole value) cannot overflow: the result is |value| * 10^6 < 2^60.
constexpr std::uint64_t kNarrowMantissa = std::uint64_t{1} << 50;
constexpr int kNarrowShift = 64;
std::uint64_t shiftRoundNarrow(std::uint64_t product, int shift) {
  if (shift <= 0) return product << -shift;
  const std::uint64_t q = product >> shift;
  const std::uint64_t rem = product & ((std::uint64_t{1} << shift) - 1);
  const std::uint64_t half = std::uint64_t{1} << (shift - 1);
  // Without a branch: which way a value rounds is as good as random.
  return q + (static_cast<std::uint64_t>(rem > half) | (static_cast<std::uint64_t>(rem == half) & q & 1));
}

std::size_t copyText(char* out, const char* text) {
  const std::size_t n = std::strlen(text);
  std::memcpy(out, text, n);
  return n;
}

std::size_t formatWithLibrary(char* out, double value) {
  char buffer[kFixedBufferSize];
  const int n = std::snprintf(buffer, sizeof buffer, "%f", value);
  if (n <= 0) return 0;
  const std::size_t length = static_cast<std::size_t>(n) < sizeof buffer ? static_cast<std::size_t>(n)
                                                                          : sizeof buffer - 1;
  std::memcpy(out, buffer, length);
  return length;
}

}  // namespace

std::size_t formatFixed(char* out, double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const bool negative = (bits >> 63) != 0;
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);

  if (biased == 0x7FF) {
    if (fraction != 0) return copyText(out, negative ? "-nan" : "nan");
    return copyText(out, negative ? "-inf" : "inf");
  }
  // value = mantissa * 2^exponent exactly, with a 53-bit mantissa for normal numbers.
  const int exponent = biased - 1075;
  const int magnitude = biased - 1023;  // floor(log2 |value|) for normal numbers
  if (magnitude >= kLargeExponent) return formatWithLibrary(out, value);

  std::uint64_t scaled = 0;  // |value| * 10^6, rounded half to even
  if (biased != 0 && magnitude >= kSmallExponent) {
    const std::uint64_t mantissa = fraction | (std::uint64_t{1} << 52);
    // |value| * 10^6 = mantissa * 15625 * 2^(exponent + 6); exponent + 6 < 0 here.
    // Values from floats (and 1 - v of a float v, as texture coordinates are written) have
    // short mantissas: without their trailing zeros the product fits one 64-bit word.
    const int zeros = std::countr_zero(mantissa);
    const std::uint64_t odd = mantissa >> zeros;
    const int shift = -(exponent + 6) - zeros;
    if (odd < kNarrowMantissa && shift < kNarrowShift) {
      scaled = shiftRoundNarrow(odd * 15625, shift);
    } else {
      scaled = shiftRoundHalfEven(multiply(mantissa, 15625), -(exponent + 6));
    }
  }

  // glibc keeps the sign of negative values that round to zero ("-0.000000").
  *out = '-';
  char* p = out + (negative ? 1 : 0);
  std::uint32_t decimals;
  if (scaled < kSmallWhole * kScale) {
    // Whole parts below 100 (coordinates, normals, texture coordinates): 32-bit arithmetic.
    const auto small = static_cast<std::uint32_t>(scaled);
    const std::uint32_t whole = small / static_cast<std::uint32_t>(kScale);
    decimals = small - whole * static_cast<std::uint32_t>(kScale);
    // One digit or two, without a branch: a single digit is the second of its pair "0d",
    // copied with the character after it, which the point then overwrites.
    const std::uint32_t two = whole >= 10 ? 1 : 0;
    std::memcpy(p, kDigitPairs + 2 * whole + (1 - two), 2);
    p += 1 + two;
  } else {
    const std::uint64_t whole = scaled / kScale;
    decimals = static_cast<std::uint32_t>(scaled - whole * kScale);
    p = putDigits(p, whole);
  }
  *p = '.';
  putDecimals(p + 1, decimals);
  return static_cast<std::size_t>(p + 1 + kDecimals - out);
}

std::size_t formatInt(char* out, long long value) {
  if (value >= 0 && value < 10) {
    *out = static_cast<char>('0' + value);
    return 1;
  }
  char* p = out;
  if (value < 0) *p++ = '-';
  // Negating in unsigned arithmetic keeps the most negative value exact.
  const std::uint64_t magnitude =
      value < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  return static_cast<std::size_t>(putDigits(p, magnitude) - out);
}

}  // namespace torvo
