// Number text: every value printed exactly as printf's "%f" and "%lld" print it.
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

// Counts mismatches with printf's "%f" and reports the first few.
struct Checker {
  int failures = 0;
  void check(double v) {
    char want[kFixedBufferSize + 8];
    std::snprintf(want, sizeof want, "%f", v);
    if (fixed(v) != want && ++failures <= 5) ADD_FAILURE() << std::hexfloat << v << ": " << fixed(v) << ", not " << want;
  }
  void checkBoth(double v) { check(v), check(-v); }
  void checkAround(double v) { checkBoth(v), checkBoth(std::nextafter(v, 0.0)), checkBoth(std::nextafter(v, 1e308)); }
};

double fromBits(std::uint64_t bits) {
  double v;
  return std::memcpy(&v, &bits, sizeof v), v;
}

}  // namespace

TEST(FormatFixed, SpecialValuesAsGlibcPrintsThem) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  const std::pair<double, const char*> rows[] = {
      {0.0, "0.000000"}, {-0.0, "-0.000000"}, {-0.0000004, "-0.000000"}, {inf, "inf"}, {-inf, "-inf"}, {nan, "nan"},
      {-nan, "-nan"}, {21.333333333333332, "21.333333"}, {0.0078125, "0.007812"}, {0.0234375, "0.023438"}};  // ties to even
  for (const auto& [v, text] : rows) EXPECT_EQ(fixed(v), text);
  EXPECT_EQ(fixed(-DBL_MAX).size(), 317u);
}

TEST(FormatFixed, AgreesWithPrintfAcrossMagnitudesTiesAndBoundaries) {
  Checker c;
  std::mt19937_64 rng(20240611);
  // Random doubles with exponents spread from far below the sixth decimal to 2^64.
  std::uniform_int_distribution<int> exponent(-40, 64);
  std::uniform_int_distribution<std::uint64_t> mantissa(0, (std::uint64_t{1} << 52) - 1);
  for (int i = 0; i < 1000000; ++i) c.checkBoth(fromBits((static_cast<std::uint64_t>(exponent(rng) + 1023) << 52) | mantissa(rng)));
  // Single-precision values, as vertices are written; ordinary magnitudes; any bit pattern at all.
  for (int i = 0; i < 500000; ++i) {
    const std::uint32_t b = static_cast<std::uint32_t>(rng());
    float f;
    std::memcpy(&f, &b, sizeof f);
    c.check(static_cast<double>(f));
  }
  std::uniform_real_distribution<double> ordinary(-1000.0, 1000.0);
  for (int i = 0; i < 300000; ++i) c.check(ordinary(rng));
  for (int i = 0; i < 20000; ++i) c.check(fromBits(rng()));
  // Whole parts of every length, and values just below a whole number.
  for (int i = 0; i < 60000; ++i) {
    const double v = (static_cast<double>(rng() % 1000000007) / 1000000007.0 - 0.5) * std::ldexp(1.0, static_cast<int>(rng() % 60) - 25);
    for (double w : {v, double{static_cast<float>(v)}, std::round(v), std::round(v) - 0.0000005}) c.check(w);
  }
  // Every exact binary tie of the sixth decimal is an odd multiple of 1/128; x.5e-6 are near-ties.
  for (int k = 1; k < 200000; k += 2) c.checkAround(k / 128.0);
  for (int k = 0; k < 200000; ++k) c.checkAround((k + 0.5) * 1e-6);
  for (double e : {0.0000005, 2.5e-6, 0.0000015, 4.76837158203125e-7, 0x1p40, 0x1p52, 0x1p53, 0x1p63, 0x1p64,
                   9007199254.740991, 1e15, 1e20, 1e300, 1e308, DBL_MAX, DBL_MIN, std::numeric_limits<double>::denorm_min(),
                   0.9999995, 0.99999949999999994, 999999.9999995, 1.0, 10.0, 123456789.123456789}) {
    c.checkAround(e);
  }
  EXPECT_EQ(c.failures, 0);
}

TEST(FormatInt, EveryDigitCountBoundaryMatchesPrintf) {
  std::vector<long long> values = {LLONG_MIN, LLONG_MAX, 4294967295LL, 4294967296LL, -4294967296LL, 65535, 65536};
  for (long long power = 1;; power *= 10) {
    for (long long v : {power - 1, power, power + 1}) values.insert(values.end(), {v, -v});
    if (power > LLONG_MAX / 10) break;
  }
  for (long long v : values) {
    char expected[32], got[24];
    std::snprintf(expected, sizeof expected, "%lld", v);
    EXPECT_EQ(std::string(got, formatInt(got, v)), expected) << v;
  }
}
