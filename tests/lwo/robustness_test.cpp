// Damaged objects: cut short, lying length fields, flipped bytes. The reader must give
// 0 or -1 every time and never read outside the data (run under the sanitizer build).
#include <random>
#include <string>

#include "lwo_fixture.h"

using namespace lwotest;

namespace {

Bytes richObject() {
  return LwobBuilder()
      .surfaces({"Wood", "Metal", "Glass"})
      .points({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 1, 1, 0, 1, 0.5f, 2, 0.5f})
      .chunk("BBOX", Bytes(24, 0))
      .polygons({{{0, 1, 2, 3}, 1}, {{4, 5, 6}, -2, 1}, {{0, 4, 5, 1}, 2}, {{2, 2, 3}, 3}, {{3, 2, 6}, 3}})
      .surface("Wood", {subColor(200, 100, 50), subU16("FLAG", 0x0104), subFloat("SMAN", 1.2f),
                        subString("CTEX", "Cylindrical Image Map"), subString("TIMG", "wood.tga"), subU16("TFLG", 2),
                        subVec("TSIZ", 1, 2, 1), subVec("TCTR", 0.5f, 0, 0.5f), subFloat("TFP0", 2),
                        sub("TWRP", Bytes{0, 1, 0, 1})})
      .surface("Metal", {subU16("FLAG", 0x0004), subString("CTEX", "Spherical Image Map"), subU16("TFLG", 1),
                         subFloat("TFP1", 3), subString("BTEX", "Planar Image Map"), subU16("TFLG", 4)})
      .surface("Glass", {subString("TTEX", "Planar Image Map"), subU16("TRAN", 128),
                         subString("CTEX", "Cubic Image Map"), subVec("TSIZ", 2, 2, 2)})
      .bytes();
}

struct LengthField {
  std::size_t offset;
  int width;  // 4 for chunks, 2 for SURF sub-chunks
};

// Where the length fields of the (well-formed) object lie.
std::vector<LengthField> lengthFields(const Bytes& b) {
  std::vector<LengthField> fields = {{4, 4}};
  std::size_t pos = 12;
  while (pos + 8 <= b.size()) {
    const std::size_t length =
        (std::size_t{b[pos + 4]} << 24) | (std::size_t{b[pos + 5]} << 16) | (std::size_t{b[pos + 6]} << 8) | b[pos + 7];
    fields.push_back({pos + 4, 4});
    if (std::equal(b.begin() + pos, b.begin() + pos + 4, "SURF")) {
      std::size_t sub = pos + 8;
      while (b[sub] != 0) ++sub;
      sub += (sub - pos - 8 + 1) % 2 == 0 ? 1 : 2;
      while (sub + 6 <= pos + 8 + length) {
        fields.push_back({sub + 4, 2});
        sub += 6 + ((std::size_t{b[sub + 4]} << 8) | b[sub + 5]);
      }
    }
    pos += 8 + length;
  }
  return fields;
}

void setField(Bytes& b, const LengthField& f, std::uint32_t value) {
  for (int i = 0; i < f.width; ++i) b[f.offset + i] = static_cast<std::uint8_t>(value >> (8 * (f.width - 1 - i)));
}

// Loads damaged bytes; returns what went wrong, or "" when the result is sound.
// (Failures are collected rather than asserted because standard output is captured.)
std::string checkLoad(const Bytes& bytes, const char* what, std::size_t where) {
  const std::string at = std::string(what) + " at " + std::to_string(where);
  LwObject o;
  const int result = lwLoadObjectFromMemory(o, bytes.data(), bytes.size(), 0, true, true, (where % 2) != 0);
  if (result != 0 && result != -1) return at + ": result " + std::to_string(result);
  if (result < 0) return "";
  if (o.vertices.size() < o.points.size()) return at + ": vertices lost";
  if (o.cornerNormals.size() != o.indices.size()) return at + ": corner normals";
  for (const LwPolygon& p : o.polygons) {
    if (p.cornerCount < 3) return at + ": short polygon";
    if (p.surface < 0 || static_cast<std::size_t>(p.surface) >= o.surfaces.size()) return at + ": surface";
    for (std::int32_t k = 0; k < p.cornerCount; ++k) {
      if (o.indices[p.firstIndex + k] >= o.vertices.size()) return at + ": vertex index";
      if (o.cornerNormals[p.firstIndex + k] >= o.normals.size()) return at + ": normal index";
    }
  }
  return "";
}

// Keeps the first problem met, reported once output is no longer captured.
class LwoDamage : public testing::Test {
 protected:
  void SetUp() override { testing::internal::CaptureStdout(); }
  void TearDown() override {
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(problem, "");
  }
  void check(const Bytes& bytes, const char* what, std::size_t where) {
    if (problem.empty()) problem = checkLoad(bytes, what, where);
  }
  const Bytes full = richObject();
  std::string problem;
};

}  // namespace

TEST(LwoRobustness, WellFormedObjectLoadsFully) {
  const Bytes bytes = richObject();
  ASSERT_EQ(lengthFields(bytes).size(), 1u + 7u + 10u + 6u + 4u);
  Loaded l = load(bytes);
  EXPECT_EQ(l.result, 0);
  EXPECT_EQ(l.object.surfaces.size(), 3u);
  EXPECT_EQ(l.object.polygons.size(), 4u + 1u);  // one dropped, one double-sided copy
  EXPECT_EQ(l.object.surfaces[0].colorTexture.mapping, kMappingCylindrical);
  EXPECT_EQ(l.object.surfaces[1].colorTexture.flags, 1);
  EXPECT_EQ(l.object.surfaces[2].colorTexture.mapping, kMappingCubic);
}

TEST_F(LwoDamage, CutAtEveryLength) {
  for (std::size_t cut = 0; cut < full.size(); ++cut) {
    Bytes bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
    check(bytes, "raw cut", cut);
    // The same cut with a FORM length that agrees, so the chunk walk sees it.
    if (cut >= 8) {
      setField(bytes, {4, 4}, static_cast<std::uint32_t>(cut - 8));
      check(bytes, "cut", cut);
    }
  }
}

TEST_F(LwoDamage, EveryLengthFieldCorrupted) {
  const std::vector<std::uint32_t> values = {0,      1,      2,      3,       5,          11,          12,         13,
                                             0x7FFF, 0x8000, 0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu};
  for (const LengthField& field : lengthFields(full)) {
    for (std::uint32_t value : values) {
      Bytes bytes = full;
      setField(bytes, field, value);
      check(bytes, "length", field.offset);
    }
    for (int delta : {-3, -2, -1, 1, 2, 3}) {
      Bytes bytes = full;
      std::uint32_t old = 0;
      for (int i = 0; i < field.width; ++i) old = (old << 8) | bytes[field.offset + i];
      setField(bytes, field, old + static_cast<std::uint32_t>(delta));
      check(bytes, "length delta", field.offset);
    }
  }
}

TEST_F(LwoDamage, EveryByteChanged) {
  for (std::size_t i = 0; i < full.size(); ++i) {
    for (std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0x7F}, std::uint8_t{0x80}, std::uint8_t{0xFF}}) {
      Bytes bytes = full;
      bytes[i] = value;
      check(bytes, "byte", i);
    }
  }
  // Several bytes at once, from a fixed seed so that a failure repeats.
  std::mt19937 random(12345);
  for (int round = 0; round < 3000; ++round) {
    Bytes bytes = full;
    const int changes = 1 + static_cast<int>(random() % 8);
    for (int c = 0; c < changes; ++c) bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
    check(bytes, "random round", static_cast<std::size_t>(round));
  }
}
