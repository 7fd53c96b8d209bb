// Characters: scenes whose bones deform a weighted column, converted by the real program
// and read back from the written file (rest identity, a bend by hand, options), by assimp
// and for damaged bone blocks; a rig on a null; an object with skelegons converted alone.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "cli_support.h"
#include "support/xtokens.h"
#include "torvo/torvo.h"

using namespace clitest;

namespace {

struct Converted {
  testsupport::RunResult run;
  std::string text;
  xtokens::Text x;
};

Converted convert(const std::string& scene, std::vector<std::string> options = {}, const Bytes& object = skinColumn(),
                  Expect expect = {}) {
  TempDir dir;
  Converted c;
  writeFile(dir / "column.lwo", object);
  writeFile(dir / "s.lws", scene);
  options.insert(options.end(), {"s.lws", "out.x"});
  c.run = torvoCommand(options, dir.path(), "", expect);
  c.text = readFile(dir / "out.X");
  if (c.run.exitCode == 0 && c.text.rfind("xof 0302txt", 0) == 0) c.x = xtokens::parseText(c.text);
  return c;
}

// Every vertex of the file's first mesh skinned, against where its own frame puts it.
double restError(const xtokens::Text& x, std::size_t which = 0) {
  double worst = 0;
  const auto& mesh = x.meshes.at(which);
  for (std::uint32_t v = 0; v < mesh.xyz.size() / 3; ++v) {
    double own[3] = {mesh.xyz[3 * v], mesh.xyz[3 * v + 1], mesh.xyz[3 * v + 2]};
    x.place(mesh.frame, own);
    const auto s = x.skinned(mesh, v);
    for (int k = 0; k < 3; ++k) worst = std::max(worst, std::fabs(s[static_cast<std::size_t>(k)] - own[k]));
  }
  return worst;
}

// The first vertex of the mesh at a rest position.
std::uint32_t vertexAt(const xtokens::Text::Mesh& mesh, const double (&p)[3]) {
  std::uint32_t v = 0;
  while (3 * v + 2 < mesh.xyz.size() &&
         std::fabs(mesh.xyz[3 * v] - p[0]) + std::fabs(mesh.xyz[3 * v + 1] - p[1]) + std::fabs(mesh.xyz[3 * v + 2] - p[2]) > 1e-6)
    ++v;
  return v;
}

}  // namespace

class Characters : public testing::TestWithParam<int> {};

TEST_P(Characters, RestIdentityAndABendByHand) {
  const Converted rest = convert(columnScene(GetParam(), 0), {}, skinColumn(), {true, true});
  ASSERT_EQ(rest.run.exitCode, 0) << rest.run.out;
  const auto& x = rest.x;
  ASSERT_EQ(x.frames.size(), 3u);
  ASSERT_EQ(x.meshes.size(), 1u);
  EXPECT_EQ(x.frames[1].name, "Frame1_Lower");
  EXPECT_EQ(x.frames[1].parent, 0);
  EXPECT_EQ(x.frames[2].name, "Frame2_Upper");
  EXPECT_EQ(x.frames[2].parent, 1);
  // XSkinMeshHeader: at most two bones per vertex and per face, two bones.
  EXPECT_EQ(std::vector<unsigned>(x.meshes[0].header, x.meshes[0].header + 3), (std::vector<unsigned>{2, 2, 2}));
  EXPECT_LT(restError(x), 1e-5);
  EXPECT_TRUE(x.animated);

  // Upper turned by 90 degrees of pitch about its base at y = 1: above it, (y - 1, z) turns to (-z, y - 1);
  // at its base the points weigh half for each bone, half moved; below, nothing moves.
  const Converted bent = convert(columnScene(GetParam(), 90), {}, skinColumn(), {false, true});
  ASSERT_EQ(bent.run.exitCode, 0) << bent.run.out;
  const struct {
    double rest[3];
    double x, y, z;
  } expected[] = {{{0.1, 2, 0.1}, 0.1, 0.9, 1.0},       {{-0.1, 2, -0.1}, -0.1, 1.1, 1.0},
                  {{0.1, 1.5, -0.1}, 0.1, 1.1, 0.5},    {{0.1, 1, 0.1}, 0.1, 0.95, 0.05},
                  {{-0.1, 1, -0.1}, -0.1, 1.05, -0.05}, {{0.1, 0, -0.1}, 0.1, 0, -0.1}};
  for (const auto& e : expected) {
    SCOPED_TRACE(testing::Message() << e.rest[0] << " " << e.rest[1] << " " << e.rest[2]);
    const auto s = bent.x.skinned(bent.x.meshes.at(0), vertexAt(bent.x.meshes.at(0), e.rest));
    EXPECT_NEAR(s[0], e.x, 1e-5);
    EXPECT_NEAR(s[1], e.y, 1e-5);
    EXPECT_NEAR(s[2], e.z, 1e-5);
  }
}

INSTANTIATE_TEST_SUITE_P(Versions, Characters, testing::Values(1, 3, 5));

