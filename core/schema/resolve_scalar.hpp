#pragma once

#include <string_view>

#include "schema/resolved.hpp"
#include "schema/schema_handle.hpp"

namespace velmo {

// Meaning of a plain scalar's text under a schema. Never fails: text that the
// schema does not recognise is Str. Called once per plain scalar on every
// load, so the built-in schemas dispatch on the first byte, allocate nothing
// and trim white space in two byte tests for ASCII text.
Resolved resolve_scalar(const SchemaHandle& schema, std::string_view text);

// The core schema alone; also the test behind quoting and float writing.
Resolved resolve_core_scalar(std::string_view text) noexcept;

}  // namespace velmo
