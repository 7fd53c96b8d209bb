// Sampled motion as the AnimationSet shows it: which frames are sampled, which key sets are
// written, in what order and encoding, and how too many samples are refused.
#include "anim/sampling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "support/context.h"
#include "support/xtokens.h"
#include "xscene/animation.h"

using namespace torvo;

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
  Status result = Status::kOk;
  std::string text;
  std::string printed;
};

Written write(const LwScene& scene, bool binary = false, const ConvertOptions& options = {}) {
  testsupport::TestRun run(options);
  XWriter out;
  out.binary = binary;
  Written w;
  w.result = writeAnimationSet(run.context, scene, out, 0);
  w.printed = run.printed;
  w.text = binary ? xtokens::decode(out.buffer) : std::string(out.buffer.begin(), out.buffer.end());
  return w;
}

// The text of the first AnimationKey on, without the set's closing brace.
std::string keySets(const std::string& text) {
  const std::size_t at = text.find("AnimationKey");
  return text.substr(at, text.size() - at - 3);
}

}  // namespace

TEST(Animation, SampleFramesOfTheWorkedExamples) {
  const struct {
    std::vector<MotionKey> keys;
    int endBehavior, firstFrame, lastFrame, lookAhead;
    Frames frames;
    const char* what;
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
      {{motionKey(-1, 7)}, kEndStop, 0, 10, 0, {0}, "one key before the range"},
      {{motionKey(INT32_MIN, 7)}, kEndStop, INT32_MIN, INT32_MIN + 10, 0, {INT32_MIN}, "one key at the lowest frame"},
      {{motionKey(INT32_MAX, 7)}, kEndStop, INT32_MAX, INT32_MAX, 0, {INT32_MAX}, "one key at the highest frame"}};
  for (const auto& c : cases) {
    LwScene scene;
    scene.firstFrame = c.firstFrame;
    scene.lastFrame = c.lastFrame;
    LwObject& item = addItem(scene, "0_a", c.keys);
    item.endBehavior = c.endBehavior;
    item.pathAlignment = c.lookAhead > 0;
    item.lookAheadFrames = c.lookAhead > 0 ? c.lookAhead : 1;
    EXPECT_EQ(samples(scene, item), c.frames) << c.what;
  }
}

TEST(Animation, TooManySamplesAreRefused) {
  LwScene scene;
  scene.lastFrame = 2000000000;
  LwObject& item = addItem(scene, "0_spin", {motionKey(0, 0), motionKey(1, 1, 0, 1)});
  item.endBehavior = kEndRepeat;
  Frames frames;
  EXPECT_EQ(animationSampleFrames(scene, item, frames), Status::kBadInput);
  const Written spin = write(scene);
  EXPECT_EQ(spin.result, Status::kBadInput);
  EXPECT_EQ(spin.printed, "writing animation...\nanimation of 0_spin too long: more than 10000000 samples\n");
  // One spline segment a billion frames long.
  item.endBehavior = kEndStop;
  item.motionKeys = {motionKey(0, 0), motionKey(1000000000, 1)};
  scene.lastFrame = 10;
  EXPECT_EQ(animationSampleFrames(scene, item, frames), Status::kBadInput);
  // One spline segment with exactly ten million samples, the most an item may have.
  LwScene edge;
  edge.lastFrame = 49999995;
  addItem(edge, "0_e", {motionKey(0, 0), motionKey(49999995, 1)});
  EXPECT_EQ(samples(edge, *edge.items[0]).size(), 10000000u);
  // Items with envelopes sample every frame.
  LwScene every;
  every.lastFrame = 9999999;
  addItem(every, "0_env", {}).channels.resize(9);
  EXPECT_EQ(samples(every, *every.items[0]).size(), 10000000u);
  every.lastFrame = 10000000;
  EXPECT_EQ(animationSampleFrames(every, *every.items[0], frames), Status::kBadInput);
  // Frames near the ends of the int range neither overflow nor hang.
  scene.firstFrame = -2147483647 - 1;
  scene.lastFrame = 2147483647;
  item.motionKeys = {motionKey(2147483647, 0), motionKey(-2147483647 - 1, 1, 1e300, 1)};
  static_cast<void>(animationSampleFrames(scene, item, frames));
  item.endBehavior = kEndReset;
  static_cast<void>(animationSampleFrames(scene, item, frames));
  // 1,800,001 samples each are within the limit for one item; 28 of them pass the scene's, refused before writing.
  LwScene many;
  many.lastFrame = 9000000;
  for (int i = 0; i < 28; ++i) addItem(many, std::to_string(i) + "_null", {motionKey(0, 0), motionKey(9000000, 1)});
  EXPECT_EQ(samples(many, *many.items[0]).size(), 1800001u);
  const Written w = write(many);
  EXPECT_EQ(w.result, Status::kBadInput);
  EXPECT_EQ(w.printed, "writing animation...\nanimation too long: more than 50000000 samples in the scene\n");
  EXPECT_EQ(w.text, "");
}

