// Every fuzz seed and every input a fuzzer once found troublesome (kept in
// tests/corpus/<target>/) goes through the real code path again; the sanitizer
// build turns any memory fault back into a failure.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "harness.h"
#include "seeds.h"
#include "support/run.h"

namespace {

using Entry = int (*)(const std::uint8_t*, std::size_t);

struct Target {
  const char* name;
  Entry entry;
};

const Target kTargets[] = {{"lwob", fuzz::lwobInput}, {"lwo2", fuzz::lwo2Input}, {"lwsc", fuzz::lwscInput}, {"lwcfg", fuzz::lwcfgInput},
                           {"tga", fuzz::tgaInput},   {"bmp", fuzz::bmpInput}};

class CorpusReplay : public ::testing::TestWithParam<Target> {};

TEST_P(CorpusReplay, SeedsAndStoredFindingsRunClean) {
  const Target& target = GetParam();
  int inputs = 0;
  for (const auto& [name, bytes] : fuzz::seedsFor(target.name)) {
    SCOPED_TRACE(name);
    target.entry(bytes.data(), bytes.size());
    ++inputs;
  }
  const std::filesystem::path dir = std::filesystem::path(TORVO_CORPUS_DIR) / target.name;
  std::error_code ec;
  for (const auto& file : std::filesystem::directory_iterator(dir, ec)) {
    SCOPED_TRACE(file.path().string());
    const std::string bytes = testsupport::readFile(file.path().string());
    target.entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ++inputs;
  }
  EXPECT_GT(inputs, 0);
}

INSTANTIATE_TEST_SUITE_P(AllFormats, CorpusReplay, ::testing::ValuesIn(kTargets),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
