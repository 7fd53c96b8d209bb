// Single objects converted by the real program: console, exact .X text, binary
// tokens, textures, and a check of both encodings with an independent reader.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_support.h"
#include "xscene/mesh_tokens.h"

using namespace clitest;
using namespace lwbuild;
using testsupport::TempDir;

namespace {

// Two quads and a triangle on a red and a half-transparent blue surface.
Bytes twoSurfaceObject() {
  LwobBuilder b;
  b.surfaces({"Red", "Blue"});
  b.points({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0.5f, 0.5f, 2});
  b.polygons({{{0, 1, 2, 3}, 1}, {{0, 1, 4}, 2}, {{1, 2, 4}, 2}});
  b.surface("Red", {subColor(255, 0, 0), subU16("GLOS", 256)});
  b.surface("Blue", {subColor(0, 0, 255), subU16("TRAN", 128), subU16("LUMI", 256), subU16("SPEC", 64)});
  return b.bytes();
}

std::string afterHeader(const std::string& x) {
  const std::size_t at = x.find(kTextHeader);
  return at == std::string::npos ? "<no header>" : x.substr(at + kTextHeader.size());
}

const std::string kTwoSurfaceBody =
    "Material MatRed {\n"
    " 1.000000;0.000000;0.000000;1.000000;;\n"
    " 85.333333;\n"
    " 0.000000;0.000000;0.000000;;\n"
    " 0.000000;0.000000;0.000000;;\n"
    "}\n"
    "Material MatBlue {\n"
    " 0.000000;0.000000;1.000000;0.500000;;\n"
    " 21.333333;\n"
    " 1.000000;1.000000;1.000000;;\n"
    " 0.000000;0.000000;1.000000;;\n"
    "}\n"
    "Mesh {\n"
    " 5;\n"
    " 0.000000;0.000000;0.000000;,\n"
    " 1.000000;0.000000;0.000000;,\n"
    " 1.000000;1.000000;0.000000;,\n"
    " 0.000000;1.000000;0.000000;,\n"
    " 0.500000;0.500000;2.000000;;\n"
    "\n"
    " 3;\n"
    " 4;0,1,2,3;,\n"
    " 3;0,1,4;,\n"
    " 3;1,2,4;;\n"
    "\n"
    " MeshMaterialList {\n"
    "  2;\n"
    "  3;\n"
    "  0,1,1;;\n"
    "  {MatRed}\n"
    "  {MatBlue}\n"
    " }\n"
    "}\n";

}  // namespace

