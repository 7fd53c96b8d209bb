#include "app/cli.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "app/driver.h"
#include "app/lwcfg.h"
#include "app/options.h"
#include "app/paths.h"
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
    "    -P          Pauses when done\n"
    " e. g.\n"
    "    torvo -Cc:\\NewTek\\lw.cfg test.lws c:\\x\\\n";

// What the command line asks for besides options: a conversion, or only information.
enum class Request { kConvert, kHelp, kVersion };

void pause() {
  std::printf("- Hit return key -\n");
  std::fflush(stdout);
  for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar()) {
  }
}

// Sets the flag of a one-letter option; false when the letter is no option.
bool applyFlag(ConvertOptions& o, char letter) {
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

}  // namespace

int runTorvo(int argc, char** argv) {
  std::printf("LWS/LWO to X converter 1.11 (1998-12-04)\n");
  std::printf("torvo (c) 2026 the torvo developers\n");

  ConvertOptions& opt = options();
  std::string configPath;
  bool haveConfig = false;
  bool bad = false;
  Request request = Request::kConvert;
  int arg = 1;
  for (; arg < argc && argv[arg][0] == '-'; ++arg) {
    // The long forms a Unix user tries first. They end the options; what follows is ignored.
    const std::string_view word = argv[arg];
    if (word == "--help" || word == "--version") {
      request = word == "--help" ? Request::kHelp : Request::kVersion;
      break;
    }
    const char letter = argv[arg][1];
    if (letter == 'C' || letter == 'f') {
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
        configPath = value;
        haveConfig = true;
      } else {
        opt.framePrefix = value;
      }
    } else if (!applyFlag(opt, letter)) {
      // A lone '-' has no letter to show; printing its terminator would put a NUL on the console.
      if (letter == '\0') std::printf("Invalid option: -\n");
      else std::printf("Invalid option: -%c\n", letter);
      bad = true;
    }
  }
  const int positional = argc - arg;
  if (bad || (request == Request::kConvert && positional != 1 && positional != 2)) {
    std::printf("%s", kUsage);
    if (opt.pauseWhenDone) pause();
    return 1;
  }
  if (request != Request::kConvert) {
    // The banner above is the version; help adds the usage text.
    if (request == Request::kHelp) std::printf("%s", kUsage);
    if (opt.pauseWhenDone) pause();
    std::fflush(stdout);
    return 0;
  }
  const std::string sourceArg = argv[arg];
  const char* destinationArg = positional == 2 ? argv[arg + 1] : nullptr;

  // Every path and name must fit the fixed fields the readers and writers are built around.
  if (haveConfig && configPath.size() >= kPathSize) {
    std::printf("The lw.cfg path is too long (at most %zu characters).\n", kPathSize - 1);
    return 1;
  }
  if (opt.framePrefix.size() >= kNameSize) {
    std::printf("The frame name prefix '%s' is too long (at most %zu characters).\n", opt.framePrefix.c_str(),
                kNameSize - 1);
    return 1;
  }
  if (sourceArg.size() >= kPathSize) {
    std::printf("The source path is too long (at most %zu characters).\n", kPathSize - 1);
    return 1;
  }
  if (destinationArg != nullptr && std::string(destinationArg).size() >= kPathSize) {
    std::printf("The destination is too long (at most %zu characters).\n", kPathSize - 1);
    return 1;
  }

  std::string startDirectory;
  if (!platform::getCurrentDirectory(startDirectory) || startDirectory.size() >= kPathSize) {
    std::printf("The current directory cannot be read or is longer than %zu characters.\n", kPathSize - 1);
    return 1;
  }

  if (haveConfig) {
    std::FILE* cfg = platform::openFile(configPath, "r");
    if (cfg == nullptr) {
      std::printf("LightWave CFG '%s' not found!\n", configPath.c_str());
      return 1;
    }
    const int r = readLwConfig(lwConfig(), cfg);
    std::fclose(cfg);
    if (r < 0) {
      std::printf("LightWave CFG '%s' invalid!\n", configPath.c_str());
      return 1;
    }
    std::printf("Content directory: %s\n", lwConfig().contentDirectory.c_str());
  }

  std::string destination;
  const char* outputName = nullptr;
  if (destinationArg != nullptr) {
    destination = destinationArg;
    const std::size_t namePart = fileNamePart(destination);
    if (namePart < destination.size()) {
      if (platform::setCurrentDirectory(destination)) {
        // An existing directory: the output keeps the source's name.
        platform::setCurrentDirectory(startDirectory);
        destination.push_back(platform::nativeSeparator());
      } else {
        outputName = destinationArg + namePart;
      }
    }
    const std::size_t dirEnd = fileNamePart(destination);
    if (dirEnd == 0) {
      destination.clear();
    } else {
      destination.resize(dirEnd);
      destination.push_back('.');
      if (!platform::setCurrentDirectory(destination)) {
        std::printf("can't locate destination directory '%s'.\n", destination.c_str());
        return 1;
      }
      if (!platform::getCurrentDirectory(destination) || destination.size() >= kPathSize) {
        platform::setCurrentDirectory(startDirectory);
        std::printf("The destination directory cannot be read back or is longer than %zu characters.\n",
                    kPathSize - 1);
        return 1;
      }
      opt.outputBesideSource = 0;
    }
  }

  std::printf("Output format: %s", opt.binaryOutput ? "Binary X (DirectX3 or later)\n" : "Ascii X (DirectX2 or later)\n");
  if (opt.flipTextureV) std::printf("Texture Coordinates: Flip Vertically\n");

  const std::string programPath = platform::executablePath(argc > 0 ? argv[0] : nullptr);
  const int result = convertFile(programPath, sourceArg, outputName, startDirectory, destination);

  platform::setCurrentDirectory(startDirectory);
  if (result < 0) std::printf("error occured.\n");
  if (opt.pauseWhenDone) pause();
  std::fflush(stdout);
  return result < 0 ? 1 : 0;
}
