// Scenes of versions 2 to 5 converted by the real program: the sample scenes Debian's
// assimp-testmodels ships (every span shape, several behaviours), read back by assimp.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "core/lwcfg.h"
#include "cli_support.h"
#include "lws/scene.h"
#include "support/context.h"

using testsupport::ctx;

using namespace clitest;
using testsupport::TempDir;

namespace {

const std::string kModels = "/usr/share/assimp/models/LWS";

// Position channel c at output time `time`, z turned back.
double at(const ReaderView::Keys& position, double time, int c) {
  for (const auto& key : position) {
    if (key.size() == 4 && key[0] == time) return c == 2 ? -key[3] : key[1 + static_cast<std::size_t>(c)];
  }
  ADD_FAILURE() << "no position key at " << time;
  return NAN;
}

}  // namespace

TEST(LaterScenes, SampleFilesConvertWithKeysAndBehaviours) {
  if (!std::filesystem::is_directory(kModels)) GTEST_SKIP() << "assimp-testmodels not installed";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kModels)) {
    if (entry.path().extension() != ".lws") continue;
    SCOPED_TRACE(entry.path().filename().string());
    TempDir dir;
    for (const auto& f : std::filesystem::directory_iterator(kModels)) std::filesystem::copy(f.path(), dir.path());
    const std::string name = entry.path().filename().string();
    const auto r = torvo({"-c", "-l", name}, dir.path());
    if (contains(r.out, "Not LightWave Object")) GTEST_SKIP() << "the LWO2 cube needs the LWO2 reader";
    ASSERT_EQ(r.exitCode, 0) << r.out;
    ++files;

    LwScene scene;
    std::FILE* f = std::fopen((dir / name).c_str(), "rb");
    testing::internal::CaptureStdout();
    ctx().config.contentDirectory = dir.path();
    const int read = lwReadScene(scene, f, testsupport::sceneContext(true, true));
    ctx().config = {};
    testing::internal::GetCapturedStdout();
    std::fclose(f);
    ASSERT_GE(read, 0);
    const ReaderView view = readBack(dir / (name.substr(0, name.size() - 4) + ".X"));
    ASSERT_TRUE(view.error.empty()) << view.error;
    for (const auto& item : scene.items) {
      const std::string frame = "Frame" + item->name;
      bool found = false;
      for (const auto& node : view.nodes) found = found || node.name == frame;
      EXPECT_TRUE(found) << frame;
    }
    const LwObject& cube = *scene.items[0];
    const long long first = scene.firstFrame;
    const long long last = scene.lastFrame;
    const ReaderView::Keys& moves = view.keys.at("Frame" + cube.name).at("position");
    ASSERT_EQ(moves.size(), static_cast<std::size_t>(last - first + 1));
    for (int c = 0; c < 3; ++c) {
      const LwEnvelope& env = cube.channels[static_cast<std::size_t>(c)];
      for (const EnvelopeKey& key : env.keys) {
        const double frame = std::round(key.time * scene.framesPerSecond);
        if (frame >= first && frame <= last) {
          EXPECT_NEAR(at(moves, frame - first, c), key.value, 1e-5) << c;
        }
      }
      if (env.keys.size() < 2) continue;
      // Past the last key the post behaviour holds, checked on the written samples.
      const long long k0 = std::llround(env.keys.front().time * scene.framesPerSecond);
      const long long k1 = std::llround(env.keys.back().time * scene.framesPerSecond);
      const double v0 = env.keys.front().value;
      const double v1 = env.keys.back().value;
      const long long period = k1 - k0;
      for (long long frame = std::max(k1 + 1, first); frame <= last; ++frame) {
        const double value = at(moves, static_cast<double>(frame - first), c);
        const long long back = frame - period;
        const bool inRange = back - first >= 0 && back != k1;  // a whole period on starts afresh
        switch (env.post) {
          case kBehaviorReset: EXPECT_NEAR(value, 0.0, 1e-5); break;
          case kBehaviorConstant: EXPECT_NEAR(value, v1, 1e-5); break;
          case kBehaviorRepeat:
            if (inRange) {
              EXPECT_NEAR(value, at(moves, static_cast<double>(back - first), c), 1e-5);
            }
            break;
          case kBehaviorOffsetRepeat:
            if (inRange) {
              EXPECT_NEAR(value - at(moves, static_cast<double>(back - first), c), v1 - v0, 1e-5);
            }
            break;
          case kBehaviorOscillate:
            if (2 * k1 - frame - first >= 0 && 2 * k1 - frame >= k0) {
              EXPECT_NEAR(value, at(moves, static_cast<double>(2 * k1 - frame - first), c), 1e-5);
            }
            break;
          case kBehaviorLinear:
            if (frame >= k1 + 2) {
              const double step = value - at(moves, static_cast<double>(frame - 1 - first), c);
              EXPECT_NEAR(step, at(moves, static_cast<double>(frame - 1 - first), c) -
                                    at(moves, static_cast<double>(frame - 2 - first), c), 1e-5);
            }
            break;
          default: break;
        }
      }
    }
    lwReleaseScene(scene);
  }
  EXPECT_EQ(files, 14);
}

// A damaged envelope stops the conversion with a message and exit code 1.
TEST(LaterScenes, DamagedEnvelopeFails) {
  TempDir dir;
  lwbuild::LaterSceneBuilder s(5, 0, 10);
  s.line("AddNullObject 10000000 N").line("ObjectMotion").line("NumChannels 9").line("Channel 0");
  s.line("{ Envelope").line("  1").line("  Key 0 0 9 0 0 0 0 0 0").line("}");
  ASSERT_TRUE(writeFile(dir / "bad.lws", s.text()));
  const auto r = torvo({"bad.lws"}, dir.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(contains(r.out, "damaged envelope in line 14 of the scene")) << r.out;
  EXPECT_FALSE(testsupport::fileExists(dir / "bad.X"));
}
