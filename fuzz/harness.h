// One entry per input format: runs the real code path from the bytes through the
// .x writers (text and binary), in memory or in a private scratch directory.
// Shared by the libFuzzer targets and the corpus replay test. Each returns 0, or 1 when the
// input left an unsound object behind (a fault the targets turn into a crash).
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzz {

int lwobInput(const std::uint8_t* data, std::size_t size);
int lwo2Input(const std::uint8_t* data, std::size_t size);
int lwo3Input(const std::uint8_t* data, std::size_t size);
int lwscInput(const std::uint8_t* data, std::size_t size);
int lwcfgInput(const std::uint8_t* data, std::size_t size);
int tgaInput(const std::uint8_t* data, std::size_t size);
int bmpInput(const std::uint8_t* data, std::size_t size);

}  // namespace fuzz
