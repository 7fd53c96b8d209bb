#include "platform/pending.h"

#include <cstring>

namespace platform::pending {

Slot slots[kSlots];

void remember(const std::string& absolutePath) {
  if (absolutePath.size() >= kPathSize) return;
  for (Slot& slot : slots) {
    // Claimed (2) before it is filled, so two conversions in two threads never share a slot;
    // the handler deletes only slots marked 1.
    int expected = 0;
    if (!slot.used.compare_exchange_strong(expected, 2, std::memory_order_acquire)) continue;
    std::memcpy(slot.path, absolutePath.c_str(), absolutePath.size() + 1);
    slot.used.store(1, std::memory_order_release);  // the path is complete before the slot shows
    return;
  }
}

void forget(const std::string& absolutePath) {
  for (Slot& slot : slots) {
    if (slot.used.load(std::memory_order_acquire) == 1 && absolutePath == slot.path) {
      slot.used.store(0, std::memory_order_release);
      return;
    }
  }
}

}  // namespace platform::pending
