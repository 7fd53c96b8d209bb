// Scenes of versions 2 to 5 converted by the real program: the sample scenes Debian's
// assimp-testmodels ships (every span shape, several behaviours) read back by assimp, with
// every item's frame and the first item's position at each key.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>

#include "cli_support.h"
#include "lws/scene_reader.h"
#include "support/context.h"

using torvo::LwEnvelope;
using torvo::LwObject;
using torvo::LwScene;
using torvo::Status;
using torvo::lwReleaseScene;

using namespace clitest;
using testsupport::TempDir;

const std::string kModels = "/usr/share/assimp/models/LWS";

TEST(LaterScenes, SampleFilesConvertWithKeysAndBehaviours) {
  if (!std::filesystem::is_directory(kModels)) GTEST_SKIP() << "assimp-testmodels not installed";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kModels)) {
    if (entry.path().extension() != ".lws") continue;
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    TempDir dir;
    for (const auto& f : std::filesystem::directory_iterator(kModels)) std::filesystem::copy(f.path(), dir.path());
    const auto r = torvoCommand({"-c", "-l", name}, dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.out;
    ++files;
    LwScene scene;
    ASSERT_EQ(testsupport::readScene(scene, readFile(dir / name), nullptr, true, dir.path()), Status::kOk);
    const ReaderView view = readBack(dir / (name.substr(0, name.size() - 4) + ".X"));
    ASSERT_TRUE(view.error.empty()) << view.error;
    for (const auto& item : scene.items)
      EXPECT_TRUE(std::any_of(view.nodes.begin(), view.nodes.end(), [&](const auto& n) { return n.name == "Frame" + item->name; })) << item->name;
    const LwObject& cube = *scene.items[0]; const long long first = scene.firstFrame, last = scene.lastFrame;
    const ReaderView::Keys& moves = view.keys.at("Frame" + cube.name).at("position");
    ASSERT_EQ(moves.size(), static_cast<std::size_t>(last - first + 1));
    auto sample = [&](long long frame, int c) -> double {  // position channel c at a frame, z turned back
      for (const auto& key : moves)
        if (key.size() == 4 && key[0] == static_cast<double>(frame - first)) return c == 2 ? -key[3] : key[1 + static_cast<std::size_t>(c)];
      return ADD_FAILURE() << "no position key at " << frame, NAN;
    };
    for (int c = 0; c < 3; ++c) {
      const LwEnvelope& env = cube.channels[static_cast<std::size_t>(c)];
      for (const EnvelopeKey& key : env.keys) {
        const auto frame = std::llround(key.time * scene.framesPerSecond);
        if (frame >= first && frame <= last) { EXPECT_NEAR(sample(frame, c), key.value, 1e-5) << c; }
      }
    }
    lwReleaseScene(scene);
  }
  EXPECT_EQ(files, 14);
}
