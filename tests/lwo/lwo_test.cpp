// The FORM/LWOB reader and what it derives: refusals, chunk walk, points, polygons,
// surfaces, vertex links and lifetime; double-sided copies, normals and smoothing,
// texture coordinates and vertex splits past 16-bit limits.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "lwbuild.h"
#include "support/context.h"
#include "lwo_fixture.h"


using namespace lwotest;

namespace {

Bytes triangleObject() { return object({"Skin"}, squarePoints(), {{{0, 1, 2}, 1}}).bytes(); }

// Header of a form whose length is far more than the data holds: must not be allocated.
Bytes overlongForm() {
  Bytes b;
  putId(b, "FORM");
  putBE32(b, 0xFFFFFFF0u);
  putId(b, "LWOB");
  return b;
}

Bytes words(std::initializer_list<unsigned> values) {
  Bytes b;
  for (unsigned v : values) putBE16(b, v);
  return b;
}

struct Streamed {
  Loaded loaded;
  long position = 0;  // where the stream was left, from the object's start
};

// Loads from a stream in which other bytes precede the object.
Streamed loadFromStream(const Bytes& object, int indent) {
  std::FILE* f = testsupport::streamOf("xyz" + std::string(object.begin(), object.end()));
  std::fseek(f, 3, SEEK_SET);
  Streamed s;
  const MessageSink sink = testsupport::recordingSink(s.loaded.out);
  s.loaded.result = ok(lwLoadObject(s.loaded.object, f, indent, sink)) ? 0 : -1;
  if (s.loaded.result == 0) lwPrepareObject(s.loaded.object, true, true, false, sink);
  s.position = std::ftell(f) - 3;
  std::fclose(f);
  return s;
}

LwSurface loadSurface(const std::vector<SubChunk>& subs) {
  const Loaded l = loadPlain(LwobBuilder().surfaces({"Other", "Skin"}).surface("Skin", subs).bytes());
  EXPECT_EQ(l.result, 0);
  EXPECT_EQ(l.object.surfaces.at(0).color[0], 200);  // the other is left alone
  EXPECT_EQ(l.object.surfaces.at(0).flags, 0);
  return l.object.surfaces.at(1);
}

}  // namespace

TEST(LwobReader, RefusesWhatIsNoLightWaveObjectAndRewindsTheStream) {
  Bytes oneShort = triangleObject();
  oneShort.pop_back();
  const std::string file = "Not LightWave file!";
  const std::string object = "Not LightWave Object!";
  const struct {
    const char* label;
    Bytes bytes;
    std::string out;
  } rows[] = {{"not a FORM", {'F', 'O', 'R', 'X', 0, 0, 0, 4, 'L', 'W', 'O', 'B'}, file},
              {"cut in the id", {'F', 'O'}, file},
              {"cut in the length", {'F', 'O', 'R', 'M', 0, 0}, file},
              {"empty form", {'F', 'O', 'R', 'M', 0, 0, 0, 0}, file},
              {"form longer than the data", overlongForm(), file},
              {"one byte short", oneShort, file},
              {"other form type", LwobBuilder().points(squarePoints()).bytes("LWO4"), object},
              {"too short for a form type", {'F', 'O', 'R', 'M', 0, 0, 0, 2, 'L', 'W'}, object}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    const Loaded l = load(row.bytes);
    EXPECT_EQ(l.result, -1);
    EXPECT_EQ(l.out, row.out);
  }
  const Streamed refused = loadFromStream(overlongForm(), 2);
  EXPECT_EQ(refused.loaded.result, -1);
  EXPECT_EQ(refused.loaded.out, "  Not LightWave file!");
  EXPECT_EQ(refused.position, 0);
  const Streamed read = loadFromStream(triangleObject(), 0);
  EXPECT_EQ(read.loaded.result, 0);
  EXPECT_EQ(read.loaded.out, " Normals TextureCoords");
  EXPECT_EQ(read.position, static_cast<long>(triangleObject().size()));
  EXPECT_EQ(corners(read.loaded.object, 0), (Ids{0, 1, 2}));
  EXPECT_EQ(surfaceNames(read.loaded.object), std::vector<std::string>{"Skin"});
}

