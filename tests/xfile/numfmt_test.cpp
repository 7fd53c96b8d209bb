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

// Counts mismatches with printf's "%f" and reports the first few; checks v, -v and both neighbours.
struct Checker {
  int failures = 0;
  void check(double v) {
    char want[kFixedBufferSize + 8];
    std::snprintf(want, sizeof want, "%f", v);
    if (fixed(v) != want && ++failures <= 5) {
      ADD_FAILURE() << "formatFixed(" << std::hexfloat << v << ") = " << fixed(v) << ", printf gives " << want;
    }
  }
  void checkBoth(double v) {
    check(v);
    check(-v);
  }
  void checkAround(double v) {
    checkBoth(v);
    checkBoth(std::nextafter(v, 0.0));
    checkBoth(std::nextafter(v, 1e308));
  }
};

double fromBits(std::uint64_t bits) {
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

}  // namespace

TEST(FormatFixed, SpecialValuesAsGlibcPrintsThem) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  const std::pair<double, const char*> rows[] = {
      {0.0, "0.000000"}, {-0.0, "-0.000000"}, {-0.0000004, "-0.000000"}, {inf, "inf"}, {-inf, "-inf"},
      {nan, "nan"}, {-nan, "-nan"}, {21.333333333333332, "21.333333"},
      {0.0078125, "0.007812"}, {0.0234375, "0.023438"}};  // exact ties go to even
  for (const auto& [v, text] : rows) EXPECT_EQ(fixed(v), text);
  EXPECT_EQ(fixed(-DBL_MAX).size(), 317u);
}

TEST(FormatFixed, AgreesWithPrintfAcrossMagnitudesTiesAndBoundaries) {
  Checker c;
  std::mt19937_64 rng(20240611);
  // Random doubles with exponents spread from far below the sixth decimal to 2^64.
  std::uniform_int_distribution<int> exponent(-40, 64);
  std::uniform_int_distribution<std::uint64_t> mantissa(0, (std::uint64_t{1} << 52) - 1);
  for (int i = 0; i < 1000000; ++i) {
    c.checkBoth(fromBits((static_cast<std::uint64_t>(exponent(rng) + 1023) << 52) | mantissa(rng)));
  }
  // Random single-precision values, as vertices are written.
  std::uniform_int_distribution<std::uint32_t> floatBits(0, 0xFFFFFFFFu);
  for (int i = 0; i < 500000; ++i) {
    const std::uint32_t b = floatBits(rng);
    float f;
    std::memcpy(&f, &b, sizeof f);
    c.check(static_cast<double>(f));
  }
  // Ordinary magnitudes, and any bit pattern at all (huge numbers, denormals, NaNs).
  std::uniform_real_distribution<double> ordinary(-1000.0, 1000.0);
  for (int i = 0; i < 300000; ++i) c.check(ordinary(rng));
  for (int i = 0; i < 20000; ++i) c.check(fromBits(rng()));

  // Every exact binary tie of the sixth decimal is an odd multiple of 1/128.
  for (int k = 1; k < 200000; k += 2) c.checkAround(k / 128.0);
  // Decimal near-ties that are not exact in binary: x.5e-6 multiples.
  for (int k = 0; k < 200000; ++k) c.checkAround((k + 0.5) * 1e-6);
  for (double e : {0.0000005, 2.5e-6, 0.0000015, 4.76837158203125e-7 /* 2^-21 */, 0x1p40, 0x1p52, 0x1p53, 0x1p63,
                   0x1p64, 9007199254.740991, 1e15, 1e20, 1e300, 1e308, DBL_MAX, DBL_MIN,
                   std::numeric_limits<double>::denorm_min(), 0.9999995, 0.99999949999999994, 999999.9999995, 1.0,
                   10.0, 123456789.123456789}) {
    c.checkAround(e);
  }
  EXPECT_EQ(c.failures, 0);
}

TEST(FormatInt, MatchesPrintf) {
  for (long long v : {0LL, 1LL, -1LL, 9LL, 10LL, -10LL, 65535LL, 65536LL, static_cast<long long>(INT_MAX),
                      static_cast<long long>(INT_MIN), LLONG_MAX, LLONG_MIN}) {
    char out[24];
    char want[32];
    std::snprintf(want, sizeof want, "%lld", v);
    EXPECT_EQ(std::string(out, formatInt(out, v)), want);
  }
}