TEST(Animation, KeySetsTextAndBinary) {
  LwScene scene;
  scene.lastFrame = 10;
  addItem(scene, "0_box", {motionKey(0, 0), motionKey(10, 10, 0, 1)});
  const Written w = write(scene);
  EXPECT_EQ(w.result, Status::kOk);
  EXPECT_EQ(w.printed, "writing animation...\n");
  EXPECT_EQ(w.text, "AnimationSet AnimationSet0 {\n Animation Animation0 {\n  {Frame0_box}\n  AnimationKey {\n   2;\n   2;\n"
                    "   0; 3; 0.000000, 0.000000, 0.000000;;,\n   10; 3; 10.000000, 0.000000, 0.000000;;;\n  }\n }\n}\n");
  EXPECT_EQ(write(scene, true).text, "AnimationSet AnimationSet0 { Animation Animation0 { { Frame0_box } AnimationKey { I(2,2) "
                                     "I(0,3) F(0.000000,0.000000,0.000000) I(10,3) F(10.000000,0.000000,0.000000) } } }");
  // Key set types: 0 rotation, 1 scale, 2 position; a set is written only for what differs from neutral.
  const struct {
    const char* label;
    std::vector<MotionKey> keys;
    std::string sets;
  } rows[] = {
      {"heading 90", {motionKey(0, 0, 90)}, "AnimationKey {\n   0;\n   1;\n   0; 4; 0.707107, 0.000000, -0.707107, 0.000000;;;\n  }\n }"},
      {"all neutral: one scale key", {motionKey(0, 0)}, "AnimationKey {\n   1;\n   1;\n   0; 3; 1.000000, 1.000000, 1.000000;;;\n  }\n }"},
      {"only y and z", {motionKey(0, 0, 0, 0, 2), motionKey(10, 0, 0, 1, 2, 5)},
       "AnimationKey {\n   2;\n   2;\n   0; 3; 0.000000, 2.000000, 0.000000;;,\n   10; 3; 0.000000, 2.000000, 5.000000;;;\n  }\n }"},
      {"only y", {motionKey(0, 0, 0, 0, 1)}, "AnimationKey {\n   2;\n   1;\n   0; 3; 0.000000, 1.000000, 0.000000;;;\n  }\n }"},
      {"turning in place", {motionKey(0, 1, 0), motionKey(10, 1, 90, 1)},
       "AnimationKey {\n   0;\n   2;\n   0; 4; 1.000000, 0.000000, 0.000000, 0.000000;;,\n   10; 4; 0.707107, 0.000000, -0.707107, 0.000000;;;"
       "\n  }\n  AnimationKey {\n   2;\n   1;\n   0; 3; 1.000000, 0.000000, 0.000000;;;\n  }\n }"}};
  for (const auto& row : rows) {
    scene.items[0]->motionKeys = row.keys;
    EXPECT_EQ(keySets(write(scene).text), row.sets) << row.label;
  }
  // Each channel compared on its own: pitch or bank alone turn, y or z scale alone scale.
  for (int channel : {kPitch, kBank, kScaleY, kScaleZ}) {
    scene.items[0]->motionKeys = {motionKey(0, 0), motionKey(10, 0, 0, 1)};
    scene.items[0]->motionKeys[1].values[channel] = 2;
    const std::string sets = keySets(write(scene).text);
    EXPECT_EQ(sets.rfind("AnimationKey {\n   " + std::string(channel < kScaleX ? "0" : "1") + ";\n   2;\n", 0), 0u) << channel;
    EXPECT_EQ(sets.find("AnimationKey", 1), std::string::npos) << channel;
  }
  // Reset zeroes everything after the last key, scale included; times count from FirstFrame.
  scene.firstFrame = 5;
  scene.lastFrame = 30;
  scene.items[0]->endBehavior = kEndReset;
  scene.items[0]->motionKeys = {motionKey(5, 1), motionKey(20, 2)};
  const std::string reset = write(scene).text;
  for (const char* key : {"   16; 3; 0.000000, 0.000000, 0.000000;;,\n", "   0; 3; 1.000000, 1.000000, 1.000000;;,\n",
                          "   0; 3; 1.000000, 0.000000, 0.000000;;,\n"})
    EXPECT_NE(reset.find(key), std::string::npos) << key;
}

