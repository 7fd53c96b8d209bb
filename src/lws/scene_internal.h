// Pieces the scene readers of every version share.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "lws/scene_reader.h"

// Versions 2 (LightWave 5.6) to 5 are read besides version 1.
constexpr std::int32_t kLastSceneVersion = 5;

namespace lwscene {

// atoi and atof without atoi's undefined overflow: out-of-range values saturate.
std::int32_t parseInt(const char* text);
double parseDouble(const char* text);

// "%d_%s" fitted to the name field.
std::string itemName(std::size_t position, std::string_view text);
// "%d_%s" with the path's file name, cut at its last dot and filtered.
std::string objectItemName(std::size_t position, std::string_view path, int codePage);

constexpr int kObjectMissing = -2;
// Opens the object file as written, else in the content directory, else by the
// last-resort lookup, and loads it into the item (layer 0: the whole object), printing
// the progress line. 0 when loaded, -1 when the file is no object, kObjectMissing
// (message printed) when not found.
int loadItemObject(const ConversionContext& context, LwObject& item, const std::string& path, std::int32_t layer,
                   LwObjectFinish finish);

// Points every item's morphTarget at the item its number names, counting a reference.
void linkMorphTargets(LwScene& scene);

// The reader of versions 2 to 5, after the header.
int readLaterScene(LwScene& scene, std::FILE* stream, std::int32_t version, const ConversionContext& context,
                   LwObjectFinish finish);

}  // namespace lwscene
