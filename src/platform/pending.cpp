#include "platform/pending.h"

#include <atomic>
#include <cstring>

namespace platform::pending {

Slot slots[kSlots];

void remember(const std::string& absolutePath) {
  if (absolutePath.size() >= kPathSize) return;
  for (Slot& slot : slots) {
    if (slot.used != 0) continue;
    std::memcpy(slot.path, absolutePath.c_str(), absolutePath.size() + 1);
    // The path must be complete before a handler can see the slot in use.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    slot.used = 1;
    return;
  }
}

void forget(const std::string& absolutePath) {
  for (Slot& slot : slots) {
    if (slot.used != 0 && absolutePath == slot.path) {
      slot.used = 0;
      std::atomic_signal_fence(std::memory_order_seq_cst);
    }
  }
}

}  // namespace platform::pending
