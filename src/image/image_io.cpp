#include "image/image_io.h"

#include <algorithm>
#include <cstdint>

namespace torvo {

namespace imageio {

namespace {

constexpr std::size_t kReadBlock = std::size_t{1} << 20;

// Bytes left between the stream position and its end, or -1 when the stream
// cannot tell (a pipe); used only as a capacity hint.
long long remainingHint(std::FILE* source) {
  const long here = std::ftell(source);
  if (here < 0) return -1;
  if (std::fseek(source, 0, SEEK_END) != 0) return -1;
  const long end = std::ftell(source);
  if (std::fseek(source, here, SEEK_SET) != 0) return -1;
  if (end < here) return -1;
  return static_cast<long long>(end) - here;
}

}  // namespace

bool readExact(std::FILE* source, std::uint8_t* dst, std::size_t n) {
  return std::fread(dst, 1, n, source) == n;
}

bool readUpTo(std::FILE* source, std::uint64_t limit, Bytes& out) {
  out.clear();
  if (limit > kMaxBufferBytes) limit = kMaxBufferBytes;
  const long long hint = remainingHint(source);
  if (hint > 0) {
    const std::uint64_t want = static_cast<std::uint64_t>(hint) < limit ? static_cast<std::uint64_t>(hint) : limit;
    out.resize(static_cast<std::size_t>(want));
    const std::size_t got = std::fread(out.data(), 1, out.size(), source);
    out.resize(got);
    if (got < want) return std::ferror(source) == 0;
  }
  // The hint may be wrong (or missing): keep reading block by block until the end.
  while (out.size() < limit) {
    const std::uint64_t left = limit - out.size();
    const std::size_t chunk = left < kReadBlock ? static_cast<std::size_t>(left) : kReadBlock;
    const std::size_t old = out.size();
    out.resize(old + chunk);
    const std::size_t got = std::fread(out.data() + old, 1, chunk, source);
    out.resize(old + got);
    if (got < chunk) break;
  }
  return std::ferror(source) == 0;
}

bool openReader(BlockReader& r, std::FILE* source, std::uint64_t limit) {
  r = BlockReader{};
  r.source = source;
  if (limit > kMaxBufferBytes) limit = kMaxBufferBytes;
  const long long hint = remainingHint(source);
  if (hint < 0) {
    if (!readUpTo(source, limit, r.block)) return false;
    r.end = r.block.size();
    return true;
  }
  r.unread = static_cast<std::uint64_t>(hint) < limit ? static_cast<std::uint64_t>(hint) : limit;
  return true;
}

bool refill(BlockReader& r, std::size_t n) {
  if (r.failed) return false;
  const std::size_t kept = r.end - r.pos;
  if (static_cast<std::uint64_t>(n - kept) > r.unread) return false;
  const std::size_t capacity = n > kReadBlock ? n : kReadBlock;
  if (r.block.size() < capacity) r.block.resize(capacity);
  std::copy(r.block.begin() + static_cast<std::ptrdiff_t>(r.pos), r.block.begin() + static_cast<std::ptrdiff_t>(r.end),
            r.block.begin());
  r.pos = 0;
  r.end = kept;
  const std::uint64_t room = capacity - kept;
  const std::size_t want = static_cast<std::size_t>(r.unread < room ? r.unread : room);
  const std::size_t got = std::fread(r.block.data() + kept, 1, want, r.source);
  r.end += got;
  r.unread -= got;
  if (got < want) {
    // The stream held less than it said: nothing more will come.
    r.unread = 0;
    r.failed = true;
  }
  return r.end >= n;
}

Status writePpm(const char* name, std::FILE* destination, long width, long height, const Bytes& rgb) {
  if (std::fprintf(destination, "P6\n# converted by %s\n%ld %ld\n255\n", name != nullptr ? name : "", width,
                   height) < 0)
    return Status::kWriteFailed;
  if (rgb.empty() || std::fwrite(rgb.data(), 1, rgb.size(), destination) != rgb.size()) return Status::kWriteFailed;
  if (std::fflush(destination) != 0 || std::ferror(destination) != 0) return Status::kWriteFailed;
  return Status::kOk;
}

}  // namespace imageio

}  // namespace torvo