TEST(ObjectConversion, TextAndBinaryOutputAndConsole) {
  TempDir dir;
  ASSERT_TRUE(writeFile(dir / "shape.lwo", twoSurfaceObject()));
  const auto r = torvo({"shape.lwo"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(r.out, kBanner +
                       "Output format: Ascii X (DirectX2 or later)\n"
                       "Convert From: " + dir / "shape.lwo" + "\n"
                       "Convert To: shape.X\n"
                       "reading shape.lwo : Normals TextureCoords\n"
                       "writing template...\n"
                       "writing a mesh to X...\n"
                       " 5 Vertices  3 Polygons  3 Normals\n");
  const std::string x = testsupport::readFile(dir / "shape.X");
  const std::string body = afterHeader(x);
  // Materials and faces exactly; the normals are the reader's business and follow.
  ASSERT_EQ(body.substr(0, kTwoSurfaceBody.size() - 2), kTwoSurfaceBody.substr(0, kTwoSurfaceBody.size() - 2));
  EXPECT_EQ(body.find(" MeshNormals {\n  3;\n", kTwoSurfaceBody.size() - 2), kTwoSurfaceBody.size() - 2);
  EXPECT_EQ(body.substr(body.size() - 8), ";;\n }\n}\n");

  // Without normals the file ends right after the material list.
  const auto n = torvo({"-N", "shape.lwo"}, dir.path());
  EXPECT_NE(n.out.find(" 5 Vertices  3 Polygons \n"), std::string::npos) << n.out;
  EXPECT_EQ(afterHeader(testsupport::readFile(dir / "shape.X")), kTwoSurfaceBody);

  // The binary encoding carries the same content.
  const auto b = torvo({"-b", "-N", "shape.lwo"}, dir.path());
  EXPECT_EQ(b.exitCode, 0) << b.out;
  EXPECT_NE(b.out.find(" 5 Vertices  3 Polygons \n"), std::string::npos) << b.out;
  const std::string bin = testsupport::readFile(dir / "shape.X");
  ASSERT_GT(bin.size(), 50u);
  EXPECT_EQ(bin.substr(0, 16), "xof 0302bin 0032");
  EXPECT_EQ(xtokens::decode(std::vector<char>(bin.begin(), bin.end()), 16),
            "Header { I(1,0,0) }"
            " Material MatRed { F(1.000000,0.000000,0.000000,1.000000,85.333336,0.000000,0.000000,0.000000,"
            "0.000000,0.000000,0.000000) }"
            " Material MatBlue { F(0.000000,0.000000,1.000000,0.500000,21.333334,1.000000,1.000000,1.000000,"
            "0.000000,0.000000,1.000000) }"
            " Mesh { I(5) F(0.000000,0.000000,0.000000,1.000000,0.000000,0.000000,1.000000,1.000000,0.000000,"
            "0.000000,1.000000,0.000000,0.500000,0.500000,2.000000) I(3,4,0,1,2,3,3,0,1,4,3,1,2,4)"
            " MeshMaterialList { I(2,3,0,1,1) { MatRed } { MatBlue } } }");
}

TEST(ObjectConversion, IndependentReaderSeesTheSameMeshInBothEncodings) {
  TempDir dir;
  ASSERT_TRUE(writeFile(dir / "shape.lwo", twoSurfaceObject()));
  testsupport::makeDir(dir / "bin");
  ASSERT_EQ(torvo({"shape.lwo"}, dir.path()).exitCode, 0);
  ASSERT_EQ(torvo({"-b", "shape.lwo", "bin"}, dir.path()).exitCode, 0);
  for (const std::string file : {"shape.X", "bin/shape.X"}) {
    const ReaderView view = readBack(dir / file);
    if (!view.available) GTEST_SKIP() << "assimp is not available";
    EXPECT_EQ(view.error, "") << file;
    EXPECT_EQ(view.materials,
              (std::vector<std::string>{"MatRed 1.000 0.000 0.000 1.000", "MatBlue 0.000 0.000 1.000 0.500"}))
        << file;
    EXPECT_EQ(view.faces, 3) << file;
    EXPECT_EQ(view.corners, 10) << file;
    const std::set<std::tuple<float, float, float>> expected = {
        {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0.5f, 0.5f, 2}};
    EXPECT_EQ(view.positions, expected) << file;
  }
}

TEST(ObjectConversion, IndependentReaderAcceptsTextureCoordinatesAndFaceWraps) {
  TempDir dir;
  testsupport::makeDir(dir / "images");
  ASSERT_TRUE(writeFile(dir / "board.lwo", mappedObject("images\\wood.tga")));
  ASSERT_TRUE(writeFile(dir / "images/wood.tga", woodTga()));
  testsupport::makeDir(dir / "bin");
  ASSERT_EQ(torvo({"-u", "board.lwo"}, dir.path()).exitCode, 0);
  ASSERT_EQ(torvo({"-u", "-b", "board.lwo", "bin"}, dir.path()).exitCode, 0);
  // Relative image names resolve against the destination, where this image is not.
  const std::pair<std::string, std::string> cases[] = {{"board.X", "wood.PPM"}, {"bin/board.X", "wood.tga"}};
  for (const auto& [file, texture] : cases) {
    const ReaderView view = readBack(dir / file, false);
    if (!view.available) GTEST_SKIP() << "assimp is not available";
    EXPECT_TRUE(contains(view.text, "vertices 4 faces 1 normals yes uv yes material 0")) << file << view.text;
    EXPECT_TRUE(contains(view.text, " texture " + texture + "\n")) << file << view.text;
  }
}
