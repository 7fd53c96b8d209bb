// Version 1 motion evaluated at whole frames: TCB splines, linear spans, end behaviours,
// the key search index, targets and look-ahead.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "anim/motion.h"
#include "support/context.h"

using namespace torvo;

using testsupport::motionKey;

namespace {

MotionKey eval(const std::vector<MotionKey>& keys, int endBehavior, int frame) {
  MotionKey out;
  EXPECT_EQ(lwEvaluateMotion(lwMotionView(keys, endBehavior), out, frame), 1);
  return out;
}

}  // namespace

TEST(EvaluateMotion, LinearTcbAndEndBehaviours) {
  const std::vector<MotionKey> single = {motionKey(5, 3.0)};
  const std::vector<MotionKey> line = {motionKey(0, 0.0), motionKey(10, 10.0, 0, 1)};
  const std::vector<MotionKey> early = {motionKey(-5, 1.0), motionKey(-1, 2.0, 0, 1)};
  const std::vector<MotionKey> shortest = {motionKey(0, 0.0), motionKey(1, 10.0, 0, 1)};
  const std::vector<MotionKey> tcb = {motionKey(0, 0.0), motionKey(10, 10.0), motionKey(20, 30.0), motionKey(30, 60.0)};
  std::vector<MotionKey> tense = tcb;
  std::vector<MotionKey> biased = tcb;
  std::vector<MotionKey> reset = {motionKey(10, 1.0, 0, 1), motionKey(20, 2.0)};
  for (auto& k : tense) k.tension = 1.0;
  biased[1].bias = 1.0;
  reset[0].tension = 0.3;
  const struct {
    const std::vector<MotionKey>& keys;
    int endBehavior, frame;
    double x;
    const char* what;
  } cases[] = {
      {single, kEndStop, 0, 3.0, "single key, before"}, {single, kEndStop, 5, 3.0, "single key, at"},
      {single, kEndStop, 100, 3.0, "single key, after"}, {line, kEndStop, 4, 4.0, "linear"}, {line, kEndStop, 25, 10.0, "stopped"},
      {line, kEndRepeat, 25, 3.0, "repeated: 25 modulo 11"}, {line, kEndRepeat, 10, 10.0, "repeated, last key"},
      {line, kEndRepeat, 11, 0.0, "repeated, next period"}, {shortest, kEndRepeat, 2, 0.0, "a period of two frames"},
      // A last key below frame 0 has no period to repeat: the motion stops.
      {early, kEndRepeat, 100, 2.0, "last key below 0"}, {{motionKey(-1, 7.0)}, kEndRepeat, 50, 7.0, "single key at -1"},
      // Interior tangents are half the chord across the neighbours: 15 and 25; Hermite at t = 0.5.
      {tcb, kEndStop, 15, 0.5 * 10 + 0.5 * 30 + 0.125 * 15 - 0.125 * 25, "tcb"},
      {tcb, kEndStop, 5, 4.375, "tcb, first segment: outgoing tangent is the chord (10), incoming 15"},
      {tcb, kEndStop, 25, 45.0 + 0.125 * 25 - 0.125 * 30, "tcb, last segment"},
      {tense, kEndStop, 15, 20.0, "full tension flattens both tangents"},
      {biased, kEndStop, 15, 20.0 + 0.125 * 10.0 - 0.125 * 25.0, "bias 1 uses only the incoming chord"},
      {reset, kEndReset, 2, 1.0, "before the first key: the whole first key"}, {single, kEndReset, 5, 0.0, "reset at the last key"}};
  for (const auto& c : cases) EXPECT_NEAR(eval(c.keys, c.endBehavior, c.frame).values[kPosX], c.x, 1e-12) << c.what;
  // The frame field keeps the asked frame; linear flag and TCB fields come from the segment's end (or the first key before it).
  const struct {
    const char* what;
    MotionKey out;
    int frame, linear;
    double tension;
  } fields[] = {{"linear", eval(line, kEndStop, 4), 4, 1, 0.0}, {"repeated", eval(line, kEndRepeat, 25), 25, 1, 0.0},
                {"tcb", eval(tcb, kEndStop, 15), 15, 0, 0.0}, {"before the first key", eval(reset, kEndReset, 2), 2, 1, 0.3},
                {"reset", eval(single, kEndReset, 6), 6, 1, 0.0}};
  for (const auto& f : fields) {
    EXPECT_EQ(f.out.frame, f.frame) << f.what;
    EXPECT_EQ(f.out.linear, f.linear) << f.what;
    EXPECT_EQ(f.out.tension, f.tension) << f.what;
  }
  EXPECT_EQ(eval(single, kEndReset, 4).values[kScaleX], 1.0);
  for (int frame : {5, 6, 100}) {  // at and after the last key everything is zero, scale included
    const MotionKey out = eval(single, kEndReset, frame);
    for (double v : out.values) EXPECT_EQ(v, 0.0) << frame;
  }
  MotionKey untouched = motionKey(77, 9.0);
  EXPECT_EQ(lwEvaluateMotion(Motion{}, untouched, 3), 0);
  EXPECT_EQ(untouched.frame, 77);
}

