#include "lws/motion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/paths.h"

namespace {

// A stream holding text, positioned at its start.
std::FILE* streamOf(const std::string& text) {
  std::FILE* f = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  return f;
}

// Reads one block from the text; `rest` gets the line after it.
int readBlock(const std::string& text, std::vector<MotionKey>& keys, std::string* rest = nullptr) {
  std::FILE* f = streamOf(text);
  const int r = lwReadMotion(f, keys);
  if (rest != nullptr) readLine(*rest, kMotionLineSize, f);
  std::fclose(f);
  return r;
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
  std::string rest;
  EXPECT_EQ(readBlock("9\n0\n 1 2 3 4 5 6 7 8 9 0 0 0 0 0\n", keys, &rest), -1);
  EXPECT_TRUE(keys.empty());
  EXPECT_EQ(rest, " 1 2 3 4 5 6 7 8 9 0 0 0 0 0");  // no key line consumed
  // Three keys promised, the second broken: the first stays, the result is 1.
  EXPECT_EQ(readBlock("9\n3\n 0 0 0 0 0 0 1 1 1 0 0 0 0 0\n 1 2 x\nAddNullObject a\n", keys), 1);
  EXPECT_EQ(keys.size(), 1u);
  keys.clear();
  EXPECT_EQ(readBlock("9\n2\n 0 0 0", keys), -1);  // truncated at the end of the file
  EXPECT_TRUE(keys.empty());
  // Frames beyond the int range saturate instead of overflowing.
  EXPECT_EQ(readBlock("9\n1\n 0 0 0 0 0 0 1 1 1 99999999999999 0 0 0 0\n", keys), 1);
  EXPECT_EQ(keys[0].frame, 2147483647);
}

TEST(EvaluateMotion, SingleLinearRepeatAndTcbSegments) {
  const std::vector<MotionKey> single = {makeKey(5, 3.0)};
  const std::vector<MotionKey> line = {makeKey(0, 0.0), makeKey(10, 10.0, 1)};
  const std::vector<MotionKey> early = {makeKey(-5, 1.0), makeKey(-1, 2.0, 1)};
  const std::vector<MotionKey> tcb = {makeKey(0, 0.0), makeKey(10, 10.0), makeKey(20, 30.0), makeKey(30, 60.0)};
  std::vector<MotionKey> tense = tcb;
  for (auto& k : tense) k.tension = 1.0;
  std::vector<MotionKey> biased = tcb;
  biased[1].bias = 1.0;
  const struct {
    const std::vector<MotionKey>& keys;
    int endBehavior, frame;
    double x;
    const char* what;
  } cases[] = {
      {single, kEndStop, 0, 3.0, "single key, before"},
      {single, kEndStop, 5, 3.0, "single key, at"},
      {single, kEndStop, 100, 3.0, "single key, after"},
      {line, kEndStop, 4, 4.0, "linear"},
      {line, kEndStop, 25, 10.0, "stopped"},
      {line, kEndRepeat, 25, 3.0, "repeated: 25 modulo 11"},
      {line, kEndRepeat, 10, 10.0, "repeated, last key"},
      {line, kEndRepeat, 11, 0.0, "repeated, next period"},
      // A last key below frame 0 has no period to repeat: the motion stops.
      {early, kEndRepeat, 100, 2.0, "last key below 0"},
      {{makeKey(-1, 7.0)}, kEndRepeat, 50, 7.0, "single key at -1"},
      // Interior tangents are half the chord across the neighbours: 15 and 25.
      // Hermite at t = 0.5: 0.5*10 + 0.5*30 + 0.125*15 - 0.125*25.
      {tcb, kEndStop, 15, 18.75, "tcb"},
      // First segment: outgoing tangent is the chord itself (10), incoming 15.
      {tcb, kEndStop, 5, 4.375, "tcb, first segment"},
      // Full tension flattens both tangents: the midpoint is the plain average.
      {tense, kEndStop, 15, 20.0, "full tension"},
      // Bias 1 at key 1 uses only the incoming chord (10, weighed 2 * 0.5) for its tangent.
      {biased, kEndStop, 15, 20.0 + 0.125 * 10.0 - 0.125 * 25.0, "bias"},
  };
  for (const auto& c : cases) EXPECT_NEAR(eval(c.keys, c.endBehavior, c.frame).values[kPosX], c.x, 1e-12) << c.what;
}

TEST(EvaluateMotion, KeyFieldsEmptyMotionsAndReset) {
  MotionKey untouched = makeKey(77, 9.0);
  EXPECT_EQ(lwEvaluateMotion(Motion{}, untouched, 3), 0);
  EXPECT_EQ(untouched.frame, 77);
  // The frame field keeps the asked frame; the linear flag comes from the segment's end.
  const std::vector<MotionKey> line = {makeKey(0, 0.0), makeKey(10, 10.0, 1)};
  EXPECT_EQ(eval(line, kEndStop, 4).linear, 1);
  EXPECT_EQ(eval(line, kEndRepeat, 25).frame, 25);
  const MotionKey spline = eval({makeKey(0, 0.0), makeKey(10, 10.0), makeKey(20, 30.0)}, kEndStop, 15);
  EXPECT_EQ(spline.linear, 0);
  EXPECT_EQ(spline.tension, 0.0);

  // Before the first key: the whole first key.
  std::vector<MotionKey> keys = {makeKey(10, 1.0, 1), makeKey(20, 2.0)};
  keys[0].tension = 0.3;
  const MotionKey before = eval(keys, kEndReset, 2);
  EXPECT_EQ(before.values[kPosX], 1.0);
  EXPECT_EQ(before.tension, 0.3);
  EXPECT_EQ(before.linear, 1);
  EXPECT_EQ(before.frame, 2);

  const std::vector<MotionKey> single = {makeKey(5, 3.0)};
  EXPECT_EQ(eval(single, kEndReset, 4).values[kScaleX], 1.0);
  for (int frame : {5, 6, 100}) {
    const MotionKey out = eval(single, kEndReset, frame);
    for (double v : out.values) EXPECT_EQ(v, 0.0);
    EXPECT_EQ(out.linear, 1);
    EXPECT_EQ(out.frame, frame);
  }
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
