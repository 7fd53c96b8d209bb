// Sampled motion as the AnimationSet shows it: which frames are sampled, which key sets are
// written, in what order and encoding, and how too many samples are refused.
#include "anim/sampling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/context.h"
#include "support/xtokens.h"
#include "xscene/animation.h"

using namespace torvo;

using testsupport::ctx;

using testsupport::addItem;
using testsupport::motionKey;
using Frames = std::vector<std::int32_t>;

namespace {

Frames samples(const LwScene& scene, const LwObject& item) {
  Frames frames;
  EXPECT_EQ(animationSampleFrames(scene, item, frames), Status::kOk);
  return frames;
}

struct Written {
  int result = 0; std::string text, console;
};

Written write(const LwScene& scene, bool binary = false, const ConvertOptions& set = {}) {
  XWriter out; out.binary = binary; Written w;
  w.console = testsupport::console([&] { w.result = testsupport::withOptions(set, [&] { return ok(writeAnimationSet(ctx(), scene, out, 0)) ? 0 : -1; }); });
  w.text = binary ? xtokens::decode(out.buffer) : std::string(out.buffer.begin(), out.buffer.end());
  return w;
}

}  // namespace

TEST(Animation, SampleFramesOfTheWorkedExamples) {
  const struct {
    std::vector<MotionKey> keys; int endBehavior, firstFrame, lastFrame, lookAhead; Frames frames; const char* what;
  } cases[] = {
      {{motionKey(0, 0), motionKey(10, 5), motionKey(20, 1)}, kEndStop, 0, 30, 0, {0, 3, 6, 10, 13, 16, 30}, "spline"},
      // The last key evaluates to the zero key, whose linear flag ends the spline sampling of the segment into it.
      {{motionKey(0, 0), motionKey(10, 5), motionKey(20, 1)}, kEndReset, 0, 30, 0, {0, 3, 6, 10, 21, 30}, "reset"},
      {{motionKey(0, 1)}, kEndStop, 0, 60, 0, {0}, "one key at 0"},
      {{motionKey(5, 1)}, kEndStop, 0, 60, 0, {0, 1, 2, 60}, "one key at 5"},
      // One extra sample per full 179 degrees turned: 360 gives frames 9 and 19.
      {{motionKey(0, 0, 0), motionKey(30, 0, 360, 1)}, kEndStop, 0, 30, 0, {0, 9, 19, 30}, "turn"},
      // A 40-frame spline segment gets 40/5 - 1 = 7 extra samples; 16 frames get 2.
      {{motionKey(0, 0), motionKey(40, 1)}, kEndStop, 0, 40, 0, {0, 4, 9, 14, 19, 24, 29, 34, 40}, "long segment"},
      {{motionKey(0, 0), motionKey(16, 1)}, kEndStop, 0, 16, 0, {0, 5, 10, 16}, "sixteen frames"},
      // Path alignment looks 5 frames ahead of the end of a linear segment.
      {{motionKey(0, 0), motionKey(40, 10, 0, 1)}, kEndStop, 0, 60, 5, {0, 35, 60}, "path alignment"},
      // Repeat walks the periods beyond the last key (period 11).
      {{motionKey(0, 0), motionKey(10, 10, 0, 1)}, kEndRepeat, 12, 30, 0, {12, 21, 22, 30}, "repeat"},
      {{motionKey(0, 0), motionKey(10, 10)}, kEndRepeat, 0, 25, 0, {0, 3, 6, 10, 11, 14, 17, 21, 22, 25, 28}, "repeat from the first period"},
      {{motionKey(-1, 7)}, kEndStop, 0, 10, 0, {0}, "one key before the range"}};
  for (const auto& c : cases) {
    LwScene scene; scene.firstFrame = c.firstFrame, scene.lastFrame = c.lastFrame; LwObject& item = addItem(scene, "0_a", 0, c.keys);
    item.endBehavior = c.endBehavior, item.pathAlignment = c.lookAhead > 0, item.lookAheadFrames = c.lookAhead > 0 ? c.lookAhead : 1;
    EXPECT_EQ(samples(scene, item), c.frames) << c.what;
  }
  // 100 keys repeated over ten thousand frames: every repeated key frame is a sample.
  LwScene scene; scene.firstFrame = 1000, scene.lastFrame = 11000; std::vector<MotionKey> keys;
  for (int i = 0; i < 100; ++i) keys.push_back(motionKey(i * 10, i % 7, i * 50.0, i % 2));
  LwObject& item = addItem(scene, "0_a", 0, keys); item.endBehavior = kEndRepeat; const Frames frames = samples(scene, item);
  EXPECT_TRUE(std::is_sorted(frames.begin(), frames.end()) && std::adjacent_find(frames.begin(), frames.end()) == frames.end());
  for (int frame = 991; frame < 11000; frame += (frame % 991) == 990 ? 1 : 10)
    EXPECT_TRUE(frame < 1000 || std::binary_search(frames.begin(), frames.end(), frame)) << frame;
  EXPECT_TRUE(frames.front() == 1000 && frames.back() == 11000 && frames.size() > 1500u);
}

