#include "app/cli.h"

#include <cstdio>

#include "app/driver.h"
#include "app/options.h"
#include "platform/platform.h"

namespace torvo {

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

}  // namespace

int runTorvo(int argc, char** argv) {
  std::printf("LWS/LWO to X converter 1.11 (1998-12-04)\n");
  std::printf("torvo (c) 2026 the torvo developers\n");

  CommandLine line = parseCommandLine(argc, argv, false);
  ConversionRequest& request = line.request;
  const ConvertOptions& opt = request.options;
  const Asked asked = line.asked;
  const int arg = line.operands;
  const int positional = argc - arg;
  if (line.bad || (asked == Asked::kConvert && positional != 1 && positional != 2)) {
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

}  // namespace torvo
