#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <variant>

#include "serializer/serialize_options.hpp"
#include "tree/node.hpp"

namespace velmo {

// Writes a whole document tree as YAML text. The text always ends with a line feed.
//
// The layout honours each node's stored style, flow form, comment, anchor and tag, and is chosen so that the
// text reads back as the same tree. Recursion follows the tree's nesting, which max_depth bounds.
std::variant<std::string, SerializeError> serialize(const Node& root, const SerializeOptions& options = {});

// As serialize, appending to `out` (whose capacity is reused). On failure `out` is left as it was.
std::optional<SerializeError> serialize_into(std::string& out, const Node& root, const SerializeOptions& options);

// One block-sequence item ("- " form) or one block-mapping entry, at `indentation` and nesting `depth`, with the
// default options; the editing code splices these fragments into kept source text.
std::variant<std::string, SerializeError> render_sequence_item(const Node& item, std::size_t indentation,
                                                               std::size_t depth);
std::variant<std::string, SerializeError> render_mapping_entry(const Node& key, const Node& value,
                                                               std::size_t indentation, std::size_t depth);

}  // namespace velmo
