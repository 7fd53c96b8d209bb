// SURF chunks and their sub-chunks.
#include <string>

#include "lwo_fixture.h"

using namespace lwotest;

namespace {

LwSurface loadSurface(const std::vector<lwbuild::SubChunk>& subs) {
  const Loaded l = loadPlain(LwobBuilder().surfaces({"Other", "Skin"}).surface("Skin", subs).bytes());
  EXPECT_EQ(l.result, 0);
  // The other surface is left alone.
  EXPECT_TRUE(l.object.surfaces.at(0).color[0] == 200 && l.object.surfaces.at(0).flags == 0);
  return l.object.surfaces.at(1);
}

}  // namespace

TEST(LwoSurface, ShadingValuesAreStoredRaw) {
  const LwSurface s =
      loadSurface({subColor(255, 128, 0), subU16("FLAG", 0x0104), subU16("LUMI", 0xFF00), subU16("DIFF", 0x0100),
                   subU16("SPEC", 0x0080), subU16("GLOS", 0x0200), subU16("TRAN", 0x0040), subFloat("SMAN", 1.6f)});
  EXPECT_EQ(std::vector<int>(s.color, s.color + 3), (std::vector<int>{255, 128, 0}));
  EXPECT_EQ(s.flags, 0x0104);
  EXPECT_EQ(s.luminosity, -256);
  EXPECT_EQ(s.diffuse, 256);
  EXPECT_EQ(s.specular, 128);
  EXPECT_EQ(s.glossiness, 512);
  EXPECT_EQ(s.transparency, 64);
  EXPECT_FLOAT_EQ(s.smoothingAngle, 1.6f);
}

TEST(LwoSurface, ColourAndTransparencyTexturesAreFilledOthersIgnored) {
  const LwSurface s =
      loadSurface({subString("CTEX", "Planar Image Map"), subString("TIMG", "images\\wood.tga"), subU16("TFLG", 0x0002),
                   subVec("TSIZ", 2, 3, 4), subVec("TCTR", 0.5f, -1, 7), subFloat("TFP0", 2), subFloat("TFP1", 3),
                   sub("TWRP", Bytes{0, 1, 0, 1}), subString("BTEX", "Planar Image Map"), subString("TIMG", "bump.tga"),
                   subU16("TFLG", 0x0001), subVec("TSIZ", 9, 9, 9), subVec("TCTR", 9, 9, 9)});
  const LwTexture& t = s.colorTexture;
  EXPECT_EQ(t.mapping, kMappingPlanar);
  EXPECT_EQ(t.image, "images\\wood.tga");
  EXPECT_EQ(t.flags, 0x0002);
  EXPECT_EQ(std::vector<float>(t.size, t.size + 3), (std::vector<float>{2, 3, 4}));
  EXPECT_EQ(std::vector<float>(t.center, t.center + 3), (std::vector<float>{0.5f, -1, 7}));
  EXPECT_FLOAT_EQ(t.param0, 2);
  EXPECT_FLOAT_EQ(t.param1, 3);
  EXPECT_EQ(s.transparencyTexture.mapping, kMappingNone);
  EXPECT_EQ(s.transparencyTexture.image, "");

  // A second SURF for the same name adds to the first.
  const Loaded l = loadPlain(
      LwobBuilder()
          .surfaces({"Glass"})
          .surface("Glass", {subString("TTEX", "Cubic Image Map"), subString("TIMG", "t.bmp"), subColor(1, 2, 3)})
          .surface("Glass", {subString("CTEX", "Spherical Image Map"), subU16("DIFF", 7)})
          .bytes());
  const LwSurface& glass = l.object.surfaces[0];
  EXPECT_EQ(glass.transparencyTexture.mapping, kMappingCubic);
  EXPECT_EQ(glass.transparencyTexture.image, "t.bmp");
  EXPECT_EQ(glass.colorTexture.mapping, kMappingSpherical);
  EXPECT_EQ(glass.color[2], 3);
  EXPECT_EQ(glass.diffuse, 7);
}

TEST(LwoSurface, MappingTextsAreExact) {
  const std::pair<const char*, int> texts[] = {{"Planar Image Map", kMappingPlanar},
                                               {"Cylindrical Image Map", kMappingCylindrical},
                                               {"Spherical Image Map", kMappingSpherical},
                                               {"Cubic Image Map", kMappingCubic},
                                               {"planar image map", kMappingNone},
                                               {"Cubic Image Map ", kMappingNone},
                                               {"", kMappingNone}};
  for (const auto& [text, kind] : texts) {
    LwTexture t;
    t.mapping = kMappingCubic + 1;
    lwSetMappingKind(t, text);
    EXPECT_EQ(t.mapping, kind) << text;
  }
  // A procedural texture has no mapping but still records its image.
  const LwTexture procedural =
      loadSurface({subString("CTEX", "Fractal Noise"), subString("TIMG", "noise.tga")}).colorTexture;
  EXPECT_EQ(procedural.mapping, kMappingNone);
  EXPECT_EQ(procedural.image, "noise.tga");
  // A later CTEX overwrites the mapping and keeps what it does not repeat.
  const LwTexture twice =
      loadSurface({subString("CTEX", "Planar Image Map"), subU16("TFLG", 4), subString("CTEX", "Cubic Image Map")})
          .colorTexture;
  EXPECT_EQ(twice.mapping, kMappingCubic);
  EXPECT_EQ(twice.flags, 4);
}

