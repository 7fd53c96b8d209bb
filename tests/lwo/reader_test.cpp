// The FORM/LWOB reader: refusals, chunk walk, SRFS, PNTS, POLS, links and lifetime.
#include <cstdio>
#include <string>

#include "lwo_fixture.h"

using namespace lwotest;
using lwbuild::putBE32;
using lwbuild::putId;

namespace {

Bytes triangleObject() {
  return LwobBuilder().surfaces({"Skin"}).points(squarePoints()).polygons({{{0, 1, 2}, 1}}).bytes();
}

}  // namespace

TEST(LwobReader, RefusesWhatIsNoLightWaveObject) {
  const Bytes notForm = {'F', 'O', 'R', 'X', 0, 0, 0, 4, 'L', 'W', 'O', 'B'};
  Loaded a = load(notForm);
  EXPECT_EQ(a.result, -1);
  EXPECT_EQ(a.out, "Not LightWave file!");

  Loaded tooShort = load(Bytes{'F', 'O'});
  EXPECT_EQ(tooShort.result, -1);
  EXPECT_EQ(tooShort.out, "Not LightWave file!");

  Loaded noLength = load(Bytes{'F', 'O', 'R', 'M', 0, 0});
  EXPECT_EQ(noLength.result, -1);
  EXPECT_EQ(noLength.out, "Not LightWave file!");

  Loaded otherType = load(LwobBuilder().points(squarePoints()).bytes("LWO2"));
  EXPECT_EQ(otherType.result, -1);
  EXPECT_EQ(otherType.out, "Not LightWave Object!");

  // A body too short to hold a form type at all.
  Loaded shortBody = load(Bytes{'F', 'O', 'R', 'M', 0, 0, 0, 2, 'L', 'W'});
  EXPECT_EQ(shortBody.result, -1);
  EXPECT_EQ(shortBody.out, "Not LightWave Object!");
}

TEST(LwobReader, EmptyOrOverlongFormIsRefused) {
  Loaded empty = load(Bytes{'F', 'O', 'R', 'M', 0, 0, 0, 0});
  EXPECT_EQ(empty.result, -1);
  EXPECT_EQ(empty.out, "Not LightWave file!");

  Bytes huge;
  putId(huge, "FORM");
  putBE32(huge, 0xFFFFFFF0u);
  putId(huge, "LWOB");
  Loaded overlong = load(huge);
  EXPECT_EQ(overlong.result, -1);
  EXPECT_EQ(overlong.out, "Not LightWave file!");

  Bytes oneShort = triangleObject();
  oneShort.pop_back();
  EXPECT_EQ(load(oneShort).result, -1);
}

TEST(LwobReader, StreamWithOverlongFormIsRefusedAndRewound) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  // Something before the object: the refusal must go back to where reading began.
  const Bytes prefix = {'x', 'y', 'z'};
  Bytes data = prefix;
  putId(data, "FORM");
  putBE32(data, 0xFFFFFFF0u);  // far more than the file holds: must not be allocated
  putId(data, "LWOB");
  ASSERT_EQ(std::fwrite(data.data(), 1, data.size(), f), data.size());
  std::fseek(f, static_cast<long>(prefix.size()), SEEK_SET);

  LwObject object;
  testing::internal::CaptureStdout();
  const int result = lwLoadObject(object, f, 2, true, true, false);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(result, -1);
  EXPECT_EQ(out, "  Not LightWave file!");
  EXPECT_EQ(std::ftell(f), static_cast<long>(prefix.size()));
  std::fclose(f);
}

TEST(LwobReader, StreamWithValidObjectLoads) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  const Bytes data = triangleObject();
  ASSERT_EQ(std::fwrite(data.data(), 1, data.size(), f), data.size());
  std::rewind(f);
  LwObject object;
  testing::internal::CaptureStdout();
  const int result = lwLoadObject(object, f, 0, true, true, false);
  const std::string out = testing::internal::GetCapturedStdout();
  std::fclose(f);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(out, " Normals TextureCoords");
  EXPECT_EQ(object.points.size(), 4u);
  EXPECT_EQ(object.polygons.size(), 1u);
  ASSERT_EQ(object.surfaces.size(), 1u);
  EXPECT_EQ(object.surfaces[0].name, "Skin");
}

