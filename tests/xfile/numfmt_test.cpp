#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "xfile/numfmt.h"

namespace {

std::string fixed(double v) {
  char out[kFixedBufferSize];
  return std::string(out, formatFixed(out, v));
}

std::string reference(double v) {
  char out[kFixedBufferSize + 8];
  std::snprintf(out, sizeof out, "%f", v);
  return out;
}

// Counts mismatches and reports the first few.
struct Checker {
  int failures = 0;
  void check(double v) {
    const std::string got = fixed(v);
    const std::string want = reference(v);
    if (got != want && ++failures <= 5) {
      ADD_FAILURE() << "formatFixed(" << std::hexfloat << v << ") = " << got << ", printf gives " << want;
    }
  }
  void checkBoth(double v) {
    check(v);
    check(-v);
  }
};

double fromBits(std::uint64_t bits) {
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

}  // namespace

TEST(FormatFixed, SpecialValuesAsGlibcPrintsThem) {
  EXPECT_EQ(fixed(0.0), "0.000000");
  EXPECT_EQ(fixed(-0.0), "-0.000000");
  EXPECT_EQ(fixed(-0.0000004), "-0.000000");
  EXPECT_EQ(fixed(std::numeric_limits<double>::infinity()), "inf");
  EXPECT_EQ(fixed(-std::numeric_limits<double>::infinity()), "-inf");
  EXPECT_EQ(fixed(std::numeric_limits<double>::quiet_NaN()), "nan");
  EXPECT_EQ(fixed(-std::numeric_limits<double>::quiet_NaN()), "-nan");
  EXPECT_EQ(fixed(21.333333333333332), "21.333333");
  EXPECT_EQ(fixed(0.0078125), "0.007812");   // exact tie, to even
  EXPECT_EQ(fixed(0.0234375), "0.023438");   // exact tie, to even
  EXPECT_EQ(fixed(1e308), reference(1e308));
  EXPECT_EQ(fixed(-DBL_MAX).size(), 317u);
}

TEST(FormatFixed, AgreesWithPrintfAcrossMagnitudes) {
  Checker c;
  std::mt19937_64 rng(20240611);
  // Random doubles with exponents spread from far below the sixth decimal to 2^64.
  std::uniform_int_distribution<int> exponent(-40, 64);
  std::uniform_int_distribution<std::uint64_t> mantissa(0, (std::uint64_t{1} << 52) - 1);
  for (int i = 0; i < 1000000; ++i) {
    const std::uint64_t bits = (static_cast<std::uint64_t>(exponent(rng) + 1023) << 52) | mantissa(rng);
    c.checkBoth(fromBits(bits));
  }
  // Random single-precision values, as vertices are written.
  std::uniform_int_distribution<std::uint32_t> floatBits(0, 0xFFFFFFFFu);
  for (int i = 0; i < 500000; ++i) {
    const std::uint32_t b = floatBits(rng);
    float f;
    std::memcpy(&f, &b, sizeof f);
    c.check(static_cast<double>(f));
  }
  // Ordinary magnitudes: values a model really holds.
  std::uniform_real_distribution<double> ordinary(-1000.0, 1000.0);
  for (int i = 0; i < 300000; ++i) c.check(ordinary(rng));
  // Any bit pattern at all, including huge numbers, denormals and NaNs.
  for (int i = 0; i < 20000; ++i) c.check(fromBits(rng()));
  EXPECT_EQ(c.failures, 0);
}

TEST(FormatFixed, AgreesWithPrintfOnTiesAndBoundaries) {
  Checker c;
  // Every exact binary tie of the sixth decimal is an odd multiple of 1/128.
  for (int k = 1; k < 200000; k += 2) {
    const double tie = k / 128.0;
    c.checkBoth(tie);
    c.checkBoth(std::nextafter(tie, 0.0));
    c.checkBoth(std::nextafter(tie, 1e300));
  }
  // Decimal near-ties that are not exact in binary: x.5e-6 multiples.
  for (int k = 0; k < 200000; ++k) {
    const double v = (k + 0.5) * 1e-6;
    c.checkBoth(v);
    c.checkBoth(std::nextafter(v, 0.0));
    c.checkBoth(std::nextafter(v, 1.0));
  }
  const double edges[] = {0.0000005, 2.5e-6, 0.0000015, 4.76837158203125e-7 /* 2^-21 */, 0x1p40, 0x1p52,
                          0x1p53, 0x1p63, 0x1p64, 9007199254.740991, 1e15, 1e20, 1e300, DBL_MAX, DBL_MIN,
                          std::numeric_limits<double>::denorm_min(), 0.9999995, 0.99999949999999994,
                          999999.9999995, 1.0, 10.0, 123456789.123456789};
  for (double e : edges) {
    c.checkBoth(e);
    c.checkBoth(std::nextafter(e, 0.0));
    c.checkBoth(std::nextafter(e, 1e308));
  }
  EXPECT_EQ(c.failures, 0);
}

TEST(FormatInt, MatchesPrintf) {
  const long long values[] = {0, 1, -1, 9, 10, -10, 65535, 65536, INT_MAX, INT_MIN, LLONG_MAX, LLONG_MIN};
  for (long long v : values) {
    char out[24];
    char want[32];
    std::snprintf(want, sizeof want, "%lld", v);
    EXPECT_EQ(std::string(out, formatInt(out, v)), want);
  }
}
