// Temporary files created but not yet committed or removed, kept where an interrupt
// handler can reach them: fixed storage, no allocation, and no lock the handler needs.
// Internal to the platform layer.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

namespace torvo {

namespace platform::pending {

// A conversion has at most two files open at once (the .X file and a texture); this is
// room for a batch of conversions running side by side.
constexpr int kSlots = 128;
constexpr std::size_t kPathSize = 4096;

// The handler may run on another thread (a Windows console event): `used` is published
// with release and read with acquire, so a slot in use always has its whole path.
// Both members start zeroed, so the table is constant-initialised: its pages stay untouched
// (neither faulted in nor resident) until a temporary file is recorded.
struct Slot {
  std::atomic<int> used{0};
  char path[kPathSize]{};
};
static_assert(std::atomic<int>::is_always_lock_free, "the interrupt handler needs a lock-free flag");

extern Slot slots[kSlots];

// Records an absolute path; a path too long for a slot, or no free slot, is not recorded.
void remember(const std::string& absolutePath);
void forget(const std::string& absolutePath);

}  // namespace platform::pending

}  // namespace torvo
