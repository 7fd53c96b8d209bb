#include "app/batch.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  torvo::platform::removeTempFilesOnInterrupt();
  return torvo::runTorvoBatch(argc, argv);
}
