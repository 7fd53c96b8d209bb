// Single objects converted by the real program: console, exact .X text, binary
// tokens, textures, and a check of both encodings with an independent reader.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "lwbuild.h"
#include "support/run.h"
#include "xscene/mesh_tokens.h"

using namespace lwbuild;
using testsupport::TempDir;

namespace {

const std::string kBanner =
    "LWS/LWO to X converter 1.11 (1998-12-04)\n"
    "torvo (c) 2026 the torvo developers\n";
const std::string kTextHeader = "Header {\n 1;\n 0;\n 1;\n}\n\n";

testsupport::RunResult torvo(const std::vector<std::string>& args, const std::string& cwd) {
  return testsupport::run(TORVO_EXE, args, cwd);
}

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

// A quad with a planar image map along z, and a tiny 24-bit TGA for it.
Bytes mappedObject() {
  LwobBuilder b;
  b.surfaces({"Wood"});
  b.points({0, 0, 0, 2, 0, 0, 2, 2, 0, 0, 2, 0});
  b.polygons({{{0, 1, 2, 3}, 1}});
  b.surface("Wood", {subString("CTEX", "Planar Image Map"), subString("TIMG", "images\\wood.tga"),
                     subU16("TFLG", 4 /* z axis */), subVec("TSIZ", 2, 2, 2), subVec("TCTR", 1, 1, 0)});
  return b.bytes();
}

Bytes woodTga() {
  TgaSpec s;
  s.width = 2;
  s.height = 2;
  return tgaBytes(s, {}, {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255});
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

// Parsed xread output: material colours, and per mesh its faces' corner positions.
struct ReaderView {
  bool available = true;
  std::string error;
  std::vector<std::string> materials;  // "name r g b a"
  std::set<std::tuple<float, float, float>> positions;
  int faces = 0;
  int corners = 0;
};

ReaderView readBack(const std::string& path) {
  ReaderView view;
  const auto r = testsupport::run(TORVO_ASSIMP_READER, {"-v", path}, ".");
  if (r.out.find("unavailable") != std::string::npos) {
    view.available = false;
    return view;
  }
  std::istringstream in(r.out);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    if (kind == "error") view.error = line;
    if (kind == "material") {
      std::string index, name, label;
      double rgba[4];
      words >> index >> name >> label >> rgba[0] >> rgba[1] >> rgba[2] >> rgba[3];
      char text[160];
      std::snprintf(text, sizeof text, "%s %.3f %.3f %.3f %.3f", name.c_str(), rgba[0], rgba[1], rgba[2], rgba[3]);
      view.materials.push_back(text);
    } else if (kind == "face") {
      ++view.faces;
      std::string mesh, face, index;
      words >> mesh >> face;
      while (words >> index) ++view.corners;
    } else if (kind == "vertex") {
      std::string mesh, index;
      float x, y, z;
      words >> mesh >> index >> x >> y >> z;
      view.positions.insert({x, y, -z});  // the reader turns z around
    }
  }
  return view;
}

}  // namespace

TEST(ObjectConversion, TextOutputAndConsole) {
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
}

TEST(ObjectConversion, BinaryOutputCarriesTheSameContent) {
  TempDir dir;
  ASSERT_TRUE(writeFile(dir / "shape.lwo", twoSurfaceObject()));
  const auto r = torvo({"-b", "-N", "shape.lwo"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find(" 5 Vertices  3 Polygons \n"), std::string::npos) << r.out;
  const std::string x = testsupport::readFile(dir / "shape.X");
  ASSERT_GT(x.size(), 50u);
  EXPECT_EQ(x.substr(0, 16), "xof 0302bin 0032");
  EXPECT_EQ(xtokens::decode(std::vector<char>(x.begin(), x.end()), 16),
            "Header { I(1,0,0) }"
            " Material MatRed { F(1.000000,0.000000,0.000000,1.000000,85.333336,0.000000,0.000000,0.000000,"
            "0.000000,0.000000,0.000000) }"
            " Material MatBlue { F(0.000000,0.000000,1.000000,0.500000,21.333334,1.000000,1.000000,1.000000,"
            "0.000000,0.000000,1.000000) }"
            " Mesh { I(5) F(0.000000,0.000000,0.000000,1.000000,0.000000,0.000000,1.000000,1.000000,0.000000,"
            "0.000000,1.000000,0.000000,0.500000,0.500000,2.000000) I(3,4,0,1,2,3,3,0,1,4,3,1,2,4)"
            " MeshMaterialList { I(2,3,0,1,1) { MatRed } { MatBlue } } }");
}

TEST(ObjectConversion, TextureIsConvertedAndMapped) {
  TempDir dir;
  testsupport::makeDir(dir / "images");
  ASSERT_TRUE(writeFile(dir / "board.lwo", mappedObject()));
  ASSERT_TRUE(writeFile(dir / "images/wood.tga", woodTga()));
  const auto r = torvo({"-u", "board.lwo"}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("writing a mesh to X...\ngenerating wood.PPM : ok\n 4 Vertices  1 Polygons  1 Normals\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(testsupport::readFile(dir / "wood.PPM").substr(0, 31), "P6\n# converted by vemo\n2 2\n255\n");
  const std::string x = testsupport::readFile(dir / "board.X");
  EXPECT_NE(x.find(" TextureFilename {\n  \"wood.PPM\";\n }\n"), std::string::npos) << x;
  EXPECT_NE(x.find(" MeshFaceWraps {\n  1;\n  0;0;;\n }\n"), std::string::npos) << x;
  EXPECT_NE(x.find(" MeshTextureCoords {\n  4;\n"), std::string::npos) << x;

  // With -B the stored name is referred to and nothing is converted.
  testsupport::makeDir(dir / "out");
  const auto keep = torvo({"-B", "board.lwo", "out"}, dir.path());
  EXPECT_EQ(keep.exitCode, 0) << keep.out;
  EXPECT_EQ(keep.out.find("generating"), std::string::npos);
  EXPECT_NE(testsupport::readFile(dir / "out/board.X").find("  \"wood.tga\";\n"), std::string::npos);
  EXPECT_FALSE(testsupport::fileExists(dir / "out/wood.PPM"));
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
  ASSERT_TRUE(writeFile(dir / "board.lwo", mappedObject()));
  ASSERT_TRUE(writeFile(dir / "images/wood.tga", woodTga()));
  testsupport::makeDir(dir / "bin");
  ASSERT_EQ(torvo({"-u", "board.lwo"}, dir.path()).exitCode, 0);
  ASSERT_EQ(torvo({"-u", "-b", "board.lwo", "bin"}, dir.path()).exitCode, 0);
  // Relative image names resolve against the destination, where this image is not.
  const std::pair<std::string, std::string> cases[] = {{"board.X", "wood.PPM"}, {"bin/board.X", "wood.tga"}};
  for (const auto& [file, texture] : cases) {
    const auto r = testsupport::run(TORVO_ASSIMP_READER, {file}, dir.path());
    if (r.out.find("unavailable") != std::string::npos) GTEST_SKIP() << "assimp is not available";
    EXPECT_NE(r.out.find("vertices 4 faces 1 normals yes uv yes material 0"), std::string::npos) << file << r.out;
    EXPECT_NE(r.out.find(" texture " + texture + "\n"), std::string::npos) << file << r.out;
  }
}
