// The program run: banner, options, destination, one conversion, exit code.
#pragma once

#include "core/options.h"

// Returns the process exit code (0 or 1).
int runTorvo(int argc, char** argv);

// Sets the flag of a one-letter option (-b, -T, ...); false when the letter is no option.
bool applyOptionLetter(ConvertOptions& options, char letter);
// -W's value: a number of influences from 1 to kMaxInfluences; false when it is none.
bool parseInfluences(const char* text, unsigned& influences);
// -S: a level from 0 to kMaxSubPatchLevel, or "render".
bool parseSubPatchLevel(const char* text, int& level);
// -P: waits for the return key.
void waitForReturnKey();
