// Temporary files created but not yet committed or removed, kept where an interrupt
// handler can reach them: fixed storage, no allocation, no locks. Internal to the
// platform layer.
#pragma once

#include <csignal>
#include <cstddef>
#include <string>

namespace platform::pending {

// One more than the files a conversion has open at once (the .X file and a texture).
constexpr int kSlots = 8;
constexpr std::size_t kPathSize = 4096;

struct Slot {
  volatile std::sig_atomic_t used;
  char path[kPathSize];
};

extern Slot slots[kSlots];

// Records an absolute path; a path too long for a slot, or no free slot, is not recorded.
void remember(const std::string& absolutePath);
void forget(const std::string& absolutePath);

}  // namespace platform::pending