TEST(Animation, OrderNamesParentPivotAndTargets) {
  LwScene scene;
  scene.lastFrame = 10;
  const std::vector<MotionKey> moving = {motionKey(0, 0), motionKey(10, 1)};
  addItem(scene, "0_cube", moving).pivot[0] = 2.0f;
  addItem(scene, "1_top", moving);
  addItem(scene, "2_child", {motionKey(0, 2), motionKey(10, 2)}, 0);
  addItem(scene, "3_still", {});
  addItem(scene, "4_lost", moving).detached = true;
  addItem(scene, "5_cycle", moving, 6);
  addItem(scene, "6_cycle", moving, 5);
  addItem(scene, "7_aimed", moving);
  addItem(scene, "8_eye", {motionKey(0, 0), motionKey(10, 0, 0, 1)}).targetItem = 9;
  addItem(scene, "9_goal", {motionKey(0, 1, 0, 0, 0, 1), motionKey(10, 1, 0, 0, 0, 1)});
  const std::string text = write(scene, false, {.framePrefix = "P"}).text;
  std::vector<std::string> order;
  for (std::size_t at = text.find("{P"); at != std::string::npos; at = text.find("{P", at + 1))
    order.push_back(text.substr(at + 2, text.find('}', at) - at - 2));
  // Depth first; items without keys or outside the tree are left out.
  EXPECT_EQ(order, (std::vector<std::string>{"0_cube", "2_child", "1_top", "7_aimed", "8_eye", "9_goal"}));
  // The child stands on the parent's pivot: its position keys are zero, yet written.
  EXPECT_NE(text.find("{P2_child}\n  AnimationKey {\n   2;\n   1;\n   0; 3; 0.000000, 0.000000, 0.000000;;;\n"), std::string::npos);
  // The eye turns to its target (heading 45: cos 22.5, 0, -sin 22.5, 0); without keys the target is no target.
  EXPECT_NE(text.find("   0; 4; 0.923880, 0.000000, -0.382683, 0.000000;;"), std::string::npos);
  scene.items[9]->motionKeys.clear();
  EXPECT_EQ(write(scene).text.find("0.923880"), std::string::npos);
}

TEST(Animation, BonePivotRotationTurnsEachAxis) {
  LwScene scene;
  scene.lastFrame = 1;
  const LwObject& bone = addItem(scene, "0_bone", {motionKey(0, 0), motionKey(1, 1)});
  // With no rotation keyed, the rotation written is the pivot rotation's alone: a quarter
  // turn about one axis, whichever angle holds it.
  const struct {
    const char* label;
    double turn[3];
    int axis;  // x, y or z of the quaternion
  } rows[] = {{"heading", {90, 0, 0}, 2}, {"pitch", {0, 90, 0}, 1}, {"bank", {0, 0, 90}, 3}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    ItemTrack track;
    ASSERT_EQ(animSampleTrack(scene, bone, track), Status::kOk);
    std::copy(row.turn, row.turn + 3, track.pivotRotation);
    double q[4];
    ASSERT_EQ(animTrackValues(track, 0, kKeyRotation, q), 4);
    EXPECT_NEAR(q[0], std::sqrt(0.5), 1e-6);
    EXPECT_NEAR(std::fabs(q[row.axis]), std::sqrt(0.5), 1e-6);
  }
}