TEST(Animation, TooManySamplesAreRefused) {
  LwScene scene; scene.lastFrame = 2000000000;
  LwObject& item = addItem(scene, "0_spin", 0, {motionKey(0, 0), motionKey(1, 1, 0, 1)});
  item.endBehavior = kEndRepeat;
  Frames frames;
  EXPECT_EQ(animationSampleFrames(scene, item, frames), Status::kBadInput);
  const Written spin = write(scene);
  EXPECT_EQ(std::to_string(spin.result) + " " + spin.console,
            "-1 writing animation...\nanimation of 0_spin too long: more than 10000000 samples\n");
  // One spline segment a billion frames long.
  item.endBehavior = kEndStop, item.motionKeys = {motionKey(0, 0), motionKey(1000000000, 1)}, scene.lastFrame = 10;
  EXPECT_EQ(animationSampleFrames(scene, item, frames), Status::kBadInput);
  // One spline segment with exactly ten million samples, the most an item may have.
  LwScene edge; edge.lastFrame = 49999995; addItem(edge, "0_e", 0, {motionKey(0, 0), motionKey(49999995, 1)});
  EXPECT_EQ(samples(edge, *edge.items[0]).size(), 10000000u);
  // Items with envelopes sample every frame: ten million are the most one may have.
  LwScene every; every.lastFrame = 9999999; addItem(every, "0_env", 0, {}).channels.resize(9);
  EXPECT_EQ(samples(every, *every.items[0]).size(), 10000000u); every.lastFrame = 10000000;
  EXPECT_EQ(animationSampleFrames(every, *every.items[0], frames), Status::kBadInput);
  // Frames near the ends of the int range neither overflow nor hang.
  scene.firstFrame = -2147483647 - 1, scene.lastFrame = 2147483647;
  item.motionKeys = {motionKey(2147483647, 0), motionKey(-2147483647 - 1, 1, 1e300, 1)};
  static_cast<void>(animationSampleFrames(scene, item, frames));
  item.endBehavior = kEndReset;
  static_cast<void>(animationSampleFrames(scene, item, frames));
  // Each item's 9,000,000-frame spline segment gets 1,799,999 extra samples: within the
  // limit for one item, but 28 of them pass the limit for a scene, refused before writing.
  LwScene many; many.lastFrame = 9000000;
  for (int i = 0; i < 28; ++i) addItem(many, std::to_string(i) + "_null", 0, {motionKey(0, 0), motionKey(9000000, 1)});
  EXPECT_EQ(samples(many, *many.items[0]).size(), 1800001u);
  const Written w = write(many);
  EXPECT_EQ(std::to_string(w.result) + " " + w.console + w.text,
            "-1 writing animation...\nanimation too long: more than 50000000 samples in the scene\n");
}

