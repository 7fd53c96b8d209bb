// Placeholder until this part lands.
#include "app/driver.h"

int convertFile(const std::string&, const std::string&, const char*, const std::string&, std::string&) { return -1; }
