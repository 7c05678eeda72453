// The load driver: YAML text to document trees.
//
// The whole text goes through the event parser in one pass and its events through a TreeBuilder; merge keys are
// resolved afterwards when asked. Errors come back as values, in this order of precedence: a parse failure,
// then the last duplicate key, then a too deep nesting.
#pragma once

#include <cstdint>
#include <string_view>
#include <variant>
#include <vector>

#include "errors/load_error.hpp"
#include "tree/node.hpp"
#include "tree/shared_text.hpp"

namespace velmo::parser {

struct LoadOptions {
  bool resolve_merges = false;
  // Open collections allowed at once: the top-level collection is depth 1; scalars and aliases do not count.
  std::uint64_t max_depth = 1000;
  bool allow_duplicate_keys = false;
};

using LoadOneResult = std::variant<Node, LoadError>;
using LoadAllResult = std::variant<std::vector<Node>, LoadError>;

// The last document's root, or Null for a text without one. Scalars that stand verbatim in `source` share its
// buffer, so the tree keeps it alive.
LoadOneResult load_one(const SharedText& source, const LoadOptions& options);
// One root per document; an empty (white-space only) text gives no roots, a text without any document (only a
// comment) gives one Null.
LoadAllResult load_all(const SharedText& source, const LoadOptions& options);

// The same over a borrowed text: it is copied once into a shared buffer that the tree's texts point into.
LoadOneResult load_one(std::string_view text, const LoadOptions& options);
LoadAllResult load_all(std::string_view text, const LoadOptions& options);

}  // namespace velmo::parser
