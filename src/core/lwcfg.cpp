#include "core/lwcfg.h"

#include <string>
#include <string_view>

#include "core/options.h"

namespace torvo {

namespace {

// The next piece of a line, as reading into a kPathSize buffer in text mode gives it:
// at most kPathSize - 1 characters, up to and including a line feed. A CR LF pair is
// one line feed, so a file with Windows line ends splits its long lines exactly where
// one with plain line feeds does.
bool readPiece(std::FILE* stream, std::string& piece) {
  piece.clear();
  while (piece.size() < kPathSize - 1) {
    int c = std::fgetc(stream);
    if (c == EOF) break;
    if (c == '\r') {
      const int next = std::fgetc(stream);
      if (next == '\n') {
        c = '\n';
      } else if (next != EOF) {
        std::ungetc(next, stream);
      }
    }
    piece.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  return !piece.empty();
}

}  // namespace

Status readLwConfig(LwConfig& config, std::FILE* stream) {
  struct Key {
    std::string_view text;
    std::string LwConfig::*field;
  };
  static const Key keys[] = {
      {"ContentDirectory ", &LwConfig::contentDirectory},
      {"ScenesDirectory ", &LwConfig::scenesDirectory},
      {"ObjectsDirectory ", &LwConfig::objectsDirectory},
      {"ImagesDirectory ", &LwConfig::imagesDirectory},
  };
  // A line longer than the buffer arrives in pieces, each handled as a line.
  std::string piece;
  for (int number = 0; readPiece(stream, piece); ++number) {
    // The line as a C string sees it: a NUL ends it.
    std::string_view line(piece);
    line = line.substr(0, line.find('\0'));
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (number == 0 && line != "LWCO") return Status::kBadInput;
    if (number == 1 && line != "0") return Status::kBadInput;
    for (const Key& key : keys) {
      if (line.substr(0, key.text.size()) == key.text) {
        config.*key.field = std::string(line.substr(key.text.size()));
        break;
      }
    }
  }
  return Status::kOk;
}

}  // namespace torvo
