// One conversion: find the source, read it as a scene or an object, write the .x file.
#pragma once

#include <string>

// Negative on failure (message printed), 0 on success. destinationDirectory may be
// overwritten when the output goes beside the source (-s).
int convertFile(const std::string& programPath, const std::string& sourceArg, const char* outputName,
                const std::string& startDirectory, std::string& destinationDirectory);
