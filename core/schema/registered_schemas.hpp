#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "schema/schema_handle.hpp"

namespace velmo {

// The two questions that schema-name resolution asks of the process-wide
// registry of user-defined schemas. No registry exists yet, so both answer
// "nothing registered"; the registry will answer them under its read lock.

// The handle registered under exactly `lowered_name`, if any.
std::optional<SchemaHandle> find_registered_schema(std::string_view lowered_name);

// Every registered name, in the registry's listing order.
std::vector<std::string> registered_schema_names();

}  // namespace velmo
