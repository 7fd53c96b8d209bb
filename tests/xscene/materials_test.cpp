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

class MaterialsTest : public ::testing::Test {
 protected:
  void SetUp() override { TearDown(); }
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
    return binary ? xtokens::decode(w.buffer) : std::string(w.buffer.begin(), w.buffer.end());
  }

  MaterialTable table;
  std::string console;
};

// A scratch directory as the current directory while the object lives.
struct ScratchCwd {
  TempDir dir;
  std::string saved;
  ScratchCwd() {
    platform::getCurrentDirectory(saved);
    platform::setCurrentDirectory(dir.path());
  }
  ~ScratchCwd() { platform::setCurrentDirectory(saved); }
};

LwObject textured(const std::string& image) {
  LwSurface s = surface("Wood");
  s.colorTexture.image = image;
  return objectWith({s});
}

std::string materialWithTexture(const std::string& file) {
  return "Material MatWood {\n 1.000000;1.000000;1.000000;1.000000;;\n 21.333333;\n"
         " 0.000000;0.000000;0.000000;;\n 0.000000;0.000000;0.000000;;\n"
         " TextureFilename {\n  \"" + file + "\";\n }\n}\n";
}

lwbuild::Bytes smallTga() {
  lwbuild::TgaSpec header;
  header.width = 2;
  header.height = 1;
  return lwbuild::tgaBytes(header, {}, {0, 0, 255, 0, 255, 0});
}

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

  LwObject plain = objectWith({surface("Default")});
  EXPECT_EQ(collect(plain, true),
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

  // A surface named like a numbered one never shares a name with another material.
  table = {};
  LwObject clash = objectWith({surface("A", 1, 1, 1), surface("A_2", 2, 2, 2), surface("A", 3, 3, 3),
                               surface("A_2", 4, 4, 4)});
  collect(clash);
  ASSERT_EQ(table.entries.size(), 4u);
  EXPECT_EQ(table.uniqueNames, (std::vector<std::string>{"MatA", "MatA_2", "MatA_3", "MatA_2_2"}));

  // Long names fit the name field; the number replaces the end of the name rather than falling off it.
  table = {};
  const std::string longName(78, 'L');
  LwObject o = objectWith({surface(longName, 1, 1, 1), surface(longName, 2, 2, 2)});
  collect(o);
  const std::string base = "Mat" + std::string(76, 'L');
  EXPECT_EQ(materialUniqueName(table, 0), base);
  EXPECT_EQ(materialUniqueName(table, 1), base.substr(0, 77) + "_2");
}

TEST_F(MaterialsTest, EqualValuesMergeUnlessNamesMustDiffer) {
  LwObject o = objectWith({surface("Red", 255, 0, 0), surface("Crimson", 255, 0, 0)});
  EXPECT_EQ(collect(o).find("Material MatCrimson"), std::string::npos);
  EXPECT_EQ(table.entries.size(), 1u);
  EXPECT_EQ(o.surfaces[0].materialIndex, 0);
  EXPECT_EQ(o.surfaces[1].materialIndex, 0);

  table = {};
  options().noMaterialMerge = 1;
  LwObject o2 = objectWith({surface("Red", 255, 0, 0), surface("Crimson", 255, 0, 0), surface("Red", 255, 0, 0)});
  EXPECT_NE(collect(o2).find("Material MatCrimson {"), std::string::npos);
  EXPECT_EQ(o2.surfaces[1].materialIndex, 1);
  EXPECT_EQ(o2.surfaces[2].materialIndex, 0);  // same name and values still merge

  // The comparison itself: values and texture always, the name only with the option.
  MaterialRecord a;
  a.name = "MatA";
  auto compare = [&a](void (*change)(MaterialRecord&)) {
    MaterialRecord b = a;
    b.name = "MatB";
    change(b);
    return sameMaterial(a, b);
  };
  EXPECT_EQ(compare([](MaterialRecord&) {}), -1);
  options().noMaterialMerge = 0;
  EXPECT_EQ(compare([](MaterialRecord&) {}), 0);
  EXPECT_EQ(compare([](MaterialRecord& b) { b.textureName = "x.tga"; }), -1);
  EXPECT_EQ(compare([](MaterialRecord& b) { b.emissiveColor[2] = 0.1; }), -1);
  EXPECT_EQ(compare([](MaterialRecord& b) { b.power = 1.0; }), -1);

  // Negative luminosity on a black surface makes an emissive -0.0, equal to 0.0.
  table = {};
  LwObject o3 = objectWith({surface("Black", 0, 0, 0), surface("Dark", 0, 0, 0)});
  o3.surfaces[0].luminosity = -256;
  collect(o3);
  EXPECT_EQ(o3.surfaces[1].materialIndex, 0);
}

