// Plain Python values straight from an event tape, without a document tree.
#pragma once

#include <Python.h>

#include "schema/schema_handle.hpp"
#include "tape/event_tape.hpp"

namespace velmo::py {

// A new list of the values of every document on the tape, or nullptr. With nullptr, either a Python exception
// is set, or (`*needs_tree` set, no exception) the stream has a mapping key that the tape cannot decide on: two
// keys with the same text (which the tree's key identity tells apart or reports as duplicates) or a key that is
// a collection.
PyObject* tape_documents_to_python(const tape::EventTape& tape, const SchemaHandle& schema, bool* needs_tree);

}  // namespace velmo::py
