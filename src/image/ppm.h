// Texture images (BMP, TGA) converted to binary PPM.
#pragma once

#include <cstdio>

#include "core/status.h"

namespace torvo {

// kBadInput when the input is refused or unreadable (nothing written), kWriteFailed when
// writing the PPM failed.
Status convertBmpToPpm(const char* name, std::FILE* source, std::FILE* destination);
Status convertTgaToPpm(const char* name, std::FILE* source, std::FILE* destination);

}  // namespace torvo
