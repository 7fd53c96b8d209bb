// Writes large benchmark inputs:
//   torvo_bench_gen DIR
// DIR/sphere_NxM.lwo      UV spheres of N x M quads on one smoothed, planar-mapped surface
// DIR/sphere_NxM_lwo2.lwo the same object as LWO2 (torvo writes the same .X from both)
// DIR/sphere_NxM_lwo3.lwo and as LWO3, its material in a node graph as LightWave 2018 saves it, in the form
//                         assimp's reader takes (8 bytes before surface names)
// DIR/chain1000.lws       1,000 null objects in a parent chain, each with 100 spline keys over 10,000 frames
// DIR/flatN.lws           N = 250, 500, 1,000 such items side by side
// DIR/hull_lwo3.lwo       a ship's hull as LightWave 2018 writes it: LWO3, 34 smoothed surfaces,
//                         a UV map with seams, 70,200 polygons of 3 to 8 corners
// DIR/patches_256x255.lwo the 256 x 255 sphere as subpatches (LWO2), and a plain LWO2
//                         sphere_768x765_lwo2.lwo of about the faces it makes at level 3
// DIR/skinned.lws         the 256 x 255 sphere (LWO2, 64 weight maps) deformed by 64 bones over 61 frames
// DIR/unskinned.lws       the same scene without the bones
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "lwbuild.h"

using namespace lwbuild;

