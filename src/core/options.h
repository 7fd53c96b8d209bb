// Conversion settings: filled from the command line (or an embedding caller), read-only after.
#pragma once

#include <cstddef>
#include <string>

namespace torvo {

// Fixed field sizes that shape behaviour: a field of N bytes holds N-1 characters.
constexpr std::size_t kPathSize = 1024;          // paths and configuration values
constexpr std::size_t kNameSize = 80;            // .x names, item names, frame prefix
constexpr std::size_t kSceneLineSize = 200;      // one scene file line
constexpr std::size_t kMotionLineSize = 100;     // one motion block line
constexpr std::size_t kTemplatePieceSize = 80;   // one piece of the template file
constexpr std::size_t kTextureNameSize = 256;    // material texture name
constexpr std::size_t kImageNameSize = 1024;     // TIMG image name

// -W keeps at most this many influences (a mesh's bone count is a WORD).
constexpr unsigned kMaxInfluences = 65535;
// -S: the level of subdivision patches. Levels from the scene, or one level for all.
constexpr int kSubPatchDisplay = -1;   // the scene's display level (the default)
constexpr int kSubPatchRender = -2;    // -S render: the scene's render level
constexpr int kMaxSubPatchLevel = 1000;

struct ConvertOptions {
  int binaryOutput = 0;        // -b (1) / -t (0)
  int noNormals = 0;           // -N
  int topFrame = 0;            // -T
  int noAnimation = 0;         // -A, -M
  int meshesOnly = 0;          // -M
  int noMaterialMerge = 0;     // -m
  int keepTextureFiles = 0;    // -B
  int flipTextureV = 0;        // -F
  int textureWrap = 0;         // -u
  int cameraFrame = 0;         // -c
  int lightFrames = 0;         // -l
  int outputBesideSource = 0;  // -s
  int pauseWhenDone = 0;       // -P
  unsigned skinInfluences = 0;  // -W: the strongest bone influences kept per vertex; 0: all
  int subPatchLevel = kSubPatchDisplay;  // -S: kSubPatchDisplay, kSubPatchRender, or a level (0: the cages)
  std::string framePrefix;     // -f, at most kNameSize - 1 characters
};

}  // namespace torvo
