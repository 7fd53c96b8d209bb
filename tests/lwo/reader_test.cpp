// The FORM/LWOB reader: refusals, chunk walk, SRFS, PNTS, POLS, links and lifetime.
#include <cstdio>
#include <string>

#include "lwo_fixture.h"

using namespace lwotest;
using lwbuild::putBE16;
using lwbuild::putBE32;
using lwbuild::putId;

namespace {

Bytes triangleObject() { return object({"Skin"}, squarePoints(), {{{0, 1, 2}, 1}}).bytes(); }

// Header of a form whose length is far more than the data holds: must not be allocated.
Bytes overlongForm(Bytes prefix = {}) {
  putId(prefix, "FORM");
  putBE32(prefix, 0xFFFFFFF0u);
  putId(prefix, "LWOB");
  return prefix;
}

struct StreamLoad {
  int result;
  std::string out;
  long position;  // where the stream stands afterwards, from the object's start
};

// Loads from a stream in which other bytes precede the object.
StreamLoad loadFromStream(LwObject& o, const Bytes& object, int indent) {
  Bytes data = {'x', 'y', 'z'};
  data.insert(data.end(), object.begin(), object.end());
  std::FILE* f = std::tmpfile();
  if (f == nullptr || std::fwrite(data.data(), 1, data.size(), f) != data.size()) return {99, "no stream", 0};
  std::fseek(f, 3, SEEK_SET);
  StreamLoad s;
  testing::internal::CaptureStdout();
  s.result = lwLoadObject(o, f, indent, true, true, false);
  s.out = testing::internal::GetCapturedStdout();
  s.position = std::ftell(f) - 3;
  std::fclose(f);
  return s;
}

}  // namespace

TEST(LwobReader, RefusesWhatIsNoLightWaveObject) {
  Bytes oneShort = triangleObject();
  oneShort.pop_back();
  const struct {
    Bytes bytes;
    const char* out;
  } cases[] = {
      {{'F', 'O', 'R', 'X', 0, 0, 0, 4, 'L', 'W', 'O', 'B'}, "Not LightWave file!"},
      {{'F', 'O'}, "Not LightWave file!"},
      {{'F', 'O', 'R', 'M', 0, 0}, "Not LightWave file!"},
      {{'F', 'O', 'R', 'M', 0, 0, 0, 0}, "Not LightWave file!"},
      {overlongForm(), "Not LightWave file!"},
      {oneShort, "Not LightWave file!"},
      {LwobBuilder().points(squarePoints()).bytes("LWO3"), "Not LightWave Object!"},
      // A body too short to hold a form type at all.
      {{'F', 'O', 'R', 'M', 0, 0, 0, 2, 'L', 'W'}, "Not LightWave Object!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes.size());
    const Loaded l = load(c.bytes);
    EXPECT_EQ(l.result, -1);
    EXPECT_EQ(l.out, c.out);
  }
}

TEST(LwobReader, StreamsAreReadFromWhereTheyStandAndRewoundOnRefusal) {
  LwObject refused;
  const StreamLoad r = loadFromStream(refused, overlongForm(), 2);
  EXPECT_EQ(r.result, -1);
  EXPECT_EQ(r.out, "  Not LightWave file!");
  EXPECT_EQ(r.position, 0);

  LwObject o;
  const StreamLoad s = loadFromStream(o, triangleObject(), 0);
  EXPECT_EQ(s.result, 0);
  EXPECT_EQ(s.out, " Normals TextureCoords");
  EXPECT_EQ(o.points.size(), 4u);
  EXPECT_EQ(o.polygons.size(), 1u);
  ASSERT_EQ(o.surfaces.size(), 1u);
  EXPECT_EQ(o.surfaces[0].name, "Skin");
}

TEST(LwobReader, RepeatedCornersDetailPolygonsAndShortPolygons) {
  Loaded l = loadPlain(object({"S"}, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, 2, 0, 3, 3, 0},
                              {{{1, 2, 2, 3}, 1}, {{1, 2, 1, 2}, 1}, {{5, 5, 5}, 1}, {{1, 2, 3, 1}, 1}})
                           .bytes());
  EXPECT_EQ(l.result, 0);
  EXPECT_EQ(l.out, "Warning! 1 <3vert polygons removed\n");
  ASSERT_EQ(l.object.polygons.size(), 3u);
  EXPECT_EQ(corners(l.object, 0), (Ids{1, 2, 3}));
  EXPECT_EQ(corners(l.object, 1), (Ids{1, 2, 1, 2}));
  EXPECT_EQ(corners(l.object, 2), (Ids{1, 2, 3, 1}));  // the last corner is not compared with the first
  // The dropped polygon left no corners behind in the pool.
  EXPECT_EQ(l.object.indices.size(), 11u);
  EXPECT_EQ(l.object.polygons[2].firstIndex, 7u);

  Loaded detail = loadPlain(object({"A", "B"}, squarePoints(), {{{0, 1, 2}, -2, 1}, {{0, 2, 3}, 1}}).bytes());
  EXPECT_EQ(detail.result, 0);
  EXPECT_EQ(detail.out, "Warning! there is detail polygon\n");
  ASSERT_EQ(detail.object.polygons.size(), 2u);
  EXPECT_EQ(detail.object.polygons[0].surface, 1);
  EXPECT_EQ(detail.object.polygons[1].surface, 0);
  EXPECT_EQ(corners(detail.object, 1), (Ids{0, 2, 3}));
}