TEST(LwobReader, RepeatedCornersAreDroppedAndShortPolygonsCounted) {
  Loaded l = load(LwobBuilder()
                      .surfaces({"S"})
                      .points({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, 2, 0, 3, 3, 0})
                      .polygons({{{1, 2, 2, 3}, 1}, {{1, 2, 1, 2}, 1}, {{5, 5, 5}, 1}, {{1, 2, 3, 1}, 1}})
                      .bytes(),
                  false, false);
  EXPECT_EQ(l.result, 0);
  EXPECT_EQ(l.out, "Warning! 1 <3vert polygons removed\n");
  ASSERT_EQ(l.object.polygons.size(), 3u);
  EXPECT_EQ(corners(l.object, 0), (std::vector<std::uint32_t>{1, 2, 3}));
  EXPECT_EQ(corners(l.object, 1), (std::vector<std::uint32_t>{1, 2, 1, 2}));
  // The last corner is not compared with the first.
  EXPECT_EQ(corners(l.object, 2), (std::vector<std::uint32_t>{1, 2, 3, 1}));
  // The dropped polygon left no corners behind in the pool.
  EXPECT_EQ(l.object.indices.size(), 11u);
  EXPECT_EQ(l.object.polygons[2].firstIndex, 7u);
}

TEST(LwobReader, DetailPolygonsBecomeOrdinaryPolygons) {
  Loaded l = load(LwobBuilder()
                      .surfaces({"A", "B"})
                      .points(squarePoints())
                      .polygons({{{0, 1, 2}, -2, 1}, {{0, 2, 3}, 1}})
                      .bytes(),
                  false, false);
  EXPECT_EQ(l.result, 0);
  EXPECT_EQ(l.out, "Warning! there is detail polygon\n");
  ASSERT_EQ(l.object.polygons.size(), 2u);
  EXPECT_EQ(l.object.polygons[0].surface, 1);
  EXPECT_EQ(l.object.polygons[1].surface, 0);
  EXPECT_EQ(corners(l.object, 1), (std::vector<std::uint32_t>{0, 2, 3}));
}

TEST(LwobReader, SurfaceNamesAccumulateAcrossSrfsChunks) {
  Loaded l = load(LwobBuilder()
                      .surfaces({"One", "Two"})
                      .surfaces({"Three", "Four", "Five"})
                      .points(squarePoints())
                      .polygons({{{0, 1, 2}, 4}})
                      .bytes(),
                  false, false);
  ASSERT_EQ(l.object.surfaces.size(), 5u);
  EXPECT_EQ(l.object.surfaces[2].name, "Three");
  ASSERT_EQ(l.object.polygons.size(), 1u);
  EXPECT_EQ(l.object.surfaces[l.object.polygons[0].surface].name, "Four");
  // Defaults of a surface that no SURF describes.
  const LwSurface& s = l.object.surfaces[4];
  EXPECT_EQ(s.color[0], 200);
  EXPECT_EQ(s.diffuse, 256);
  EXPECT_EQ(s.glossiness, 64);
  EXPECT_FLOAT_EQ(s.smoothingAngle, 1.5620697f);
  EXPECT_EQ(s.materialIndex, -1);
}

TEST(LwobReader, SurfaceNameLengthLimit) {
  const std::string n79(79, 'a');
  const std::string n80(80, 'b');
  Loaded fits = load(LwobBuilder().surfaces({"x", n79, "y"}).bytes(), false, false);
  ASSERT_EQ(fits.object.surfaces.size(), 3u);
  EXPECT_EQ(fits.object.surfaces[1].name, n79);
  EXPECT_EQ(fits.object.surfaces[2].name, "y");

  // The long name ends this chunk's names, but the next chunk is still read.
  Loaded tooLong = load(LwobBuilder().surfaces({"x", n80, "y"}).surfaces({"z"}).bytes(), false, false);
  ASSERT_EQ(tooLong.object.surfaces.size(), 2u);
  EXPECT_EQ(tooLong.object.surfaces[0].name, "x");
  EXPECT_EQ(tooLong.object.surfaces[1].name, "z");
}

