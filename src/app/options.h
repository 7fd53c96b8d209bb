// The command line's options, read alike by torvo and torvo-batch.
#pragma once

#include "app/driver.h"

namespace torvo {

// What the command line asks for besides options: a conversion, or only information.
enum class Asked { kConvert, kHelp, kVersion };

struct CommandLine {
  ConversionRequest request;  // options and lw.cfg; the caller sets source and destination
  unsigned jobs = 0;          // -j (torvo-batch): files at a time; 0: one per core
  Asked asked = Asked::kConvert;
  int operands = 0;           // argv index of the first argument after the options
  bool bad = false;           // an option was refused; its message is printed
};

// torvo-batch takes -j, and has no --version.
constexpr int kMaxJobs = 256;

// Reads the options before the first argument that does not start with '-', printing a
// message for each one refused. "--help" (and for torvo "--version") ends them.
CommandLine parseCommandLine(int argc, char** argv, bool batch);
// -P: waits for the return key.
void waitForReturnKey();

}  // namespace torvo
