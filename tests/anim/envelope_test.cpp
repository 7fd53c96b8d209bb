// Channel envelopes: every span shape and every behaviour against values worked by hand,
// and the TCB shape against the version 1 spline.
#include <gtest/gtest.h>

#include <vector>

#include "anim/envelope.h"
#include "anim/motion.h"

using namespace torvo;

namespace {

// Parameters in file order: tangents in and out, or a 2D Bezier key's in time and value, out time and value.
EnvelopeKey k(double time, double value, int shape, double in = 0, double out = 0, double inValue = 0, double outValue = 0) {
  EnvelopeKey key;
  key.time = time;
  key.value = value;
  key.shape = shape;
  key.param[0] = in;
  key.param[1] = out;
  key.param[2] = inValue;
  key.param[3] = outValue;
  return key;
}

struct Case {
  const char* what;
  std::vector<EnvelopeKey> keys;
  int pre, post;
  double time, expected;
};

}  // namespace

TEST(Envelope, ShapesAndBehaviorsMatchHandWorkedValues) {
  using S = EnvelopeShape;
  const auto peak = [](int shape) { return std::vector<EnvelopeKey>{k(0, 0, shape), k(1, 1, shape), k(2, 0, shape)}; };
  // Hermite tangents: leaving 0 at 2, flat at the peak, arriving at 2 with -1.
  const std::vector<EnvelopeKey> hermite = {k(0, 0, S::kShapeHermite, 0, 2), k(1, 1, S::kShapeHermite, 0, 0),
                                            k(2, 0, S::kShapeHermite, -1, 0)};
  std::vector<EnvelopeKey> bezier1D = hermite;
  for (EnvelopeKey& key : bezier1D) key.shape = S::kShapeBezier1D;
  // Handles a third of the span in time and flat in value: y = 3(1-s)s^2 + s^3 with s = t.
  const std::vector<EnvelopeKey> easeInOut = {k(0, 0, S::kShapeBezier2D, 0, 0, 1.0 / 3, 0), k(1, 1, S::kShapeBezier2D, -1.0 / 3, 0, 0, 0)};
  // A linear saw 0, 2, 1 over two seconds: periods of 2, offset 1 per period.
  const std::vector<EnvelopeKey> saw = {k(0, 0, S::kShapeLinear), k(1, 2, S::kShapeLinear), k(2, 1, S::kShapeLinear)};
  const Case cases[] = {
      {"tcb at a key", peak(kShapeTcb), 1, 1, 1.0, 1.0}, {"tcb between: out 1, in 0", peak(kShapeTcb), 1, 1, 0.5, 0.625},
      {"hermite first span", hermite, 1, 1, 0.5, 0.75}, {"hermite second span", hermite, 1, 1, 1.5, 0.625},
      {"1D bezier equals hermite", bezier1D, 1, 1, 0.5, 0.75}, {"1D bezier second span", bezier1D, 1, 1, 1.5, 0.625},
      {"2D bezier quarter", easeInOut, 1, 1, 0.25, 0.15625}, {"2D bezier middle", easeInOut, 1, 1, 0.5, 0.5},
      {"linear between", peak(kShapeLinear), 1, 1, 1.5, 0.5}, {"stepped holds", peak(kShapeStepped), 1, 1, 1.5, 1.0},
      {"stepped at its key", peak(kShapeStepped), 1, 1, 2.0, 0.0}, {"one key is constant", {k(3, 7, kShapeTcb)}, 0, 0, -5.0, 7.0},
      {"reset before", saw, 0, 0, -1.0, 0.0}, {"reset after", saw, 0, 0, 3.0, 0.0},
      {"constant before", saw, 1, 1, -1.0, 0.0}, {"constant after", saw, 1, 1, 3.0, 1.0},
      {"repeat after", saw, 2, 2, 2.5, 1.0}, {"repeat before", saw, 2, 2, -0.5, 1.5},
      {"oscillate after: mirrored", saw, 3, 3, 2.5, 1.5}, {"oscillate before: mirrored", saw, 3, 3, -0.5, 1.0},
      {"oscillate two periods on", saw, 3, 3, 4.5, 1.0}, {"offset repeat after", saw, 4, 4, 2.5, 2.0},
      {"offset repeat before", saw, 4, 4, -0.5, 0.5}, {"linear before: first slope", saw, 5, 5, -1.0, -2.0},
      {"linear after: last slope", saw, 5, 5, 3.0, 0.0}, {"two keys at one time: the later", {k(1, 5, kShapeLinear), k(1, 7, kShapeLinear)}, 1, 1, 1.0, 7.0},
      {"2D bezier handle leaving into a hermite span", {k(0, 0, S::kShapeBezier2D, 0, 0, 1.0 / 3, 1.0 / 3), k(1, 1, S::kShapeHermite, 1)}, 1, 1, 0.5, 0.5}};
  for (const Case& c : cases) {
    LwEnvelope envelope;
    envelope.keys = c.keys;
    envelope.pre = c.pre;
    envelope.post = c.post;
    EXPECT_NEAR(lwEvaluateEnvelope(envelope, c.time), c.expected, 1e-9) << c.what;
  }
  EXPECT_EQ(lwEvaluateEnvelope(LwEnvelope{}, 1.0), 0.0);
}

// Interior keys with any tension, continuity and bias. At the ends version 1 takes the
// mean of both TCB factors and later versions the one facing the curve; they agree when
// continuity is minus bias at the first key and equals it at the last.
TEST(Envelope, TcbAgreesWithTheVersionOneSpline) {
  const int frames[] = {0, 10, 25, 40, 44};
  const double values[] = {1, 4, -2, 3, 0.5};
  const double tcb[][3] = {{0.3, 0.4, -0.4}, {0.5, -0.3, 0.7}, {-0.4, 0.2, 0.1}, {0.1, -0.6, -0.2}, {-0.2, 0.25, 0.25}};
  std::vector<MotionKey> keys(5);
  LwEnvelope envelope;
  for (int i = 0; i < 5; ++i) {
    MotionKey& key = keys[static_cast<std::size_t>(i)];
    key.frame = frames[i];
    key.values[0] = values[i];
    key.tension = tcb[i][0];
    key.continuity = tcb[i][1];
    key.bias = tcb[i][2];
    EnvelopeKey& e = envelope.keys.emplace_back(k(frames[i] / 24.0, values[i], kShapeTcb));
    e.tension = tcb[i][0];
    e.continuity = tcb[i][1];
    e.bias = tcb[i][2];
  }
  const Motion motion = lwMotionView(keys, kEndStop);
  for (int frame = -3; frame <= 50; ++frame) {
    MotionKey out;
    lwEvaluateMotion(motion, out, frame);
    EXPECT_NEAR(lwEvaluateEnvelope(envelope, frame / 24.0), out.values[0], 1e-9) << "frame " << frame;
  }
}