TEST(LwobReader, PointsTakeWholeTwelveByteGroups) {
  lwbuild::Bytes d;
  for (float f : {1.0f, 2.0f, 3.0f, -4.0f, 5.5f, 6.0f, 7.0f, 8.0f, 9.0f, 10.0f}) lwbuild::putBEFloat(d, f);
  Loaded l = load(LwobBuilder().chunk("PNTS", d).bytes(), false, false);
  EXPECT_EQ(l.result, 0);
  ASSERT_EQ(l.object.points.size(), 3u);
  EXPECT_FLOAT_EQ(l.object.points[1].x, -4.0f);
  EXPECT_FLOAT_EQ(l.object.points[1].y, 5.5f);
  EXPECT_FLOAT_EQ(l.object.points[2].z, 9.0f);
  ASSERT_EQ(l.object.vertices.size(), 3u);
  for (std::uint32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(l.object.vertices[i].point, i);
    EXPECT_EQ(l.object.vertices[i].nextSplit, i);
    EXPECT_EQ(l.object.vertices[i].hasUV, 0);
  }
}

TEST(LwobReader, OtherChunksAreSkippedWithoutPadByte) {
  // An odd-length chunk is followed directly by the next chunk.
  Loaded l = load(LwobBuilder()
                      .chunk("CRAP", Bytes{1, 2, 3})
                      .surfaces({"S"})
                      .chunk("BBOX", Bytes(24, 0xFF))
                      .points(squarePoints())
                      .polygons({{{0, 1, 2}, 1}})
                      .bytes(),
                  false, false);
  EXPECT_EQ(l.result, 0);
  EXPECT_EQ(l.out, "");
  EXPECT_EQ(l.object.surfaces.size(), 1u);
  EXPECT_EQ(l.object.points.size(), 4u);
  EXPECT_EQ(l.object.polygons.size(), 1u);
}

TEST(LwobReader, InvalidCornersAndSurfacesAreSkippedWithOneWarning) {
  // Polygons before the points and the names they refer to: valid once all is read.
  Loaded l = load(LwobBuilder()
                      .polygons({{{0, 1, 2}, 1},
                                 {{0, 1, 4}, 1},     // point 4 does not exist
                                 {{0, 2, 3}, 0},     // surface 0 does not exist
                                 {{1, 2, 3}, 3},     // above the surface count
                                 {{0, 2, 3}, 2}})
                      .points(squarePoints())
                      .surfaces({"A", "B"})
                      .bytes());
  EXPECT_EQ(l.result, 0);
  EXPECT_NE(l.out.find("Warning! 3 polygons with invalid point or surface removed\n"), std::string::npos);
  ASSERT_EQ(l.object.polygons.size(), 2u);
  EXPECT_EQ(corners(l.object, 0), (std::vector<std::uint32_t>{0, 1, 2}));
  EXPECT_EQ(corners(l.object, 1), (std::vector<std::uint32_t>{0, 2, 3}));
  EXPECT_EQ(l.object.polygons[1].surface, 1);
  EXPECT_EQ(l.object.indices.size(), 6u);
  EXPECT_EQ(l.object.cornerNormals.size(), 6u);

  // Polygons with no points at all.
  Loaded none = load(LwobBuilder().surfaces({"A"}).polygons({{{0, 1, 2}, 1}}).bytes());
  EXPECT_EQ(none.result, 0);
  EXPECT_TRUE(none.object.polygons.empty());
  EXPECT_NE(none.out.find("Warning! 1 polygons with invalid point or surface removed\n"), std::string::npos);
}