TEST(LwobReader, PolygonVariantsAndWarnings) {
  const std::vector<float> six = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, 2, 0, 3, 3, 0};
  // Polygons before the points and names they refer to are valid once all is read.
  const Bytes early = LwobBuilder()
                          .polygons({{{0, 1, 2}, 1}, {{0, 1, 4}, 1}, {{0, 2, 3}, 0}, {{1, 2, 3}, 3}, {{0, 2, 3}, 2}})
                          .points(squarePoints()).surfaces({"A", "B"}).bytes();
  const struct {
    const char* label;
    Bytes bytes;
    std::string polygons, out;
  } rows[] = {
      // Repeated corners go; the last corner is not compared with the first; short ones leave nothing in the pool.
      {"repeated corners", object({"S"}, six, {{{1, 2, 2, 3}, 1}, {{1, 2, 1, 2}, 1}, {{5, 5, 5}, 1}, {{1, 2, 3, 1}, 1}}).bytes(),
       "1 2 3/0, 1 2 1 2/0, 1 2 3 1/0", "Warning! 1 <3vert polygons removed\n"},
      {"detail polygons", object({"A", "B"}, squarePoints(), {{{0, 1, 2}, -2, 1}, {{0, 2, 3}, 1}}).bytes(), "0 1 2/1, 0 2 3/0",
       "Warning! there is detail polygon\n"},
      // Point 4, surface 0 and surface 3 do not exist.
      {"invalid point or surface", early, "0 1 2/0, 0 2 3/1", "Warning! 3 polygons with invalid point or surface removed\n"},
      {"no points", LwobBuilder().surfaces({"A"}).polygons({{{0, 1, 2}, 1}}).bytes(), "",
       "Warning! 1 polygons with invalid point or surface removed\n"},
      // Four corners announced, two present; then two whole corners and no surface number.
      {"corners cut short", LwobBuilder().surfaces({"A"}).points(squarePoints()).chunk("POLS", words({3, 0, 1, 2, 1, 4, 0, 1})).bytes(),
       "0 1 2/0", "Warning! 1 polygons with invalid point or surface removed\n"},
      {"two corners, no surface", LwobBuilder().surfaces({"A"}).points(squarePoints()).chunk("POLS", words({3, 0, 1, 2, 1, 2, 0, 1})).bytes(),
       "0 1 2/0", "Warning! 1 <3vert polygons removed\n"},
      {"three corners, no surface", LwobBuilder().surfaces({"A"}).points(squarePoints()).chunk("POLS", words({3, 0, 1, 2, 1, 3, 0, 1, 2})).bytes(),
       "0 1 2/0", "Warning! 1 polygons with invalid point or surface removed\n"},
      {"count alone", LwobBuilder().surfaces({"A"}).points(squarePoints()).chunk("POLS", words({3, 0, 1, 2, 1, 3})).bytes(), "0 1 2/0",
       "Warning! 1 polygons with invalid point or surface removed\n"},
      // An odd-length chunk is followed directly by the next, without a pad byte; unknown chunks are skipped.
      {"odd and unknown chunks", LwobBuilder().chunk("CRAP", Bytes{1, 2, 3}).surfaces({"S"}).chunk("BBOX", Bytes(24, 0xFF)).points(six)
           .chunk("PNTS", Bytes(40, 0)).polygons({{{0, 1, 2}, 1}}).bytes(), "0 1 2/0", ""}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    const Loaded l = loadPlain(row.bytes);
    EXPECT_EQ(l.result, 0);
    EXPECT_EQ(polygons(l.object), row.polygons);
    EXPECT_EQ(l.out, row.out);
    EXPECT_EQ(l.object.indices.size(), l.object.polygons.empty() ? 0 : l.object.polygons.back().firstIndex +
                                                                           l.object.polygons.back().cornerCount);
  }
  // Points come in whole twelve-byte groups; a later PNTS replaces them; every point gets its own vertex.
  Bytes d;
  for (float f : {1.0f, 2.0f, 3.0f, -4.0f, 5.5f, 6.0f, 7.0f, 8.0f, 9.0f, 10.0f}) putBEFloat(d, f);
  const LwObject o = loadPlain(LwobBuilder().points(squarePoints()).chunk("PNTS", d).bytes()).object;
  ASSERT_EQ(o.points.size(), 3u);
  EXPECT_EQ(o.points[1].x, -4.0f);
  EXPECT_EQ(o.points[1].y, 5.5f);
  EXPECT_EQ(o.points[2].z, 9.0f);
  for (std::uint32_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(o.vertices.at(i).point, i);
    EXPECT_EQ(o.vertices[i].nextSplit, i);
    EXPECT_FALSE(o.vertices[i].hasUV);
  }
}

TEST(LwobReader, SurfaceNamesAccumulateUpToTheLengthLimit) {
  const Loaded l = loadPlain(LwobBuilder().surfaces({"One", "Two"}).surfaces({"Three", "Four", "Five"}).points(squarePoints())
                                 .polygons({{{0, 1, 2}, 4}}).bytes());
  EXPECT_EQ(surfaceNames(l.object), (std::vector<std::string>{"One", "Two", "Three", "Four", "Five"}));
  EXPECT_EQ(polygons(l.object), "0 1 2/3");
  const std::string n79(79, 'a');
  EXPECT_EQ(surfaceNames(loadPlain(LwobBuilder().surfaces({"x", n79, "y"}).bytes()).object), (std::vector<std::string>{"x", n79, "y"}));
  // A longer name ends this chunk's names, but the next chunk is still read.
  EXPECT_EQ(surfaceNames(loadPlain(LwobBuilder().surfaces({"x", std::string(80, 'b'), "y"}).surfaces({"z"}).bytes()).object),
            (std::vector<std::string>{"x", "z"}));
}

