#include "app/cli.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  // Process-wide, so set here rather than in the library that tests and fuzzers load.
  torvo::platform::removeTempFilesOnInterrupt();
  return torvo::runTorvo(argc, argv);
}