TEST_F(MaterialsTest, TextureImagesAreFoundConvertedOrKept) {
  const lwbuild::Bytes bmp = lwbuild::bmpBytes(1, 1, 24, {}, {1, 2, 3, 0});
  using Files = std::vector<std::pair<std::string, lwbuild::Bytes>>;
  struct Row {
    const char* label;
    Files files;
    std::string image;
    bool keep, content;
    std::string texture, console;
    std::vector<std::string> listing;
    std::string ppm;  // start of the PPM written, if any
  };
  const std::string ppmHead = "P6\n# converted by vemo\n";
  const Row rows[] = {
      {"other kinds are kept", {}, "textures\\brick.iff", false, false, "brick.iff", "", {}, ""},
      {"no extension", {}, "c:\\maps\\brick", false, false, "brick", "", {}, ""},
      {"tga converted beside the output", {{"images/wood.tga", smallTga()}}, "images\\wood.TgA", false, false,
       "wood.PPM", "generating wood.PPM : ok\n", {"images", "wood.PPM"}, ppmHead + "2 1\n255\n"},
      {"keep writes the stored name silently", {{"wood.tga", smallTga()}}, "images\\wood.tga", true, false,
       "wood.tga", "", {"wood.tga"}, ""},
      {"missing image keeps its name", {}, "images\\wood.tga", false, false, "wood.tga",
       "images\\wood.tga not found\n", {}, ""},
      {"found in the content directory", {{"content/maps/stone.bmp", bmp}}, "maps\\stone.bmp", false, true,
       "stone.PPM", "generating stone.PPM : ok\n", {"content", "stone.PPM"}, ppmHead + "1 1\n255\n\3\2\1"},
      {"found by bare name", {{"leaf.bmp", bmp}}, "x:\\nowhere\\leaf.BMP", false, false, "leaf.PPM",
       "generating leaf.PPM : ok\n", {"leaf.PPM", "leaf.bmp"}, ppmHead + "1 1\n255\n\3\2\1"},
      {"failed conversion leaves no files", {{"bad.tga", {1, 2, 3}}}, "bad.tga", false, false, "bad.PPM",
       "generating bad.PPM : failure\n", {"bad.tga"}, ""},
      {"failed conversion keeps an earlier good file", {{"wood.PPM", {'o', 'l', 'd'}}, {"wood.tga", {9, 9}}},
       "wood.tga", false, false, "wood.PPM", "generating wood.PPM : failure\n", {"wood.PPM", "wood.tga"}, "old"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    ScratchCwd cwd;
    for (const auto& [name, bytes] : row.files) {
      std::filesystem::create_directories(std::filesystem::path(cwd.dir / name).parent_path());
      ASSERT_TRUE(lwbuild::writeFile(cwd.dir / name, bytes));
    }
    table = {};
    options().keepTextureFiles = row.keep ? 1 : 0;
    lwConfig().contentDirectory = row.content ? cwd.dir / "content" : "";
    LwObject o = textured(row.image);
    EXPECT_EQ(collect(o), materialWithTexture(row.texture));
    EXPECT_EQ(console, row.console);
    EXPECT_EQ(testsupport::listDir(cwd.dir.path()), row.listing);
    if (!row.ppm.empty()) {
      const std::string ppmName = row.texture.substr(0, row.texture.size() - 4) + ".PPM";
      EXPECT_EQ(testsupport::readFile(cwd.dir / ppmName).substr(0, row.ppm.size()), row.ppm);
    }
  }
}

TEST_F(MaterialsTest, UntexturedUncreatableAndBinaryTextures) {
  ScratchCwd cwd;
  LwObject none = textured("(none)");
  EXPECT_EQ(collect(none).find("TextureFilename"), std::string::npos);

  table = {};
  LwObject iff = textured("brick.iff");
  EXPECT_EQ(collect(iff, true),
            "Material MatWood { F(1.000000,1.000000,1.000000,1.000000,21.333334,0.000000,0.000000,0.000000,"
            "0.000000,0.000000,0.000000) TextureFilename { \"brick.iff\" ; } }");

  // A current directory that no longer exists takes no new files, whoever runs the test.
  table = {};
  ASSERT_TRUE(lwbuild::writeFile(cwd.dir / "wood.tga", smallTga()));
  testsupport::makeDir(cwd.dir / "gone");
  ASSERT_TRUE(platform::setCurrentDirectory(cwd.dir / "gone"));
  std::filesystem::remove(cwd.dir / "gone");
  LwObject o = textured(cwd.dir / "wood.tga");
  EXPECT_EQ(collect(o), materialWithTexture("wood.PPM"));
  EXPECT_EQ(console, "generating wood.PPM : couldn't create!\n");
}
