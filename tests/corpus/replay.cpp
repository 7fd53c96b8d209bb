// Every fuzz seed, damaged copies of each, and every input a fuzzer once found troublesome
// (kept in tests/corpus/<target>/) go through the real code paths again: never a crash
// nor an unsound object; the sanitizer build turns any memory fault into a failure too.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "harness.h"
#include "seeds.h"
#include "support/run.h"

namespace {

using Bytes = lwbuild::Bytes;

struct Target {
  const char* name;
  int (*entry)(const std::uint8_t*, std::size_t);
  bool text;
};

const Target kTargets[] = {{"lwob", fuzz::lwobInput, false}, {"lwo2", fuzz::lwo2Input, false}, {"lwo3", fuzz::lwo3Input, false},
                           {"lwsc", fuzz::lwscInput, true},
                           {"lwcfg", fuzz::lwcfgInput, true}, {"tga", fuzz::tgaInput, false},   {"bmp", fuzz::bmpInput, false}};

// Cuts, single bytes at four values and several random bytes at once (from a fixed seed, so that a failure
// repeats); in binary inputs up to 800 bytes every two- and four-byte field, wherever one may be, at lengths
// that matter and near its own value; in text, numbers at extremes.
std::vector<Bytes> damagedCopies(const Bytes& seed, bool text) {
  std::vector<Bytes> out;
  auto with = [&](std::size_t at, int width, std::uint32_t value) {
    Bytes& b = out.emplace_back(seed);
    for (int i = 0; i < width && at + i < b.size(); ++i) b[at + i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
  };
  const std::size_t step = text ? 1 + seed.size() / 150 : 1;
  for (std::size_t at = 0; at < seed.size(); at += step) {
    out.emplace_back(seed.begin(), seed.begin() + static_cast<long>(at));
    for (std::uint32_t v : {0x00u, 0x7Fu, 0x80u, 0xFFu}) with(at, 1, v);
    for (const int width : {2, 4}) {
      if (text || seed.size() > 800) break;
      std::uint32_t old = 0;
      for (int i = 0; i < width && at + i < seed.size(); ++i) old = (old << 8) | seed[at + i];
      for (std::uint32_t v : {0u, 1u, 3u, 12u, 0x7FFFu, 0xFFFFu, 0x7FFFFFFFu, 0xFFFFFFFFu, old - 2, old - 1, old + 1, old + 2})
        with(at, width, v);
    }
  }
  std::mt19937 random(12345);
  std::vector<std::size_t> numbers;  // where each number of a text starts
  for (std::size_t i = 1; text && i < seed.size(); ++i)
    if (seed[i] >= '0' && seed[i] <= '9' && (seed[i - 1] == ' ' || seed[i - 1] == '\n')) numbers.push_back(i);
  const std::string extremes[] = {"2147483647", "-2147483648", "99999999999999999999", "-1", "0", "1e308", "-1e308", "nan", "inf", "4294967296"};
  for (std::size_t round = 0; round < std::min<std::size_t>(600, 20 * seed.size()); ++round) {
    Bytes& b = out.emplace_back(seed);
    for (int c = 1 + static_cast<int>(random() % 8); c > 0; --c) b[random() % b.size()] = static_cast<std::uint8_t>(random());
    if (numbers.empty() || round % 3 != 0) continue;
    b = seed;  // or one number at an extreme
    const auto start = b.begin() + static_cast<long>(numbers[random() % numbers.size()]);
    const std::string& e = extremes[random() % std::size(extremes)];
    b.insert(b.erase(start, std::find_if(start, b.end(), [](std::uint8_t c) { return c == ' ' || c == '\n'; })), e.begin(), e.end());
  }
  return out;
}

class CorpusReplay : public ::testing::TestWithParam<Target> {};

TEST_P(CorpusReplay, SeedsDamagedCopiesAndStoredFindingsRunClean) {
  const Target& target = GetParam();
  int inputs = 0;
  for (const auto& [name, bytes] : fuzz::seedsFor(target.name)) {
    EXPECT_EQ(target.entry(bytes.data(), bytes.size()), 0) << name;
    const std::vector<Bytes> copies = damagedCopies(bytes, target.text);
    for (std::size_t i = 0; i < copies.size(); ++i) EXPECT_EQ(target.entry(copies[i].data(), copies[i].size()), 0) << name << " copy " << i;
    inputs += 1 + static_cast<int>(copies.size());
  }
  std::error_code ec;
  for (const auto& file : std::filesystem::directory_iterator(std::filesystem::path(TORVO_CORPUS_DIR) / target.name, ec)) {
    const std::string bytes = testsupport::readFile(file.path().string());
    EXPECT_EQ(target.entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0) << file.path();
    ++inputs;
  }
  EXPECT_GT(inputs, 1000);
}

INSTANTIATE_TEST_SUITE_P(AllFormats, CorpusReplay, ::testing::ValuesIn(kTargets),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
