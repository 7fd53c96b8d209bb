// The fast paths give exactly what the plain ones give: the writer's block buffer and
// bulk lists, staged mesh text at any depth, digit tables, and the smoothing angle
// decided by its cosine.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "app/options.h"
#include "lwo/object.h"
#include "xfile/numfmt.h"
#include "xfile/xwriter.h"
#include "xscene/materials.h"
#include "xscene/mesh.h"

namespace {

std::string bufferText(const XWriter& w) { return std::string(w.buffer.begin(), w.buffer.end()); }

// Everything written to a file writer, read back.
struct FileCapture {
  std::FILE* file = std::tmpfile();
  ~FileCapture() {
    if (file != nullptr) std::fclose(file);
  }
  std::string contents() const {
    std::string text;
    std::rewind(file);
    char block[4096];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;) text.append(block, n);
    return text;
  }
};

std::string littleEndian(std::uint32_t v) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return bytes;
}

// The same mixed stream of small pieces and lists larger than the writer's block.
void writeMixedStream(XWriter& w, const std::vector<std::uint32_t>& ints, const std::vector<float>& floats) {
  for (int depth : {0, 3, 64, 65, 700}) {
    xPutIndent(w, depth);
    xPutText(w, "Frame {\n");
  }
  xPutIntegerList(w, ints.data(), ints.size());
  for (int i = 0; i < 20000; ++i) {
    xPutFixed(w, floats[static_cast<std::size_t>(i)]);
    xPutChar(w, ';');
    xPutInt(w, static_cast<long long>(ints[static_cast<std::size_t>(i)]) - 1000);
  }
  xPutFloatList(w, floats.data(), floats.size());
  xPutToken(w, kTokenName, "Mesh");
  xPutDwords(w, ints.data(), 3);
}

}  // namespace

TEST(WriterEquivalence, IndentOfAnyDepthIsThatManySpaces) {
  for (int depth : {-5, 0, 1, 63, 64, 65, 127, 128, 129, 1000, 5000}) {
    XWriter w;
    xPutIndent(w, depth);
    EXPECT_EQ(bufferText(w), std::string(depth > 0 ? static_cast<std::size_t>(depth) : 0, ' ')) << depth;
  }
}

TEST(WriterEquivalence, BulkListsAreLittleEndianAndAFileGetsTheSameBytesAsMemory) {
  std::mt19937 random(7);
  std::vector<std::uint32_t> ints(200000);
  for (std::uint32_t& v : ints) v = static_cast<std::uint32_t>(random());
  std::vector<float> floats(150000);
  for (float& f : floats) f = static_cast<float>(random() % 2000000) / 1000.0f - 1000.0f;

  XWriter memory;
  writeMixedStream(memory, ints, floats);

  std::string lists;
  lists += littleEndian(kTokenIntegerList).substr(0, 2) + littleEndian(3);
  for (int i = 0; i < 3; ++i) lists += littleEndian(ints[static_cast<std::size_t>(i)]);
  XWriter small;
  xPutIntegerList(small, ints.data(), 3);
  EXPECT_EQ(bufferText(small), lists);
  XWriter oneFloat;
  xPutFloats(oneFloat, floats.data(), 1);
  std::uint32_t bits;
  std::memcpy(&bits, floats.data(), 4);
  EXPECT_EQ(bufferText(oneFloat), littleEndian(bits));

  FileCapture capture;
  ASSERT_NE(capture.file, nullptr);
  XWriter toFile;
  toFile.file = capture.file;
  writeMixedStream(toFile, ints, floats);
  ASSERT_EQ(xFlush(toFile), 0);
  EXPECT_TRUE(toFile.buffer.empty());
  const std::string written = capture.contents();
  ASSERT_EQ(written.size(), memory.buffer.size());
  EXPECT_TRUE(written == bufferText(memory));
}

TEST(NumberEquivalence, IntegersAtEveryDigitCountBoundaryMatchPrintf) {
  std::vector<long long> values = {LLONG_MIN, LLONG_MAX, 4294967295LL, 4294967296LL, -4294967296LL};
  for (long long power = 1;; power *= 10) {
    for (long long v : {power - 1, power, power + 1}) values.insert(values.end(), {v, -v});
    if (power > LLONG_MAX / 10) break;
  }
  for (long long v : values) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "%lld", v);
    char got[24];
    EXPECT_EQ(std::string(got, formatInt(got, v)), expected) << v;
  }
}

TEST(NumberEquivalence, FixedNumbersAcrossWholePartLengthsMatchPrintf) {
  std::mt19937_64 random(11);
  for (int i = 0; i < 60000; ++i) {
    const double magnitude = std::ldexp(1.0, static_cast<int>(random() % 60) - 25);
    const double value = (static_cast<double>(random() % 1000000007) / 1000000007.0 - 0.5) * magnitude;
    const double cases[] = {value, static_cast<float>(value), std::round(value), std::round(value) - 0.0000005};
    for (double v : cases) {
      char expected[400];
      std::snprintf(expected, sizeof expected, "%f", v);
      char got[kFixedBufferSize];
      ASSERT_EQ(std::string(got, formatFixed(got, v)), expected) << v;
    }
  }
}

