#include "seeds.h"

#include <cmath>

namespace fuzz {

using namespace lwbuild;

namespace {

Bytes textBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::vector<Seed> lwobSeeds() {
  std::vector<Seed> seeds;
  LwobBuilder cube;
  cube.surfaces({"Side", "Top"});
  cube.points({-1, -1, -1, 1, -1, -1, -1, 1, -1, 1, 1, -1, -1, -1, 1, 1, -1, 1, -1, 1, 1, 1, 1, 1});
  cube.polygons({{{0, 2, 3, 1}, 1}, {{4, 5, 7, 6}, 1}, {{0, 1, 5, 4}, 1},
                 {{2, 6, 7, 3}, 2}, {{0, 4, 6, 2}, 1}, {{1, 3, 7, 5}, 1}});
  cube.surface("Side", {subColor(255, 128, 0), subU16("FLAG", 0x0104), subFloat("SMAN", 1.6f), subU16("TRAN", 128),
                        subString("CTEX", "Cylindrical Image Map"), subString("TIMG", "images\\wood.tga"),
                        subU16("TFLG", 2), subVec("TSIZ", 2, 2, 2), subVec("TCTR", 0, 0, 0), subFloat("TFP0", 2)});
  cube.surface("Top", {subColor(10, 20, 30), subString("CTEX", "Spherical Image Map"), subU16("TFLG", 1),
                       subFloat("TFP1", 3), subString("BTEX", "Planar Image Map"), subU16("TFLG", 4)});
  Bytes cubeBytes = cube.bytes();
  cubeBytes.push_back(0);
  seeds.push_back({"cube", cubeBytes});

  LwobBuilder detail;
  detail.surfaces({"A", "B"}).points({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0, 2, 2, 0});
  detail.polygons({{{0, 1, 2}, -1, 1}, {{1, 3, 2}, 2}, {{4, 4, 4}, 1}, {{0, 1, 1, 3}, 2}});
  detail.surface("A", {subString("CTEX", "Cubic Image Map"), subString("TIMG", "(none)")});
  detail.surface("B", {subString("CTEX", "Planar Image Map"), subU16("TFLG", 1)});
  seeds.push_back({"detail", detail.bytes()});

  // A small smoothed sphere with a spherical map (seams, splits, smoothing).
  const Geometry g = uvSphere(8, 5, 1.0);
  LwobBuilder sphere;
  sphere.surfaces({"Skin"}).points(g.points).polygons(g.polygons);
  sphere.surface("Skin", {subU16("FLAG", 4), subString("CTEX", "Spherical Image Map"), subU16("TFLG", 2)});
  Bytes sphereBytes = sphere.bytes();
  sphereBytes.push_back(2);  // wrap seams
  seeds.push_back({"sphere", sphereBytes});
  return seeds;
}

std::vector<Seed> lwo2Seeds() {
  std::vector<Seed> seeds;
  const float center[3] = {0, 0, 0}, size[3] = {2, 2, 2};
  // Two layers; UV map with a corner override, double-sided, smoothed, 4-byte indices.
  Lwo2Builder uv;
  uv.tags({"Skin", "Side"}).layer(0, "base", {0, 1, 0}).points({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, 0, 0, 2, 1, 0});
  uv.vertexMap("TXUV", "uv", 2, {{0, 0, {0, 0}}, {1, 0, {1, 0}}, {2, 0, {1, 1}}, {3, 0, {0, 1}}});
  uv.polygons({{0, 1, 2, 3}, {1, 4, 5, 2}}).polygonTags({{0, 0}, {1, 1}});
  uv.vertexMap("TXUV", "uv", 2, {{1, 1, {0.5f, 0.5f}}}, true);
  uv.layer(1, "child", {0, 0, 0}, 0).points({0, 0, 1, 1, 0, 1, 0, 1, 1});
  uv.polygons({{0, 1, 2}}).polygonTags({{0, 1}});
  uv.clip(1, "images/skin.tga");
  uv.surface("Skin", {subRGB(1, 0.5f, 0), subValue("GLOS", 0.4f), subFloat("SMAN", 1.2f),
                      imageBlock("COLR", true, center, size,
                                 {subU16("PROJ", 5), subU16("IMAG", 1), subString("VMAP", "uv")})});
  uv.surface("Side", {subU16("SIDE", 3), subValue("TRAN", 0.5f),
                      imageBlock("COLR", true, center, size,
                                 {subU16("PROJ", 1), subU16("AXIS", 1), subValue("WRPW", 2)})});
  Bytes uvBytes = uv.bytes();
  uvBytes.push_back(1);  // layer 1 alone
  uvBytes.push_back(0);
  seeds.push_back({"layers_uv", uvBytes});
  // A sphere on a spherical map, with curves and bones beside its faces.
  const Geometry g = uvSphere(8, 5, 1.0);
  std::vector<std::vector<std::uint32_t>> faces;
  std::vector<std::pair<std::uint32_t, unsigned>> tags;
  for (const auto& p : g.polygons) {
    tags.push_back({static_cast<std::uint32_t>(faces.size()), 0});
    faces.push_back(std::vector<std::uint32_t>(p.corners.begin(), p.corners.end()));
  }
  Lwo2Builder sphere;
  sphere.tags({"Skin"}).layer(0).points(g.points).polygons(faces).polygonTags(tags).polygons({{0, 1}}, "CURV");
  sphere.surface("Skin", {imageBlock("COLR", true, center, size, {subU16("PROJ", 2), subU16("AXIS", 1)})});
  seeds.push_back({"sphere", sphere.bytes()});
  // Skelegons that name weight maps: a skeleton of their own.
  seeds.push_back({"skelegons", skinColumn(true)});
  // A rigged character's object: a body and a layer of skelegons alone.
  seeds.push_back({"character", riggedCharacter(4)});
  // Subdivision cages with the maps that come along and an edge weight.
  seeds.push_back({"patches", patchCube("PTCH", true, 1)});
  seeds.push_back({"catmull_clark", patchCube("SUBD", true)});
  return seeds;
}

// The LWO2 seeds as LWO3 (their option bytes kept), a node graph in every surface; and a
// small object whose surface nests FORMs inside FORMs, one of them claiming more than its parent.
std::vector<Seed> lwo3Seeds() {
  std::vector<Seed> seeds;
  Bytes graph;
  putForm(graph, "NODS", Bytes{'N', 'V', 'E', 'R', 0, 0, 0, 4, 0, 0, 0, 1});
  for (auto [name, bytes] : lwo2Seeds()) {
    const Bytes options(bytes.begin() + 8 + (bytes[4] << 24 | bytes[5] << 16 | bytes[6] << 8 | bytes[7]), bytes.end());
    bytes = toLwo3(bytes, graph);
    bytes.insert(bytes.end(), options.begin(), options.end());
    seeds.push_back({name, bytes});
  }
  Lwo2Builder small;
  small.tags({"Paint"}).layer(0).points({0, 0, 0, 1, 0, 0, 0, 1, 0}).polygons({{0, 1, 2}}).polygonTags({{0, 0}});
  small.vertexMap("RGBA", "paint", 4, {{0, 0, {1, 0, 0, 1}}, {1, 0, {0, 1, 0, 0.5f}}});
  Bytes deep, inner;
  putForm(inner, "TMAP", Bytes{'C', 'N', 'T', 'R', 0xFF, 0xFF, 0xFF, 0xF0});
  putForm(deep, "BLOK", inner);
  const Bytes surface = toLwo3(small.surface("Paint", {subRGB(0.5f, 0.5f, 0.5f)}).bytes(), deep);
  seeds.push_back({"nested", surface});
  // Node graphs: a Standard node with a texture layer in its Color, a Principled BSDF fed by
  // an Image node, and a graph with two nodes of one name, a cycle and no material.
  Lwo2Builder mapped;
  mapped.tags({"Paint"}).layer(0).points({0, 0, 0, 1, 0, 0, 0, 1, 0}).polygons({{0, 1, 2}}).polygonTags({{0, 0}});
  mapped.vertexMap("TXUV", "uv", 2, {{0, 0, {0.5f, 0.5f}}}).clip(1, "paint.tga");
  const float c[3] = {0, 0, 0}, one[3] = {1, 1, 1};
  const Bytes block = subChunks({imageBlock("txtr", true, c, one, {subU16("PROJ", 5), subU16("IMAG", 1), subString("VMAP", "uv")})});
  const Node layered{"Standard", "Standard (1)",
                     {{"Color", {1, 0.5, 0}, "", {}, lwo3SubChunks(block.data(), block.size())}, {"Diffuse", {0.5}, "double"},
                      {"Glossiness", {0.3}, "", {0, 0, 0, 1}}}};
  const Node bsdf{"Principled BSDF", "Principled BSDF (1)", {{"Roughness", {0.5}}, {"Thin", {1}, "int"}}};
  const Node image{"Image", "Image (1)", {}, "paint.tga", "uv", 5};
  const Bytes graphs[] = {
      materialGraph(layered),
      nodeGraph({bsdf, image}, {{"Surface", "Material", bsdf.name, "Material"}, {bsdf.name, "Color", image.name, "Color"}}),
      nodeGraph({layered, layered}, {{"Surface", "Material", "", ""}, {layered.name, "Color", layered.name, "Color"}})};
  for (std::size_t i = 0; i < std::size(graphs); ++i) {
    Lwo2Builder object = mapped;
    seeds.push_back({"graph" + std::to_string(i), toLwo3(object.surface("Paint", {sub("FORM", graphs[i])}).bytes(), {}, 8)});
  }
  return seeds;
}

// Rigs on the weighted column: bones by map, by falloff, limited, with IK and a pivot rotation,
// parented by number (version 1) or by item id; a second object deformed by the first's bones.
Bytes rigScene(int version) {
  BoneBlock lower, upper, tip;
  lower.name = "Lower", lower.direction[1] = -90, lower.map = "Lower", lower.mapOnly = 1, lower.normalize = 1;
  upper.name = "Upper", upper.position[2] = 1, upper.map = "Upper", upper.scaleStrength = 1;
  tip.name = "Tip", tip.position[2] = 1, tip.range[0] = 0.1, tip.range[1] = 0.5, tip.active = 1;
  tip.more = {"PivotRotation 0 0 30", "GoalItem 10000000", "BoneJointComp 1", "BoneMuscleFlex 1"};
  if (version == 1) {
    upper.parent = "ParentObject 1", tip.parent = "ParentObject 2";
    LwscBuilder s(0, 20);
    s.line("LoadObject column.lwo").motion("ObjectMotion (unnamed)", {key(0, 0, 0, 0)}).line("BoneFalloffType 2").line("FasterBones 1");
    s.bone(lower, {key(0, 0, 0, 0, 0, -90)}).bone(upper, {key(0, 0, 0, 1), key(20, 0, 0, 1, 0, 90)}).bone(tip, {key(0, 0, 0, 1)});
    s.line("AddLight").line("AddBone").line("BoneName Stray");
    return textBytes(s.text());
  }
  const bool ids = version >= 4;
  LaterSceneBuilder l(version, 0, 20);
  l.line(std::string("LoadObjectLayer 1 ") + (ids ? "10000000 " : "") + "column.lwo").motion("ObjectMotion", {});
  l.line("BoneFalloffType 5").line("FasterBones 1");
  lower.parent = "ParentItem 10000000", upper.parent = "ParentItem 40000000", tip.parent = "ParentItem 40010000";
  l.bone(lower, {{}, {}, {}, {}, {ckey(0, -1.5707963)}}, ids ? "40000000" : "");
  l.bone(upper, {{}, {}, {ckey(0, 1)}, {}, {ckey(0, 0), ckey(0.5, 1.5707963)}}, ids ? "40010000" : "");
  l.bone(tip, {{}, {}, {ckey(0, 1)}}, ids ? "40020000" : "").line("Plugin ItemMotionHandler 1 Cycler").line("EndPlugin");
  l.line(std::string("LoadObjectLayer 1 ") + (ids ? "10000001 " : "") + "column.lwo").motion("ObjectMotion", {{ckey(0, 2)}});
  l.line(version == 3 ? "UseBonesFrom 1" : "UseBonesFrom 10000000").line("ParentItem 40020000");
  return textBytes(l.text());
}

std::vector<Seed> lwscSeeds() {
  LwscBuilder s(0, 30);
  s.loadObject("a.lwo", {key(0, 0, 0, 0), key(10, 1, 2, 3, 90, 0, 0), key(30, 0, 0, 0, 0, 0, 0, 2, 2, 2, 1)});
  s.line("PivotPoint 1 2 3");
  s.line("EndBehavior 2");
  s.line("LoadObject b.lwo");
  s.motion("ObjectMotion (unnamed)", {key(0, 1, 1, 1)});
  s.line("ParentObject 1");
  s.line("MorphTarget 1");
  s.line("Metamorph 0.5");
  s.line("TargetObject 1");
  s.line("AddNullObject Null (1)");
  s.motion("ObjectMotion (unnamed)", {key(0, 0, 0, 0), key(20, 0, 5, 0, 0, 0, 0, 1, 1, 1, 1)});
  s.line("PathAlignment 1");
  s.line("LookAheadFrames 5");
  s.line("EndBehavior 0");
  s.line("Plugin Something");
  s.line("LoadObject missing.lwo");
  s.line("EndPlugin");
  s.line("AddLight");
  s.line("LightName Key Light");
  s.motion("LightMotion (unnamed)", {key(0, 0, 5, 0)});
  s.line("CameraMotion (unnamed)");
  s.line("9");
  s.line("1");
  s.line(" 0 0 -5 0 0 0 1 1 1");
  s.line(" 0 0 0 0 0");
  s.line("ObjDissolve 1.5");
  Bytes bytes = textBytes(s.text());
  bytes.push_back(16 | 32);  // camera and lights
  std::vector<Seed> seeds = {{"scene", bytes}};
  // Later versions: every span shape and behaviour, links by number and by item id,
  // a dissolve envelope, a layer, lights and the camera.
  for (int version : {2, 3, 5}) {
    LaterSceneBuilder l(version, 0, 40);
    const bool ids = version >= 4;
    l.line(version >= 3 ? std::string("LoadObjectLayer 1 ") + (ids ? "10000000 " : "") + "a.lwo" : "LoadObject a.lwo");
    std::vector<ChannelKey> x;
    for (int shape = 0; shape <= 5; ++shape) {
      ChannelKey k = ckey(shape * 0.2, shape % 2 == 0 ? 1.0 : -1.0, shape);
      k.p[0] = shape == 5 ? -0.05 : 0.2;
      k.p[2] = shape == 5 ? 0.05 : -0.1;
      k.p[3] = 0.5;
      k.p[4] = -0.5;
      x.push_back(k);
    }
    l.motion("ObjectMotion", {x, {ckey(0, 0), ckey(1, 2, 3)}, {}, {ckey(0, 0), ckey(0.5, 1.5)}}, 9, version == 2 ? 4 : 3);
    l.line(version >= 3 ? "PivotPosition 0 1 0" : "PivotPoint 0 1 0");
    l.line(std::string("AddNullObject ") + (ids ? "10000001 " : "") + "Null");
    l.motion("ObjectMotion", {{ckey(0, 1), ckey(0.5, 2)}}, 9, 5);
    l.line(version >= 3 ? "ParentItem 10000000" : "ParentObject 1");
    l.line(version >= 3 ? "TargetItem 10000000" : "TargetObject 1");
    l.line(version >= 3 ? "ObjectDissolve (envelope)" : "ObjDissolve (envelope)");
    if (version < 3) l.line("  1");
    l.envelope({ckey(0, 0), ckey(1, 1)}, 2, 4);
    l.line("AddBone").line("BoneMotion").line("NumChannels 1").line("Channel 0").envelope({ckey(0, 1)});
    l.line(ids ? "AddLight 20000000" : "AddLight").line("LightName Key");
    l.motion("LightMotion", {{ckey(0, 1)}, {ckey(0, 2), ckey(1, 0, 4)}}, 9, 2);
    l.line(version >= 3 ? "ParentItem 10000001" : "ParentObject 2");
    if (version >= 3) l.line(ids ? "AddCamera 30000000" : "AddCamera").line("CameraName Cam");
    l.motion("CameraMotion", {{}, {}, {ckey(0, -5)}, {ckey(0, 0.5), ckey(1, 1)}}, 6, 0);
    l.line("PathAlignment 1").line("LookAheadFrames 3");
    Bytes later = textBytes(l.text());
    later.push_back(16 | 32);
    seeds.push_back({"version" + std::to_string(version), later});
  }
  for (int version : {1, 3, 5}) seeds.push_back({"rig" + std::to_string(version), rigScene(version)});
  // A body deformed by the bones of a null, beside a layer of skelegons.
  seeds.push_back({"character", textBytes(characterScene(4, 10))});
  return seeds;
}

std::vector<Seed> lwcfgSeeds() {
  return {{"cfg", textBytes("LWCO\r\n0\r\nContentDirectory C:\\NewTek\r\nScenesDirectory Scenes\r\n"
                            "ObjectsDirectory Objects\r\nImagesDirectory Images\r\n")}};
}

std::vector<Seed> tgaSeeds() {
  std::vector<Seed> seeds;
  TgaSpec rgb;
  rgb.width = 3;
  rgb.height = 2;
  seeds.push_back({"rgb24", tgaBytes(rgb, {}, Bytes(18, 0x7F))});
  TgaSpec rle = rgb;
  rle.imageType = 10;
  rle.descriptor = 0x20 | 0x40;
  seeds.push_back({"rle", tgaBytes(rle, {}, {0x83, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9})});
  TgaSpec mapped;
  mapped.imageType = 9;
  mapped.colorMapType = 1;
  mapped.mapLength = 4;
  mapped.mapEntrySize = 16;
  mapped.pixelDepth = 8;
  mapped.width = 4;
  mapped.height = 2;
  mapped.descriptor = 0x80;
  seeds.push_back({"mapped", tgaBytes(mapped, Bytes(8, 0x55), {0x87, 2})});
  return seeds;
}

std::vector<Seed> bmpSeeds() {
  std::vector<Seed> seeds;
  seeds.push_back({"rgb24", bmpBytes(2, 2, 24, {}, {255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0})});
  seeds.push_back({"pal4", bmpBytes(3, 1, 4, {0, 0, 0, 0, 255, 255, 255, 0, 0, 0, 255, 0}, {0x12, 0x00, 0, 0})});
  seeds.push_back({"pal8", bmpBytes(1, 2, 8, {1, 2, 3, 0}, {0, 0, 0, 0, 0, 0, 0, 0})});
  return seeds;
}

}  // namespace

std::vector<Seed> seedsFor(const std::string& target) {
  if (target == "lwob") return lwobSeeds();
  if (target == "lwo2") return lwo2Seeds();
  if (target == "lwo3") return lwo3Seeds();
  if (target == "lwsc") return lwscSeeds();
  if (target == "lwcfg") return lwcfgSeeds();
  if (target == "tga") return tgaSeeds();
  if (target == "bmp") return bmpSeeds();
  return {};
}

}  // namespace fuzz
