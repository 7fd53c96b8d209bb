// Writes the bundled example files: a few objects with several surfaces and
// textures, their texture images, and a scene with a hierarchy, pivots, a light,
// a camera and animation.
//   torvo_examples DIR     (writes DIR/Objects, DIR/Images, DIR/Scenes)
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "lwbuild.h"

using namespace lwbuild;

namespace {

std::vector<float> boxPoints(float sx, float sy, float sz, float cx = 0, float cy = 0, float cz = 0) {
  std::vector<float> p;
  for (int i = 0; i < 8; ++i) {
    p.push_back(cx + ((i & 1) ? sx : -sx));
    p.push_back(cy + ((i & 2) ? sy : -sy));
    p.push_back(cz + ((i & 4) ? sz : -sz));
  }
  return p;
}

// Faces of the box above, wound clockwise seen from outside (LightWave's front side).
std::vector<std::vector<unsigned>> boxFaces() {
  return {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
}

Bytes crateObject() {
  LwobBuilder b;
  b.surfaces({"Crate", "Crate Edge"});
  b.points(boxPoints(1, 1, 1));
  std::vector<LwobBuilder::Polygon> polys;
  int i = 0;
  for (const auto& f : boxFaces()) polys.push_back({f, (i++ % 3 == 2) ? 2 : 1});
  b.polygons(polys);
  b.surface("Crate", {subColor(200, 150, 90), subU16("DIFF", 230), subU16("SPEC", 40), subU16("GLOS", 64),
                      subString("CTEX", "Cubic Image Map"), subString("TIMG", "Images\\crate.tga"),
                      subVec("TSIZ", 1, 1, 1), subVec("TCTR", 0, 0, 0)});
  b.surface("Crate Edge", {subColor(120, 80, 40), subU16("DIFF", 200), subU16("SPEC", 80), subU16("GLOS", 128)});
  return b.bytes();
}

Bytes lidObject() {
  LwobBuilder b;
  b.surfaces({"Lid"});
  b.points(boxPoints(1.05f, 0.1f, 1.05f, 0, 1.1f, 0));
  std::vector<LwobBuilder::Polygon> polys;
  for (const auto& f : boxFaces()) polys.push_back({f, 1});
  b.polygons(polys);
  b.surface("Lid", {subColor(90, 60, 30), subU16("FLAG", 0x0100), subU16("DIFF", 256), subU16("SPEC", 10)});
  return b.bytes();
}

Bytes ballObject() {
  const int slices = 24, stacks = 12;
  std::vector<float> pts;
  pts.insert(pts.end(), {0, 0.5f, 0});
  for (int s = 1; s < stacks; ++s) {
    const double phi = std::numbers::pi * s / stacks;
    for (int k = 0; k < slices; ++k) {
      const double theta = 2 * std::numbers::pi * k / slices;
      pts.push_back(static_cast<float>(0.5 * std::sin(phi) * std::sin(theta)));
      pts.push_back(static_cast<float>(0.5 * std::cos(phi)));
      pts.push_back(static_cast<float>(0.5 * std::sin(phi) * std::cos(theta)));
    }
  }
  pts.insert(pts.end(), {0, -0.5f, 0});
  const unsigned bottom = 1 + (stacks - 1) * slices;
  auto ring = [&](int s, int k) { return 1u + static_cast<unsigned>((s - 1) * slices + (k % slices)); };
  std::vector<LwobBuilder::Polygon> polys;
  for (int k = 0; k < slices; ++k) {
    const int surface = (k / 3) % 2 == 0 ? 1 : 2;
    polys.push_back({{0, ring(1, k + 1), ring(1, k)}, surface});
    for (int s = 1; s < stacks - 1; ++s) polys.push_back({{ring(s, k), ring(s, k + 1), ring(s + 1, k + 1), ring(s + 1, k)}, surface});
    polys.push_back({{ring(stacks - 1, k), ring(stacks - 1, k + 1), bottom}, surface});
  }
  LwobBuilder b;
  b.surfaces({"Ball Skin", "Ball Stripe"});
  b.points(pts);
  b.polygons(polys);
  b.surface("Ball Skin", {subColor(255, 255, 255), subU16("FLAG", 0x0004), subU16("SPEC", 128), subU16("GLOS", 256),
                          subString("CTEX", "Spherical Image Map"), subString("TIMG", "Images\\checker.bmp"),
                          subU16("TFLG", 0x0002), subVec("TSIZ", 1, 1, 1), subFloat("TFP0", 2), subFloat("TFP1", 1)});
  b.surface("Ball Stripe", {subColor(30, 60, 220), subU16("FLAG", 0x0004), subU16("SPEC", 128), subU16("GLOS", 256),
                            subU16("LUMI", 64)});
  return b.bytes();
}

Bytes floorObject() {
  LwobBuilder b;
  b.surfaces({"Floor"});
  b.points({-4, 0, -4, 4, 0, -4, 4, 0, 4, -4, 0, 4});
  b.polygons({{{0, 3, 2, 1}, 1}});
  b.surface("Floor", {subColor(255, 255, 255), subString("CTEX", "Planar Image Map"),
                      subString("TIMG", "Images\\checker.bmp"), subU16("TFLG", 0x0002), subVec("TSIZ", 2, 2, 2)});
  return b.bytes();
}

// A 64 x 64 run-length encoded 24-bit TGA with wooden planks.
Bytes crateImage() {
  TgaSpec s;
  s.imageType = 10;
  s.width = 64;
  s.height = 64;
  s.pixelDepth = 24;
  Bytes px;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; x += 16) {
      const bool seam = (y % 16) == 0;
      const unsigned shade = seam ? 60 : 140 + ((x / 16 + y / 16) % 2) * 40;
      putU8(px, 0x80 | 15);                       // run of 16 pixels
      putU8(px, shade / 3);                        // blue
      putU8(px, shade * 2 / 3);                    // green
      putU8(px, shade);                            // red
    }
  }
  return tgaBytes(s, {}, px);
}

