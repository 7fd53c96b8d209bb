// irrcheck: loads .x files the way an Irrlicht program does (Irrlicht 1.8, null video
// driver: no window, no X server), animates each on the CPU over its key range, and
// reports what a game would see.
//   irrcheck FILE.x ...
// Per file, after any "warning FILE: TEXT" lines (Irrlicht's warnings and errors, less a
// texture image that is not there, "Duplicated vertex" in a file without skin, and the
// standard objects it skips):
//   FILE loaded L buffers B joints J frames F vertices V moved M rest R tear T warnings W
// M is the farthest any vertex gets from where the file puts it, R the farthest at the
// first frame, T the widest gap that opens between vertices at one place in the file.
// Each file is read in a child process: a crash, or a hang past a minute, reports
//   FILE crashed: signal N
// Exit 0 when every file loaded without warnings, 1 otherwise.
#include <irrlicht.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <tuple>
#include <vector>

using namespace irr;

namespace {

constexpr unsigned kSecondsPerFile = 60;

bool hasSkin(const char* path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return bytes.find("SkinWeights") != std::string::npos;
}

// Prints Irrlicht's warnings and errors as they come and counts them.
class Log : public IEventReceiver {
 public:
  Log(const char* file, bool skin) : file_(file), skin_(skin) {}
  bool OnEvent(const SEvent& event) override {
    if (event.EventType != EET_LOG_TEXT_EVENT) return false;
    const char* text = event.LogEvent.Text;
    if (event.LogEvent.Level < ELL_WARNING || ignored(text)) return true;
    std::printf("warning %s: %s\n", file_, text);
    ++count;
    return true;
  }
  int count = 0;

 private:
  bool ignored(const char* text) const {
    // Texture images are not part of what is checked; a vertex shared by two materials
    // is harmless where nothing deforms it; the file's Header and texture wrapping
    // (MeshFaceWraps) are standard objects Irrlicht skips whole, with no effect on what
    // it loads (its message for a skipped top-level object says "animation").
    return std::strstr(text, "texture") != nullptr || std::strstr(text, "Texture") != nullptr ||
           (!skin_ && std::strstr(text, "Duplicated vertex") != nullptr) ||
           std::strcmp(text, "Unknown data object in animation of .x file: Header") == 0 ||
           std::strcmp(text, "Unknown data object in mesh in x file: MeshFaceWraps") == 0;
  }
  const char* file_;
  bool skin_;
};

using Positions = std::vector<core::vector3df>;

Positions positions(const scene::IMesh& mesh) {
  Positions out;
  for (u32 b = 0; b < mesh.getMeshBufferCount(); ++b) {
    const scene::IMeshBuffer* buffer = mesh.getMeshBuffer(b);
    for (u32 v = 0; v < buffer->getVertexCount(); ++v) out.push_back(buffer->getPosition(v));
  }
  return out;
}

int check(const char* file) {
  Log log(file, hasSkin(file));
  IrrlichtDevice* device = createDevice(video::EDT_NULL, core::dimension2d<u32>(1, 1), 16, false, false, false, &log);
  if (device == nullptr) {
    std::printf("%s: no Irrlicht device\n", file);
    return 1;
  }
  scene::IAnimatedMesh* mesh = device->getSceneManager()->getMesh(file);
  if (mesh == nullptr) {
    std::printf("%s loaded 0 warnings %d\n", file, log.count);
    device->drop();
    return 1;
  }
  const Positions rest = positions(*mesh);
  // Vertices at one place in the file, by their first index.
  std::map<std::tuple<float, float, float>, std::size_t> first;
  std::vector<std::size_t> together(rest.size());
  for (std::size_t v = 0; v < rest.size(); ++v)
    together[v] = first.emplace(std::make_tuple(rest[v].X, rest[v].Y, rest[v].Z), v).first->second;
  u32 joints = 0;
  const u32 frames = mesh->getFrameCount();
  double moved = 0, atFirst = 0, tear = 0;
  if (mesh->getMeshType() == scene::EAMT_SKINNED) {
    joints = static_cast<scene::ISkinnedMesh*>(mesh)->getJointCount();
    for (u32 f = 0; f < std::max(frames, 1u); ++f) {
      const Positions now = positions(*mesh->getMesh(static_cast<s32>(f)));
      for (std::size_t v = 0; v < now.size() && v < rest.size(); ++v) {
        const double d = now[v].getDistanceFrom(rest[v]);
        moved = std::max(moved, d);
        if (f == 0) atFirst = std::max(atFirst, d);
        tear = std::max(tear, static_cast<double>(now[v].getDistanceFrom(now[together[v]])));
      }
    }
  }
  std::printf("%s loaded 1 buffers %u joints %u frames %u vertices %zu moved %g rest %g tear %g warnings %d\n", file,
              mesh->getMeshBufferCount(), joints, frames, rest.size(), moved, atFirst, tear, log.count);
  device->drop();
  return log.count == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: irrcheck FILE.x ...\n");
    return 2;
  }
  int failed = 0;
  for (int i = 1; i < argc; ++i) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
      alarm(kSecondsPerFile);
      const int code = check(argv[i]);
      std::fflush(stdout);
      _exit(code);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) {
      std::printf("%s: not checked\n", argv[i]);
      failed = 1;
    } else if (WIFSIGNALED(status)) {
      std::printf("%s crashed: signal %d\n", argv[i], WTERMSIG(status));
      failed = 1;
    } else if (WEXITSTATUS(status) != 0) {
      failed = 1;
    }
  }
  return failed;
}
