// An independent .x reader for the tests: loads a file with assimp's importer (no
// post-processing) and prints what it found, one fact per line, so tests can
// compare it with what torvo meant to write.
//   xread FILE        summary
//   xread -v FILE     also every vertex, normal, texture coordinate and key
#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

bool verbose = false;

void printNode(const aiNode* node, int depth) {
  const aiMatrix4x4& m = node->mTransformation;
  std::printf("node %d %s meshes %u children %u transform", depth, node->mName.C_Str(), node->mNumMeshes,
              node->mNumChildren);
  const float* v = &m.a1;
  for (int i = 0; i < 16; ++i) std::printf(" %.6f", v[i]);
  std::printf("\n");
  for (unsigned i = 0; i < node->mNumMeshes; ++i) std::printf("node-mesh %s %u\n", node->mName.C_Str(), node->mMeshes[i]);
  for (unsigned i = 0; i < node->mNumChildren; ++i) printNode(node->mChildren[i], depth + 1);
}

}  // namespace

int main(int argc, char** argv) {
  int arg = 1;
  if (arg < argc && std::strcmp(argv[arg], "-v") == 0) {
    verbose = true;
    ++arg;
  }
  if (arg >= argc) {
    std::fprintf(stderr, "usage: xread [-v] FILE\n");
    return 2;
  }
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(argv[arg], 0);
  if (scene == nullptr) {
    std::printf("error %s\n", importer.GetErrorString());
    return 1;
  }
  std::printf("materials %u\n", scene->mNumMaterials);
  for (unsigned i = 0; i < scene->mNumMaterials; ++i) {
    const aiMaterial* mat = scene->mMaterials[i];
    aiString name;
    mat->Get(AI_MATKEY_NAME, name);
    aiColor4D diffuse(0, 0, 0, 0);
    aiColor3D specular(0, 0, 0), emissive(0, 0, 0);
    float shininess = 0;
    mat->Get(AI_MATKEY_COLOR_DIFFUSE, diffuse);
    mat->Get(AI_MATKEY_COLOR_SPECULAR, specular);
    mat->Get(AI_MATKEY_COLOR_EMISSIVE, emissive);
    mat->Get(AI_MATKEY_SHININESS, shininess);
    std::printf("material %u %s diffuse %.6f %.6f %.6f %.6f specular %.6f %.6f %.6f emissive %.6f %.6f %.6f power %.6f",
                i, name.C_Str(), diffuse.r, diffuse.g, diffuse.b, diffuse.a, specular.r, specular.g, specular.b,
                emissive.r, emissive.g, emissive.b, shininess);
    aiString texture;
    if (mat->GetTexture(aiTextureType_DIFFUSE, 0, &texture) == AI_SUCCESS) std::printf(" texture %s", texture.C_Str());
    std::printf("\n");
  }
  std::printf("meshes %u\n", scene->mNumMeshes);
  for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
    const aiMesh* mesh = scene->mMeshes[i];
    std::printf("mesh %u %s vertices %u faces %u normals %s uv %s material %u\n", i, mesh->mName.C_Str(),
                mesh->mNumVertices, mesh->mNumFaces, mesh->HasNormals() ? "yes" : "no",
                mesh->HasTextureCoords(0) ? "yes" : "no", mesh->mMaterialIndex);
    if (!verbose) continue;
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
      std::printf("face %u %u", i, f);
      for (unsigned k = 0; k < mesh->mFaces[f].mNumIndices; ++k) std::printf(" %u", mesh->mFaces[f].mIndices[k]);
      std::printf("\n");
    }
    for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
      const aiVector3D& p = mesh->mVertices[v];
      std::printf("vertex %u %u %.6f %.6f %.6f", i, v, p.x, p.y, p.z);
      if (mesh->HasNormals()) {
        const aiVector3D& n = mesh->mNormals[v];
        std::printf(" normal %.6f %.6f %.6f", n.x, n.y, n.z);
      }
      if (mesh->HasTextureCoords(0)) {
        const aiVector3D& t = mesh->mTextureCoords[0][v];
        std::printf(" uv %.6f %.6f", t.x, t.y);
      }
      std::printf("\n");
    }
  }
  if (scene->mRootNode != nullptr) printNode(scene->mRootNode, 0);
  std::printf("animations %u\n", scene->mNumAnimations);
  for (unsigned i = 0; i < scene->mNumAnimations; ++i) {
    const aiAnimation* anim = scene->mAnimations[i];
    std::printf("animation %u %s duration %.6f channels %u\n", i, anim->mName.C_Str(), anim->mDuration,
                anim->mNumChannels);
    for (unsigned c = 0; c < anim->mNumChannels; ++c) {
      const aiNodeAnim* ch = anim->mChannels[c];
      std::printf("channel %s rotation %u scale %u position %u\n", ch->mNodeName.C_Str(), ch->mNumRotationKeys,
                  ch->mNumScalingKeys, ch->mNumPositionKeys);
      if (!verbose) continue;
      for (unsigned k = 0; k < ch->mNumRotationKeys; ++k) {
        const aiQuatKey& q = ch->mRotationKeys[k];
        std::printf("rotation %s %.1f %.6f %.6f %.6f %.6f\n", ch->mNodeName.C_Str(), q.mTime, q.mValue.w, q.mValue.x,
                    q.mValue.y, q.mValue.z);
      }
      for (unsigned k = 0; k < ch->mNumScalingKeys; ++k) {
        const aiVectorKey& s = ch->mScalingKeys[k];
        std::printf("scale %s %.1f %.6f %.6f %.6f\n", ch->mNodeName.C_Str(), s.mTime, s.mValue.x, s.mValue.y, s.mValue.z);
      }
      for (unsigned k = 0; k < ch->mNumPositionKeys; ++k) {
        const aiVectorKey& p = ch->mPositionKeys[k];
        std::printf("position %s %.1f %.6f %.6f %.6f\n", ch->mNodeName.C_Str(), p.mTime, p.mValue.x, p.mValue.y,
                    p.mValue.z);
      }
    }
  }
  return 0;
}
