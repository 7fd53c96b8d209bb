// An independent .x reader for the tests: loads a file with assimp's importer (no
// post-processing) and prints what it found, one fact per line, so tests can compare
// it with what torvo meant to write. Usage: xread [-v] FILE (-v: every face, vertex and key too).
#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <algorithm>
#include <cstdio>
#include <vector>
#include <cstring>

namespace {

bool verbose = false;

void printNode(const aiNode* node, int depth) {
  std::printf("node %d %s meshes %u children %u transform", depth, node->mName.C_Str(), node->mNumMeshes, node->mNumChildren);
  for (int i = 0; i < 16; ++i) std::printf(" %.6f", (&node->mTransformation.a1)[i]);
  std::printf("\n");
  for (unsigned i = 0; i < node->mNumChildren; ++i) printNode(node->mChildren[i], depth + 1);
}

void printKeys(const char* kind, const char* node, const aiVectorKey* keys, unsigned count) {
  for (unsigned k = 0; verbose && k < count; ++k)
    std::printf("%s %s %.1f %.6f %.6f %.6f\n", kind, node, keys[k].mTime, keys[k].mValue.x, keys[k].mValue.y, keys[k].mValue.z);
}

}  // namespace

int main(int argc, char** argv) {
  verbose = argc > 2 && std::strcmp(argv[1], "-v") == 0;
  if (argc < 2 + verbose) return std::fprintf(stderr, "usage: xread [-v] FILE\n"), 2;
  Assimp::Importer importer; const aiScene* scene = importer.ReadFile(argv[1 + verbose], 0);
  if (scene == nullptr) return std::printf("error %s\n", importer.GetErrorString()), 1;
  for (unsigned i = 0; i < scene->mNumMaterials; ++i) {
    aiString name, texture; aiColor4D d(0, 0, 0, 0); scene->mMaterials[i]->Get(AI_MATKEY_NAME, name);
    scene->mMaterials[i]->Get(AI_MATKEY_COLOR_DIFFUSE, d);
    std::printf("material %u %s diffuse %.6f %.6f %.6f %.6f", i, name.C_Str(), d.r, d.g, d.b, d.a);
    if (scene->mMaterials[i]->GetTexture(aiTextureType_DIFFUSE, 0, &texture) == AI_SUCCESS) std::printf(" texture %s", texture.C_Str());
    std::printf("\n");
  }
  for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
    const aiMesh* mesh = scene->mMeshes[i];
    std::printf("mesh %u %s vertices %u faces %u normals %s uv %s material %u colors %s\n", i, mesh->mName.C_Str(), mesh->mNumVertices, mesh->mNumFaces,
                mesh->HasNormals() ? "yes" : "no", mesh->HasTextureCoords(0) ? "yes" : "no", mesh->mMaterialIndex, mesh->HasVertexColors(0) ? "yes" : "no");
    std::vector<unsigned> influences(mesh->mNumVertices, 0);
    for (unsigned b = 0; b < mesh->mNumBones; ++b) {
      const aiBone* bone = mesh->mBones[b]; std::printf("bone %u %s weights %u offset", i, bone->mName.C_Str(), bone->mNumWeights);
      for (unsigned w = 0; w < bone->mNumWeights; ++w) ++influences[bone->mWeights[w].mVertexId];
      for (int k = 0; k < 16; ++k) std::printf(" %.6f", (&bone->mOffsetMatrix.a1)[k]);
      std::printf("\n");
    }
    if (mesh->mNumBones > 0) std::printf("influences %u max %u\n", i, *std::max_element(influences.begin(), influences.end()));
    for (unsigned f = 0; verbose && f < mesh->mNumFaces; ++f) {
      std::printf("face %u %u", i, f);
      for (unsigned k = 0; k < mesh->mFaces[f].mNumIndices; ++k) std::printf(" %u", mesh->mFaces[f].mIndices[k]);
      std::printf("\n");
    }
    for (unsigned v = 0; verbose && v < mesh->mNumVertices; ++v) {
      const aiVector3D& p = mesh->mVertices[v]; std::printf("vertex %u %u %.6f %.6f %.6f", i, v, p.x, p.y, p.z);
      if (mesh->HasNormals()) std::printf(" normal %.6f %.6f %.6f", mesh->mNormals[v].x, mesh->mNormals[v].y, mesh->mNormals[v].z);
      if (mesh->HasTextureCoords(0)) std::printf(" uv %.6f %.6f", mesh->mTextureCoords[0][v].x, mesh->mTextureCoords[0][v].y);
      if (const aiColor4D* c = mesh->mColors[0]; c != nullptr) std::printf(" color %.6f %.6f %.6f %.6f", c[v].r, c[v].g, c[v].b, c[v].a);
      std::printf("\n");
    }
  }
  if (scene->mRootNode != nullptr) printNode(scene->mRootNode, 0);
  for (unsigned i = 0; i < scene->mNumAnimations; ++i) {
    for (unsigned c = 0; c < scene->mAnimations[i]->mNumChannels; ++c) {
      const aiNodeAnim* ch = scene->mAnimations[i]->mChannels[c]; const char* node = ch->mNodeName.C_Str();
      std::printf("channel %s rotation %u scale %u position %u\n", node, ch->mNumRotationKeys, ch->mNumScalingKeys, ch->mNumPositionKeys);
      for (unsigned k = 0; verbose && k < ch->mNumRotationKeys; ++k) {
        const aiQuatKey& q = ch->mRotationKeys[k];
        std::printf("rotation %s %.1f %.6f %.6f %.6f %.6f\n", node, q.mTime, q.mValue.w, q.mValue.x, q.mValue.y, q.mValue.z);
      }
      printKeys("scale", node, ch->mScalingKeys, ch->mNumScalingKeys); printKeys("position", node, ch->mPositionKeys, ch->mNumPositionKeys);
    }
  }
  return 0;
}
