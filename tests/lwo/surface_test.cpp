// SURF chunks and their sub-chunks.
#include <string>

#include "lwo_fixture.h"

using namespace lwotest;
using lwbuild::sub;
using lwbuild::subColor;
using lwbuild::subFloat;
using lwbuild::subString;
using lwbuild::subU16;
using lwbuild::subVec;

namespace {

Loaded loadSurface(const std::vector<lwbuild::SubChunk>& subs) {
  return load(LwobBuilder().surfaces({"Other", "Skin"}).surface("Skin", subs).bytes(), false, false);
}

}  // namespace

TEST(LwoSurface, ShadingValuesAreStoredRaw) {
  Loaded l = loadSurface({subColor(255, 128, 0), subU16("FLAG", 0x0104), subU16("LUMI", 0xFF00),
                          subU16("DIFF", 0x0100), subU16("SPEC", 0x0080), subU16("GLOS", 0x0200),
                          subU16("TRAN", 0x0040), subFloat("SMAN", 1.6f)});
  EXPECT_EQ(l.result, 0);
  const LwSurface& s = l.object.surfaces[1];
  EXPECT_EQ(s.color[0], 255);
  EXPECT_EQ(s.color[1], 128);
  EXPECT_EQ(s.color[2], 0);
  EXPECT_EQ(s.flags, 0x0104);
  EXPECT_NE(s.flags & kSurfaceSmoothing, 0);
  EXPECT_NE(s.flags & kSurfaceDoubleSided, 0);
  EXPECT_EQ(s.luminosity, -256);
  EXPECT_EQ(s.diffuse, 256);
  EXPECT_EQ(s.specular, 128);
  EXPECT_EQ(s.glossiness, 512);
  EXPECT_EQ(s.transparency, 64);
  EXPECT_FLOAT_EQ(s.smoothingAngle, 1.6f);
  // The other surface keeps its defaults.
  EXPECT_EQ(l.object.surfaces[0].color[0], 200);
  EXPECT_EQ(l.object.surfaces[0].flags, 0);
}

TEST(LwoSurface, ColourTextureIsFilledAndOtherTexturesAreIgnored) {
  Loaded l = loadSurface({subString("CTEX", "Planar Image Map"), subString("TIMG", "images\\wood.tga"),
                          subU16("TFLG", 0x0002), subVec("TSIZ", 2, 3, 4), subVec("TCTR", 0.5f, -1, 7),
                          subFloat("TFP0", 2), subFloat("TFP1", 3), sub("TWRP", lwbuild::Bytes{0, 1, 0, 1}),
                          subString("BTEX", "Planar Image Map"), subString("TIMG", "bump.tga"),
                          subU16("TFLG", 0x0001), subVec("TSIZ", 9, 9, 9), subVec("TCTR", 9, 9, 9)});
  const LwTexture& t = l.object.surfaces[1].colorTexture;
  EXPECT_EQ(t.mapping, kMappingPlanar);
  EXPECT_EQ(t.image, "images\\wood.tga");
  EXPECT_EQ(t.flags, 0x0002);
  EXPECT_FLOAT_EQ(t.size[0], 2);
  EXPECT_FLOAT_EQ(t.size[2], 4);
  EXPECT_FLOAT_EQ(t.center[0], 0.5f);
  EXPECT_FLOAT_EQ(t.center[1], -1);
  EXPECT_FLOAT_EQ(t.param0, 2);
  EXPECT_FLOAT_EQ(t.param1, 3);
  EXPECT_EQ(l.object.surfaces[1].transparencyTexture.mapping, kMappingNone);
  EXPECT_EQ(l.object.surfaces[1].transparencyTexture.image, "");
}

TEST(LwoSurface, TransparencyTextureAndRepeatedSurf) {
  const auto bytes = LwobBuilder()
                         .surfaces({"Glass"})
                         .surface("Glass", {subString("TTEX", "Cubic Image Map"), subString("TIMG", "t.bmp"),
                                            subColor(1, 2, 3)})
                         .surface("Glass", {subString("CTEX", "Spherical Image Map"), subU16("DIFF", 7)})
                         .bytes();
  Loaded l = load(bytes, false, false);
  const LwSurface& s = l.object.surfaces[0];
  EXPECT_EQ(s.transparencyTexture.mapping, kMappingCubic);
  EXPECT_EQ(s.transparencyTexture.image, "t.bmp");
  EXPECT_EQ(s.colorTexture.mapping, kMappingSpherical);
  EXPECT_EQ(s.color[2], 3);
  EXPECT_EQ(s.diffuse, 7);
}

TEST(LwoSurface, MappingTextsAreExact) {
  LwTexture t;
  lwSetMappingKind(t, "Cylindrical Image Map");
  EXPECT_EQ(t.mapping, kMappingCylindrical);
  lwSetMappingKind(t, "planar image map");
  EXPECT_EQ(t.mapping, kMappingNone);
  lwSetMappingKind(t, "Cubic Image Map ");
  EXPECT_EQ(t.mapping, kMappingNone);
  lwSetMappingKind(t, "Spherical Image Map");
  EXPECT_EQ(t.mapping, kMappingSpherical);
  lwSetMappingKind(t, "");
  EXPECT_EQ(t.mapping, kMappingNone);

  Loaded lower = loadSurface({subString("CTEX", "planar image map")});
  EXPECT_EQ(lower.object.surfaces[1].colorTexture.mapping, kMappingNone);

  // A procedural texture has no mapping but still records its image.
  Loaded procedural = loadSurface({subString("CTEX", "Fractal Noise"), subString("TIMG", "noise.tga")});
  EXPECT_EQ(procedural.object.surfaces[1].colorTexture.mapping, kMappingNone);
  EXPECT_EQ(procedural.object.surfaces[1].colorTexture.image, "noise.tga");

  // A later CTEX overwrites the mapping and keeps what it does not repeat.
  Loaded twice = loadSurface({subString("CTEX", "Planar Image Map"), subU16("TFLG", 4),
                              subString("CTEX", "Cubic Image Map")});
  EXPECT_EQ(twice.object.surfaces[1].colorTexture.mapping, kMappingCubic);
  EXPECT_EQ(twice.object.surfaces[1].colorTexture.flags, 4);
}

