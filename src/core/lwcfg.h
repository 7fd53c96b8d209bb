// LightWave's configuration file lw.cfg: the directories relative paths resolve against.
#pragma once

#include <cstdio>
#include <string>

#include "core/status.h"

namespace torvo {

struct LwConfig {
  std::string contentDirectory;
  std::string scenesDirectory;
  std::string objectsDirectory;
  std::string imagesDirectory;
};

// Reads an open lw.cfg stream (text mode); kBadInput when it is no lw.cfg.
Status readLwConfig(LwConfig& config, std::FILE* stream);

}  // namespace torvo
