// LightWave's configuration file lw.cfg: the directories relative paths resolve against.
#pragma once

#include <cstdio>
#include <string>

struct LwConfig {
  std::string contentDirectory;
  std::string scenesDirectory;
  std::string objectsDirectory;
  std::string imagesDirectory;
};

// Reads an open lw.cfg stream (text mode). 0 when accepted, -1 when rejected.
int readLwConfig(LwConfig& config, std::FILE* stream);
