// The LWSC reader: scene files of versions 1 to 5 into the scene model, loading the
// objects they name.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "core/context.h"
#include "lwo/reader.h"
#include "model/scene.h"

struct LwKeyword {
  const char* keyword;  // null ends a table
  int code;
};

extern const LwKeyword SceneKeywords[];
extern const LwKeyword ItemKeywords[];
extern const LwKeyword PluginKeywords[];

// Code of the first keyword the line begins with, or -1. On a match *argument points
// one character past the keyword (or at the terminator when the line ends there).
int lwFindKeyword(const char* line, const LwKeyword* table, const char** argument);

// Reads a scene from a stream at its start. Negative when the stream is no scene
// (then the stream is back where it started) or an object file is missing.
int lwReadScene(LwScene& scene, std::FILE* stream, const ConversionContext& context, LwObjectFinish finish);

// The name of the item an object file makes at a 0-based position: "%d_%s" with the
// file's name, cut at its last dot, filtered and fitted to the name field.
std::string lwObjectItemName(std::size_t position, std::string_view path, int codePage);

// Reads a version 1 motion block (channel-count line, key-count line, keys) and appends
// its keys. 1 when at least one key was stored, else -1.
int lwReadMotion(std::FILE* stream, std::vector<MotionKey>& keys);
