#include "app/batch.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  platform::removeTempFilesOnInterrupt();
  return runTorvoBatch(argc, argv);
}
