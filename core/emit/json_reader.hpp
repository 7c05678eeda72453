// JSON text to a document tree, for converting JSON to YAML.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>

#include "tree/node.hpp"

namespace velmo {

struct JsonError {
  // The reader's description, then " at line L column C" when the failure has a position, e.g.
  // "trailing characters at line 1 column 5". Lines and columns count from 1; columns in bytes.
  std::string message;
};

// Nesting deeper than this fails with "recursion limit exceeded".
inline constexpr std::size_t kJsonMaxNesting = 128;

// Reads exactly one JSON value followed only by white space (space, tab, line feed, carriage return).
//
// The tree holds block collections and Clip scalars without metadata: null is Null; true, false and numbers
// are Plain scalars (integers in decimal, other numbers and integers beyond the signed 64-bit range as the
// shortest positional decimal of the double, with no ".0" added); strings and keys are DoubleQuoted when the
// text would not read back as a string plain, else Plain. Object members are ordered by key bytes, and a key
// that repeats keeps its last value. Parsing does not recurse, whatever the input's nesting.
std::variant<Node, JsonError> read_json(std::string_view text);

}  // namespace velmo