TEST(LwoSurface, SubChunkVariants) {
  const LwSurface s = loadSurface({subColor(255, 128, 0), subU16("FLAG", 0x0104), subU16("LUMI", 0xFF00), subU16("DIFF", 0x0100),
                                   subU16("SPEC", 0x0080), subU16("GLOS", 0x0200), subU16("TRAN", 0x0040), subFloat("SMAN", 1.6f),
                                   subString("CTEX", "Planar Image Map"), subString("TIMG", "images\\wood.tga"), subU16("TFLG", 2),
                                   subVec("TSIZ", 2, 3, 4), subVec("TCTR", 0.5f, -1, 7), subFloat("TFP0", 2), subFloat("TFP1", 3),
                                   sub("TWRP", Bytes{0, 1, 0, 1}), subString("BTEX", "Planar Image Map"), subString("TIMG", "bump.tga"),
                                   subU16("TFLG", 1), subVec("TSIZ", 9, 9, 9)});
  // Shading values are stored raw; the bump texture's fields go nowhere.
  EXPECT_EQ(std::vector<double>(s.color, s.color + 3), (std::vector<double>{255, 128, 0}));
  EXPECT_EQ(s.flags, 0x104);
  EXPECT_EQ(s.luminosity, -256);
  EXPECT_EQ(s.diffuse, 256);
  EXPECT_EQ(s.specular, 128);
  EXPECT_EQ(s.glossiness, 512);
  EXPECT_EQ(s.transparency, 64);
  EXPECT_FLOAT_EQ(s.smoothingAngle, 1.6f);
  const LwTexture& t = s.colorTexture;
  EXPECT_EQ(t.mapping, kMappingPlanar);
  EXPECT_EQ(t.image, "images\\wood.tga");
  EXPECT_EQ(t.flags, 2);
  EXPECT_EQ(std::vector<float>(t.size, t.size + 3), (std::vector<float>{2, 3, 4}));
  EXPECT_EQ(std::vector<float>(t.center, t.center + 3), (std::vector<float>{0.5f, -1, 7}));
  EXPECT_EQ(t.param0, 2);
  EXPECT_EQ(t.param1, 3);
  EXPECT_EQ(s.transparencyTexture.mapping, kMappingNone);
  EXPECT_EQ(s.transparencyTexture.image, "");
  // Every other texture's fields go nowhere.
  for (const char* other : {"DTEX", "STEX", "RTEX", "BTEX"}) {
    const LwSurface o = loadSurface({subString("CTEX", "Planar Image Map"), subString("TIMG", "a.tga"),
                                     subString(other, "Planar Image Map"), subString("TIMG", "b.tga")});
    EXPECT_EQ(o.colorTexture.image, "a.tga") << other;
  }
  // A second SURF for the same name adds to the first.
  const LwSurface glass = loadPlain(LwobBuilder().surfaces({"Glass"})
                                        .surface("Glass", {subString("TTEX", "Cubic Image Map"), subString("TIMG", "t.bmp"), subColor(1, 2, 3)})
                                        .surface("Glass", {subString("CTEX", "Spherical Image Map"), subU16("DIFF", 7)}).bytes())
                              .object.surfaces[0];
  EXPECT_EQ(glass.transparencyTexture.mapping, kMappingCubic);
  EXPECT_EQ(glass.transparencyTexture.image, "t.bmp");
  EXPECT_EQ(glass.colorTexture.mapping, kMappingSpherical);
  EXPECT_EQ(glass.color[2], 3);
  EXPECT_EQ(glass.diffuse, 7);
  // Mapping texts are exact; a procedural texture records its image without a mapping; a later CTEX keeps what it does not repeat.
  for (const auto& [text, kind] : {std::pair{"Planar Image Map", kMappingPlanar}, {"Cylindrical Image Map", kMappingCylindrical},
                                   {"Spherical Image Map", kMappingSpherical}, {"Cubic Image Map", kMappingCubic},
                                   {"planar image map", kMappingNone}, {"Cubic Image Map ", kMappingNone}, {"", kMappingNone}}) {
    LwTexture texture;
    texture.mapping = kMappingCubic + 1;
    lwSetMappingKind(texture, text);
    EXPECT_EQ(texture.mapping, kind) << text;
  }
  const LwTexture noise = loadSurface({subString("CTEX", "Fractal Noise"), subString("TIMG", "noise.tga")}).colorTexture;
  EXPECT_EQ(noise.mapping, kMappingNone);
  EXPECT_EQ(noise.image, "noise.tga");
  const LwTexture twice = loadSurface({subString("CTEX", "Planar Image Map"), subU16("TFLG", 4), subString("CTEX", "Cubic Image Map")}).colorTexture;
  EXPECT_EQ(twice.mapping, kMappingCubic);
  EXPECT_EQ(twice.flags, 4);
}

