#include "ready/names.h"

#include <cstdint>
#include <cstdio>

#include "core/options.h"
#include "core/paths.h"

namespace torvo {

namespace {

// FNV-1a: stable across platforms and runs, so a shortened name is the same every time.
std::uint32_t nameHash(std::string_view name) {
  std::uint32_t h = 2166136261u;
  for (const char c : name) {
    h ^= static_cast<unsigned char>(c);
    h *= 16777619u;
  }
  return h;
}

std::string written(std::string_view name, bool binary, int codePage) {
  return binary ? std::string(name) : makeXName(name, codePage);
}

}  // namespace

std::string xName(std::string_view name, bool binary, int codePage) {
  std::string full = written(name, binary, codePage);
  if (full.size() <= kEngineNameLength) return full;
  // The kept part is filtered in both encodings: a cut never splits a character.
  std::string kept = binary ? makeXName(name, codePage) : full;
  if (kept.size() > kShortNameKept) kept.resize(kShortNameKept);
  char tail[16];
  std::snprintf(tail, sizeof tail, "_%08x", static_cast<unsigned>(nameHash(full)));
  return kept + tail;
}

bool xNameShortened(std::string_view name, bool binary, int codePage) {
  return written(name, binary, codePage).size() > kEngineNameLength;
}

std::string frameName(std::string_view prefix, const LwObject& item) {
  std::string name(prefix.empty() ? std::string_view("Frame") : prefix);
  name += item.name;
  if (name.size() > kNameSize - 1) name.resize(kNameSize - 1);
  return name;
}

std::string meshName(std::string_view prefix, const LwObject& item) {
  if (!prefix.empty() || item.name.empty()) return {};
  std::string name = "Mesh" + item.name;
  if (name.size() > kNameSize - 1) name.resize(kNameSize - 1);
  return name;
}

void noteName(std::vector<std::string>& shortened, std::string_view name, bool binary, int codePage) {
  if (xNameShortened(name, binary, codePage)) shortened.emplace_back(name);
}

void sayShortenedNames(const MessageSink& sink, const std::vector<std::string>& shortened, bool binary, int codePage) {
  if (shortened.empty()) return;
  report(sink, Message::kNamesShortened, shortened.size(), kEngineNameLength);
  for (std::size_t i = 0; i < shortened.size(); ++i) {
    report(sink, Note{Message::kShortenedName, shortened[i], xName(shortened[i], binary, codePage), {}, i, 0, 0});
  }
  report(sink, Message::kLineEnd);
}

}  // namespace torvo
