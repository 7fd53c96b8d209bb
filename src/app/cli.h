// The program run: banner, options, destination, one conversion, exit code.
#pragma once

namespace torvo {

// Returns the process exit code (0 or 1).
int runTorvo(int argc, char** argv);

}  // namespace torvo
