#include "anim/animation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "app/options.h"
#include "xscene/frames.h"
#include "support/scene_items.h"

namespace {

MotionKey key(int frame, double x, double h = 0.0, int linear = 0) {
  MotionKey k;
  k.frame = frame;
  k.linear = linear;
  k.values[kPosX] = x;
  k.values[kHeading] = h;
  k.values[kScaleX] = k.values[kScaleY] = k.values[kScaleZ] = 1.0;
  return k;
}

using testsupport::addItem;

std::vector<std::int32_t> samples(const LwScene& scene, int item = 0) {
  std::vector<std::int32_t> frames;
  EXPECT_EQ(animationSampleFrames(scene, *scene.items[static_cast<std::size_t>(item)], frames), 0);
  return frames;
}

using Frames = std::vector<std::int32_t>;

class Animation : public testing::Test {
 protected:
  void SetUp() override { options() = {}; }
  void TearDown() override { options() = {}; }

  std::string write(const LwScene& scene, bool binary = false) {
    XWriter out;
    out.binary = binary;
    testing::internal::CaptureStdout();
    result = writeAnimationSet(scene, out, 0);
    console = testing::internal::GetCapturedStdout();
    return std::string(out.buffer.begin(), out.buffer.end());
  }

  int result = 0;
  std::string console;
};

}  // namespace

TEST_F(Animation, SampleFramesOfTheWorkedExamples) {
  const struct {
    std::vector<MotionKey> keys;
    int endBehavior, firstFrame, lastFrame, lookAhead;
    Frames frames;
    const char* what;
  } cases[] = {
      {{key(0, 0), key(10, 5), key(20, 1)}, kEndStop, 0, 30, 0, {0, 3, 6, 10, 13, 16, 30}, "spline"},
      // The last key evaluates to the zero key, whose linear flag ends the spline sampling of the segment into it.
      {{key(0, 0), key(10, 5), key(20, 1)}, kEndReset, 0, 30, 0, {0, 3, 6, 10, 21, 30}, "reset"},
      {{key(0, 1)}, kEndStop, 0, 60, 0, {0}, "one key at 0"},
      {{key(5, 1)}, kEndStop, 0, 60, 0, {0, 1, 2, 60}, "one key at 5"},
      // One extra sample per full 179 degrees turned: 360 gives frames 9 and 19.
      {{key(0, 0, 0), key(30, 0, 360, 1)}, kEndStop, 0, 30, 0, {0, 9, 19, 30}, "turn"},
      // A 40-frame spline segment gets 40/5 - 1 = 7 extra samples.
      {{key(0, 0), key(40, 1)}, kEndStop, 0, 40, 0, {0, 4, 9, 14, 19, 24, 29, 34, 40}, "long segment"},
      // Path alignment looks 5 frames ahead of the end of a linear segment.
      {{key(0, 0), key(40, 10, 0, 1)}, kEndStop, 0, 60, 5, {0, 35, 60}, "path alignment"},
      // Repeat walks the periods beyond the last key (period 11).
      {{key(0, 0), key(10, 10, 0, 1)}, kEndRepeat, 12, 30, 0, {12, 21, 22, 30}, "repeat"},
  };
  for (const auto& c : cases) {
    LwScene scene;
    scene.firstFrame = c.firstFrame;
    scene.lastFrame = c.lastFrame;
    LwObject& item = addItem(scene, "0_a", 0, c.keys);
    item.endBehavior = c.endBehavior;
    item.pathAlignment = c.lookAhead > 0 ? 1 : 0;
    item.lookAheadFrames = c.lookAhead > 0 ? c.lookAhead : 1;
    EXPECT_EQ(samples(scene), c.frames) << c.what;
  }
}

TEST_F(Animation, LongRangesManyKeys) {
  // 100 keys repeated over ten thousand frames: every repeated key frame is a sample.
  LwScene scene;
  scene.firstFrame = 1000;
  scene.lastFrame = 11000;
  std::vector<MotionKey> keys;
  for (int i = 0; i < 100; ++i) keys.push_back(key(i * 10, i % 7, i * 50.0, i % 2));
  LwObject& item = addItem(scene, "0_a", 0, keys);
  item.endBehavior = kEndRepeat;
  const Frames frames = samples(scene);
  EXPECT_TRUE(std::is_sorted(frames.begin(), frames.end()));
  EXPECT_EQ(std::adjacent_find(frames.begin(), frames.end()), frames.end());
  for (int period = 1; period <= 10; ++period) {
    for (int i = 0; i < 100; ++i) {
      const int frame = 991 * period + i * 10;
      if (frame >= 1000 && frame < 11000) {
        EXPECT_TRUE(std::binary_search(frames.begin(), frames.end(), frame)) << frame;
      }
    }
  }
  EXPECT_EQ(frames.front(), 1000);
  EXPECT_EQ(frames.back(), 11000);
  EXPECT_GT(frames.size(), 1500u);
}

