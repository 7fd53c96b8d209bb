#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/lwcfg.h"
#include "app/options.h"
#include "lwbuild.h"
#include "mesh_tokens.h"
#include "platform/platform.h"
#include "support/run.h"
#include "xscene/materials.h"

namespace {

using testsupport::TempDir;

LwSurface surface(const std::string& name, std::uint8_t r = 200, std::uint8_t g = 200, std::uint8_t b = 200) {
  LwSurface s;
  s.name = name;
  s.color[0] = r;
  s.color[1] = g;
  s.color[2] = b;
  return s;
}

LwObject objectWith(std::vector<LwSurface> surfaces) {
  LwObject o;
  o.surfaces = std::move(surfaces);
  return o;
}

std::string text(const XWriter& w) { return std::string(w.buffer.begin(), w.buffer.end()); }

class MaterialsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    options() = {};
    lwConfig() = {};
  }
  void TearDown() override {
    options() = {};
    lwConfig() = {};
  }

  // Collects the object's materials into table; returns the .x text, keeps the console text.
  std::string collect(LwObject& object, bool binary = false) {
    XWriter w;
    w.binary = binary;
    testing::internal::CaptureStdout();
    EXPECT_EQ(collectMaterials(table, object, w, 0), 0);
    console = testing::internal::GetCapturedStdout();
    return binary ? xtokens::decode(w.buffer) : text(w);
  }

  MaterialTable table;
  std::string console;
};

// Runs the test body with a scratch directory as the current directory.
class TextureTest : public MaterialsTest {
 protected:
  void SetUp() override {
    MaterialsTest::SetUp();
    ASSERT_TRUE(platform::getCurrentDirectory(saved));
    ASSERT_TRUE(platform::setCurrentDirectory(dir.path()));
  }
  void TearDown() override {
    platform::setCurrentDirectory(saved);
    MaterialsTest::TearDown();
  }

  LwObject textured(const std::string& image) {
    LwSurface s = surface("Wood");
    s.colorTexture.image = image;
    return objectWith({s});
  }

  static std::string materialWithTexture(const std::string& file) {
    return "Material MatWood {\n 1.000000;1.000000;1.000000;1.000000;;\n 21.333333;\n"
           " 0.000000;0.000000;0.000000;;\n 0.000000;0.000000;0.000000;;\n"
           " TextureFilename {\n  \"" + file + "\";\n }\n}\n";
  }

  static lwbuild::Bytes smallTga() {
    lwbuild::TgaSpec spec;
    spec.width = 2;
    spec.height = 1;
    return lwbuild::tgaBytes(spec, {}, {0, 0, 255, 0, 255, 0});
  }

  TempDir dir;
  std::string saved;
};

}  // namespace

TEST_F(MaterialsTest, ShadingValuesBecomeColoursAndPower) {
  LwSurface s = surface("Red", 255, 0, 0);
  s.transparency = 128;
  s.glossiness = 256;
  s.luminosity = 128;
  s.diffuse = 256;
  s.specular = 0;
  LwObject o = objectWith({s});
  EXPECT_EQ(collect(o),
            "Material MatRed {\n"
            " 1.000000;0.000000;0.000000;0.500000;;\n"
            " 85.333333;\n"
            " 0.000000;0.000000;0.000000;;\n"
            " 0.500000;0.000000;0.000000;;\n"
            "}\n");
  EXPECT_EQ(console, "");
  EXPECT_EQ(o.surfaces[0].materialIndex, 0);

  // One more point of specular crosses 256 and turns the highlight white.
  s.name = "Shiny";
  s.specular = 1;
  LwObject o2 = objectWith({s});
  EXPECT_NE(collect(o2).find(" 1.000000;1.000000;1.000000;;\n 0.500000;"), std::string::npos);
  EXPECT_EQ(o2.surfaces[0].materialIndex, 1);
}

TEST_F(MaterialsTest, DefaultSurfaceAndBinaryEncoding) {
  LwObject o = objectWith({surface("Default")});
  EXPECT_EQ(collect(o, true),
            "Material MatDefault { F(0.784314,0.784314,0.784314,1.000000,21.333334,0.000000,0.000000,"
            "0.000000,0.000000,0.000000,0.000000) }");
}

