#pragma once

#include <string_view>
#include <variant>

#include "errors/error.hpp"
#include "schema/schema_handle.hpp"

namespace velmo {

// The handle, or for a name that is neither built in nor registered a
// YamlTypeError with the fixed English text "Unsupported schema '...'...".
using SchemaNameResult = std::variant<SchemaHandle, Error>;

// Built-in names first (ASCII case ignored), then the registry of custom
// schemas under the fully lower-cased name.
SchemaNameResult resolve_schema_name(std::string_view name);

}  // namespace velmo