namespace {

// One smoothed surface with a planar map along y.
const std::vector<TwinSurface> kSkin = {
    {"Skin", {200, 180, 160}, 256, 0, 64, 64, 0, 1.0f, false, 0, 1, {0, 0, 0}, {2, 2, 2}, 1, 1, ""}};

std::string scene(bool chain, int items) {
  LwscBuilder s(0, 10000);
  for (int item = 1; item <= items; ++item) {
    s.line("AddNullObject Null " + std::to_string(item));
    std::vector<SceneKey> keys;
    for (int k = 0; k < 100; ++k) {
      const double t = k * 0.37 + item;
      keys.push_back(key(k * 100, std::sin(t), std::cos(t) * 2, k * 0.1, k * 7.0, std::sin(t) * 30, 0, 1, 1 + 0.1 * std::sin(t), 1));
    }
    s.motion("ObjectMotion (unnamed)", keys);
    if (chain && item > 1) s.line("ParentObject " + std::to_string(item - 1));
    s.line("PivotPoint 0 0.5 0");
  }
  return s.text();
}

// Version 5: every item on every span shape, rotations in radians, 2,001 frames sampled.
std::string laterScene(int items) {
  LaterSceneBuilder s(5, 0, 2000);
  char id[16];
  for (int item = 0; item < items; ++item) {
    std::snprintf(id, sizeof id, "%08X", 0x10000000 + item);
    s.line(std::string("AddNullObject ") + id + " Null " + std::to_string(item));
    std::vector<std::vector<ChannelKey>> channels(9);
    for (int c = 0; c < 9; ++c) {
      for (int k = 0; k < 20; ++k) {
        const double t = k * 0.37 + item + c;
        ChannelKey key = ckey(k * 3.4, c >= 6 ? 1 + 0.1 * std::sin(t) : std::sin(t) * (c >= 3 ? 0.5 : 2), (k + c) % 6);
        key.p[0] = key.shape == 5 ? -1.1 : 0.1;
        key.p[2] = key.shape == 5 ? 1.1 : 0;
        key.p[3] = 0.2;
        key.p[4] = -0.2;
        channels[static_cast<std::size_t>(c)].push_back(key);
      }
    }
    s.motion("ObjectMotion", channels, 9, item % 6);
    if (item > 0) {
      std::snprintf(id, sizeof id, "%08X", 0x10000000 + item / 2);
      s.line(std::string("ParentItem ") + id);
    }
    s.line("PivotPosition 0 0.5 0");
  }
  return s.text();
}

// The hull is a grid of kStations x kRows cells: stations along its length, rows round
// its section from the port deck edge over the keel to the starboard one, with hard
// edges at the chines and the keel. Each row is cut into polygons of 3 to 8 corners.
constexpr unsigned kStations = 360, kRows = 240, kChine = 48, kKeel = 120;
constexpr unsigned kBands = 17;  // surfaces along the length, each a topside and a bottom one

std::vector<float> hullPoints() {
  std::vector<float> xyz;
  for (unsigned r = 0; r <= kRows; ++r) {
    const unsigned fromKeel = r > kKeel ? r - kKeel : kKeel - r;
    const double side = r > kKeel ? 1.0 : -1.0;
    for (unsigned c = 0; c <= kStations; ++c) {
      const double t = double(c) / kStations;
      const double beam = 6.0 * std::sqrt(std::max(0.0, 1.0 - std::pow(2.0 * t - 1.0, 6)) * 0.96 + 0.04);
      const double depth = 3.0 + 1.5 * t;
      double y, z;
      if (fromKeel <= kKeel - kChine) {  // bottom: keel to chine, slightly convex
        const double f = double(fromKeel) / (kKeel - kChine);
        y = -depth * (1.0 - f) + 0.3 * std::sin(f * 3.14159);
        z = side * beam * 0.9 * f;
      } else {  // topside: chine to deck edge, flared
        const double f = double(fromKeel - (kKeel - kChine)) / kChine;
        y = 4.0 * f;
        z = side * beam * (0.9 + 0.1 * std::sin(f * 1.5708));
      }
      xyz.insert(xyz.end(), {static_cast<float>(60.0 * (t - 0.5)), static_cast<float>(y), static_cast<float>(z)});
    }
  }
  return xyz;
}

Bytes hullObject() {
  const auto at = [](unsigned r, unsigned c) { return r * (kStations + 1) + c; };
  // Pieces of a row in columns: 1 quad, 2 triangles, a pentagon and a triangle, a
  // hexagon, a heptagon and a triangle, an octagon.
  enum Piece { kQuad, kTriangles, kPentagon, kHexagon, kHeptagon, kOctagon };
  static const Piece kCycle[] = {kQuad, kQuad, kTriangles, kHexagon, kQuad, kPentagon, kOctagon, kQuad, kHeptagon, kQuad};
  static const unsigned kWidth[] = {1, 1, 2, 2, 3, 3};
  std::vector<std::vector<std::uint32_t>> faces;
  std::vector<std::pair<std::uint32_t, unsigned>> tags;
  std::vector<Lwo2Builder::MapEntry> seams;
  for (unsigned r = 0; r < kRows; ++r) {
    const bool bottom = r >= kChine && r < kRows - kChine;
    for (unsigned c = 0, k = r % 10; c < kStations; k = (k + 1) % 10) {
      const Piece piece = c + kWidth[kCycle[k]] <= kStations ? kCycle[k] : kQuad;
      const unsigned w = kWidth[piece];
      std::vector<std::uint32_t> a, b;  // the row's lower and upper edge over the piece
      for (unsigned i = 0; i <= w; ++i) {
        a.push_back(at(r, c + i));
        b.push_back(at(r + 1, c + i));
      }
      std::vector<std::vector<std::uint32_t>> made;
      if (piece == kTriangles) {
        made = {{a[0], a[1], b[1]}, {a[0], b[1], b[0]}};
      } else if (piece == kPentagon || piece == kHeptagon) {
        std::vector<std::uint32_t> f(a.begin(), a.end());
        f.insert(f.end(), b.rbegin() + 1, b.rend());
        made = {f, {a[w], b[w], b[w - 1]}};
      } else {
        std::vector<std::uint32_t> f(a.begin(), a.end());
        f.insert(f.end(), b.rbegin(), b.rend());
        made = {f};
      }
      const unsigned band = c * kBands / kStations;
      for (const auto& f : made) {
        const auto polygon = static_cast<std::uint32_t>(faces.size());
        tags.push_back({polygon, 2 * band + (bottom ? 1 : 0)});
        // Seams: each strake of two rows and each band is an island of its own in the map.
        for (std::uint32_t point : f) {
          const unsigned pr = point / (kStations + 1), pc = point % (kStations + 1);
          const bool strake = r % 2 == 0 && r > 0 && pr == r;
          const bool bandStart = band > 0 && pc * kBands % kStations < kBands && pc * kBands / kStations == band;
          if (strake || bandStart)
            seams.push_back({point, polygon, {float(pc) / kStations + (bandStart ? 0.01f : 0.0f), float(pr) / kRows + (strake ? 0.002f : 0.0f)}});
        }
        faces.push_back(f);
      }
      c += w;
    }
  }
  std::vector<Lwo2Builder::MapEntry> uv;
  for (std::uint32_t r = 0; r <= kRows; ++r)
    for (std::uint32_t c = 0; c <= kStations; ++c) uv.push_back({at(r, c), 0, {float(c) / kStations, float(r) / kRows}});
  std::vector<std::string> names;
  for (unsigned band = 0; band < kBands; ++band)
    for (const char* part : {"Topside", "Bottom"}) names.push_back("Hull_" + std::string(part) + "_" + std::to_string(band + 1));
  Lwo2Builder b;
  b.tags(names).layer(0, "Hull").points(hullPoints()).polygons(faces).polygonTags(tags);
  b.vertexMap("TXUV", "Hull UV", 2, uv).vertexMap("TXUV", "Hull UV", 2, seams, true);
  b.clip(1, "images/hull_paint.png").clip(2, "images/antifouling.png");
  static const float kSmoothing[] = {0.5236f, 0.7854f, 1.0472f, 1.5621f, 0.0f};
  const float center[3] = {0, 0, 0}, size[3] = {1, 1, 1};
  for (std::uint32_t s = 0; s < names.size(); ++s) {
    Bytes vmap;
    putPaddedString(vmap, "Hull UV");
    std::vector<SubChunk> subs = {subRGB(0.5f + 0.01f * s, 0.4f, 0.3f), subValue("DIFF", 0.8f), subValue("SPEC", 0.2f),
                                  subValue("GLOS", 0.4f)};
    if (kSmoothing[s % 5] > 0) subs.push_back(subFloat("SMAN", kSmoothing[s % 5]));
    subs.push_back(imageBlock("COLR", true, center, size,
                              {subU16("PROJ", 5), subU16("AXIS", 0), subU16("IMAG", 1 + s % 2), sub("VMAP", vmap)}));
    b.surface(names[s], subs);
  }
  return toLwo3(b.bytes(), {}, 8);
}

}  // namespace

