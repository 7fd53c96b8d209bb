// Names as the .x file writes them: frames, meshes, materials and the references to them.
// Every writer takes its names from here, so a frame, its {reference}, its SkinWeights and
// its Animation always name it alike.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/context.h"
#include "model/object.h"

namespace torvo {

// Engines that load .x through DirectX 9's reader (Wine's among them) keep names in 40-byte
// fields: a longer name is cut there and references to it fail. Longer names are shortened.
constexpr std::size_t kEngineNameLength = 40;
// A shortened name: this many characters of the name, '_', and eight hex digits of its hash.
constexpr std::size_t kShortNameKept = kEngineNameLength - 9;

// The name as the writer puts it into the file (text: filtered to the characters .x
// names may hold), shortened when longer than kEngineNameLength.
std::string xName(std::string_view name, bool binary, int codePage);
// True when xName shortens the name.
bool xNameShortened(std::string_view name, bool binary, int codePage);

// The item's frame name before fitting: prefix (or "Frame") and the item's name.
std::string frameName(std::string_view prefix, const LwObject& item);
// The mesh name before fitting; empty when meshes are unnamed (a frame prefix is given).
std::string meshName(std::string_view prefix, const LwObject& item);

// Adds the name to the list when xName shortens it.
void noteName(std::vector<std::string>& shortened, std::string_view name, bool binary, int codePage);
// One warning listing every shortened name with what it became.
void sayShortenedNames(const MessageSink& sink, const std::vector<std::string>& shortened, bool binary, int codePage);

}  // namespace torvo
