// Damaged scene text must never crash the reader or the writers behind it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>

#include "app/options.h"
#include "lwbuild.h"
#include "lws/scene.h"
#include "xscene/frames.h"

namespace {

using lwbuild::key;

std::string sampleScene() {
  lwbuild::LwscBuilder b(0, 40);
  b.line("AddNullObject Root");
  b.motion("ObjectMotion (unnamed)", {key(0, 0, 0, 0), key(10, 1, 2, 3, 90, 0, 0), key(20, 0, 1, 0, 0, 45, 10)});
  b.line("EndBehavior 2\nPivotPoint 0.5 0.5 0\nPlugin ItemMotionHandler 1 Noise\nLoadObject Objects\\ignored.lwo");
  b.line("EndPlugin\nAddNullObject Child");
  b.motion("ObjectMotion (unnamed)", {key(0, 1, 0, 0, 0, 0, 0, 2, 2, 2, 1), key(30, 0, 0, 5, 0, 0, 360)});
  b.line("ParentObject 1\nTargetObject 3\nPathAlignment 1\nLookAheadFrames 3\nEndBehavior 0\nMorphTarget 1");
  b.line("AddLight\nLightName Key");
  b.motion("LightMotion (unnamed)", {key(0, 0, 5, 0), key(40, 5, 5, 0)});
  b.line("ParentObject 2");
  b.motion("CameraMotion", {key(0, 0, 1, -5), key(15, 0, 2, -5)});
  b.line("TargetObject 1\nObjDissolve 0.5");
  return b.text();
}

// Reads the text as a scene and, when it is one, writes it in both encodings.
void readAndWrite(const std::string& text) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  LwScene scene;
  const int r = lwReadScene(scene, f, true, true, false, true, true);
  std::fclose(f);
  if (r >= 0) {
    for (const bool binary : {false, true}) {
      XWriter out;
      out.binary = binary;
      MaterialTable table;
      writeScene(table, scene, out);
    }
  }
  lwReleaseScene(scene);
}

class SceneMutation : public testing::Test {
 protected:
  void SetUp() override {
    options() = {};
    testing::internal::CaptureStdout();
  }
  void TearDown() override {
    testing::internal::GetCapturedStdout();
    options() = {};
  }
  const std::string text = sampleScene();
};

}  // namespace

TEST_F(SceneMutation, TruncatedMotionBlockKeepsTheKeysBeforeIt) {
  LwScene scene;
  const std::string cut = "LWSC\n1\nAddNullObject a\nObjectMotion\n9\n3\n 0 0 0 0 0 0 1 1 1 0 0 0 0 0\n 1 2";
  std::FILE* f = std::tmpfile();
  std::fwrite(cut.data(), 1, cut.size(), f);
  std::rewind(f);
  EXPECT_EQ(lwReadScene(scene, f, true, true, false, false, false), 1);
  std::fclose(f);
  ASSERT_EQ(scene.items.size(), 1u);
  EXPECT_EQ(scene.items[0]->motionKeys.size(), 1u);
}

TEST_F(SceneMutation, CutAtEveryLength) {
  for (std::size_t length = 0; length <= text.size(); ++length) readAndWrite(text.substr(0, length));
}

TEST_F(SceneMutation, RandomByteFlips) {
  std::mt19937 random(20240607);
  std::uniform_int_distribution<std::size_t> where(0, text.size() - 1);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> flips(1, 8);
  for (int round = 0; round < 1500; ++round) {
    std::string mutated = text;
    const int count = flips(random);
    for (int i = 0; i < count; ++i) mutated[where(random)] = static_cast<char>(byte(random));
    readAndWrite(mutated);
  }
}

TEST_F(SceneMutation, ExtremeNumbers) {
  const char* extremes[] = {"2147483647", "-2147483648", "99999999999999999999", "-1", "0", "1e308", "-1e308", "nan",
                            "inf",        "4294967296"};
  std::vector<std::size_t> numbers;  // start of every number in the text
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (digit && (i == 0 || text[i - 1] == ' ' || text[i - 1] == '\n')) numbers.push_back(i);
  }
  std::mt19937 random(99);
  std::uniform_int_distribution<std::size_t> which(0, numbers.size() - 1);
  std::uniform_int_distribution<std::size_t> extreme(0, std::size(extremes) - 1);
  for (int round = 0; round < 300; ++round) {
    std::string mutated = text;
    // Replace from the back so earlier positions stay valid.
    std::vector<std::size_t> picks = {which(random), which(random), which(random)};
    std::sort(picks.rbegin(), picks.rend());
    for (const std::size_t pick : picks) {
      const std::size_t start = numbers[pick];
      std::size_t end = start;
      while (end < mutated.size() && mutated[end] != ' ' && mutated[end] != '\n') ++end;
      mutated.replace(start, end - start, extremes[extreme(random)]);
    }
    readAndWrite(mutated);
  }
}