constexpr int kBones = 64;

// The 256 x 255 sphere as LWO2 with one weight map per band of its height: each point in
// the maps of the two bands nearest it.
Bytes weightedSphere(const Geometry& g) {
  std::vector<std::vector<std::uint32_t>> faces;
  std::vector<std::pair<std::uint32_t, unsigned>> tags;
  for (const auto& p : g.polygons) {
    tags.push_back({static_cast<std::uint32_t>(faces.size()), 0});
    faces.push_back(std::vector<std::uint32_t>(p.corners.begin(), p.corners.end()));
  }
  std::vector<std::vector<Lwo2Builder::MapEntry>> maps(kBones);
  for (std::uint32_t i = 0; i < g.points.size() / 3; ++i) {
    const double at = (g.points[3 * i + 1] + 1.0) / 2.0 * kBones - 0.5;  // bone centres at 0.5, 1.5, ...
    const int below = std::clamp(static_cast<int>(std::floor(at)), 0, kBones - 1), above = std::min(below + 1, kBones - 1);
    const float share = static_cast<float>(std::clamp(at - below, 0.0, 1.0));
    maps[static_cast<std::size_t>(below)].push_back({i, 0, {1.0f - share}});
    if (above != below) maps[static_cast<std::size_t>(above)].push_back({i, 0, {share}});
  }
  Lwo2Builder b;
  b.tags({"Skin"}).layer(0).points(g.points).polygons(faces).polygonTags(tags);
  b.surface("Skin", {subRGB(0.8f, 0.7f, 0.6f), subFloat("SMAN", 1.0f)});
  for (int k = 0; k < kBones; ++k) b.vertexMap("WGHT", "Band" + std::to_string(k), 1, maps[static_cast<std::size_t>(k)]);
  return b.bytes();
}

