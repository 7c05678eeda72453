// Merge keys: a mapping entry `<<: *anchor` (or `<<: [*a, *b]`) is replaced by copies of the entries of the
// anchored mapping(s) that the mapping does not already have.
#pragma once

#include "tree/node.hpp"

namespace velmo::parser {

// True for the key `<<` written plain, with no comment, anchor or tag (quoted "<<" is an ordinary key).
bool is_merge_key(const Node& key) noexcept;

// Rewrites the tree in place; never fails. Sources are copies of the anchored mappings taken before any merge,
// so merges do not chain; merged-in copies carry no source range. Walks with explicit stacks.
void resolve_merges(Node& root);

}  // namespace velmo::parser
