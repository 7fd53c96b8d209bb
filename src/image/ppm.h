// Texture images (BMP, TGA) converted to binary PPM.
#pragma once

#include <cstdio>

// 1 on success, -1 when the input is refused or unreadable (nothing written),
// -2 when writing the PPM failed.
int convertBmpToPpm(const char* name, std::FILE* source, std::FILE* destination);
int convertTgaToPpm(const char* name, std::FILE* source, std::FILE* destination);