TEST_F(Animation, TooManySamplesAreRefused) {
  LwScene scene;
  scene.lastFrame = 2000000000;
  LwObject& item = addItem(scene, "0_spin", 0, {key(0, 0), key(1, 1, 0, 1)});
  item.endBehavior = kEndRepeat;
  std::vector<std::int32_t> frames;
  EXPECT_LT(animationSampleFrames(scene, item, frames), 0);
  const std::string text = write(scene);
  EXPECT_LT(result, 0);
  EXPECT_NE(console.find("animation of 0_spin too long: more than 10000000 samples\n"), std::string::npos);

  // One spline segment a billion frames long.
  item.endBehavior = kEndStop;
  item.motionKeys = {key(0, 0), key(1000000000, 1)};
  scene.lastFrame = 10;
  EXPECT_LT(animationSampleFrames(scene, item, frames), 0);

  // Frames near the ends of the int range neither overflow nor hang.
  scene.firstFrame = -2147483647 - 1;
  scene.lastFrame = 2147483647;
  item.motionKeys = {key(2147483647, 0), key(-2147483647 - 1, 1, 1e300, 1)};
  animationSampleFrames(scene, item, frames);
  item.endBehavior = kEndReset;
  animationSampleFrames(scene, item, frames);
}

TEST_F(Animation, TooManySamplesInTheWholeSceneAreRefusedBeforeWriting) {
  // Each item's 9,000,000-frame spline segment gets 1,799,999 extra samples: within the
  // limit for one item, but 28 of them pass the limit for a scene.
  LwScene scene;
  scene.lastFrame = 9000000;
  for (int i = 0; i < 28; ++i) addItem(scene, std::to_string(i) + "_null", 0, {key(0, 0), key(9000000, 1)});
  EXPECT_EQ(samples(scene).size(), 1800001u);
  const std::string text = write(scene);
  EXPECT_LT(result, 0);
  EXPECT_EQ(console, "writing animation...\nanimation too long: more than 50000000 samples in the scene\n");
  EXPECT_EQ(text, "");
}

TEST_F(Animation, TextKeySets) {
  LwScene scene;
  scene.lastFrame = 10;
  addItem(scene, "0_box", 0, {key(0, 0), key(10, 10, 0, 1)});
  EXPECT_EQ(write(scene),
            "AnimationSet AnimationSet0 {\n"
            " Animation Animation0 {\n"
            "  {Frame0_box}\n"
            "  AnimationKey {\n"
            "   2;\n"
            "   2;\n"
            "   0; 3; 0.000000, 0.000000, 0.000000;;,\n"
            "   10; 3; 10.000000, 0.000000, 0.000000;;;\n"
            "  }\n"
            " }\n"
            "}\n");
  EXPECT_EQ(console, "writing animation...\n");
  EXPECT_EQ(result, 0);

  // A single rotation key for heading 90; nothing else differs from neutral.
  scene.items[0]->motionKeys = {key(0, 0, 90)};
  const std::string turned = write(scene);
  EXPECT_NE(turned.find("   0;\n   1;\n   0; 4; 0.707107, 0.000000, -0.707107, 0.000000;;;\n"), std::string::npos);
  EXPECT_EQ(turned.find("AnimationKey", turned.find("AnimationKey") + 1), std::string::npos);

  // Everything neutral still gives one scale key.
  scene.items[0]->motionKeys = {key(0, 0)};
  EXPECT_NE(write(scene).find("   1;\n   1;\n   0; 3; 1.000000, 1.000000, 1.000000;;;\n"), std::string::npos);

  // Reset zeroes everything after the last key, scale included; times count from FirstFrame.
  scene.firstFrame = 5;
  scene.lastFrame = 30;
  scene.items[0]->endBehavior = kEndReset;
  scene.items[0]->motionKeys = {key(5, 1), key(20, 2)};
  const std::string reset = write(scene);
  EXPECT_NE(reset.find("   16; 3; 0.000000, 0.000000, 0.000000;;,\n"), std::string::npos);
  EXPECT_NE(reset.find("   0; 3; 1.000000, 1.000000, 1.000000;;,\n"), std::string::npos);
  EXPECT_NE(reset.find("   0; 3; 1.000000, 0.000000, 0.000000;;,\n"), std::string::npos);
}

