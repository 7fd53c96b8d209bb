#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/paths.h"
#include "lws/motion.h"

namespace {

// A stream holding text, positioned at its start.
std::FILE* streamOf(const std::string& text) {
  std::FILE* f = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  return f;
}

MotionKey makeKey(int frame, double x, int linear = 0) {
  MotionKey k;
  k.frame = frame;
  k.linear = linear;
  k.values[kPosX] = x;
  k.values[kScaleX] = k.values[kScaleY] = k.values[kScaleZ] = 1.0;
  return k;
}

Motion view(const std::vector<MotionKey>& keys, int endBehavior) { return lwMotionView(keys, endBehavior); }

MotionKey eval(const std::vector<MotionKey>& keys, int endBehavior, int frame) {
  MotionKey out;
  EXPECT_EQ(lwEvaluateMotion(view(keys, endBehavior), out, frame), 1);
  return out;
}

}  // namespace

TEST(ReadMotion, ReadsKeysAppendsBlocksAndLeavesTheRest) {
  std::FILE* f = streamOf(
      "9\n 2\n 1 2 3 4 5 6 7 8 9\n 0 1 0.5 -0.5 0.25 trailing words\n"
      " 1 1 1 0 0 0 1 1 1\n 10 0 0 0 0\n"
      "9\n1\n 5 5 5 0 0 0 1 1 1 20 1 0 0 0\nNextLine\n");
  std::vector<MotionKey> keys;
  EXPECT_EQ(lwReadMotion(f, keys), 1);
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].values[8], 9.0);
  EXPECT_EQ(keys[0].frame, 0);
  EXPECT_EQ(keys[0].linear, 1);
  EXPECT_EQ(keys[0].tension, 0.5);
  EXPECT_EQ(keys[0].continuity, -0.5);
  EXPECT_EQ(keys[0].bias, 0.25);
  EXPECT_EQ(keys[1].frame, 10);
  EXPECT_EQ(lwReadMotion(f, keys), 1);
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[2].frame, 20);
  std::string line;
  readLine(line, kMotionLineSize, f);
  EXPECT_EQ(line, "NextLine");
  std::fclose(f);
}

TEST(ReadMotion, CountBelowOneAndBrokenKeys) {
  std::vector<MotionKey> keys;
  std::FILE* f = streamOf("9\n0\n 1 2 3 4 5 6 7 8 9 0 0 0 0 0\n");
  EXPECT_EQ(lwReadMotion(f, keys), -1);
  EXPECT_TRUE(keys.empty());
  std::string line;
  readLine(line, kMotionLineSize, f);
  EXPECT_EQ(line, " 1 2 3 4 5 6 7 8 9 0 0 0 0 0");  // no key line consumed
  std::fclose(f);

  // Three keys promised, the second broken: the first stays, the result is 1.
  f = streamOf("9\n3\n 0 0 0 0 0 0 1 1 1 0 0 0 0 0\n 1 2 x\nAddNullObject a\n");
  EXPECT_EQ(lwReadMotion(f, keys), 1);
  EXPECT_EQ(keys.size(), 1u);
  std::fclose(f);

  keys.clear();
  f = streamOf("9\n2\n 0 0 0");  // truncated at the end of the file
  EXPECT_EQ(lwReadMotion(f, keys), -1);
  EXPECT_TRUE(keys.empty());
  std::fclose(f);

  // Frames beyond the int range saturate instead of overflowing.
  f = streamOf("9\n1\n 0 0 0 0 0 0 1 1 1 99999999999999 0 0 0 0\n");
  EXPECT_EQ(lwReadMotion(f, keys), 1);
  EXPECT_EQ(keys[0].frame, 2147483647);
  std::fclose(f);
}

TEST(EvaluateMotion, SingleKeyStopAndReset) {
  const std::vector<MotionKey> keys = {makeKey(5, 3.0)};
  MotionKey untouched = makeKey(77, 9.0);
  EXPECT_EQ(lwEvaluateMotion(Motion{}, untouched, 3), 0);
  EXPECT_EQ(untouched.frame, 77);

  for (int frame : {0, 5, 6, 100}) EXPECT_EQ(eval(keys, kEndStop, frame).values[kPosX], 3.0);
  EXPECT_EQ(eval(keys, kEndReset, 4).values[kScaleX], 1.0);
  for (int frame : {5, 6, 100}) {
    const MotionKey out = eval(keys, kEndReset, frame);
    for (double v : out.values) EXPECT_EQ(v, 0.0);
    EXPECT_EQ(out.linear, 1);
    EXPECT_EQ(out.frame, frame);
  }
}