TEST(LwoSurface, TextsThatDoNotFitAreNotTaken) {
  const std::string image1023(1023, 'i');
  Loaded fits = loadSurface({subString("CTEX", "Planar Image Map"), subString("TIMG", image1023)});
  EXPECT_EQ(fits.object.surfaces[1].colorTexture.image, image1023);

  Loaded longImage = loadSurface({subString("CTEX", "Planar Image Map"), subString("TIMG", "first.tga"),
                                  subString("TIMG", std::string(1024, 'i'))});
  EXPECT_EQ(longImage.object.surfaces[1].colorTexture.image, "first.tga");

  // A texture header text that does not fit still selects its block, without mapping.
  Loaded longHeader = loadSurface({subString("CTEX", std::string(80, 'c')), subU16("TFLG", 2)});
  EXPECT_EQ(longHeader.object.surfaces[1].colorTexture.mapping, kMappingNone);
  EXPECT_EQ(longHeader.object.surfaces[1].colorTexture.flags, 2);

  // An image name without its NUL inside the sub-chunk.
  Loaded unterminated = loadSurface({subString("CTEX", "Planar Image Map"), sub("TIMG", {'a', 'b'})});
  EXPECT_EQ(unterminated.object.surfaces[1].colorTexture.image, "");
}

TEST(LwoSurface, ValuesCutOffBySubChunkKeepWhatTheyHad) {
  lwbuild::Bytes eight;
  lwbuild::putBEFloat(eight, 5);
  lwbuild::putBEFloat(eight, 6);
  Loaded l = loadSurface({subString("CTEX", "Planar Image Map"), sub("TSIZ", eight), sub("FLAG", {0x01}),
                          sub("SMAN", {0x3F, 0x80}), sub("COLR", {1, 2}), sub("TFP0", {})});
  const LwSurface& s = l.object.surfaces[1];
  EXPECT_FLOAT_EQ(s.colorTexture.size[0], 5);
  EXPECT_FLOAT_EQ(s.colorTexture.size[1], 6);
  EXPECT_FLOAT_EQ(s.colorTexture.size[2], 1);
  EXPECT_EQ(s.flags, 0);
  EXPECT_FLOAT_EQ(s.smoothingAngle, 1.5620697f);
  EXPECT_EQ(s.color[0], 200);
  EXPECT_FLOAT_EQ(s.colorTexture.param0, 1);
}

TEST(LwoSurface, SubChunkLengthPastTheEndIsClamped) {
  lwbuild::Bytes surf;
  lwbuild::putPaddedString(surf, "Skin");
  lwbuild::putId(surf, "FLAG");
  lwbuild::putBE16(surf, 2);
  lwbuild::putBE16(surf, 4);
  lwbuild::putId(surf, "DIFF");
  lwbuild::putBE16(surf, 0xFFFF);  // far past the chunk's end
  lwbuild::putBE16(surf, 100);
  Loaded l = load(LwobBuilder().surfaces({"Skin"}).chunk("SURF", surf).points(squarePoints()).bytes(), false,
                  false);
  EXPECT_EQ(l.result, 0);
  EXPECT_EQ(l.object.surfaces[0].flags, 4);
  EXPECT_EQ(l.object.surfaces[0].diffuse, 100);
  // The walk goes on after the SURF chunk.
  EXPECT_EQ(l.object.points.size(), 4u);
}

TEST(LwoSurface, UndeclaredSurfaceEndsTheWalk) {
  const auto bytes = LwobBuilder()
                         .surfaces({"Known"})
                         .points(squarePoints())
                         .surface("Unknown", {subColor(1, 2, 3)})
                         .polygons({{{0, 1, 2}, 1}})
                         .bytes();
  Loaded l = load(bytes, false, false);
  EXPECT_EQ(l.result, 0);
  EXPECT_EQ(l.out, "Error: SURF Unknown defined without declare!!\n");
  EXPECT_EQ(l.object.points.size(), 4u);
  EXPECT_TRUE(l.object.polygons.empty());
  EXPECT_EQ(l.object.surfaces[0].color[0], 200);

  LwObject indented;
  testing::internal::CaptureStdout();
  lwLoadObjectFromMemory(indented, bytes.data(), bytes.size(), 3, false, false, false);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "   Error: SURF Unknown defined without declare!!\n");
}

TEST(LwoSurface, SurfNameThatDoesNotFitSkipsOnlyThatChunk) {
  lwbuild::Bytes surf(100, 'n');  // no NUL within the name width
  const auto bytes = LwobBuilder()
                         .surfaces({"Known"})
                         .chunk("SURF", surf)
                         .surface("Known", {subColor(9, 8, 7)})
                         .bytes();
  Loaded l = load(bytes, false, false);
  EXPECT_EQ(l.result, 0);
  EXPECT_EQ(l.out, "");
  EXPECT_EQ(l.object.surfaces[0].color[0], 9);
}
