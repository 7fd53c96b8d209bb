#include "app/cli.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/driver.h"
#include "core/options.h"
#include "platform/platform.h"

namespace {

const char kUsage[] =
    "usage: torvo [options] <.lws(or lwo) file> [dest dir]\n"
    "  options\n"
    "    -C<lw.cfg pathname>\n"
    "    -t          Generates text .x(default) \n"
    "    -b          Generates binary .x(for DirectX3 or later)\n"
    "    -T          Wraps into TopFrame\n"
    "    -c          Adds Camera Frame\n"
    "    -l          Adds Light Frames\n"
    "    -m          Does not merge different name materials\n"
    "    -A          Does not write Animations\n"
    "    -N          Does not write Normals\n"
    "    -M          Writes Meshes only\n"
    "    -B          Does not convert texture(original texture filename will be referred)\n"
    "    -F          Flips vertical texture coordinates(for BMP with -B )\n"
    "    -f<prefix> Allows prefix of frame names\n"
    "    -W<n>       Keeps the n strongest bone influences of each vertex\n"
    "    -S<n>       Subdivides patches at level n (0: cages; render: the scene's render level)\n"
    "    -P          Pauses when done\n"
    " e. g.\n"
    "    torvo -Cc:\\NewTek\\lw.cfg test.lws c:\\x\\\n";

// What the command line asks for besides options: a conversion, or only information.
enum class Asked { kConvert, kHelp, kVersion };

}  // namespace

void waitForReturnKey() {
  std::printf("- Hit return key -\n");
  std::fflush(stdout);
  for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar()) {
  }
}

bool parseInfluences(const char* text, unsigned& influences) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > static_cast<long>(kMaxInfluences)) return false;
  influences = static_cast<unsigned>(value);
  return true;
}

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

int runTorvo(int argc, char** argv) {
  std::printf("LWS/LWO to X converter 1.11 (1998-12-04)\n");
  std::printf("torvo (c) 2026 the torvo developers\n");

  ConversionRequest request;
  ConvertOptions& opt = request.options;
  bool bad = false;
  Asked asked = Asked::kConvert;
  int arg = 1;
  for (; arg < argc && argv[arg][0] == '-'; ++arg) {
    // The long forms a Unix user tries first. They end the options; what follows is ignored.
    const std::string_view word = argv[arg];
    if (word == "--help" || word == "--version") {
      asked = word == "--help" ? Asked::kHelp : Asked::kVersion;
      break;
    }
    const char letter = argv[arg][1];
    if (letter == 'C' || letter == 'f' || letter == 'W' || letter == 'S') {
      const char* value = argv[arg] + 2;
      if (*value == '\0') {
        if (arg + 1 >= argc) {
          std::printf("Option -%c needs a value.\n", letter);
          bad = true;
          continue;
        }
        value = argv[++arg];
      }
      if (letter == 'C') {
        request.configPath = value;
        request.haveConfig = true;
      } else if (letter == 'W') {
        if (!parseInfluences(value, opt.skinInfluences)) {
          std::printf("Option -W needs a number of influences from 1 to %u.\n", kMaxInfluences);
          bad = true;
        }
      } else if (letter == 'S') {
        if (!parseSubPatchLevel(value, opt.subPatchLevel)) {
          std::printf("Option -S needs a level from 0 to %d, or render.\n", kMaxSubPatchLevel);
          bad = true;
        }
      } else {
        opt.framePrefix = value;
      }
    } else if (!applyOptionLetter(opt, letter)) {
      // A lone '-' has no letter to show; printing its terminator would put a NUL on the console.
      if (letter == '\0') std::printf("Invalid option: -\n");
      else std::printf("Invalid option: -%c\n", letter);
      bad = true;
    }
  }
  const int positional = argc - arg;
  if (bad || (asked == Asked::kConvert && positional != 1 && positional != 2)) {
    std::printf("%s", kUsage);
    if (opt.pauseWhenDone) waitForReturnKey();
    return 1;
  }
  if (asked != Asked::kConvert) {
    // The banner above is the version; help adds the usage text.
    if (asked == Asked::kHelp) std::printf("%s", kUsage);
    if (opt.pauseWhenDone) waitForReturnKey();
    std::fflush(stdout);
    return 0;
  }
  request.source = argv[arg];
  if (positional == 2) request.destination = argv[arg + 1];
  request.templatePath =
      templateBeside(platform::executablePath(argc > 0 ? argv[0] : nullptr), platform::fileNameCodePage());

  // The console is the command line's message sink.
  MessageSink console;
  console.write = [](void*, const char* text, std::size_t size) { std::fwrite(text, 1, size, stdout); };
  bool converted = false;
  const int result = runConversion(request, console, converted);
  if (converted && opt.pauseWhenDone) waitForReturnKey();
  std::fflush(stdout);
  return result;
}