TEST(LwobReader, PolygonCutOffByItsChunkIsNotTaken) {
  Bytes pols;
  lwbuild::putBE16(pols, 3);
  for (unsigned v : {0u, 1u, 2u}) lwbuild::putBE16(pols, v);
  lwbuild::putBE16(pols, 1);
  lwbuild::putBE16(pols, 4);  // four corners announced, two present
  lwbuild::putBE16(pols, 0);
  lwbuild::putBE16(pols, 1);
  Loaded l = load(LwobBuilder().surfaces({"A"}).points(squarePoints()).chunk("POLS", pols).bytes(), false, false);
  EXPECT_EQ(l.result, 0);
  EXPECT_EQ(l.object.polygons.size(), 1u);
  EXPECT_EQ(l.object.indices.size(), 3u);
  EXPECT_EQ(l.out, "Warning! 1 polygons with invalid point or surface removed\n");
}

TEST(LwobReader, VerticesAreLinkedToTheirPolygons) {
  Loaded l = load(LwobBuilder()
                      .surfaces({"A"})
                      .points(squarePoints())
                      .polygons({{{0, 1, 2}, 1}, {{0, 2, 3}, 1}, {{1, 2, 1, 3}, 1}})
                      .bytes(),
                  false, false);
  ASSERT_EQ(l.object.vertices.size(), 4u);
  EXPECT_EQ(l.object.vertices[0].polygonList, (std::vector<std::uint32_t>{0, 1}));
  // A polygon that uses a vertex twice is listed twice.
  EXPECT_EQ(l.object.vertices[1].polygonList, (std::vector<std::uint32_t>{0, 2, 2}));
  EXPECT_EQ(l.object.vertices[2].polygonList, (std::vector<std::uint32_t>{0, 1, 2}));
  EXPECT_EQ(l.object.vertices[3].polygonList, (std::vector<std::uint32_t>{1, 2}));
}

TEST(LwobReader, FullyDissolvedObjectGetsLinksOnly) {
  const Bytes bytes = LwobBuilder()
                          .surfaces({"A"})
                          .points(squarePoints())
                          .polygons({{{0, 1, 2, 3}, 1}})
                          .surface("A", {lwbuild::subU16("FLAG", 0x0104),
                                         lwbuild::subString("CTEX", "Planar Image Map")})
                          .bytes();
  Loaded l = load(bytes, true, true, false, 1.0);
  EXPECT_EQ(l.result, 0);
  EXPECT_EQ(l.out, "");
  EXPECT_EQ(l.object.polygons.size(), 1u);
  EXPECT_TRUE(l.object.normals.empty());
  EXPECT_EQ(l.object.vertices[0].hasUV, 0);
  EXPECT_EQ(l.object.vertices[0].polygonList, (std::vector<std::uint32_t>{0}));
}

TEST(LwobReader, ReferenceCountKeepsGeometryUntilTheLastRelease) {
  Loaded l = load(triangleObject());
  LwObject& o = l.object;
  o.motionKeys.resize(3);
  o.refCount = 2;  // another item uses it as a morph target
  lwReleaseObject(o);
  EXPECT_EQ(o.refCount, 1);
  EXPECT_EQ(o.points.size(), 4u);
  lwReleaseObject(o);
  EXPECT_TRUE(o.points.empty());
  EXPECT_TRUE(o.vertices.empty());
  EXPECT_TRUE(o.polygons.empty());
  EXPECT_TRUE(o.normals.empty());
  EXPECT_TRUE(o.cornerNormals.empty());
  EXPECT_TRUE(o.surfaces.empty());
  EXPECT_EQ(o.motionKeys.size(), 3u);

  Loaded m = load(triangleObject());
  m.object.refCount = 5;
  m.object.motionKeys.resize(2);
  lwDisposeObject(m.object);
  EXPECT_TRUE(m.object.points.empty());
  EXPECT_TRUE(m.object.motionKeys.empty());
}
