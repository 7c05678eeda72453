// Conversion of document trees into plain Python values.
#pragma once

#include <Python.h>

#include <cstdint>

#include "schema/schema_handle.hpp"
#include "tree/node.hpp"

namespace velmo::py {

// Aliases may expand to at most max(kMinAliasExpansion, kAliasExpansionPerNode x the nodes of the tree) nodes
// in one conversion; past that the conversion fails. This stops "billion laughs" documents, whose few nodes
// expand exponentially, while documents that reuse anchors normally stay far below the bound.
inline constexpr std::uint64_t kMinAliasExpansion = 1'000'000;
inline constexpr std::uint64_t kAliasExpansionPerNode = 10;

// A new reference to the Python value of `root`, or nullptr with a Python exception set. Plain scalars are
// resolved by `schema`; when `resolve_aliases` is set, aliases expand to fresh copies of their anchored nodes
// (otherwise they convert to None). Needs the interpreter lock.
PyObject* tree_to_python(const Node& root, const SchemaHandle& schema, bool resolve_aliases);

// As above for a node inside a document: aliases expand to the anchored nodes of `anchor_root` (the whole
// document), or convert to None when it is null.
PyObject* tree_to_python(const Node& node, const SchemaHandle& schema, const Node* anchor_root);

}  // namespace velmo::py
