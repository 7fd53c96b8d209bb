#include "harness.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "core/context.h"
#include "image/ppm.h"
#include "lwbuild.h"
#include "anim/sampling.h"
#include "geometry/geometry.h"
#include "geometry/skin.h"
#include "lwo/reader.h"
#include "lws/scene_reader.h"
#include "xfile/xwriter.h"
#include "xscene/frames.h"
#include "xscene/materials.h"
#include "xscene/mesh.h"

namespace fuzz {

namespace {

// The option bits taken from an input's last byte, so the fuzzer explores them too.
ConversionContext contextFor(std::uint8_t bits, bool binary) {
  ConversionContext context;
  ConvertOptions& o = context.options;
  o.binaryOutput = binary ? 1 : 0;
  o.noNormals = (bits & 1) != 0;
  o.textureWrap = (bits & 2) != 0;
  o.topFrame = (bits & 4) != 0;
  o.meshesOnly = (bits & 8) != 0;
  o.noAnimation = (bits & 24) != 0;
  o.noMaterialMerge = (bits & 32) != 0;
  o.flipTextureV = (bits & 64) != 0;
  if (bits & 128) o.framePrefix = "P_";
  o.keepTextureFiles = 1;  // no image files are read or written
  return context;
}

// A private directory holding the objects a fuzzed scene may load.
const std::string& scratchDirectory() {
  static std::string dir;
  if (dir.empty()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "torvo-fuzz-XXXXXX").string();
    if (char* made = ::mkdtemp(pattern.data())) dir = made;
    lwbuild::LwobBuilder tri;
    tri.surfaces({"Red", "Blue"}).points({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0});
    tri.polygons({{{0, 1, 2}, 1}, {{1, 3, 2}, 2}});
    tri.surface("Red", {lwbuild::subU16("FLAG", 0x0104), lwbuild::subString("CTEX", "Planar Image Map"),
                        lwbuild::subU16("TFLG", 4)});
    lwbuild::writeFile(dir + "/a.lwo", tri.bytes());
    lwbuild::writeFile(dir + "/b.lwo", tri.bytes());
    lwbuild::writeFile(dir + "/column.lwo", lwbuild::skinColumn());
  }
  return dir;
}

}  // namespace

namespace {

// Whatever the input, a loaded object is sound: every corner names a vertex (and a normal when there are
// normals), every vertex a point, every polygon three corners or more and a surface.
bool sound(const LwObject& o) {
  bool ok = o.vertices.size() >= o.points.size() && (o.cornerNormals.empty() || o.cornerNormals.size() == o.indices.size());
  for (const LwVertex& v : o.vertices) ok = ok && v.point < o.points.size();
  for (const LwPolygon& p : o.polygons) {
    ok = ok && p.cornerCount >= 3 && p.surface >= 0 && static_cast<std::size_t>(p.surface) < o.surfaces.size() &&
         std::size_t{p.firstIndex} + static_cast<std::size_t>(p.cornerCount) <= o.indices.size();
    for (std::int32_t k = 0; ok && k < p.cornerCount; ++k)
      ok = o.indices[p.firstIndex + k] < o.vertices.size() &&
           (o.cornerNormals.empty() || o.cornerNormals[p.firstIndex + k] < o.normals.size());
  }
  return ok;
}

// 0, or 1 when a loaded object is not sound.
int objectInput(const std::uint8_t* data, std::size_t size, int layer) {
  const std::uint8_t bits = size > 0 ? data[size - 1] : 0;
  int problem = 0;
  for (bool binary : {false, true}) {
    const ConversionContext context = contextFor(bits, binary);
    const ConvertOptions& o = context.options;
    LwObject object;
    const bool loaded = ok(lwLoadObjectLayerFromMemory(object, data, size, 0, layer, context.sink));
    if (loaded) lwPrepareObjectFor(object, context);
    if (loaded && !sound(object)) problem = 1;
    if (loaded && problem == 0) {
      MaterialTable table;
      XWriter out;
      out.binary = binary;
      if (lwHasWeightedSkelegons(object)) {
        // The skeleton its skelegons make, as the driver writes it.
        LwScene rig;
        rig.items.push_back(std::make_unique<LwObject>(std::move(object)));
        object = LwObject();
        lwRigSkelegons(rig);
        for (auto& item : rig.items) collectMaterials(context, table, *item);
        SceneFeed feed = sceneFeed(context, table, rig);
        writeScene(context, table, feed, out);
        lwReleaseScene(rig);
      } else {
        collectMaterials(context, table, object);
        writeMaterials(table, 0, out, 0);
        ReadyMesh mesh;
        readyMesh(context, table, object, false, mesh);
        if (o.topFrame) {
          writeObjectTopFrame(context, table, object, mesh, out);
        } else {
          writeMesh(context, table, object, mesh, out, 0);
        }
      }
    }
    lwDisposeObject(object);
  }
  return problem;
}

}  // namespace