// The weighted sphere in a version 3 scene, with a chain of bones up its axis that sway
// over 61 frames, or (bones false) the same scene without them.
std::string skinnedScene(bool bones) {
  LaterSceneBuilder s(3, 0, 60);
  s.line("LoadObjectLayer 1 skinned_256x255_lwo2.lwo").motion("ObjectMotion", {});
  if (!bones) return s.text();
  s.line("BoneFalloffType 5");
  for (int k = 0; k < kBones; ++k) {
    BoneBlock bone;
    bone.name = "Band" + std::to_string(k), bone.map = bone.name, bone.mapOnly = 1, bone.normalize = 1, bone.length = 2.0 / kBones;
    bone.position[1] = k == 0 ? -1 : 0, bone.position[2] = k == 0 ? 0 : 2.0 / kBones, bone.direction[1] = k == 0 ? -90 : 0;
    bone.parent = k == 0 ? "ParentItem 10000000" : "ParentItem 4" + [&] { char id[8]; std::snprintf(id, sizeof id, "%03X", k - 1); return std::string(id); }() + "0000";
    std::vector<std::vector<ChannelKey>> channels(9);
    channels[1] = {ckey(0, bone.position[1])}, channels[2] = {ckey(0, bone.position[2])}, channels[4] = {ckey(0, bone.direction[1] * 0.017453292519943295)};
    channels[3] = {ckey(0, 0), ckey(1, 0.05 * std::sin(k)), ckey(2, 0)};
    s.bone(bone, channels);
  }
  return s.text();
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: torvo_bench_gen DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  std::filesystem::create_directories(dir);
  bool ok = true;
  for (auto [n, m] : {std::pair{64u, 63u}, std::pair{128u, 127u}, std::pair{256u, 255u}}) {
    const Geometry s = uvSphere(n, m, 1.0);
    const std::string base = dir + "/sphere_" + std::to_string(n) + "x" + std::to_string(m);
    ok = ok && writeFile(base + ".lwo", lwobTwin(s, kSkin)) && writeFile(base + "_lwo2.lwo", lwo2Twin(s, kSkin)) &&
         writeFile(base + "_lwo3.lwo", toLwo3(lwo2Twin(s, kSkin, true), {}, 8));
  }
  ok = ok && writeFile(dir + "/hull_lwo3.lwo", hullObject());
  // Subpatches: the 256 x 255 sphere as a cage, and a plain sphere of about the faces it
  // makes at level 3 (587,520 faces against 586,496).
  ok = ok && writeFile(dir + "/patches_256x255.lwo", lwo2Twin(uvSphere(256, 255, 1.0), kSkin, false, "PTCH"));
  ok = ok && writeFile(dir + "/sphere_768x765_lwo2.lwo", lwo2Twin(uvSphere(768, 765, 1.0), kSkin));
  ok = ok && writeFile(dir + "/chain1000.lws", scene(true, 1000));
  for (int items : {250, 500, 1000}) ok = ok && writeFile(dir + "/flat" + std::to_string(items) + ".lws", scene(false, items));
  ok = ok && writeFile(dir + "/later1000.lws", laterScene(1000));
  ok = ok && writeFile(dir + "/skinned_256x255_lwo2.lwo", weightedSphere(uvSphere(256, 255, 1.0)));
  ok = ok && writeFile(dir + "/skinned.lws", skinnedScene(true)) && writeFile(dir + "/unskinned.lws", skinnedScene(false));
  if (!ok) {
    std::fprintf(stderr, "torvo_bench_gen: could not write into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
