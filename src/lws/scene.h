// Scene model and the LWSC reader.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "core/context.h"
#include "lwo/object.h"

struct LwScene {
  std::vector<std::unique_ptr<LwObject>> items;  // creation order; item n is items[n-1]
  std::int32_t firstFrame = 0;
  std::int32_t lastFrame = 0;
  double framesPerSecond = 30.0;
};

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
int lwReadScene(LwScene& scene, std::FILE* stream, const ConversionContext& context);
void lwReleaseScene(LwScene& scene);

// The item named by a 1-based number, or null when the number names no item.
LwObject* lwSceneItem(const LwScene& scene, std::int32_t number);

// Items grouped by parent, built once per walk of the item tree: the 0-based positions
// of the children of parent number p (0 = top level) are items[first[p] .. first[p+1]),
// in item order. Items whose parentIndex names no item belong to no group.
struct LwChildIndex {
  std::vector<std::int32_t> first;  // item count + 2 entries
  std::vector<std::int32_t> items;
};
LwChildIndex lwBuildChildIndex(const LwScene& scene);

// Seconds at a frame, for envelopes (a rate that is no positive number counts as 30).
double lwFrameTime(const LwScene& scene, long long frame);
// True when the item's motion changes: more than one key in its keys or a channel.
bool lwItemMoves(const LwObject& item);