TEST(LwobReader, SurfaceNamesAccumulateUpToTheLengthLimit) {
  Loaded l = loadPlain(LwobBuilder()
                           .surfaces({"One", "Two"})
                           .surfaces({"Three", "Four", "Five"})
                           .points(squarePoints())
                           .polygons({{{0, 1, 2}, 4}})
                           .bytes());
  EXPECT_EQ(surfaceNames(l.object), (std::vector<std::string>{"One", "Two", "Three", "Four", "Five"}));
  ASSERT_EQ(l.object.polygons.size(), 1u);
  EXPECT_EQ(l.object.polygons[0].surface, 3);

  const std::string n79(79, 'a');
  EXPECT_EQ(surfaceNames(loadPlain(LwobBuilder().surfaces({"x", n79, "y"}).bytes()).object),
            (std::vector<std::string>{"x", n79, "y"}));
  // A longer name ends this chunk's names, but the next chunk is still read.
  EXPECT_EQ(
      surfaceNames(loadPlain(LwobBuilder().surfaces({"x", std::string(80, 'b'), "y"}).surfaces({"z"}).bytes()).object),
      (std::vector<std::string>{"x", "z"}));
}

TEST(LwobReader, PointsTakeWholeTwelveByteGroupsAndOtherChunksAreSkipped) {
  Bytes d;
  for (float f : {1.0f, 2.0f, 3.0f, -4.0f, 5.5f, 6.0f, 7.0f, 8.0f, 9.0f, 10.0f}) lwbuild::putBEFloat(d, f);
  // An odd-length chunk is followed directly by the next chunk, without a pad byte.
  Loaded l = loadPlain(LwobBuilder()
                           .chunk("CRAP", Bytes{1, 2, 3})
                           .surfaces({"S"})
                           .chunk("BBOX", Bytes(24, 0xFF))
                           .chunk("PNTS", d)
                           .polygons({{{0, 1, 2}, 1}})
                           .bytes());
  EXPECT_EQ(l.result, 0);
  EXPECT_EQ(l.out, "");
  EXPECT_EQ(l.object.surfaces.size(), 1u);
  EXPECT_EQ(l.object.polygons.size(), 1u);
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

TEST(LwobReader, InvalidCornersAndSurfacesAreSkippedWithOneWarning) {
  // Polygons before the points and the names they refer to: valid once all is read.
  Loaded l = load(LwobBuilder()
                      .polygons({{{0, 1, 2}, 1},
                                 {{0, 1, 4}, 1},  // point 4 does not exist
                                 {{0, 2, 3}, 0},  // surface 0 does not exist
                                 {{1, 2, 3}, 3},  // above the surface count
                                 {{0, 2, 3}, 2}})
                      .points(squarePoints())
                      .surfaces({"A", "B"})
                      .bytes());
  EXPECT_EQ(l.result, 0);
  EXPECT_NE(l.out.find("Warning! 3 polygons with invalid point or surface removed\n"), std::string::npos);
  ASSERT_EQ(l.object.polygons.size(), 2u);
  EXPECT_EQ(corners(l.object, 0), (Ids{0, 1, 2}));
  EXPECT_EQ(corners(l.object, 1), (Ids{0, 2, 3}));
  EXPECT_EQ(l.object.polygons[1].surface, 1);
  EXPECT_EQ(l.object.indices.size(), 6u);
  EXPECT_EQ(l.object.cornerNormals.size(), 6u);

  // Polygons with no points at all.
  Loaded none = load(LwobBuilder().surfaces({"A"}).polygons({{{0, 1, 2}, 1}}).bytes());
  EXPECT_EQ(none.result, 0);
  EXPECT_TRUE(none.object.polygons.empty());
  EXPECT_NE(none.out.find("Warning! 1 polygons with invalid point or surface removed\n"), std::string::npos);

  // A polygon cut off by its chunk: four corners announced, two present.
  Bytes pols;
  for (unsigned v : {3u, 0u, 1u, 2u, 1u, 4u, 0u, 1u}) putBE16(pols, v);
  Loaded cut = loadPlain(LwobBuilder().surfaces({"A"}).points(squarePoints()).chunk("POLS", pols).bytes());
  EXPECT_EQ(cut.result, 0);
  EXPECT_EQ(cut.object.polygons.size(), 1u);
  EXPECT_EQ(cut.object.indices.size(), 3u);
  EXPECT_EQ(cut.out, "Warning! 1 polygons with invalid point or surface removed\n");

  // Two whole corners and no surface number: too few corners, whatever the surface.
  Bytes shortPols;
  for (unsigned v : {3u, 0u, 1u, 2u, 1u, 2u, 0u, 1u}) putBE16(shortPols, v);
  Loaded tooFew = loadPlain(LwobBuilder().surfaces({"A"}).points(squarePoints()).chunk("POLS", shortPols).bytes());
  EXPECT_EQ(tooFew.object.polygons.size(), 1u);
  EXPECT_EQ(tooFew.out, "Warning! 1 <3vert polygons removed\n");
}

TEST(LwobReader, VerticesAreLinkedToTheirPolygons) {
  Loaded l = loadPlain(object({"A"}, squarePoints(), {{{0, 1, 2}, 1}, {{0, 2, 3}, 1}, {{1, 2, 1, 3}, 1}}).bytes());
  ASSERT_EQ(l.object.vertices.size(), 4u);
  EXPECT_EQ(polygonsOf(l.object, 0), (Ids{0, 1}));
  EXPECT_EQ(polygonsOf(l.object, 1), (Ids{0, 2, 2}));  // a polygon using a vertex twice is listed twice
  EXPECT_EQ(polygonsOf(l.object, 2), (Ids{0, 1, 2}));
  EXPECT_EQ(polygonsOf(l.object, 3), (Ids{1, 2}));

  // A fully dissolved object gets links only.
  const Bytes dissolved = object({"A"}, squarePoints(), {{{0, 1, 2, 3}, 1}})
                              .surface("A", {subU16("FLAG", 0x0104), subString("CTEX", "Planar Image Map")})
                              .bytes();
  Loaded d = load(dissolved, true, true, false, 1.0);
  EXPECT_EQ(d.result, 0);
  EXPECT_EQ(d.out, "");
  EXPECT_EQ(d.object.polygons.size(), 1u);
  EXPECT_TRUE(d.object.normals.empty());
  EXPECT_EQ(d.object.vertices[0].hasUV, 0);
  EXPECT_EQ(polygonsOf(d.object, 0), (Ids{0}));
}

TEST(LwobReader, GrowingPolygonListsKeepTheirOrderAndLeaveTheOthersAlone) {
  Loaded l = loadPlain(object({"A"}, squarePoints(), {{{0, 1, 2}, 1}, {{0, 2, 3}, 1}}).bytes());
  LwObject& o = l.object;
  // Lists growing in turn move past each other in the shared pool.
  Ids expected0 = polygonsOf(o, 0), expected3 = polygonsOf(o, 3);
  for (std::uint32_t p = 10; p < 2010; ++p) {
    lwAddVertexPolygon(o, p % 2 == 0 ? 0 : 3, p);
    (p % 2 == 0 ? expected0 : expected3).push_back(p);
  }
  lwRemoveVertexPolygon(o, 0, 1);
  expected0.erase(expected0.begin() + 1);
  EXPECT_EQ(polygonsOf(o, 0), expected0);
  EXPECT_EQ(polygonsOf(o, 3), expected3);
  EXPECT_EQ(polygonsOf(o, 1), (Ids{0}));
  EXPECT_EQ(polygonsOf(o, 2), (Ids{0, 1}));
  // Growth by doubling: the pool stays within a small multiple of what it holds.
  EXPECT_LT(o.polygonLists.size(), 8u * 2010u);
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
  EXPECT_TRUE(o.points.empty() && o.vertices.empty() && o.polygons.empty());
  EXPECT_TRUE(o.normals.empty() && o.cornerNormals.empty() && o.surfaces.empty());
  EXPECT_EQ(o.motionKeys.size(), 3u);

  Loaded m = load(triangleObject());
  m.object.refCount = 5;
  m.object.motionKeys.resize(2);
  lwDisposeObject(m.object);
  EXPECT_TRUE(m.object.points.empty());
  EXPECT_TRUE(m.object.motionKeys.empty());
}