TEST(LwoSurface, WhatDoesNotFitIsNotTaken) {
  const std::string image1023(1023, 'i');
  const auto planar = subString("CTEX", "Planar Image Map");
  EXPECT_EQ(loadSurface({planar, subString("TIMG", image1023)}).colorTexture.image, image1023);
  EXPECT_EQ(loadSurface({planar, subString("TIMG", "first.tga"), subString("TIMG", std::string(1024, 'i'))}).colorTexture.image, "first.tga");
  EXPECT_EQ(loadSurface({planar, sub("TIMG", {'a', 'b'})}).colorTexture.image, "");  // no NUL inside the sub-chunk
  // A texture header text that does not fit still selects its block, without mapping.
  const LwTexture longHeader = loadSurface({subString("CTEX", std::string(80, 'c')), subU16("TFLG", 2)}).colorTexture;
  EXPECT_EQ(longHeader.mapping, kMappingNone);
  EXPECT_EQ(longHeader.flags, 2);
  // Values cut off by their sub-chunk keep what they had.
  Bytes eight;
  putBEFloat(eight, 5);
  putBEFloat(eight, 6);
  const LwSurface s = loadSurface({planar, sub("TSIZ", eight), sub("FLAG", {0x01}), sub("SMAN", {0x3F, 0x80}), sub("COLR", {1, 2}), sub("TFP0", {})});
  EXPECT_EQ(std::vector<float>(s.colorTexture.size, s.colorTexture.size + 3), (std::vector<float>{5, 6, 1}));
  EXPECT_EQ(s.flags, 0);
  EXPECT_EQ(s.smoothingAngle, 1.5620697f);
  EXPECT_EQ(s.color[0], 200);
  EXPECT_EQ(s.colorTexture.param0, 1);
  // A sub-chunk length past the chunk's end is clamped, and the walk goes on after the SURF chunk.
  Bytes surf;
  putPaddedString(surf, "Skin");
  putId(surf, "FLAG");
  putBE16(surf, 2);
  putBE16(surf, 4);
  putId(surf, "DIFF");
  putBE16(surf, 0xFFFF);
  putBE16(surf, 100);
  const Loaded clamped = loadPlain(LwobBuilder().surfaces({"Skin"}).chunk("SURF", surf).points(squarePoints()).bytes());
  EXPECT_EQ(clamped.object.surfaces[0].flags, 4);
  EXPECT_EQ(clamped.object.surfaces[0].diffuse, 100);
  EXPECT_EQ(clamped.object.points.size(), 4u);
  // An undeclared surface ends the walk; a name without its NUL within the name width skips only its chunk.
  const Bytes undeclared = LwobBuilder().surfaces({"Known"}).points(squarePoints()).surface("Unknown", {subColor(1, 2, 3)})
                               .polygons({{{0, 1, 2}, 1}}).bytes();
  const Loaded u = load(undeclared, false, false, false, 0.0, 3);
  EXPECT_EQ(u.out, "   Error: SURF Unknown defined without declare!!\n");
  EXPECT_EQ(u.result, 0);
  EXPECT_EQ(u.object.points.size(), 4u);
  EXPECT_TRUE(u.object.polygons.empty());
  EXPECT_EQ(u.object.surfaces[0].color[0], 200);
  const Loaded unfit = loadPlain(LwobBuilder().surfaces({"Known"}).chunk("SURF", Bytes(100, 'n')).surface("Known", {subColor(9, 8, 7)}).bytes());
  EXPECT_EQ(unfit.out, "");
  EXPECT_EQ(unfit.object.surfaces[0].color[0], 9);
}

TEST(Messages, WarningsAreCountedByCodeInTheSink) {
  MessageCounts counts;
  MessageSink sink;
  sink.counts = &counts;
  const Bytes bytes = object({"S"}, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {{{0, 1}, 1}, {{0, 1, 2}, 1}}).bytes();
  LwObject loaded;
  ASSERT_EQ(lwLoadObjectFromMemory(loaded, bytes.data(), bytes.size(), 0, sink), Status::kOk);
  EXPECT_EQ(counts.byCode[static_cast<std::size_t>(Message::kShortPolygons)], 1u);
  EXPECT_EQ(counts.byCode[static_cast<std::size_t>(Message::kInvalidPolygons)], 0u);
  EXPECT_TRUE(isWarning(Message::kShortPolygons));
  EXPECT_FALSE(isWarning(Message::kCouldNotOpen));
}
