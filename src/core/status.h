// What a step that can fail tells its caller. The message, when there is one, has
// already been reported; the caller only decides whether to go on.
#pragma once

#include <cstdint>

namespace torvo {

enum class [[nodiscard]] Status : std::uint8_t {
  kOk,
  kNotThisFormat,  // the input is of another kind: another reader may take it
  kBadInput,       // damaged, unsupported or over a limit
  kMissing,        // a file it needs is not there
  kWriteFailed,    // the output could not be written
  kModelFault,     // a reader left a broken reference: a fault of the code, never of the file
};

constexpr bool ok(Status status) { return status == Status::kOk; }

}  // namespace torvo
