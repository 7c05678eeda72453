// Merge keys: a mapping entry `<<: *anchor` (or `<<: [*a, *b]`) is replaced by copies of the entries of the
// anchored mapping(s) that the mapping does not already have.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tree/node.hpp"

namespace velmo::parser {

// True for the key `<<` written plain, with no comment, anchor or tag (quoted "<<" is an ordinary key).
bool is_merge_key(const Node& key) noexcept;

// Rewrites the tree in place. Sources are copies of the anchored mappings taken before any merge, so merges do
// not chain; merged-in copies carry no source range. Walks with explicit stacks.
//
// Merging copies, so a small text can ask for a huge tree (one large anchored mapping merged into many
// mappings). `max_copied_nodes` bounds the nodes copied in all, anchor table included: when merging would copy
// more, the function returns false and the tree is left partly merged (the caller discards it).
bool resolve_merges(Node& root, std::size_t max_copied_nodes = SIZE_MAX);

// The number of nodes in the tree (keys included), counted up to `limit`: the result is at most limit + 1.
std::size_t count_nodes(const Node& root, std::size_t limit = SIZE_MAX - 1);

}  // namespace velmo::parser
