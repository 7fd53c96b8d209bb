// Writes the characters scripts/skincheck converts: rigs DIR
// DIR/column.lwo  the weighted column on two surfaces (Wine's reader wants a material per face)
// DIR/skel.lwo    the same with skelegons that name its weight maps
// DIR/restN.lws   versions 1, 3 and 5: bones Lower and Upper at rest at the first frame
// DIR/bent.lws    version 5: Upper turned by 90 degrees at the first frame
#include <cstdio>
#include <string>

#include "lwbuild.h"

using namespace lwbuild;

namespace {

std::string scene(int version, double bend) {
  BoneSpec lower, upper;
  lower.name = "Lower", lower.direction[1] = -90, lower.map = "Lower", lower.mapOnly = 1;
  upper.name = "Upper", upper.position[2] = 1, upper.map = "Upper", upper.mapOnly = 1;
  if (version == 1) {
    upper.parent = "ParentObject 1";
    return LwscBuilder(0, 10).line("LoadObject column.lwo").motion("ObjectMotion (unnamed)", {key(0, 0, 0, 0)})
        .bone(lower, {key(0, 0, 0, 0, 0, -90)}).bone(upper, {key(0, 0, 0, 1, 0, bend), key(10, 0, 0, 1, 0, 90)}).text();
  }
  const double radians = 3.14159265358979323846 / 180;
  lower.parent = "ParentItem 10000000", upper.parent = "ParentItem 40000000";
  LaterSceneBuilder s(version, 0, 10);
  s.line(version >= 4 ? "LoadObjectLayer 1 10000000 column.lwo" : "LoadObjectLayer 1 column.lwo").motion("ObjectMotion", {});
  s.line("BoneFalloffType 5").bone(lower, {{}, {}, {}, {}, {ckey(0, -90 * radians)}}, version >= 4 ? "40000000" : "");
  s.bone(upper, {{}, {}, {ckey(0, 1)}, {}, {ckey(0, bend * radians), ckey(10.0 / 30, 90 * radians)}}, version >= 4 ? "40010000" : "");
  return s.text();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: rigs DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = writeFile(dir + "/column.lwo", skinColumn(false, true)) && writeFile(dir + "/skel.lwo", skinColumn(true, true));
  for (int version : {1, 3, 5}) ok = ok && writeFile(dir + "/rest" + std::to_string(version) + ".lws", scene(version, 0));
  ok = ok && writeFile(dir + "/bent.lws", scene(5, 90));
  return ok ? 0 : 1;
}
