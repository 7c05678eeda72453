// The steps every load entry point shares: input decoding, schema resolution, the load itself with the
// interpreter lock released, and conversion of the result.
#pragma once

#include <nanobind/nanobind.h>

#include <string_view>
#include <vector>

#include "parser/load.hpp"
#include "schema/schema_handle.hpp"
#include "tree/node.hpp"
#include "tree/shared_text.hpp"

namespace velmo::py {

// `parse` input: a str, or a bytes-like object (bytes, bytearray, or a sequence of integers 0..255) holding
// strict UTF-8. Raises YamlParseError for invalid UTF-8 and YamlTypeError for anything else.
SharedText source_from_str_or_bytes(nanobind::handle yaml);

// The whole file at `path` as UTF-8 text; raises OSError ("file-read-error") on failure.
SharedText source_from_file(std::string_view path);

// Raises YamlTypeError with the "Unsupported schema" text for an unknown name.
SchemaHandle schema_from_name(std::string_view name);

// Loads with the interpreter lock released; a failure raises its exception.
Node load_one_released(const SharedText& source, const parser::LoadOptions& options);
std::vector<Node> load_all_released(const SharedText& source, const parser::LoadOptions& options);

// The values of `text` for safe_load (the last document's) or safe_loads (`all_documents`: a list of every
// document's). `run_tag_handlers`: the tag-handler pass applies. The lock is released while the text is parsed.
nanobind::object load_values(std::string_view text, const SchemaHandle& schema, const parser::LoadOptions& options,
                             bool all_documents, bool run_tag_handlers);

// The Python value of a loaded root; aliases are expanded when the text has an anchor at all.
nanobind::object value_of(const Node& root, const SchemaHandle& schema, std::string_view text);

}  // namespace velmo::py