TEST(EvaluateMotion, KeysOutOfOrderOrSharingAFrameFindTheSameKeyWithTheIndex) {
  // Key 1's neighbours share frame 10: its outgoing tangent is taken as 0.
  EXPECT_TRUE(std::isfinite(eval({motionKey(10, 5.0), motionKey(0, 0.0), motionKey(10, 10.0), motionKey(10, 20.0)}, kEndStop, 3).values[kPosX]));
  std::mt19937 random(7);
  std::uniform_int_distribution<int> frame(-3, 12);
  std::uniform_real_distribution<double> value(-5.0, 5.0);
  for (int round = 0; round < 200; ++round) {
    std::vector<MotionKey> keys;
    for (int i = 0; i < 1 + round % 6; ++i) {
      keys.push_back(motionKey(frame(random), value(random), 0, round % 3 == 0 ? 1 : 0));
      keys.back().tension = value(random);
      keys.back().continuity = value(random);
      keys.back().bias = value(random);
    }
    std::vector<std::int32_t> storage;
    const Motion indexed = lwMotionView(keys, round % 3, &storage);
    for (int x = -5; x < 40; ++x) {
      MotionKey plain, fast;
      lwEvaluateMotion(lwMotionView(keys, round % 3), plain, x);
      lwEvaluateMotion(indexed, fast, x);
      for (int j = 0; j < kChannelCount; ++j) {
        ASSERT_TRUE(std::isfinite(plain.values[j])) << round << " " << x;
        ASSERT_EQ(plain.values[j], fast.values[j]) << round << " " << x;
      }
    }
  }
}

TEST(EvaluateMotion, TargetsAndLookAhead) {
  std::vector<MotionKey> self = {motionKey(0, 0.0, 30)};
  self[0].values[kBank] = 12.0;
  const std::vector<MotionKey> none;
  const std::vector<MotionKey> path = {motionKey(0, 0.0), motionKey(10, 10.0, 0, 1)};
  std::vector<MotionKey> pitched = self;
  pitched[0].values[kPitch] = 7.0;
  // A target turns the item to face it; look-ahead turns it along its path. Angles: heading, pitch, bank;
  // the sign of a zero pitch is kept, as atan2 gives it, for the file shows it.
  const struct {
    const char* what;
    std::vector<MotionKey> motion;
    bool aims;
    std::vector<MotionKey> target;
    int frame, lookAhead, result;
    double angles[3];
  } rows[] = {
      {"target ahead and right", self, true, {motionKey(0, 1.0, 0, 0, 0, 1.0)}, 0, 0, 1, {45, -0.0, 12}},
      {"target above", self, true, {motionKey(0, 0.0, 0, 0, 5.0)}, 0, 0, 1, {0, -90, 12}},
      {"target behind", self, true, {motionKey(0, 0.0, 0, 0, 0, -3.0)}, 0, 0, 1, {180, -0.0, 12}},
      {"a target without keys leaves the item's own angles", self, true, none, 0, 0, 1, {30, 0, 12}},
      {"a target on the item itself: no direction", self, true, {motionKey(0, 0.0)}, 0, 0, 1, {0, 0, 12}},
      {"a level target levels an own pitch", pitched, true, {motionKey(0, 1.0, 0, 0, 0, 1.0)}, 0, 0, 1, {45, -0.0, 12}},
      {"moving towards +x faces heading 90", path, false, {}, 5, 1, 1, {90, -0.0, 0}},
      {"at the path's end there is nowhere to look", path, false, {}, 10, 1, 1, {0, 0, 0}},
      {"no keys", none, false, {}, 0, 1, 0, {0, 0, 0}},
      {"without look-ahead nothing changes", pitched, false, {}, 0, 0, 1, {30, 7, 12}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const Motion aim = lwMotionView(row.target, kEndStop);
    MotionKey out;
    EXPECT_EQ(lwEvaluateAligned(lwMotionView(row.motion, kEndStop), out, row.frame, row.lookAhead, row.aims ? &aim : nullptr), row.result);
    EXPECT_NEAR(out.values[kHeading], row.angles[0], 1e-9);
    EXPECT_NEAR(out.values[kPitch], row.angles[1], 1e-9);
    EXPECT_EQ(std::signbit(out.values[kPitch]), std::signbit(row.angles[1]));
    EXPECT_NEAR(out.values[kBank], row.angles[2], 1e-9);
    EXPECT_EQ(out.frame, row.frame);
  }
}
