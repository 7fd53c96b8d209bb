// Surfaces made ready to be written as materials: equal values merged, names made unique
// and fit for engines, texture images found and converted.
#include "ready/materials.h"

#include <cstdio>
#include <cstring>

#include "core/lookup.h"
#include "core/paths.h"
#include "image/ppm.h"
#include "platform/platform.h"
#include "ready/names.h"

namespace torvo {

namespace {

// Name the converters write into the PPM comment line.
constexpr const char* kConverterName = "vemo";

enum class TextureKind { kNone, kBmp, kTga };

MaterialRecord candidateFor(const LwSurface& surface, int codePage) {
  MaterialRecord m;
  m.name = makeXName("Mat" + surface.name, codePage);
  if (m.name.size() > kNameSize - 1) m.name.resize(kNameSize - 1);

  const std::string& image = surface.colorTexture.image;
  const bool textured = !image.empty() && image != "(none)";
  if (textured) {
    m.textureName = image;
    m.faceColor[0] = m.faceColor[1] = m.faceColor[2] = 1.0;
  } else {
    for (int i = 0; i < 3; ++i) m.faceColor[i] = surface.color[i] * 0.00392156862745098;
  }
  m.faceColor[3] = 1.0 - surface.transparency * 0.00390625;
  m.power = surface.glossiness * 0.3333333333333333;
  const double specular = (surface.diffuse + surface.specular > 256) ? 1.0 : 0.0;
  const double tint = surface.colorHighlight;
  for (int i = 0; i < 3; ++i) {
    // Colour highlights take the surface colour into the highlight.
    m.specularColor[i] = tint > 0.0 ? specular * (1.0 - tint + tint * m.faceColor[i]) : specular;
    const double glow = surface.ownLuminousColor ? surface.luminousColor[i] : m.faceColor[i];
    m.emissiveColor[i] = surface.luminosity * 0.00390625 * glow;
  }
  return m;
}

// Opens the source image: as stored, under the content directory, then the bare name.
std::FILE* openTextureSource(const ConversionContext& context, const std::string& path, const std::string& file) {
  std::FILE* source = platform::openFile(resolvePath(context, path), "rb");
  if (source != nullptr) return source;
  const std::string& content = context.config.contentDirectory;
  if (!content.empty()) {
    std::string joined = content;
    joinPath(joined, path, context.codePage);
    source = platform::openFile(resolvePath(context, joined), "rb");
    if (source != nullptr) return source;
  }
  if (file.empty()) return nullptr;
  return platform::openFile(resolvePath(context, file), "rb");
}

// Converts the image into a PPM of the given name in the current directory. The
// PPM is written under a temporary name and only takes its final name once it is
// whole, so a failed or concurrent conversion never leaves a torn file behind.
void convertTexture(const ConversionContext& context, TextureKind kind, std::FILE* source, const std::string& ppmName) {
  report(context.sink, Message::kGenerating, ppmName);
  const std::string ppmPath = resolvePath(context, ppmName);
  platform::TempFile destination;
  destination.stream = platform::createTempFile(ppmPath, true, destination.path);
  if (destination.stream == nullptr) {
    report(context.sink, Message::kImageNotCreated);
    return;
  }
  const Status result = kind == TextureKind::kBmp ? convertBmpToPpm(kConverterName, source, destination.stream)
                                               : convertTgaToPpm(kConverterName, source, destination.stream);
  if (!ok(result) || !destination.commit(ppmPath)) {
    report(context.sink, Message::kImageFailed);
    return;
  }
  report(context.sink, Message::kGenerated);
}

// The bare file name the material refers to, converting the image on the way.
std::string textureReference(const ConversionContext& context, const std::string& textureName,
                             const std::string& namingFile) {
  const int codePage = context.codePage;
  const std::string& path = textureName;
  std::string file = path.substr(fileNamePart(path, codePage));
  const std::size_t dot = findExtension(file, codePage);

  TextureKind kind = TextureKind::kNone;
  if (dot != std::string::npos && context.options.keepTextureFiles == 0) {
    const std::string_view ext = std::string_view(file).substr(dot);
    if (equalsIgnoringCase(ext, ".BMP")) kind = TextureKind::kBmp;
    else if (equalsIgnoringCase(ext, ".TGA")) kind = TextureKind::kTga;
  }
  std::string found;
  std::FILE* source = openTextureSource(context, path, file);
  if (source == nullptr) source = openByFallback(context, path, namingFile, LookupKind::kImage, found);
  const platform::FileCloser closer{source};
  // Whatever its kind, an image that exists nowhere is reported; the stored name is kept.
  if (source == nullptr) {
    report(context.sink, Message::kTextureNotFound, path);
    return file;
  }
  if (kind == TextureKind::kNone) {
    // A file only the last-resort lookup found is referred to where it is, so that the
    // reference names a file that exists.
    if (!found.empty()) return relativePath(context.outputDirectory, found, codePage);
    return file;
  }
  replaceExtension(file, ".PPM", codePage);
  convertTexture(context, kind, source, file);
  return file;
}

}  // namespace

const std::string& materialUniqueName(const MaterialTable& table, int index) {
  static const std::string empty;
  if (index < 0 || static_cast<std::size_t>(index) >= table.uniqueNames.size()) return empty;
  return table.uniqueNames[static_cast<std::size_t>(index)];
}

namespace {

// The name of the count-th material called name: the name itself, then name_2, name_3...
// The suffix must survive the 79-character name field, or it would be cut away.
std::string numberedName(const std::string& name, int count) {
  if (count < 2) return name;
  std::string suffix = "_";
  suffix += std::to_string(count);
  std::string numbered = name;
  if (numbered.size() + suffix.size() > kNameSize - 1) numbered.resize(kNameSize - 1 - suffix.size());
  return numbered + suffix;
}

// Records of equal values (and names, with -m) have equal keys, so the table finds the first
// equal record without comparing against every record (scenes with thousands of surfaces).
std::string materialKey(const MaterialRecord& r, bool namesDiffer) {
  std::string key;
  auto putValue = [&key](double v) {
    v += 0.0;  // -0.0 and 0.0 are equal materials
    char bytes[sizeof v];
    std::memcpy(bytes, &v, sizeof v);
    key.append(bytes, sizeof v);
  };
  for (double v : r.faceColor) putValue(v);
  putValue(r.power);
  for (double v : r.specularColor) putValue(v);
  for (double v : r.emissiveColor) putValue(v);
  key += r.textureName;
  if (namesDiffer) {
    key.push_back('\0');
    key += r.name;
  }
  return key;
}

}  // namespace

void collectMaterials(const ConversionContext& context, MaterialTable& table, LwObject& object) {
  const bool namesDiffer = context.options.noMaterialMerge != 0;
  for (LwSurface& surface : object.surfaces) {
    MaterialRecord candidate = candidateFor(surface, context.codePage);
    candidate.namingFile = object.filePath;
    const auto [slot, isNew] =
        table.byValue.try_emplace(materialKey(candidate, namesDiffer), static_cast<int>(table.entries.size()));
    if (!isNew) {
      surface.materialIndex = slot->second;
      continue;
    }
    int count = ++table.nameCounts[candidate.name];
    std::string given = numberedName(candidate.name, count);
    // A surface may itself be called like a numbered one (Skin_2 beside two Skins), and two
    // long names may shorten alike: the next free number keeps every material's name its own.
    std::string unique = xName(given, false, context.codePage);
    while (!table.takenNames.insert(unique).second) {
      given = numberedName(candidate.name, ++count < 2 ? 2 : count);
      unique = xName(given, false, context.codePage);
    }
    if (unique != given) table.shortened.push_back(given);
    surface.materialIndex = static_cast<int>(table.entries.size());
    if (!candidate.textureName.empty())
      candidate.textureFile = textureReference(context, candidate.textureName, candidate.namingFile);
    table.entries.push_back(std::move(candidate));
    table.uniqueNames.push_back(std::move(unique));
  }
}

}  // namespace torvo
