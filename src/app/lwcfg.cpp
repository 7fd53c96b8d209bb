#include "app/lwcfg.h"

#include <string_view>

#include "app/options.h"

LwConfig& lwConfig() {
  static LwConfig instance;
  return instance;
}

int readLwConfig(LwConfig& config, std::FILE* stream) {
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
  // Standard line reading: a line longer than the buffer arrives in pieces.
  char buffer[kPathSize];
  for (int number = 0; std::fgets(buffer, sizeof buffer, stream) != nullptr; ++number) {
    std::string_view line(buffer);
    if (!line.empty() && line.back() == '\n') {
      line.remove_suffix(1);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    }
    if (number == 0 && line != "LWCO") return -1;
    if (number == 1 && line != "0") return -1;
    for (const Key& key : keys) {
      if (line.substr(0, key.text.size()) == key.text) {
        config.*key.field = std::string(line.substr(key.text.size()));
        break;
      }
    }
  }
  return 0;
}