// Characters as engines get them, in text and binary, each loaded by the real readers
// (readers.sh): a rig made as real ones are, and the column on two surfaces, whose seam
// must not tear where the bones bend it.
TEST(CharactersE2E, RigsMadeAsRealOnesAre) {
  const struct {
    const char* label;
    std::string scene;
    Bytes object;
    std::size_t bones;
  } rows[] = {{"27 bones of a null", characterScene(27, 10), riggedCharacter(27), 27},
              {"two surfaces -m", columnScene(5, 0), skinColumn(false, true), 2},
              {"subpatches", columnScene(5, 0), skinColumn(false, false, "PTCH"), 2}};
  for (const auto& row : rows) {
    for (const std::string format : {"-t", "-b"}) {
      SCOPED_TRACE(row.label + format);
      const Converted c = convert(row.scene, {"-m", format}, row.object, {true, true});
      ASSERT_EQ(c.run.exitCode, 0) << c.run.out;
      if (format == "-b") continue;
      ASSERT_FALSE(c.x.meshes.empty()) << c.text;
      EXPECT_EQ(c.x.meshes.front().skins.size(), row.bones);
      EXPECT_LT(restError(c.x), 1e-5);
    }
  }
}

TEST(CharactersE2E, OptionsBinaryAndTheIndependentReader) {
  // -A: the skin at the first frame's pose, no animation; -M: meshes without skin or skin templates;
  // -W 1: one influence a vertex; binary: the skin templates declared, the same objects.
  const Converted still = convert(columnScene(3, 0), {"-A"});
  const Converted meshes = convert(columnScene(3, 0), {"-M"});
  const Converted one = convert(columnScene(3, 0), {"-W", "1"});
  const Converted binary = convert(columnScene(3, 0), {"-b"});
  for (const Converted* c : {&still, &meshes, &one, &binary}) EXPECT_EQ(c->run.exitCode, 0) << c->run.out;
  EXPECT_FALSE(still.x.animated);
  EXPECT_EQ(still.x.meshes.at(0).skins.size(), 2u);
  EXPECT_LT(restError(still.x), 1e-5);
  EXPECT_TRUE(contains(still.text, "  SkinWeights {\n   \"Frame1_Lower\";\n   40;\n   0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,\n   16,")) << still.text;
  EXPECT_FALSE(contains(meshes.text, "SkinWeights"));
  EXPECT_TRUE(meshes.x.frames.empty());
  EXPECT_EQ(one.x.meshes.at(0).header[0], 1u);
  EXPECT_LT(restError(one.x), 1e-5);
  const std::string tokens = xtokens::decode(binary.text, binary.text.find("Material") - 6);
  EXPECT_TRUE(contains(binary.text, "nMaxSkinWeightsPerVertex"));
  EXPECT_TRUE(inOrder(tokens, {"Mesh", "XSkinMeshHeader { I(2,2,2) }", "SkinWeights { \"Frame1_Lower\" ; I(40) I(0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,"}))
      << tokens;
  EXPECT_EQ(testsupport::run(TORVO_EXE, {"-W", "0", "x.lws"}, ".").out, kBanner + "Option -W needs a number of influences from 1 to 65535.\n" + kUsage);

  // The interface's skin_influences and torvo-batch's -W convert as -W does.
  TempDir w;
  testsupport::makeDir(w / "src");
  testsupport::makeDir(w / "api");
  writeFile(w / "src/column.lwo", skinColumn());
  writeFile(w / "src/s.lws", columnScene(3, 0));
  const std::string templateFile = std::string(TORVO_BINARY_DIR) + "/TORVOtpl.x";
  torvo_options o;
  torvo_default_options(&o);
  o.skin_influences = 1;
  o.template_file = templateFile.c_str();
  EXPECT_EQ(torvo_convert((w / "src/s.lws").c_str(), (w / "api/").c_str(), &o, nullptr, nullptr), 0);
  EXPECT_EQ(testsupport::run(TORVO_BATCH_EXE, {"-W1", "src", "batch"}, w.path()).exitCode, 0);
  EXPECT_EQ(readFile(w / "api/s.X"), one.text);
  EXPECT_EQ(readFile(w / "batch/s.X"), one.text);
  // Assimp finds both bones, each weighing the 40 corners of its half; their offsets are pinned by the rest identity above.
  TempDir dir;
  writeFile(dir / "column.lwo", skinColumn());
  writeFile(dir / "s.lws", columnScene(5, 30));
  ASSERT_EQ(torvoCommand({"-b", "s.lws", "out.x"}, dir.path()).exitCode, 0);
  const ReaderView view = readBack(dir / "out.X");
  EXPECT_TRUE(contains(view.text, "influences 0 max 2")) << view.text;
  for (const char* bone : {"Frame1_Lower", "Frame2_Upper"}) EXPECT_TRUE(contains(view.text, std::string("bone 0 ") + bone + " weights 40 offset")) << bone << view.text;

}

