// The exception for a failed tree serialization.
#pragma once

#include <cstdint>

#include "serializer/serialize_options.hpp"

namespace velmo::py {

// By the error's display text: a depth-limit text raises YamlMaxDepthError ("max-depth-exceeded" with
// `max_depth`), anything else YamlSerializeError ("yaml-serialize-error" with the text as `detail`).
[[noreturn]] void raise_serialize_error(const SerializeError& error, std::uint64_t max_depth);

}  // namespace velmo::py
