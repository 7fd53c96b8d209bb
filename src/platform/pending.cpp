#include "platform/pending.h"

#include <cstring>
#include <mutex>

namespace torvo {

namespace platform::pending {

constinit Slot slots[kSlots];

namespace {
// Conversions in several threads record and drop names at once; the interrupt handler
// takes no lock and reads only slots marked 1, whose path is complete.
std::mutex g_records;
}  // namespace

void remember(const std::string& absolutePath) {
  if (absolutePath.size() >= kPathSize) return;
  const std::lock_guard<std::mutex> lock(g_records);
  for (Slot& slot : slots) {
    // Marked 2 while it is filled: the handler deletes only slots marked 1.
    int expected = 0;
    if (!slot.used.compare_exchange_strong(expected, 2, std::memory_order_acquire)) continue;
    std::memcpy(slot.path, absolutePath.c_str(), absolutePath.size() + 1);
    slot.used.store(1, std::memory_order_release);  // the path is complete before the slot shows
    return;
  }
}

void forget(const std::string& absolutePath) {
  const std::lock_guard<std::mutex> lock(g_records);
  for (Slot& slot : slots) {
    if (slot.used.load(std::memory_order_acquire) == 1 && absolutePath == slot.path) {
      slot.used.store(0, std::memory_order_release);
      return;
    }
  }
}

}  // namespace platform::pending

}  // namespace torvo