TEST_F(Animation, OrderNamesPrefixAndParentPivot) {
  LwScene scene;
  scene.lastFrame = 10;
  addItem(scene, "0_cube", 0, {key(0, 0), key(10, 1)}).pivot[0] = 2.0f;
  addItem(scene, "1_top", 0, {key(0, 0), key(10, 1)});
  addItem(scene, "2_child", 1, {key(0, 2), key(10, 2)});
  addItem(scene, "3_still", 0, {});
  addItem(scene, "4_lost", 9, {key(0, 0), key(10, 1)});
  addItem(scene, "5_cycle", 7, {key(0, 0), key(10, 1)});
  addItem(scene, "6_cycle", 6, {key(0, 0), key(10, 1)});
  addItem(scene, "7_aimed", 0, {key(0, 0), key(10, 1)}).targetIndex = 42;
  options().framePrefix = "P";
  const std::string text = write(scene);
  std::vector<std::size_t> at;  // in this order
  for (const char* head : {"Animation Animation0 {\n  {P0_cube}", "Animation Animation2 {\n  {P2_child}",
                           "Animation Animation1 {\n  {P1_top}", "Animation Animation7 {"}) {
    at.push_back(text.find(head));
    ASSERT_NE(at.back(), std::string::npos) << head;
  }
  EXPECT_TRUE(std::is_sorted(at.begin(), at.end()));
  for (const char* absent : {"Animation3", "Animation4", "Animation5", "Animation6"}) {
    EXPECT_EQ(text.find(absent), std::string::npos) << absent;
  }
  // The child stands on the parent's pivot: its position keys are zero, yet written.
  const std::string child = text.substr(at[1], at[2] - at[1]);
  EXPECT_NE(child.find("   2;\n   1;\n   0; 3; 0.000000, 0.000000, 0.000000;;;\n"), std::string::npos);
}

TEST_F(Animation, BinaryKeySet) {
  LwScene scene;
  scene.lastFrame = 10;
  addItem(scene, "0_box", 0, {key(0, 0), key(10, 10, 0, 1)});
  const std::string bytes = write(scene, true);
  std::string expected;
  auto word = [&](unsigned v) {
    expected += static_cast<char>(v & 0xFF);
    expected += static_cast<char>(v >> 8);
  };
  auto dword = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) expected += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  auto name = [&](const std::string& s) {
    word(1);
    dword(static_cast<std::uint32_t>(s.size()));
    expected += s;
  };
  auto floats = [&](float x, float y, float z) {
    word(7);
    dword(3);
    for (float f : {x, y, z}) {
      std::uint32_t bits;
      std::memcpy(&bits, &f, 4);
      dword(bits);
    }
  };
  // Tokens: 1 name, 6 integer list, 7 float list, 10 "{", 11 "}".
  name("AnimationSet"), name("AnimationSet0"), word(10);
  name("Animation"), name("Animation0"), word(10);
  word(10), name("Frame0_box"), word(11);
  name("AnimationKey"), word(10);
  word(6), dword(2), dword(2), dword(2);
  word(6), dword(2), dword(0), dword(3), floats(0, 0, 0);
  word(6), dword(2), dword(10), dword(3), floats(10, 0, 0);
  word(11), word(11), word(11);
  EXPECT_EQ(bytes, expected);
}

TEST_F(Animation, DeepChainInDepthFirstOrder) {
  LwScene scene;
  scene.lastFrame = 10;
  const int depth = 5000;
  for (int i = 0; i < depth; ++i) addItem(scene, std::to_string(i) + "_n", i, {key(0, 0), key(10, 1)});
  const std::string text = write(scene);
  EXPECT_EQ(result, 0);
  std::size_t pos = 0;
  for (int i = 0; i < depth; ++i) {
    pos = text.find("Animation Animation" + std::to_string(i) + " {", pos);
    ASSERT_NE(pos, std::string::npos) << i;
  }
}

TEST_F(Animation, AimingAtATarget) {
  LwScene scene;
  scene.lastFrame = 10;
  LwObject& aimed = addItem(scene, "0_eye", 0, {key(0, 0), key(10, 0, 0, 1)});
  LwObject& target = addItem(scene, "1_goal", 0, {key(0, 1), key(10, 1)});
  target.motionKeys[0].values[kPosZ] = 1.0;
  target.motionKeys[1].values[kPosZ] = 1.0;
  aimed.targetIndex = 2;
  // cos(22.5), 0, -sin(22.5), 0 for heading 45.
  EXPECT_NE(write(scene).find("   0; 4; 0.923880, 0.000000, -0.382683, 0.000000;;"), std::string::npos);
  target.motionKeys.clear();
  EXPECT_EQ(write(scene).find("0.923880"), std::string::npos);
}
