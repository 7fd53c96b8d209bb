// Writes the characters scripts/skincheck converts: rigs DIR
// DIR/column.lwo  the weighted column on two surfaces (Wine's reader wants a material per face)
// DIR/skel.lwo    the same with skelegons that name its weight maps
// DIR/restN.lws   versions 1, 3 and 5: bones Lower and Upper at rest at the first frame
// DIR/bent.lws    version 5: Upper turned by 90 degrees at the first frame
// DIR/patches/    rest5.lws and bent.lws with the column as subpatches (refined at level 3)
#include <cstdio>
#include <filesystem>
#include <string>

#include "lwbuild.h"

using namespace lwbuild;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: rigs DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = writeFile(dir + "/column.lwo", skinColumn(false, true)) && writeFile(dir + "/skel.lwo", skinColumn(true, true));
  for (int version : {1, 3, 5}) ok = ok && writeFile(dir + "/rest" + std::to_string(version) + ".lws", columnScene(version, 0));
  ok = ok && writeFile(dir + "/bent.lws", columnScene(5, 90));
  std::filesystem::create_directories(dir + "/patches");
  ok = ok && writeFile(dir + "/patches/column.lwo", skinColumn(false, true, "PTCH"));
  ok = ok && writeFile(dir + "/patches/rest5.lws", columnScene(5, 0)) && writeFile(dir + "/patches/bent.lws", columnScene(5, 90));
  return ok ? 0 : 1;
}