TEST(Animation, KeySetsTextAndBinary) {
  LwScene scene; scene.lastFrame = 10;
  addItem(scene, "0_box", 0, {motionKey(0, 0), motionKey(10, 10, 0, 1)});
  const Written w = write(scene);
  EXPECT_EQ(std::to_string(w.result) + " " + w.console + w.text,
            "0 writing animation...\nAnimationSet AnimationSet0 {\n Animation Animation0 {\n  {Frame0_box}\n  AnimationKey {\n   2;\n   2;\n"
            "   0; 3; 0.000000, 0.000000, 0.000000;;,\n   10; 3; 10.000000, 0.000000, 0.000000;;;\n  }\n }\n}\n");
  EXPECT_EQ(write(scene, true).text, "AnimationSet AnimationSet0 { Animation Animation0 { { Frame0_box } AnimationKey { I(2,2) "
                                     "I(0,3) F(0.000000,0.000000,0.000000) I(10,3) F(10.000000,0.000000,0.000000) } } }");
  const std::pair<std::vector<MotionKey>, std::string> rows[] = {
      // A single rotation key for heading 90; nothing else differs from neutral.
      {{motionKey(0, 0, 90)}, "AnimationKey {\n   0;\n   1;\n   0; 4; 0.707107, 0.000000, -0.707107, 0.000000;;;\n  }\n }"},
      // Everything neutral still gives one scale key.
      {{motionKey(0, 0)}, "AnimationKey {\n   1;\n   1;\n   0; 3; 1.000000, 1.000000, 1.000000;;;\n  }\n }"},
      // Only y or only z moving, only pitch or only bank turning, each channel compared on its own.
      {{motionKey(0, 0, 0, 0, 2), motionKey(10, 0, 0, 1, 2, 5)},
       "AnimationKey {\n   2;\n   2;\n   0; 3; 0.000000, 2.000000, 0.000000;;,\n   10; 3; 0.000000, 2.000000, 5.000000;;;\n  }\n }"},
      {{motionKey(0, 0, 0, 0, 1)}, "AnimationKey {\n   2;\n   1;\n   0; 3; 0.000000, 1.000000, 0.000000;;;\n  }\n }"},
      // Turning in place: every rotation sample, one position key.
      {{motionKey(0, 1, 0), motionKey(10, 1, 90, 1)},
       "AnimationKey {\n   0;\n   2;\n   0; 4; 1.000000, 0.000000, 0.000000, 0.000000;;,\n   10; 4; 0.707107, 0.000000, -0.707107, 0.000000;;;"
       "\n  }\n  AnimationKey {\n   2;\n   1;\n   0; 3; 1.000000, 0.000000, 0.000000;;;\n  }\n }"}};
  for (const auto& [keys, expected] : rows) {
    scene.items[0]->motionKeys = keys; const std::string text = write(scene).text;
    EXPECT_EQ(text.substr(text.find("AnimationKey"), text.size() - text.find("AnimationKey") - 3), expected);
  }
  for (int channel : {kPitch, kBank, kScaleY, kScaleZ}) {
    scene.items[0]->motionKeys = {motionKey(0, 0), motionKey(10, 0, 0, 1)};
    scene.items[0]->motionKeys[1].values[channel] = 2; const std::string text = write(scene).text;
    const std::size_t at = text.find("AnimationKey {\n   " + std::string(channel < kScaleX ? "0" : "1") + ";\n   2;\n");
    EXPECT_TRUE(at != std::string::npos && text.find("AnimationKey", at + 1) == std::string::npos) << channel << text;
  }
  // Reset zeroes everything after the last key, scale included; times count from FirstFrame.
  scene.firstFrame = 5, scene.lastFrame = 30; scene.items[0]->endBehavior = kEndReset;
  scene.items[0]->motionKeys = {motionKey(5, 1), motionKey(20, 2)};
  const std::string reset = write(scene).text;
  for (const char* key : {"   16; 3; 0.000000, 0.000000, 0.000000;;,\n", "   0; 3; 1.000000, 1.000000, 1.000000;;,\n",
                          "   0; 3; 1.000000, 0.000000, 0.000000;;,\n"})
    EXPECT_NE(reset.find(key), std::string::npos) << key;
}

TEST(Animation, OrderNamesParentPivotAndTargets) {
  LwScene scene; scene.lastFrame = 10;
  const std::vector<MotionKey> moving = {motionKey(0, 0), motionKey(10, 1)};
  addItem(scene, "0_cube", 0, moving).pivot[0] = 2.0f; addItem(scene, "1_top", 0, moving);
  addItem(scene, "2_child", 1, {motionKey(0, 2), motionKey(10, 2)});
  addItem(scene, "3_still", 0, {});
  addItem(scene, "4_lost", 99, moving); addItem(scene, "5_cycle", 7, moving); addItem(scene, "6_cycle", 6, moving);
  addItem(scene, "7_aimed", 0, moving).targetIndex = 42;
  addItem(scene, "8_eye", 0, {motionKey(0, 0), motionKey(10, 0, 0, 1)}).targetIndex = 10;
  addItem(scene, "9_goal", 0, {motionKey(0, 1, 0, 0, 0, 1), motionKey(10, 1, 0, 0, 0, 1)});
  const std::string text = write(scene, false, {.framePrefix = "P"}).text;
  std::string order;
  for (std::size_t at = text.find("{P"); at != std::string::npos; at = text.find("{P", at + 1)) order += text.substr(at + 2, 2);
  EXPECT_EQ(order, "0_2_1_7_8_9_");  // depth first; items without keys or outside the tree are left out
  // The child stands on the parent's pivot: its position keys are zero, yet written.
  EXPECT_NE(text.find("{P2_child}\n  AnimationKey {\n   2;\n   1;\n   0; 3; 0.000000, 0.000000, 0.000000;;;\n"), std::string::npos);
  // The eye turns to its target (heading 45: cos 22.5, 0, -sin 22.5, 0); without keys the target is no target.
  EXPECT_NE(text.find("   0; 4; 0.923880, 0.000000, -0.382683, 0.000000;;"), std::string::npos);
  scene.items[9]->motionKeys.clear();
  EXPECT_EQ(write(scene).text.find("0.923880"), std::string::npos);
  LwScene chain;
  for (int i = 0; i < 3; ++i) addItem(chain, std::to_string(i) + "_n", i, moving);
  XWriter one;
  const std::string printed = testsupport::console([&] {
    EXPECT_EQ(writeAnimation(ctx(), chain, 2, one, 0), Status::kOk);
    EXPECT_EQ(writeAnimation(ctx(), chain, 3, one, 0), Status::kOk);
  });
  EXPECT_EQ(printed, "");
  EXPECT_EQ(std::string(one.buffer.begin(), one.buffer.end()).rfind(" Animation Animation2 {\n  {Frame2_n}\n", 0), 0u);
}