int lwobInput(const std::uint8_t* data, std::size_t size) { return objectInput(data, size, kAllLayers); }

// All layers, then one (chosen by the second-last byte).
int lwo2Input(const std::uint8_t* data, std::size_t size) {
  return objectInput(data, size, kAllLayers) | objectInput(data, size, size > 1 ? data[size - 2] % 4 : 1);
}

// LWO3 goes the same ways as LWO2.
int lwo3Input(const std::uint8_t* data, std::size_t size) { return lwo2Input(data, size); }

int lwscInput(const std::uint8_t* data, std::size_t size) {
  const std::string scenePath = scratchDirectory() + "/scene.lws";
  if (!lwbuild::writeFile(scenePath, lwbuild::Bytes(data, data + size))) return 0;
  const std::uint8_t bits = size > 0 ? data[size - 1] : 0;
  for (bool binary : {false, true}) {
    ConversionContext context = contextFor(bits, binary);
    context.config.contentDirectory = scratchDirectory();
    context.options.cameraFrame = (bits & 16) != 0;
    context.options.lightFrames = (bits & 32) != 0;
    std::FILE* in = std::fopen(scenePath.c_str(), "rb");
    if (in == nullptr) return 0;
    LwScene scene;
    if (lwReadScene(scene, in, context, lwPrepareObjectFor) >= 0) {
      lwSettleScene(scene);
      MaterialTable table;
      XWriter out;
      out.binary = binary;
      for (auto& item : scene.items) collectMaterials(context, table, *item);
      SceneFeed feed = sceneFeed(context, table, scene);
      writeScene(context, table, feed, out);
    }
    lwReleaseScene(scene);
    std::fclose(in);
  }
  return 0;
}

int lwcfgInput(const std::uint8_t* data, std::size_t size) {
  std::FILE* in = std::tmpfile();
  if (in == nullptr) return 0;
  if (size > 0) std::fwrite(data, 1, size, in);  // an empty input may come without a buffer
  std::rewind(in);
  LwConfig config;
  // Accepted or refused, the input is read without harm; the answer does not matter here.
  const Status read = readLwConfig(config, in);
  static_cast<void>(read);
  std::fclose(in);
  return 0;
}

namespace {

int imageInput(Status (*convert)(const char*, std::FILE*, std::FILE*), const std::uint8_t* data, std::size_t size) {
  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  if (in != nullptr && out != nullptr) {
    if (size > 0) std::fwrite(data, 1, size, in);
    std::rewind(in);
    const Status result = convert("vemo", in, out);
    // A refused image must leave its destination untouched.
    if (result == Status::kBadInput && std::ftell(out) != 0) std::abort();
  }
  if (in != nullptr) std::fclose(in);
  if (out != nullptr) std::fclose(out);
  return 0;
}

}  // namespace

int tgaInput(const std::uint8_t* data, std::size_t size) { return imageInput(convertTgaToPpm, data, size); }
int bmpInput(const std::uint8_t* data, std::size_t size) { return imageInput(convertBmpToPpm, data, size); }

}  // namespace fuzz
