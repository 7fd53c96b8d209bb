// Seed inputs for each fuzz target, made by the fixture builders.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "lwbuild.h"

namespace fuzz {

using Seed = std::pair<std::string, lwbuild::Bytes>;

// Targets: "lwob", "lwo2", "lwo3", "lwsc", "lwcfg", "tga", "bmp".
std::vector<Seed> seedsFor(const std::string& target);

}  // namespace fuzz