TEST_F(MaterialsTest, NamesAreFilteredAndMadeUnique) {
  LwObject first = objectWith({surface("wood grain"), surface("Default", 10, 20, 30), surface("a(b)-c", 1, 2, 3)});
  const std::string written = collect(first);
  EXPECT_NE(written.find("Material Matwood_grain {"), std::string::npos);
  EXPECT_NE(written.find("Material Matabc {"), std::string::npos);

  // A second object with another Default: a separate record, told apart by its number.
  LwObject second = objectWith({surface("Default", 40, 50, 60), surface("Default", 70, 80, 90)});
  const std::string more = collect(second);
  EXPECT_EQ(more.find("Material MatDefault_2 {"), 0u);
  EXPECT_NE(more.find("Material MatDefault_3 {"), std::string::npos);
  EXPECT_EQ(table.entries.size(), 5u);
  EXPECT_EQ(materialUniqueName(table, 1), "MatDefault");
  EXPECT_EQ(materialUniqueName(table, 3), "MatDefault_2");
  EXPECT_EQ(second.surfaces[1].materialIndex, 4);

  // A surface that equals an earlier material is not written again.
  LwObject third = objectWith({surface("Other", 40, 50, 60)});
  EXPECT_EQ(collect(third), "");
  EXPECT_EQ(third.surfaces[0].materialIndex, 3);
}

TEST_F(MaterialsTest, LongNamesFitTheNameField) {
  const std::string longName(78, 'L');
  LwObject o = objectWith({surface(longName, 1, 1, 1), surface(longName, 2, 2, 2)});
  collect(o);
  const std::string base = "Mat" + std::string(76, 'L');
  EXPECT_EQ(materialUniqueName(table, 0), base);
  // The number replaces the end of the name rather than falling off it.
  EXPECT_EQ(materialUniqueName(table, 1), base.substr(0, 77) + "_2");
}

TEST_F(MaterialsTest, EqualValuesMergeUnlessNamesMustDiffer) {
  LwObject o = objectWith({surface("Red", 255, 0, 0), surface("Crimson", 255, 0, 0)});
  const std::string merged = collect(o);
  EXPECT_EQ(table.entries.size(), 1u);
  EXPECT_EQ(o.surfaces[0].materialIndex, 0);
  EXPECT_EQ(o.surfaces[1].materialIndex, 0);
  EXPECT_EQ(merged.find("Material MatCrimson"), std::string::npos);

  table = {};
  options().noMaterialMerge = 1;
  LwObject o2 = objectWith({surface("Red", 255, 0, 0), surface("Crimson", 255, 0, 0), surface("Red", 255, 0, 0)});
  const std::string separate = collect(o2);
  EXPECT_NE(separate.find("Material MatCrimson {"), std::string::npos);
  EXPECT_EQ(o2.surfaces[1].materialIndex, 1);
  EXPECT_EQ(o2.surfaces[2].materialIndex, 0);  // same name and values still merge
}

TEST_F(MaterialsTest, SameMaterialComparesValuesTextureAndNameOnlyWithOption) {
  MaterialRecord a;
  a.name = "MatA";
  MaterialRecord b = a;
  b.name = "MatB";
  EXPECT_EQ(sameMaterial(a, b), 0);
  options().noMaterialMerge = 1;
  EXPECT_EQ(sameMaterial(a, b), -1);
  options().noMaterialMerge = 0;
  b.textureName = "x.tga";
  EXPECT_EQ(sameMaterial(a, b), -1);
  b.textureName.clear();
  b.emissiveColor[2] = 0.1;
  EXPECT_EQ(sameMaterial(a, b), -1);
  b = a;
  b.power = 1.0;
  EXPECT_EQ(sameMaterial(a, b), -1);
}

TEST_F(TextureTest, NoneIsUntexturedAndOtherKindsAreKept) {
  LwObject none = textured("(none)");
  EXPECT_EQ(collect(none).find("TextureFilename"), std::string::npos);

  table = {};
  LwObject iff = textured("textures\\brick.iff");
  EXPECT_EQ(collect(iff), materialWithTexture("brick.iff"));
  EXPECT_EQ(console, "");

  table = {};
  LwObject bare = textured("c:\\maps\\brick");
  EXPECT_EQ(collect(bare), materialWithTexture("brick"));
  EXPECT_EQ(console, "");
}

TEST_F(TextureTest, TgaIsConvertedBesideTheOutput) {
  testsupport::makeDir(dir / "images");
  ASSERT_TRUE(lwbuild::writeFile(dir / "images/wood.tga", smallTga()));
  LwObject o = textured("images\\wood.TgA");
  EXPECT_EQ(collect(o), materialWithTexture("wood.PPM"));
  EXPECT_EQ(console, "generating wood.PPM : ok\n");
  EXPECT_EQ(testsupport::readFile(dir / "wood.PPM").rfind("P6\n# converted by vemo\n2 1\n255\n", 0), 0u);
  EXPECT_EQ(testsupport::listDir(dir.path()), (std::vector<std::string>{"images", "wood.PPM"}));
}

