// Memory about to be filled, made resident in one call instead of by one fault per page as
// it is first written: several times cheaper where page faults are dear (virtual machines).
#pragma once

#include <cstddef>
#include <vector>

namespace torvo {

namespace platform {

// Whole pages inside [data, data + bytes) are made resident; smaller ranges, and systems
// without the call, are left to fault as usual. Only for memory that is filled right after:
// a page made resident counts towards the peak whether it is written or not.
void populatePages(void* data, std::size_t bytes);

// The pages of the next `count` elements of v's reserved room (capacity permitting).
template <typename T>
void populateRoom(std::vector<T>& v, std::size_t count) {
  const std::size_t room = v.capacity() - v.size();
  populatePages(v.data() + v.size(), (count < room ? count : room) * sizeof(T));
}

// Before v grows by `more` elements: each time its end passes a multiple of kPopulateStep
// bytes, the pages of the next step are made resident together. For lists that grow by
// steps of unknown total, at most one step beyond their end.
constexpr std::size_t kPopulateStep = std::size_t{1} << 16;
template <typename T>
void populateGrowth(std::vector<T>& v, std::size_t more) {
  if ((v.size() + more) * sizeof(T) / kPopulateStep != v.size() * sizeof(T) / kPopulateStep)
    populateRoom(v, more + kPopulateStep / sizeof(T));
}

}  // namespace platform

}  // namespace torvo
