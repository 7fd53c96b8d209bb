// Writes the seed corpus of every fuzz target: make_seeds DIR (DIR/<target>/<name>).
#include <cstdio>
#include <filesystem>

#include "seeds.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds DIR\n");
    return 2;
  }
  for (const char* target : {"lwob", "lwo2", "lwo3", "lwsc", "lwcfg", "tga", "bmp"}) {
    const std::string dir = std::string(argv[1]) + "/" + target;
    std::filesystem::create_directories(dir);
    for (const auto& [name, bytes] : fuzz::seedsFor(target)) lwbuild::writeFile(dir + "/" + name, bytes);
  }
  return 0;
}
