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

// The one configuration record of the process; empty unless -C was given.
LwConfig& lwConfig();

// Reads an open lw.cfg stream (text mode). 0 when accepted, -1 when rejected.
int readLwConfig(LwConfig& config, std::FILE* stream);