// A 32 x 32 8-bit BMP checker board with a two-colour table.
Bytes checkerImage() {
  Bytes table = {40, 40, 40, 0, 230, 230, 230, 0};
  Bytes rows;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) putU8(rows, ((x / 4) + (y / 4)) % 2);
  }
  return bmpBytes(32, 32, 8, table, rows);
}

std::string demoScene() {
  LwscBuilder s(0, 60);
  s.line("FramesPerSecond 30");
  s.line("");
  // 1: the crate, turning slowly, pivot at its base.
  s.loadObject("Objects\\crate.lwo", {key(0, 0, 1, 0, 0, 0, 0), key(60, 0, 1, 0, 90, 0, 0)});
  s.line("PivotPoint 0 -1 0");
  s.line("");
  // 2: the lid, child of the crate, hinged open and shut at its back edge.
  s.line("LoadObject Objects\\lid.lwo");
  s.motion("ObjectMotion (unnamed)", {key(0, 0, 1.1, -1.05), key(20, 0, 1.1, -1.05, 0, -60, 0),
                                      key(40, 0, 1.1, -1.05, 0, -60, 0), key(60, 0, 1.1, -1.05)});
  s.line("ParentObject 1");
  s.line("PivotPoint 0 1.1 -1.05");
  s.line("");
  // 3: a null that carries the ball around the crate.
  s.line("AddNullObject Orbit Null");
  s.motion("ObjectMotion (unnamed)", {key(0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1), key(60, 0, 0, 0, 360, 0, 0, 1, 1, 1, 1)});
  s.line("");
  // 4: the ball, bouncing on a spline and squashing on contact.
  s.line("LoadObject Objects\\ball.lwo");
  s.motion("ObjectMotion (unnamed)", {key(0, 2.5, 2, 0), key(15, 2.5, 0.5, 0, 0, 0, 0, 1.2, 0.8, 1.2),
                                      key(30, 2.5, 2, 0), key(45, 2.5, 0.5, 0, 0, 0, 0, 1.2, 0.8, 1.2),
                                      key(60, 2.5, 2, 0)});
  s.line("ParentObject 3");
  s.line("");
  // 5: the floor, still.
  s.loadObject("Objects\\floor.lwo", {key(0, 0, 0, 0)});
  s.line("AmbientColor 255 255 255");
  s.line("AddLight");
  s.line("LightName Sun");
  s.motion("LightMotion (unnamed)", {key(0, 3, 6, -4, 35, 50, 0)});
  s.line("LightColor 255 250 240");
  s.line("");
  s.line("CameraMotion (unnamed)");
  s.line("9");
  s.line("2");
  s.line(" 0 3 -7 0 20 0 1 1 1");
  s.line(" 0 0 0 0 0");
  s.line(" -3 2.5 -6 0 10 0 1 1 1");
  s.line(" 60 0 0 0 0");
  s.line("TargetObject 1");
  s.line("");
  return s.text();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: torvo_examples DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  for (const char* sub : {"/Objects", "/Images", "/Scenes"}) std::filesystem::create_directories(dir + sub);
  bool ok = writeFile(dir + "/Objects/crate.lwo", crateObject()) && writeFile(dir + "/Objects/lid.lwo", lidObject()) &&
            writeFile(dir + "/Objects/ball.lwo", ballObject()) && writeFile(dir + "/Objects/floor.lwo", floorObject()) &&
            writeFile(dir + "/Images/crate.tga", crateImage()) && writeFile(dir + "/Images/checker.bmp", checkerImage()) &&
            writeFile(dir + "/Scenes/demo.lws", demoScene());
  if (!ok) {
    std::fprintf(stderr, "torvo_examples: could not write into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
