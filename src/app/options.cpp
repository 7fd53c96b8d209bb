#include "app/options.h"

ConvertOptions& options() {
  static ConvertOptions instance;
  return instance;
}
