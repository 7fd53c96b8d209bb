// Writes large benchmark inputs:
//   torvo_bench_gen DIR
// DIR/sphere_NxM.lwo      UV spheres of N x M quads on one smoothed, planar-mapped surface
// DIR/sphere_NxM_lwo2.lwo the same object as LWO2 (torvo writes the same .X from both)
// DIR/sphere_NxM_lwo3.lwo and as LWO3, in the form assimp's reader takes (8 bytes before surface names)
// DIR/chain1000.lws       1,000 null objects in a parent chain, each with 100 spline keys over 10,000 frames
// DIR/flatN.lws           N = 250, 500, 1,000 such items side by side
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
         writeFile(base + "_lwo3.lwo", toLwo3(lwo2Twin(s, kSkin), {}, 8));
  }
  // Subpatches: the 256 x 255 sphere as a cage, and a plain sphere of about the faces it
  // makes at level 3 (587,520 faces against 586,496).
  ok = ok && writeFile(dir + "/patches_256x255.lwo", lwo2Twin(uvSphere(256, 255, 1.0), kSkin, "PTCH"));
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