TEST(LwoSurface, TextsAndValuesThatDoNotFitAreNotTaken) {
  const std::string image1023(1023, 'i');
  const auto planar = subString("CTEX", "Planar Image Map");
  EXPECT_EQ(loadSurface({planar, subString("TIMG", image1023)}).colorTexture.image, image1023);
  EXPECT_EQ(loadSurface({planar, subString("TIMG", "first.tga"), subString("TIMG", std::string(1024, 'i'))})
                .colorTexture.image,
            "first.tga");
  // An image name without its NUL inside the sub-chunk.
  EXPECT_EQ(loadSurface({planar, sub("TIMG", {'a', 'b'})}).colorTexture.image, "");
  // A texture header text that does not fit still selects its block, without mapping.
  const LwTexture longHeader = loadSurface({subString("CTEX", std::string(80, 'c')), subU16("TFLG", 2)}).colorTexture;
  EXPECT_EQ(longHeader.mapping, kMappingNone);
  EXPECT_EQ(longHeader.flags, 2);

  // Values cut off by their sub-chunk keep what they had.
  Bytes eight;
  lwbuild::putBEFloat(eight, 5);
  lwbuild::putBEFloat(eight, 6);
  const LwSurface s = loadSurface({planar, sub("TSIZ", eight), sub("FLAG", {0x01}), sub("SMAN", {0x3F, 0x80}),
                                   sub("COLR", {1, 2}), sub("TFP0", {})});
  EXPECT_EQ(std::vector<float>(s.colorTexture.size, s.colorTexture.size + 3), (std::vector<float>{5, 6, 1}));
  EXPECT_EQ(s.flags, 0);
  EXPECT_FLOAT_EQ(s.smoothingAngle, 1.5620697f);
  EXPECT_EQ(s.color[0], 200);
  EXPECT_FLOAT_EQ(s.colorTexture.param0, 1);
}

TEST(LwoSurface, SubChunkLengthPastTheEndIsClamped) {
  Bytes surf;
  lwbuild::putPaddedString(surf, "Skin");
  lwbuild::putId(surf, "FLAG");
  for (unsigned v : {2u, 4u}) lwbuild::putBE16(surf, v);
  lwbuild::putId(surf, "DIFF");
  for (unsigned v : {0xFFFFu, 100u}) lwbuild::putBE16(surf, v);  // a length far past the chunk's end
  Loaded l = loadPlain(LwobBuilder().surfaces({"Skin"}).chunk("SURF", surf).points(squarePoints()).bytes());
  EXPECT_EQ(l.result, 0);
  EXPECT_EQ(l.object.surfaces[0].flags, 4);
  EXPECT_EQ(l.object.surfaces[0].diffuse, 100);
  EXPECT_EQ(l.object.points.size(), 4u);  // the walk goes on after the SURF chunk
}

TEST(LwoSurface, UndeclaredSurfaceEndsTheWalkButAnUnfitNameSkipsOnlyItsChunk) {
  const auto bytes = LwobBuilder()
                         .surfaces({"Known"})
                         .points(squarePoints())
                         .surface("Unknown", {subColor(1, 2, 3)})
                         .polygons({{{0, 1, 2}, 1}})
                         .bytes();
  Loaded l = loadPlain(bytes);
  EXPECT_EQ(l.result, 0);
  EXPECT_EQ(l.out, "Error: SURF Unknown defined without declare!!\n");
  EXPECT_EQ(l.object.points.size(), 4u);
  EXPECT_TRUE(l.object.polygons.empty());
  EXPECT_EQ(l.object.surfaces[0].color[0], 200);
  LwObject indented;
  testing::internal::CaptureStdout();
  lwLoadObjectFromMemory(indented, bytes.data(), bytes.size(), 3, false, false, false);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "   Error: SURF Unknown defined without declare!!\n");

  // No NUL within the name width.
  Loaded unfit = loadPlain(
      LwobBuilder().surfaces({"Known"}).chunk("SURF", Bytes(100, 'n')).surface("Known", {subColor(9, 8, 7)}).bytes());
  EXPECT_EQ(unfit.result, 0);
  EXPECT_EQ(unfit.out, "");
  EXPECT_EQ(unfit.object.surfaces[0].color[0], 9);
}
