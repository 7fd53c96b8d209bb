#include <cstdio>

#include "app/batch.h"
#include "platform/platform.h"

namespace {

// The report as it comes, so that the progress line shows while files convert.
void toStdout(void*, const char* text, std::size_t size) {
  std::fwrite(text, 1, size, stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  torvo::platform::removeTempFilesOnInterrupt();
  torvo::MessageSink console;
  console.write = toStdout;
  return torvo::runTorvoBatch(argc, argv, console, torvo::platform::isTerminal(stdout));
}
