// LWO2 and LWO3 objects: twins of LWOB objects convert to the same bytes; UV and colour maps,
// layers, node graphs, variable-length indices, unknown chunks and damaged files.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "core/options.h"
#include "lwo_fixture.h"
#include "xfile/xwriter.h"
#include "xscene/materials.h"
#include "xscene/mesh.h"
#include "support/context.h"

using namespace torvo;

using namespace lwotest;
using namespace lwbuild;

namespace {

// A small sphere whose polygons alternate between the twin surface and a plain one, and
// two polygons with repeated corners (one of them dropped).
Geometry twinSphere() {
  Geometry g = uvSphere(8, 5, 1.0, [](unsigned band, unsigned s) { return 1 + int(band + s) % 2; });
  g.polygons.insert(g.polygons.end(), {{{1, 2, 2, 10, 1}, 1}, {{3, 3, 3}, 2}});
  return g;
}

// Materials and mesh as the program writes them, after what the reader printed.
std::string convert(const Bytes& bytes, bool binary, bool wrapSeams) {
  Loaded l = load(bytes, true, true, wrapSeams);
  MaterialTable table;
  XWriter out;
  out.binary = binary;
  testsupport::TestRun run({.binaryOutput = binary, .keepTextureFiles = 1});
  collectMaterials(run.context, table, l.object);
  writeMaterials(table, 0, out, 0);
  ReadyMesh mesh;
  readyMesh(run.context, table, l.object, false, mesh);
  writeMesh(run.context, table, l.object, mesh, out, 0);
  return l.out + run.printed + std::string(out.buffer.begin(), out.buffer.end());
}

TEST(Lwo2Twins, ConvertToTheBytesOfTheirLwobTwin) {
  const TwinSurface kSurfaces[] = {
      {"Flat", {255, 128, 0}},
      {"Shiny", {10, 20, 30}, 200, 128, 64, 256, 128},
      {"Gloss", {1, 2, 254}, 0, 256, 300, 100, 256},
      {"Smooth", {200, 200, 200}, 256, 0, 0, 64, 0, 1.5620697f},
      {"Both", {9, 99, 199}, 256, 0, 0, 64, 0, 1.6f, true},
      {"Sides", {0, 0, 0}, 256, 0, 0, 16, 0, 0, true},
      {"PlanarX", {50, 60, 70}, 256, 0, 0, 64, 0, 0, false, 0, 0, {}, {}, 1, 1, "images\\wood.tga"},
      {"PlanarY", {50, 60, 70}, 256, 0, 0, 64, 0, 0, false, 0, 1},
      {"PlanarZ", {50, 60, 70}, 256, 0, 0, 64, 0, 1.2f, false, 0, 2, {}, {}, 1, 1, "Z:/maps/z.bmp"},
      {"Cylinder", {80, 90, 100}, 256, 0, 0, 64, 0, 0, false, 1, 1, {}, {}, 2, 1, "c.tga"},
      {"Sphere", {80, 90, 100}, 256, 0, 0, 64, 0, 1.5f, true, 2, 0, {}, {}, 1, 3, "s.tga"},
      {"Cubic", {80, 90, 100}, 256, 0, 0, 64, 0, 0, false, 3, 2, {}, {}, 1, 1, "cube.tga"},
      {"Front", {80, 90, 100}, 256, 0, 0, 64, 0, 0, false, 4, 2, {}, {}, 1, 1, "front.tga"},
  };
  for (TwinSurface s : kSurfaces) {
    s.center[0] = 0.1f;
    s.center[2] = -0.3f;
    s.size[0] = 2;
    s.size[1] = 1.5f;
    const std::vector<TwinSurface> surfaces = {s, {"Base"}};
    for (bool binary : {false, true})
      for (bool wrapSeams : {false, true}) {
        SCOPED_TRACE(s.name + (binary ? " binary" : " text") + (wrapSeams ? " -u" : ""));
        const std::string lwob = convert(lwobTwin(twinSphere(), surfaces), binary, wrapSeams);
        EXPECT_GT(lwob.size(), 1000u);
        EXPECT_EQ(convert(lwo2Twin(twinSphere(), surfaces), binary, wrapSeams), lwob);
        for (std::size_t lead : {0, 8}) EXPECT_EQ(convert(toLwo3(lwo2Twin(twinSphere(), surfaces), {}, lead), binary, wrapSeams), lwob);
        EXPECT_EQ(convert(toLwo3(lwo2Twin(twinSphere(), surfaces, true), {}, 8), binary, wrapSeams), lwob);
      }
  }
}

// Two quads sharing the edge 1-4 on a UV-mapped surface, the second double-sided.
Bytes uvQuads(const std::string& blockMap, std::vector<Lwo2Builder::MapEntry> corners) {
  Lwo2Builder b;
  const float c[3] = {0, 0, 0};
  const float one[3] = {1, 1, 1};
  b.tags({"Skin", "Back"}).layer(0).points({0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 1, 0, 1, 1, 0, 2, 1, 0});
  b.vertexMap("WGHT", "weights", 1, {{0, 0, {0.5f}}}).vertexMap("TXUV", "other", 2, {{0, 0, {0.9f, 0.9f}}});
  // Entries for the point and the polygon just past the last are left out.
  b.vertexMap("TXUV", "uv", 2, {{0, 0, {0, 0}}, {1, 0, {0.5f, 0}}, {3, 0, {0, 1}}, {4, 0, {0.5f, 1}}, {5, 0, {1, 1}}, {6, 0, {0.7f, 0.7f}}});
  b.polygons({{0, 1, 4, 3}, {1, 2, 5, 4}}).polygonTags({{0, 0}, {1, 1}}).vertexMap("TXUV", "uv", 2, corners, true);
  const SubChunk block = imageBlock("COLR", true, c, one, {subU16("PROJ", 5), subString("VMAP", blockMap)});
  return b.surface("Skin", {block}).surface("Back", {subU16("SIDE", 3), block}).bytes();
}

struct UV {
  std::uint32_t point;
  double u;
  double v;
  bool operator==(const UV&) const = default;
};

std::vector<UV> cornerUVs(const LwObject& o, std::size_t polygon) {
  std::vector<UV> uvs;
  for (std::uint32_t vertex : corners(o, polygon)) {
    const LwVertex& v = o.vertices[vertex];
    uvs.push_back({v.point, v.hasUV ? v.u : -1, v.hasUV ? v.v : -1});
  }
  return uvs;
}

TEST(Lwo2UVMaps, CornerValuesOverridePointValuesAndSplitVertices) {
  // VMAD gives the second quad its own value at point 1, and the copy of it as well.
  const Loaded l = load(uvQuads("uv", {{1, 1, {0.25f, 0.5f}}, {9, 1, {1, 1}}, {2, 7, {1, 1}}, {2, 2, {0.7f, 0.7f}}, {2, 3, {0.7f, 0.7f}}}));
  const LwObject& o = l.object;
  ASSERT_EQ(o.polygons.size(), 3u);
  EXPECT_EQ(cornerUVs(o, 0), (std::vector<UV>{{0, 0, 1}, {1, 0.5, 1}, {4, 0.5, 0}, {3, 0, 0}}));
  // Point 2 has no value anywhere: it is at (0, 0).
  const std::vector<UV> second = {{1, 0.25, 0.5}, {2, 0, 1}, {5, 1, 0}, {4, 0.5, 0}};
  EXPECT_EQ(cornerUVs(o, 1), second);
  EXPECT_EQ(cornerUVs(o, 2), std::vector<UV>(second.rbegin(), second.rend()));
  EXPECT_EQ(o.vertices.size(), 7u);  // point 1 split once, shared by the quad and its copy
  EXPECT_EQ(corners(o, 1)[0], corners(o, 2)[3]);
  // A block that names no map takes the file's first TXUV map.
  EXPECT_EQ(cornerUVs(load(uvQuads("", {})).object, 0)[0], (UV{0, 0.9f, 1.0 - 0.9f}));
}

// A quad (points 0-3) on surface A with the given maps and sub-chunks, and a triangle on B, which has a
// colour image when `image`.
Bytes mapped(const std::function<void(Lwo2Builder&)>& maps, const std::vector<SubChunk>& a, bool image = false) {
  Lwo2Builder b;
  const float c[3] = {0, 0, 0};
  const float one[3] = {1, 1, 1};
  b.tags({"A", "B"}).layer(0).points({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, 0, 0}).polygons({{0, 1, 2, 3}, {1, 4, 2}});
  b.polygonTags({{0, 0}, {1, 1}}).clip(1, "b.tga");
  maps(b);
  const std::vector<SubChunk> none, texture = {imageBlock("COLR", true, c, one, {subU16("PROJ", 0), subU16("IMAG", 1)})};
  return b.surface("A", a).surface("B", image ? texture : none).bytes();
}

SubChunk vcol(const char* type, const std::string& name) {
  Bytes d;
  putBEFloat(d, 1);
  putVX(d, 0);
  putId(d, type);
  putPaddedString(d, name);
  return sub("VCOL", d);
}

// The first polygon's corners: "u v" or "-" without coordinates, then "r g b a" where there is a colour.
std::string cornerValues(const LwObject& o) {
  std::string out;
  char text[96];
  for (std::uint32_t vertex : corners(o, 0)) {
    const LwVertex& v = o.vertices[vertex];
    std::snprintf(text, sizeof text, v.hasUV ? "%g %g" : "-", v.u, v.v);
    out += text;
    if (vertex < o.vertexColors.size() && o.vertexColors[vertex].set) {
      const float* c = o.vertexColors[vertex].rgba;
      std::snprintf(text, sizeof text, " %g %g %g %g", c[0], c[1], c[2], c[3]);
      out += text;
    }
    out += "|";
  }
  return out;
}

TEST(Lwo2Maps, SurfacesTakeCoordinatesAndColoursFromTheirMaps) {
  const float c[3] = {0, 0, 0};
  const float one[3] = {1, 1, 1};
  const auto uvMaps = [](Lwo2Builder& b) {
    b.vertexMap("TXUV", "first", 2, {{0, 0, {0.5f, 0.5f}}, {1, 0, {0.5f, 0.5f}}, {2, 0, {0.5f, 0.5f}}, {3, 0, {0.5f, 0.5f}}});
    b.vertexMap("TXUV", "uv", 2, {{0, 0, {0, 0}}, {1, 0, {1, 0}}, {2, 0, {1, 0.75f}}});
    b.vertexMap("TXUV", "uv", 2, {{1, 0, {0.25f, 0.25f}}}, true);
  };
  // Out of order and repeated: the last value given for a point or a corner counts.
  const auto repeated = [](Lwo2Builder& b) {
    b.vertexMap("TXUV", "uv", 2, {{2, 0, {9, 9}}, {1, 0, {1, 0}}, {0, 0, {0, 0}}, {2, 0, {1, 0.75f}}});
    b.vertexMap("TXUV", "uv", 2, {{1, 0, {7, 7}}, {1, 0, {0.25f, 0.25f}}}, true);
  };
  const auto colourMaps = [](Lwo2Builder& b) {
    b.vertexMap("RGB ", "rgb", 3, {{0, 0, {1, 0, 0}}, {1, 0, {0, 1, 0}}, {2, 0, {0, 0, 1}}});
    b.vertexMap("RGBA", "rgba", 4, {{0, 0, {1, 1, 1, 0.5f}}, {1, 0, {0.5f, 0.5f, 0.5f, 0.25f}}, {2, 0, {0, 0, 0, 0}}});
  };
  const std::string named = "0 1|0.25 0.75|1 0.25|0 1|";
  const std::string first = "0.5 0.5|0.5 0.5|0.5 0.5|0.5 0.5|";
  const struct {
    const char* what;
    Bytes bytes;
    std::string corners;
  } cases[] = {
      // A UV block names its map, VMAD overriding VMAP, with or without an image; a point the map leaves out is at (0, 0).
      {"UV block without an image", mapped(uvMaps, {imageBlock("COLR", true, c, one, {subU16("PROJ", 5), subString("VMAP", "uv")})}), named},
      {"UV block beside an image", mapped(uvMaps, {imageBlock("COLR", true, c, one, {subU16("PROJ", 5), subString("VMAP", "uv")})}, true), named},
      {"repeated entries", mapped(repeated, {imageBlock("COLR", true, c, one, {subU16("PROJ", 5), subString("VMAP", "uv")})}), named},
      {"UV block naming no map", mapped(uvMaps, {imageBlock("COLR", true, c, one, {subU16("PROJ", 5)})}, true), first},
      // A block on another channel, or disabled, is no colour block.
      {"UV block on the diffuse channel", mapped(uvMaps, {imageBlock("DIFF", true, c, one, {subU16("PROJ", 5), subString("VMAP", "uv")})}), first},
      {"UV block disabled", mapped(uvMaps, {imageBlock("COLR", false, c, one, {subU16("PROJ", 5), subString("VMAP", "uv")})}), first},
      // Without any image the first map serves a surface with no UV block, and replaces a projection.
      {"no block, no image", mapped(uvMaps, {}), first},
      {"planar block, no image", mapped(uvMaps, {imageBlock("COLR", true, c, one, {subU16("PROJ", 0)})}), first},
      {"no block beside an image", mapped(uvMaps, {}, true), "-|1.5 0.5|1.5 -0.5|-|"},  // B's projection at its corners
      // Colours: VCOL's map, else the first; RGB and a map VCOL calls RGB are opaque; a point left out is opaque black.
      {"first colour map", mapped(colourMaps, {}), "- 1 0 0 1|- 0 1 0 1|- 0 0 1 1|- 0 0 0 1|"},
      {"VCOL names RGBA", mapped(colourMaps, {vcol("RGBA", "rgba")}), "- 1 1 1 0.5|- 0.5 0.5 0.5 0.25|- 0 0 0 0|- 0 0 0 1|"},
      {"VCOL calls RGBA RGB", mapped(colourMaps, {vcol("RGB ", "rgba")}), "- 1 1 1 1|- 0.5 0.5 0.5 1|- 0 0 0 1|- 0 0 0 1|"},
      {"VCOL names no map", mapped(colourMaps, {vcol("RGBA", "none")}), "- 1 0 0 1|- 0 1 0 1|- 0 0 1 1|- 0 0 0 1|"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    EXPECT_EQ(cornerValues(load(k.bytes).object), k.corners);
    EXPECT_EQ(cornerValues(load(toLwo3(k.bytes)).object), k.corners) << "LWO3";
  }
}

LwObject loadLayer(const Bytes& bytes, int layer) { return std::move(load(bytes, true, true, false, 0.0, 0, layer).object); }

TEST(Lwo2Layers, EachLayerLoadsAloneOrAllTogether) {
  Lwo2Builder b;
  b.tags({"A"}).layer(0, "base", {1, 2, 3}).points(squarePoints()).polygons({{0, 1, 2}, {0, 2, 3}});
  b.polygonTags({{0, 0}, {1, 0}}).layer(4, "child", {0, 0, 5}, 0).points({5, 5, 5, 6, 5, 5, 5, 6, 5});
  const Bytes bytes = b.polygons({{2, 1, 0}}).polygonTags({{0, 0}}).surface("A", {}).bytes();
  const struct {
    int layer;
    std::size_t points;
    std::vector<std::uint16_t> layers;
  } rows[] = {{kAllLayers, 7, {0, 0, 4}}, {1, 4, {0, 0}}, {5, 3, {4}}, {2, 0, {}}, {0, 0, {}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.layer);
    const LwObject o = loadLayer(bytes, row.layer);
    EXPECT_EQ(o.points.size(), row.points);
    EXPECT_EQ(o.polygonLayers, row.layers);
    EXPECT_EQ(o.layers.size(), 2u);
  }
  const LwObject all = load(bytes).object;
  const LwLayer& child = all.layers.at(1);
  EXPECT_EQ(all.layers[0].parent, -1);
  EXPECT_EQ(all.layers[0].pivot[2], 3.0f);
  EXPECT_EQ(child.number, 4);
  EXPECT_EQ(child.parent, 0);
  EXPECT_EQ(child.name, "child");
  EXPECT_EQ(corners(all, 2), (Ids{6, 5, 4}));  // the second layer's own points
  // An LWOB object is layer 1.
  const Bytes lwob = object({"A"}, squarePoints(), {{{0, 1, 2}, 1}}).bytes();
  for (int layer : {kAllLayers, 1, 2}) EXPECT_EQ(loadLayer(lwob, layer).polygons.size(), layer == 2 ? 0u : 1u);
}

TEST(Lwo2Reader, FourByteIndicesReachPointsPastFF00) {
  std::vector<float> xyz(3 * 0xFF10, 0.0f);
  xyz[3 * 0xFF05] = 1;
  xyz[3 * 0xFF06 + 1] = 1;
  Lwo2Builder b;
  b.tags({"A"}).points(xyz).polygons({{0xFF04, 0xFF05, 0xFF06}, {0xFEFF, 0xFF00, 0xFF0F}});
  const Loaded l = loadPlain(b.polygonTags({{0, 0}, {1, 0}}).surface("A", {}).bytes());
  EXPECT_EQ(corners(l.object, 0), (Ids{0xFF04, 0xFF05, 0xFF06}));
  EXPECT_EQ(corners(l.object, 1), (Ids{0xFEFF, 0xFF00, 0xFF0F}));
}

// A triangle with a surface; `extra` adds chunks between the polygons and the surface.
Bytes triangle(const std::function<void(Lwo2Builder&)>& extra, const std::vector<SubChunk>& surfaceSubs = {}) {
  Lwo2Builder b;
  b.tags({"A", "part"}).layer(0).points(squarePoints()).polygons({{0, 1, 2}}).polygonTags({{0, 0}});
  extra(b);
  return b.surface("A", surfaceSubs).bytes();
}

TEST(Lwo2Reader, UnknownChunksAndPolygonKindsChangeNothing) {
  const std::string clean = convert(triangle([](Lwo2Builder&) {}), false, false);
  const std::string messy = convert(triangle([](Lwo2Builder& b) {
    b.chunk("ZZZZ", {1, 2, 3}).polygons({{0, 1}}, "CURV").polygonTags({{0, 1}}, "PART").chunk("BBOX", Bytes(24, 0));
  }, {sub("QQQQ", {1}), subU16("VERS", 3), subFloat("SMAN", 0.0f)}), false, false);
  EXPECT_EQ(messy, "Warning! 1 curve, bone and other non-face polygons skipped\n" + clean);
  // Skelegons are two-point BONE polygons naming points of their layer; the others are none.
  const Loaded bones = load(triangle([](Lwo2Builder& b) { b.polygons({{0, 1}, {0, 9}, {9, 0}, {0, 1, 2}, {1, 2}}, "BONE"); }));
  ASSERT_EQ(bones.object.skelegons.size(), 2u);
  EXPECT_EQ(bones.object.skelegons[1].base, 1u);
  EXPECT_EQ(bones.object.skelegons[1].tip, 2u);
}

TEST(Lwo2Reader, DamagedFilesLoseOnlyWhatIsDamaged) {
  const std::string invalid = "Warning! 1 polygons with invalid point or surface removed\n";
  const struct {
    const char* label;
    Bytes bytes;
    std::size_t polygons;
    std::string warning;
  } rows[] = {
      // 1,023 corners, two present.
      {"corners cut short", triangle([](Lwo2Builder& b) { b.chunk("POLS", {'F', 'A', 'C', 'E', 3, 0xFF, 0, 0, 0, 1}); }), 1, invalid},
      {"no such point", triangle([](Lwo2Builder& b) { b.polygons({{0, 1, 0xFF0000}}); }), 1, invalid},
      {"no such tag", triangle([](Lwo2Builder& b) { b.polygonTags({{0, 9}}); }), 0, invalid},
      {"tag past the last", triangle([](Lwo2Builder& b) { b.polygonTags({{0, 2}}); }), 0, invalid},
      {"two corners", triangle([](Lwo2Builder& b) { b.polygons({{0, 1}}); }), 1, "Warning! 1 <3vert polygons removed\n"},
      {"sub-chunk past its SURF", triangle([](Lwo2Builder& b) { b.chunk("SURF", {'A', 0, 0, 0, 'C', 'O', 'L', 'R', 0xFF, 0xFF, 0x3F}); }), 1, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    const Loaded l = loadPlain(row.bytes);
    EXPECT_EQ(l.object.polygons.size(), row.polygons);
    EXPECT_EQ(l.out, row.warning);
  }
}

TEST(Lwo3Reader, SurfacesWithOnlyANodeGraphKeepTheDefaultsWithOneWarning) {
  Bytes graph;
  putForm(graph, "NODS", Bytes{'N', 'R', 'O', 'T', 0, 0, 0, 0});
  const Bytes plain = triangle([](Lwo2Builder& b) { b.surface("part", {}); }, {});
  const Bytes coloured = triangle([](Lwo2Builder&) {}, {subRGB(1, 0, 0)});
  const Loaded graphOnly = loadPlain(toLwo3(plain, graph));
  const Loaded withColour = loadPlain(toLwo3(coloured, graph));
  EXPECT_EQ(graphOnly.out, "Warning! 2 surfaces described by node graphs only: default values used\n");
  EXPECT_EQ(graphOnly.object.surfaces.at(0).color[0], 200);
  EXPECT_EQ(withColour.out, "");
  EXPECT_EQ(withColour.object.surfaces.at(0).color[0], 255);
}

}  // namespace

namespace {

// A surface as the material writer sees it: colour, diffuse, specular, glossiness, luminosity,
// transparency, colour highlight, luminous colour, then the colour texture and its UV map.
std::string surfaceValues(const LwSurface& s) {
  char text[400];
  const LwTexture& t = s.colorTexture;
  std::snprintf(text, sizeof text, "%g %g %g d%g s%g g%.4g l%g t%g h%g e%s%g %g %g | %s %d %d uv%d", s.color[0], s.color[1], s.color[2],
                s.diffuse, s.specular, s.glossiness, s.luminosity, s.transparency, s.colorHighlight, s.ownLuminousColor ? "own " : "",
                s.luminousColor[0], s.luminousColor[1], s.luminousColor[2], t.image.c_str(), t.mapping, t.flags, s.uvMap);
  return text;
}

const std::string kDefaults = "200 200 200 d256 s0 g64 l0 t0 h0 e1 1 1 |  0 0 uv0";
const std::string kDamaged = "Warning! 1 surface node graphs damaged: defaults used for what could not be read\n";

Node standard(const std::string& name, std::vector<NodeAttr> attrs) { return {"Standard", name, std::move(attrs)}; }

const Wire kToMaterial{"Surface", "Material", "Standard (1)", "Material"};

}  // namespace

TEST(Lwo3Nodes, SurfacesTakeTheMaterialWiredToTheSurfaceNode) {
  const float c[3] = {0, 0, 0};
  const float one[3] = {1, 1, 1};
  const Bytes lwo2Layer = subChunks({imageBlock("txtr", true, c, one, {subU16("PROJ", 5), subU16("IMAG", 1), subString("VMAP", "uv")})});
  const Bytes layer = lwo3SubChunks(lwo2Layer.data(), lwo2Layer.size());
  const Node image{"Image", "Image (1)", {}, "C:storage/box/cc0.png", "uv", 5};
  const Bytes whole = materialGraph(standard("Standard (1)", {}));
  // A group whose INME is unknown: its other parts are skipped, and the whole group after it is read.
  Bytes stray = nodeGraph({standard("Standard (1)", {{"Color", {0, 1, 0}}})}, {kToMaterial, kToMaterial});
  const std::string inme = "INME";
  std::copy_n("XXXX", 4, std::search(stray.begin(), stray.end(), inme.begin(), inme.end()));
  const Node bsdf{"Principled BSDF", "Principled BSDF (1)", {{"Color", {0.2, 0.4, 0.6}}, {"Roughness", {0.75}}, {"Specular", {0.5}},
                                                              {"Luminous", {0.5}}, {"Luminous Color", {1, 0, 0}}, {"Transparency", {0.25}}}};
  const struct Row {
    std::string label;
    Bytes graph;
    std::string values;
    std::string warning = "";
    bool lwo2 = false;  // an LWO2 file, classic red colour and colour highlight beside the graph
  } rows[] = {
      {"Standard connected, Phong_Diffuse_25",
       materialGraph(standard("Standard (1)", {{"Color", {1, 0.5, 0}}, {"Diffuse", {0.25}}, {"Specular", {0.5}}, {"Glossiness", {0.4}},
                                               {"Luminosity", {0.75}}, {"Transparency", {0.33}}, {"Color Highlight", {0.5}}})),
       "255 127.5 0 d64 s128 g64 l192 t84.48 h0.5 e1 1 1 |  0 0 uv0"},
      {"BSDF connected, BSDF_Roughness_75", materialGraph(bsdf), "51 102 153 d256 s128 g22.63 l128 t64 h0 eown 1 0 0 |  0 0 uv0"},
      {"second of two material nodes connected",
       nodeGraph({standard("Standard (1)", {{"Color", {1, 0, 0}}}), standard("Standard (2)", {{"Color", {0, 1, 0}}})},
                 {{"Surface", "Material", "Standard (2)", "Material"}}),
       "0 255 0 d256 s0 g64 l0 t0 h0 e1 1 1 |  0 0 uv0"},
      {"nothing connected", nodeGraph({standard("Standard (1)", {{"Color", {1, 0, 0}}})}, {{"Surface", "Material", "", ""}}), kDefaults,
       "Warning! 1 surfaces described by node graphs only: default values used\n"},
      {"Image node on Color",
       nodeGraph({bsdf, image}, {{"Surface", "Material", bsdf.name, "Material"}, {bsdf.name, "Color", "Image (1)", "Color"}}),
       "51 102 153 d256 s128 g22.63 l128 t64 h0 eown 1 0 0 | C:storage/box/cc0.png 0 1 uv0"},
      {"texture layer inside Color", materialGraph(standard("Standard (1)", {{"Color", {0, 0, 1}, "", {}, layer}})),
       "0 0 255 d256 s0 g64 l0 t0 h0 e1 1 1 | box.tga 0 0 uv0"},
      {"enveloped value", materialGraph(standard("Standard (1)", {{"Diffuse", {0.5}, "", {0, 0, 0, 1}}})),
       "200 200 200 d128 s0 g64 l0 t0 h0 e1 1 1 |  0 0 uv0", "Warning! 1 enveloped node values: their base values used\n"},
      {"int and double values", materialGraph(standard("Standard (1)", {{"Diffuse", {0.375}, "double"}, {"Specular", {1}, "int"}})),
       "200 200 200 d96 s256 g64 l0 t0 h0 e1 1 1 |  0 0 uv0"},
      {"other material node",
       nodeGraph({{"Conductor", "Conductor (1)", {{"Base Color", {0, 0, 1}}, {"Roughness", {0.8}}}}},
                 {{"Surface", "Material", "Conductor (1)", "Material"}}),
       "0 0 255 d256 s0 g16 l0 t0 h0 e1 1 1 |  0 0 uv0",
       "Warning! material nodes read in part (colour, shading and image only): Conductor\n"},
      {"unknown value type", materialGraph(standard("Standard (1)", {{"Diffuse", {0.5}, "matrix"}, {"Specular", {0.5}}})),
       "200 200 200 d256 s128 g64 l0 t0 h0 e1 1 1 |  0 0 uv0", kDamaged},
      {"dangling connection", nodeGraph({}, {kToMaterial}), kDefaults, kDamaged},
      {"cycle", nodeGraph({}, {{"Surface", "Material", "Surface", "Material"}}), kDefaults, kDamaged},
      {"node named twice",
       nodeGraph({standard("Standard (1)", {{"Color", {1, 0, 0}}}), standard("Standard (1)", {{"Color", {0, 1, 0}}})}, {kToMaterial}),
       "255 0 0 d256 s0 g64 l0 t0 h0 e1 1 1 |  0 0 uv0", kDamaged},
      {"connections cut short", Bytes(whole.begin(), whole.end() - 6), kDefaults, kDamaged},
      // IONM "Material" takes 18 bytes: the last group lacks its output.
      {"connections without their last part", Bytes(whole.begin(), whole.end() - 18), kDefaults, kDamaged},
      {"group without its first part", stray, "0 255 0 d256 s0 g64 l0 t0 h0 e1 1 1 |  0 0 uv0", kDamaged},
      {"LWO2 keeps its classic values", materialGraph(standard("Standard (1)", {{"Color", {0, 1, 0}}})),
       "255 0 0 d256 s0 g64 l0 t0 h0.25 e1 1 1 |  0 0 uv0", "", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    std::vector<SubChunk> subs = {sub(row.lwo2 ? "NODS" : "FORM", row.graph)};
    if (row.lwo2) subs.insert(subs.begin(), {subRGB(1, 0, 0), subValue("CLRH", 0.25f)});
    const Bytes lwo2 = triangle([](Lwo2Builder& b) { b.vertexMap("TXUV", "uv", 2, {{0, 0, {0.5f, 0.5f}}}).clip(1, "box.tga"); }, subs);
    const Loaded l = loadPlain(row.lwo2 ? lwo2 : toLwo3(lwo2, {}, 8));
    EXPECT_EQ(surfaceValues(l.object.surfaces.at(0)), row.values);
    EXPECT_EQ(l.out, row.warning);
  }
}