TEST(EvaluateMotion, BeforeFirstKeyGivesTheWholeFirstKey) {
  std::vector<MotionKey> keys = {makeKey(10, 1.0, 1), makeKey(20, 2.0)};
  keys[0].tension = 0.3;
  const MotionKey out = eval(keys, kEndReset, 2);
  EXPECT_EQ(out.values[kPosX], 1.0);
  EXPECT_EQ(out.tension, 0.3);
  EXPECT_EQ(out.linear, 1);
  EXPECT_EQ(out.frame, 2);
}

TEST(EvaluateMotion, LinearAndRepeat) {
  const std::vector<MotionKey> keys = {makeKey(0, 0.0), makeKey(10, 10.0, 1)};
  EXPECT_DOUBLE_EQ(eval(keys, kEndStop, 4).values[kPosX], 4.0);
  EXPECT_EQ(eval(keys, kEndStop, 4).linear, 1);
  EXPECT_EQ(eval(keys, kEndStop, 25).values[kPosX], 10.0);
  // 25 modulo 11 is 3; the frame field keeps the asked frame.
  const MotionKey repeated = eval(keys, kEndRepeat, 25);
  EXPECT_DOUBLE_EQ(repeated.values[kPosX], 3.0);
  EXPECT_EQ(repeated.frame, 25);
  EXPECT_EQ(eval(keys, kEndRepeat, 10).values[kPosX], 10.0);
  EXPECT_DOUBLE_EQ(eval(keys, kEndRepeat, 11).values[kPosX], 0.0);

  // A last key below frame 0 has no period to repeat: the motion stops.
  const std::vector<MotionKey> early = {makeKey(-5, 1.0), makeKey(-1, 2.0, 1)};
  EXPECT_EQ(eval(early, kEndRepeat, 100).values[kPosX], 2.0);
  const std::vector<MotionKey> atMinusOne = {makeKey(-1, 7.0)};
  EXPECT_EQ(eval(atMinusOne, kEndRepeat, 50).values[kPosX], 7.0);
}

TEST(EvaluateMotion, TcbTangents) {
  const std::vector<MotionKey> keys = {makeKey(0, 0.0), makeKey(10, 10.0), makeKey(20, 30.0), makeKey(30, 60.0)};
  // Interior tangents are half the chord across the neighbours: 15 and 25.
  // Hermite at t = 0.5: 0.5*10 + 0.5*30 + 0.125*15 - 0.125*25.
  EXPECT_DOUBLE_EQ(eval(keys, kEndStop, 15).values[kPosX], 18.75);
  // First segment: outgoing tangent is the chord itself (10), incoming 15.
  EXPECT_DOUBLE_EQ(eval(keys, kEndStop, 5).values[kPosX], 4.375);
  const MotionKey mid = eval(keys, kEndStop, 15);
  EXPECT_EQ(mid.linear, 0);
  EXPECT_EQ(mid.tension, 0.0);

  // Full tension flattens both tangents: the midpoint is the plain average.
  std::vector<MotionKey> tense = keys;
  for (auto& k : tense) k.tension = 1.0;
  EXPECT_DOUBLE_EQ(eval(tense, kEndStop, 15).values[kPosX], 20.0);

  // Bias and continuity weigh the two chords differently: a0 = 2, b0 = 0 uses only
  // the incoming chord (10) for the tangent at key 1.
  std::vector<MotionKey> biased = keys;
  biased[1].bias = 1.0;
  const double h3 = 0.125;
  const double h4 = -0.125;
  EXPECT_NEAR(eval(biased, kEndStop, 15).values[kPosX], 20.0 + h3 * (0.5 * 2.0 * 10.0) + h4 * 25.0, 1e-12);
}

