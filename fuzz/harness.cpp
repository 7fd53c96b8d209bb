#include "harness.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/pipeline.h"
#include "core/context.h"
#include "core/lwcfg.h"
#include "image/ppm.h"
#include "lwbuild.h"
#include "lwo/reader.h"
#include "lws/scene_reader.h"
#include "xfile/xwriter.h"

using namespace torvo;

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

// The objects a fuzzed scene may load, by file name: built once, served from memory.
struct ServedObject {
  const char* name;
  lwbuild::Bytes bytes;
};

const std::vector<ServedObject>& servedObjects() {
  static const std::vector<ServedObject> objects = [] {
    lwbuild::LwobBuilder tri;
    tri.surfaces({"Red", "Blue"}).points({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0});
    tri.polygons({{{0, 1, 2}, 1}, {{1, 3, 2}, 2}});
    tri.surface("Red", {lwbuild::subU16("FLAG", 0x0104), lwbuild::subString("CTEX", "Planar Image Map"),
                        lwbuild::subU16("TFLG", 4)});
    return std::vector<ServedObject>{{"a.lwo", tri.bytes()}, {"b.lwo", tri.bytes()}, {"column.lwo", lwbuild::skinColumn()}};
  }();
  return objects;
}

// What one input's conversion finds by name: the served objects, and the input itself.
struct Served {
  const std::uint8_t* input = nullptr;
  std::size_t inputSize = 0;
};

constexpr const char* kInputName = "input.lwo";

bool findServed(void* user, const ConversionContext&, const std::string& name, LwObjectWanted wanted,
                LwFoundObject& found) {
  if (wanted != LwObjectWanted::kNamedByScene) return false;
  const std::string file = name.substr(name.find_last_of("/\\:") + 1);
  const Served& served = *static_cast<const Served*>(user);
  found.path = file;
  if (file == kInputName && served.input != nullptr) {
    found.bytes.data = served.input;
    found.bytes.size = served.inputSize;
    return true;
  }
  for (const ServedObject& object : servedObjects()) {
    if (file != object.name) continue;
    found.bytes.data = object.bytes.data();
    found.bytes.size = object.bytes.size();
    return true;
  }
  return false;
}

// Enough of the template file for every cut the header makes.
const std::string kTemplates =
    "xof 0302txt 0032\ntemplate Header {\n}\ntemplate FrameTransformMatrix {\n}\ntemplate FloatKeys {\n}\n"
    "// Written only into files that use them\ntemplate MeshVertexColors {\n}\ntemplate XSkinMeshHeader {\n}\n";

// The whole conversion, text and binary; 1 when it left a broken reference behind.
int convertBoth(const std::uint8_t* data, std::size_t size, const Served& served, const char* sourceName, bool scene) {
  const std::uint8_t bits = size > 0 ? data[size - 1] : 0;
  int problem = 0;
  for (bool binary : {false, true}) {
    ConversionContext context = contextFor(bits, binary);
    if (scene) {
      context.options.cameraFrame = (bits & 16) != 0;
      context.options.lightFrames = (bits & 32) != 0;
    }
    context.sourcePath = sourceName;
    ConversionInput input;
    input.bytes = std::string_view(reinterpret_cast<const char*>(data), size);
    input.sourceName = sourceName;
    input.objects.find = findServed;
    input.objects.user = const_cast<Served*>(&served);
    input.templateText = &kTemplates;
    XWriter out;
    out.binary = binary;
    if (convertLoaded(context, input, out) == Status::kModelFault) problem = 1;
  }
  return problem;
}

// All layers as an object file, or one layer as a scene loads it.
int objectInput(const std::uint8_t* data, std::size_t size, int layer) {
  const Served served{data, size};
  if (layer == kAllLayers) return convertBoth(data, size, served, kInputName, false);
  std::string scene = "LWSC\n3\n\nLoadObjectLayer " + std::to_string(layer) + " " + kInputName + "\n";
  if (size > 0) scene.push_back(static_cast<char>(data[size - 1]));  // the same option bits
  return convertBoth(reinterpret_cast<const std::uint8_t*>(scene.data()), scene.size(), served, "layer.lws", true);
}

}  // namespace

int lwobInput(const std::uint8_t* data, std::size_t size) { return objectInput(data, size, kAllLayers); }

// All layers, then one (chosen by the second-last byte).
int lwo2Input(const std::uint8_t* data, std::size_t size) {
  return objectInput(data, size, kAllLayers) | objectInput(data, size, size > 1 ? data[size - 2] % 4 + 1 : 1);
}

// LWO3 goes the same ways as LWO2.
int lwo3Input(const std::uint8_t* data, std::size_t size) { return lwo2Input(data, size); }

int lwscInput(const std::uint8_t* data, std::size_t size) { return convertBoth(data, size, Served{}, "scene.lws", true); }

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