namespace {

// Two triangles sharing the edge from point 0 to point 1, folded by `fold` radians,
// on one smoothed surface with the given angle.
LwObject foldedPair(double fold, float angle) {
  LwObject o;
  LwSurface surface;
  surface.name = "S";
  surface.flags = kSurfaceSmoothing;
  surface.smoothingAngle = angle;
  o.surfaces.push_back(surface);
  o.points = {{0, 0, 0}, {1, 0, 0}, {0.5f, 1, 0},
              {0.5f, static_cast<float>(-std::cos(fold)), static_cast<float>(std::sin(fold))}};
  for (std::uint32_t i = 0; i < 4; ++i) {
    LwVertex v;
    v.point = i;
    v.nextSplit = i;
    o.vertices.push_back(v);
  }
  o.indices = {0, 1, 2, 1, 0, 3};
  o.polygons.resize(2);
  o.polygons[0].cornerCount = 3;
  o.polygons[1].cornerCount = 3;
  o.polygons[1].firstIndex = 3;
  lwLinkVertices(o);
  lwComputeNormals(o);
  return o;
}

}  // namespace

TEST(SmoothingEquivalence, EveryAngleDecisionIsTheOneAcosMakes) {
  const float angles[] = {0.0f, 1e-8f, 0.5f, 1.5620697f, 2.9f, 3.0f, 3.1f, 3.1415927f, 4.0f, -1.0f,
                          std::numeric_limits<float>::quiet_NaN()};
  int nearBoundary = 0;
  std::vector<std::string> wrong;
  // The geometry steps print their names; failures are reported once stdout is back.
  testing::internal::CaptureStdout();
  for (int step = 0; step <= 1800; ++step) {
    const double fold = step * (3.14159 / 1800);
    // The folds' own angles, and the floats just around them, put many cases on the boundary.
    std::vector<float> tried(std::begin(angles), std::end(angles));
    const LwObject probe = foldedPair(fold, 0.0f);
    const float* a = probe.polygons[0].normal;
    const float* b = probe.polygons[1].normal;
    const double d = std::clamp(double{a[0]} * b[0] + double{a[1]} * b[1] + double{a[2]} * b[2], -1.0, 1.0);
    const float near = static_cast<float>(std::acos(d));
    tried.insert(tried.end(), {std::nextafter(near, 0.0f), near, std::nextafter(near, 4.0f)});
    for (float angle : tried) {
      const LwObject o = foldedPair(fold, angle);
      const bool smoothed = o.normals.size() > o.polygons.size();
      if (smoothed != (std::acos(d) <= angle)) wrong.push_back(std::to_string(fold) + " / " + std::to_string(angle));
      if (std::fabs(d - std::cos(double{angle})) <= 1e-9) ++nearBoundary;
    }
  }
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(wrong.empty()) << wrong.size() << " decisions differ, first fold / angle " << (wrong.empty() ? std::string() : wrong.front());
  EXPECT_GT(nearBoundary, 0);
}

namespace {

// A smoothed, planar-mapped grid read as the reader leaves it.
LwObject grid(int n) {
  LwObject o;
  LwSurface surface;
  surface.name = "Grid";
  surface.flags = kSurfaceSmoothing;
  surface.colorTexture.mapping = kMappingPlanar;
  surface.colorTexture.image = "grid.tga";
  surface.colorTexture.size[0] = static_cast<float>(n);
  surface.colorTexture.size[1] = static_cast<float>(n);
  o.surfaces.push_back(surface);
  for (int y = 0; y <= n; ++y)
    for (int x = 0; x <= n; ++x) {
      const float z = static_cast<float>(std::sin(x * 0.3) * std::cos(y * 0.2));
      o.points.push_back({static_cast<float>(x), static_cast<float>(y), z});
      LwVertex v;
      v.point = static_cast<std::uint32_t>(o.vertices.size());
      v.nextSplit = v.point;
      o.vertices.push_back(v);
    }
  const auto at = [n](int x, int y) { return static_cast<std::uint32_t>(y * (n + 1) + x); };
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      LwPolygon polygon;
      polygon.cornerCount = 4;
      polygon.firstIndex = static_cast<std::uint32_t>(o.indices.size());
      o.indices.insert(o.indices.end(), {at(x, y), at(x + 1, y), at(x + 1, y + 1), at(x, y + 1)});
      o.polygons.push_back(polygon);
    }
  lwLinkVertices(o);
  lwComputeNormals(o);
  lwComputeTextureCoords(o, false);
  return o;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    out.push_back(text.substr(start, end - start));
  out.push_back(text.substr(start));
  return out;
}

}  // namespace

TEST(MeshTextEquivalence, DeepMeshesIndentEveryLineAndFileMatchesMemory) {
  options() = {};
  FileCapture capture;
  ASSERT_NE(capture.file, nullptr);
  XWriter flat;
  XWriter deep;
  XWriter deepFile;
  deepFile.file = capture.file;
  testing::internal::CaptureStdout();
  LwObject object = grid(60);
  MaterialTable table;
  XWriter materials;
  collectMaterials(table, object, materials, 0);
  writeMesh(table, object, flat, 0);
  writeMesh(table, object, deep, 300);
  writeMesh(table, object, deepFile, 300);
  const int flushed = xFlush(deepFile);
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(flushed, 0);

  const std::vector<std::string> flatLines = lines(bufferText(flat));
  const std::vector<std::string> deepLines = lines(bufferText(deep));
  ASSERT_GT(flatLines.size(), 18000u);
  ASSERT_EQ(flatLines.size(), deepLines.size());
  const std::string margin(300, ' ');
  for (std::size_t i = 0; i < flatLines.size(); ++i) {
    const std::string expected = flatLines[i].empty() ? "" : margin + flatLines[i];
    ASSERT_EQ(deepLines[i], expected) << "line " << i;
  }
  EXPECT_TRUE(capture.contents() == bufferText(deep));
}