TEST_F(TextureTest, KeepOptionWritesTheStoredNameSilently) {
  ASSERT_TRUE(lwbuild::writeFile(dir / "wood.tga", smallTga()));
  options().keepTextureFiles = 1;
  LwObject o = textured("images\\wood.tga");
  EXPECT_EQ(collect(o), materialWithTexture("wood.tga"));
  EXPECT_EQ(console, "");
  EXPECT_FALSE(testsupport::fileExists(dir / "wood.PPM"));
}

TEST_F(TextureTest, MissingImageIsReportedAndKeepsItsName) {
  LwObject o = textured("images\\wood.tga");
  EXPECT_EQ(collect(o), materialWithTexture("wood.tga"));
  EXPECT_EQ(console, "images\\wood.tga not found\n");
}

TEST_F(TextureTest, ImageIsFoundInContentDirectoryOrByBareName) {
  testsupport::makeDir(dir / "content");
  testsupport::makeDir(dir / "content/maps");
  const lwbuild::Bytes bmp = lwbuild::bmpBytes(1, 1, 24, {}, {1, 2, 3, 0});
  ASSERT_TRUE(lwbuild::writeFile(dir / "content/maps/stone.bmp", bmp));
  lwConfig().contentDirectory = dir / "content";
  LwObject o = textured("maps\\stone.bmp");
  EXPECT_EQ(collect(o), materialWithTexture("stone.PPM"));
  EXPECT_EQ(console, "generating stone.PPM : ok\n");
  EXPECT_EQ(testsupport::readFile(dir / "stone.PPM"), std::string("P6\n# converted by vemo\n1 1\n255\n\3\2\1"));

  table = {};
  lwConfig() = {};
  ASSERT_TRUE(lwbuild::writeFile(dir / "leaf.bmp", bmp));
  LwObject bare = textured("x:\\nowhere\\leaf.BMP");
  EXPECT_EQ(collect(bare), materialWithTexture("leaf.PPM"));
  EXPECT_EQ(console, "generating leaf.PPM : ok\n");
}

TEST_F(TextureTest, FailedConversionLeavesNoFiles) {
  ASSERT_TRUE(lwbuild::writeFile(dir / "bad.tga", lwbuild::Bytes{1, 2, 3}));
  LwObject o = textured("bad.tga");
  EXPECT_EQ(collect(o), materialWithTexture("bad.PPM"));
  EXPECT_EQ(console, "generating bad.PPM : failure\n");
  EXPECT_EQ(testsupport::listDir(dir.path()), (std::vector<std::string>{"bad.tga"}));
}

TEST_F(TextureTest, FailedConversionKeepsAnEarlierGoodFile) {
  ASSERT_TRUE(lwbuild::writeFile(dir / "wood.PPM", std::string("earlier")));
  ASSERT_TRUE(lwbuild::writeFile(dir / "wood.tga", lwbuild::Bytes{9, 9}));
  LwObject o = textured("wood.tga");
  collect(o);
  EXPECT_EQ(console, "generating wood.PPM : failure\n");
  EXPECT_EQ(testsupport::readFile(dir / "wood.PPM"), "earlier");
}

TEST_F(TextureTest, UncreatablePpmIsReported) {
  ASSERT_TRUE(lwbuild::writeFile(dir / "wood.tga", smallTga()));
  // A current directory that no longer exists takes no new files, whoever runs the test.
  testsupport::makeDir(dir / "gone");
  ASSERT_TRUE(platform::setCurrentDirectory(dir / "gone"));
  std::filesystem::remove(dir / "gone");
  LwObject o = textured(dir / "wood.tga");
  EXPECT_EQ(collect(o), materialWithTexture("wood.PPM"));
  EXPECT_EQ(console, "generating wood.PPM : couldn't create!\n");
}

TEST_F(TextureTest, BinaryTextureNameIsAStringToken) {
  LwObject o = textured("brick.iff");
  EXPECT_EQ(collect(o, true),
            "Material MatWood { F(1.000000,1.000000,1.000000,1.000000,21.333334,0.000000,0.000000,0.000000,"
            "0.000000,0.000000,0.000000) TextureFilename { \"brick.iff\" ; } }");
}