TEST(CharactersE2E, RigOnANullSkelegonsAloneAndDamagedBlocks) {
  // A rig without a mesh: bone frames alone, no skin templates.
  BoneBlock hip;
  hip.name = "Hip";
  LaterSceneBuilder rig(3, 0, 0);
  rig.line("AddNullObject Rig").bone(hip, {});
  const Converted null = convert(rig.text());
  ASSERT_EQ(null.x.frames.size(), 2u);
  EXPECT_EQ(null.x.frames[1].name, "Frame1_Hip");
  EXPECT_EQ(null.x.frames[1].parent, 0);
  EXPECT_FALSE(contains(null.text, "SkinWeights"));

  // Skelegons converted alone: a skeleton at rest named by BONE, weighed by BNWT's maps.
  TempDir dir;
  writeFile(dir / "skel.lwo", skinColumn(true));
  ASSERT_EQ(torvoCommand({"skel.lwo", "out.x"}, dir.path()).exitCode, 0);
  const xtokens::Text skel = xtokens::parseText(readFile(dir / "out.X"));
  ASSERT_EQ(skel.frames.size(), 3u);
  EXPECT_EQ(skel.frames[0].name, "Frame0_skel");
  EXPECT_EQ(skel.frames[1].name, "Frame1_Lower");
  EXPECT_EQ(skel.frames[2].parent, 1);
  // The skelegons' own points are used by no face: written in no skinned mesh, they leave no share to the object.
  EXPECT_FALSE(skel.animated);
  EXPECT_EQ(skel.meshes.at(0).skins.size(), 2u);
  EXPECT_LT(restError(skel), 1e-5);
  EXPECT_NEAR(skel.frames[1].m[4], 1.0, 1e-6);  // the bone's up axis is BNUP's "1 0 0"

  // UseBonesFrom: a second column, both objects moved, skinned at rest by the first's bones in its own space.
  BoneBlock lower;
  lower.name = "Lower";
  lower.direction[1] = -90;
  lower.map = " \tLower\t ";  // blanks round a name are no part of it
  lower.mapOnly = 1;
  lower.parent = "ParentItem 10000000";
  BoneBlock upper = lower;
  upper.name = "Upper";
  upper.direction[1] = 0;
  upper.position[2] = 1;
  upper.map = "Upper\r";
  upper.parent = "ParentItem 40000000";
  LaterSceneBuilder shared(5, 0, 0);
  shared.line("LoadObjectLayer 1 10000000 column.lwo").motion("ObjectMotion", {{ckey(0, 1)}});
  shared.bone(lower, {{}, {}, {}, {}, {ckey(0, -1.5707963)}}, "40000000").bone(upper, {{}, {}, {ckey(0, 1)}}, "40010000");
  shared.line("LoadObjectLayer 1 10000001 column.lwo").motion("ObjectMotion", {{ckey(0, 3)}}).line("UseBonesFrom 10000000");
  const Converted both = convert(shared.text());
  ASSERT_EQ(both.x.meshes.size(), 2u) << both.text;
  EXPECT_EQ(both.x.meshes[1].skins.size(), 2u);
  EXPECT_LT(restError(both.x, 1), 1e-5);
  EXPECT_FALSE(contains(both.run.out, "has no weight map")) << both.run.out;
  // Inactive bones deform nothing: an object whose bones are all inactive is written without a skin.
  lower.active = 0;
  upper.active = 0;
  LaterSceneBuilder inactive(5, 0, 0);
  inactive.line("LoadObjectLayer 1 10000000 column.lwo").bone(lower, {}, "40000000").bone(upper, {}, "40010000");
  const Converted still = convert(inactive.text());
  ASSERT_EQ(still.run.exitCode, 0);
  EXPECT_FALSE(contains(still.text, "SkinWeights"));

  // Damaged blocks: bones outside objects, parents naming no bone of theirs, cycles, a missing map, IK.
  BoneBlock a;
  a.name = "A";
  a.parent = "ParentItem 40010000";
  BoneBlock b;
  b.name = "B";
  b.parent = "ParentItem 40000000";
  BoneBlock c;
  c.name = "C";
  c.parent = "ParentItem 20000000";
  c.map = "Nowhere";
  c.more = {"GoalItem 10000000", "HController 1", "PController 0", "BController 2", "BoneJointComp 1"};
  LaterSceneBuilder s(3, 0, 0);
  s.line("AddBone").line("LoadObjectLayer 1 column.lwo").bone(a, {}).bone(b, {}).bone(c, {});
  const Converted damaged = convert(s.text());
  ASSERT_EQ(damaged.run.exitCode, 0) << damaged.run.out;
  for (const char* warning : {"Warning! 1 bones outside any object ignored\n",
                              "Warning! 1 bones name a parent that is no bone of their object: parented to the object\n",
                              "Warning! 1 bone parent cycles broken: their bones parented to the object\n",
                              "Warning! IK of bones ignored (3 settings): bones keep their keyed motion\n",
                              "Warning! joint compensation of bones ignored (1 settings): bones keep their keyed motion\n",
                              "Warning! 0_column has no weight map 'Nowhere': its bones weigh by distance\n"})
    EXPECT_TRUE(contains(damaged.run.out, warning)) << warning << damaged.run.out;
  EXPECT_LT(restError(damaged.x), 1e-5);
}