TEST(EvaluateMotion, KeysOutOfOrderOrSharingAFrameStayFinite) {
  // Key 1's neighbours share frame 10: its outgoing tangent is taken as 0.
  const std::vector<MotionKey> shared = {makeKey(10, 5.0), makeKey(0, 0.0), makeKey(10, 10.0), makeKey(10, 20.0)};
  const MotionKey a = eval(shared, kEndStop, 3);
  EXPECT_TRUE(std::isfinite(a.values[kPosX]));

  std::mt19937 random(7);
  std::uniform_int_distribution<int> frame(-3, 12);
  std::uniform_real_distribution<double> value(-5.0, 5.0);
  for (int round = 0; round < 200; ++round) {
    std::vector<MotionKey> keys;
    const int n = 1 + round % 6;
    for (int i = 0; i < n; ++i) {
      MotionKey k = makeKey(frame(random), value(random), round % 3 == 0 ? 1 : 0);
      k.tension = value(random);
      k.continuity = value(random);
      k.bias = value(random);
      keys.push_back(k);
    }
    std::vector<std::int32_t> storage;
    const Motion indexed = lwMotionView(keys, round % 3, &storage);
    for (int x = -5; x < 40; ++x) {
      MotionKey plain;
      MotionKey fast;
      lwEvaluateMotion(view(keys, round % 3), plain, x);
      lwEvaluateMotion(indexed, fast, x);
      for (int j = 0; j < kChannelCount; ++j) {
        ASSERT_TRUE(std::isfinite(plain.values[j])) << round << " " << x;
        // The search index finds the same key as the linear search, whatever the order.
        ASSERT_EQ(plain.values[j], fast.values[j]) << round << " " << x;
      }
    }
  }
}

TEST(EvaluateAligned, TargetsAndLookAhead) {
  std::vector<MotionKey> self = {makeKey(0, 0.0)};
  self[0].values[kHeading] = 30.0;
  self[0].values[kBank] = 12.0;
  std::vector<MotionKey> target = {makeKey(0, 1.0)};
  target[0].values[kPosZ] = 1.0;
  const Motion selfMotion = view(self, kEndStop);
  Motion targetMotion = view(target, kEndStop);
  MotionKey out;
  ASSERT_EQ(lwEvaluateAligned(selfMotion, out, 0, 0, &targetMotion), 1);
  EXPECT_NEAR(out.values[kHeading], 45.0, 1e-9);
  EXPECT_NEAR(out.values[kPitch], 0.0, 1e-9);
  EXPECT_EQ(out.values[kBank], 12.0);

  target[0].values[kPosX] = 0.0;
  target[0].values[kPosZ] = 0.0;
  target[0].values[kPosY] = 5.0;
  targetMotion = view(target, kEndStop);
  lwEvaluateAligned(selfMotion, out, 0, 0, &targetMotion);
  EXPECT_EQ(out.values[kHeading], 0.0);
  EXPECT_NEAR(out.values[kPitch], -90.0, 1e-9);

  // A target without keys leaves the item's own angles.
  const std::vector<MotionKey> none;
  const Motion empty = view(none, kEndStop);
  lwEvaluateAligned(selfMotion, out, 0, 0, &empty);
  EXPECT_EQ(out.values[kHeading], 30.0);

  // Along the path: moving towards +x faces heading 90; without look-ahead nothing changes.
  const std::vector<MotionKey> path = {makeKey(0, 0.0), makeKey(10, 10.0, 1)};
  lwEvaluateAligned(view(path, kEndStop), out, 5, 1, nullptr);
  EXPECT_NEAR(out.values[kHeading], 90.0, 1e-9);
  EXPECT_EQ(out.frame, 5);
  self[0].values[kPitch] = 7.0;
  lwEvaluateAligned(view(self, kEndStop), out, 0, 0, nullptr);
  EXPECT_EQ(out.values[kPitch], 7.0);
  // At the end of the path there is nowhere to look: heading and pitch become 0.
  lwEvaluateAligned(view(path, kEndStop), out, 10, 1, nullptr);
  EXPECT_EQ(out.values[kHeading], 0.0);
  EXPECT_EQ(lwEvaluateAligned(view(none, kEndStop), out, 0, 1, nullptr), 0);
}
