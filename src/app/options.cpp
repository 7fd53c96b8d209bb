#include "app/options.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "core/options.h"

namespace torvo {

namespace {

// -W: a number of influences from 1 to kMaxInfluences.
bool parseInfluences(const char* text, unsigned& influences) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > static_cast<long>(kMaxInfluences)) return false;
  influences = static_cast<unsigned>(value);
  return true;
}

// -S: a level from 0 to kMaxSubPatchLevel, or "render".
bool parseSubPatchLevel(const char* text, int& level) {
  if (std::string_view(text) == "render") {
    level = kSubPatchRender;
    return true;
  }
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 0 || value > kMaxSubPatchLevel) return false;
  level = static_cast<int>(value);
  return true;
}

bool parseJobs(const char* text, unsigned& jobs) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > kMaxJobs) return false;
  jobs = static_cast<unsigned>(value);
  return true;
}

// The flag of a one-letter option; false when the letter is no option.
bool applyOptionLetter(ConvertOptions& o, char letter) {
  switch (letter) {
    case 't': o.binaryOutput = 0; break;
    case 'b': o.binaryOutput = 1; break;
    case 'T': o.topFrame = 1; break;
    case 'c': o.cameraFrame = 1; break;
    case 'l': o.lightFrames = 1; break;
    case 'm': o.noMaterialMerge = 1; break;
    case 'A': o.noAnimation = 1; break;
    case 'N': o.noNormals = 1; break;
    case 'M':
      o.meshesOnly = 1;
      o.noAnimation = 1;
      break;
    case 'B': o.keepTextureFiles = 1; break;
    case 'F': o.flipTextureV = 1; break;
    case 'P': o.pauseWhenDone = 1; break;
    case 's': o.outputBesideSource = 1; break;
    case 'u': o.textureWrap = 1; break;
    default: return false;
  }
  return true;
}

// An option with a value, the value given; false (message printed) when it is refused.
bool applyOptionValue(CommandLine& line, char letter, const char* value) {
  ConvertOptions& opt = line.request.options;
  switch (letter) {
    case 'C':
      line.request.configPath = value;
      line.request.haveConfig = true;
      return true;
    case 'f':
      opt.framePrefix = value;
      return true;
    case 'W':
      if (parseInfluences(value, opt.skinInfluences)) return true;
      std::printf("Option -W needs a number of influences from 1 to %u.\n", kMaxInfluences);
      return false;
    case 'S':
      if (parseSubPatchLevel(value, opt.subPatchLevel)) return true;
      std::printf("Option -S needs a level from 0 to %d, or render.\n", kMaxSubPatchLevel);
      return false;
    default:
      if (parseJobs(value, line.jobs)) return true;
      std::printf("Option -j needs a number of jobs from 1 to %d.\n", kMaxJobs);
      return false;
  }
}

}  // namespace

CommandLine parseCommandLine(int argc, char** argv, bool batch) {
  CommandLine line;
  int arg = 1;
  for (; arg < argc && argv[arg][0] == '-'; ++arg) {
    // The long forms a Unix user tries first. They end the options; what follows is ignored.
    const std::string_view word = argv[arg];
    if (word == "--help" || (!batch && word == "--version")) {
      line.asked = word == "--help" ? Asked::kHelp : Asked::kVersion;
      break;
    }
    const char letter = argv[arg][1];
    const bool takesValue =
        letter == 'C' || letter == 'f' || letter == 'W' || letter == 'S' || (batch && letter == 'j');
    if (takesValue) {
      const char* value = argv[arg] + 2;
      if (*value == '\0') {
        if (arg + 1 >= argc) {
          std::printf("Option -%c needs a value.\n", letter);
          line.bad = true;
          continue;
        }
        value = argv[++arg];
      }
      if (!applyOptionValue(line, letter, value)) line.bad = true;
    } else if (!applyOptionLetter(line.request.options, letter)) {
      // A lone '-' has no letter to show; printing its terminator would put a NUL on the console.
      if (letter == '\0') std::printf("Invalid option: -\n");
      else std::printf("Invalid option: -%c\n", letter);
      line.bad = true;
    }
  }
  line.operands = arg;
  return line;
}

void waitForReturnKey() {
  std::printf("- Hit return key -\n");
  std::fflush(stdout);
  for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar()) {
  }
}

}  // namespace torvo
