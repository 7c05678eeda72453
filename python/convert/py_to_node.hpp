// Conversion of Python values into document trees, and the value tests it shares with the direct dump.
#pragma once

#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tree/node.hpp"

namespace velmo::py {

// Python values nest at most this deep when written: the top value has depth 0 and each dict value or list item
// is one deeper. It bounds the native recursion of conversion and dumping, so a list that contains itself fails
// with YamlMaxDepthError instead of exhausting the stack.
inline constexpr std::size_t kMaxValueDepth = 1000;

// The tree of `value`: None to Null, dicts to block mappings, lists to block sequences, booleans, integers and
// floats to plain scalars, strings to plain scalars (double-quoted when they would not read back as strings),
// NumPy arrays to nested sequences. Throws nanobind::python_error with the exception set on failure
// (YamlTypeError "unsupported-type", YamlMaxDepthError, a dict changed while read, a str that is not UTF-8).
// `max_depth` above kMaxValueDepth counts as kMaxValueDepth, since the conversion recurses once per level.
// Needs the interpreter lock.
Node py_to_node(PyObject* value, std::size_t max_depth = kMaxValueDepth);

// Value tests, in the sense both writers use. Each leaves no exception set.

// True for `bool` and NumPy's boolean scalar; `out` gets the truth value.
bool as_bool_scalar(PyObject* obj, bool& out);
// An int (or an object with __index__) whose value fits in a signed 64-bit integer.
bool as_int64(PyObject* obj, long long& out);
// Anything the interpreter converts to a float (floats, __float__, integers within float range).
bool as_double(PyObject* obj, double& out);
// The UTF-8 text of a str, valid while `obj` lives. Throws (with the encoding error set) for a lone surrogate.
std::string_view utf8_of(PyObject* str);

// The claim of a registered custom type on an object: the registered name and the text its handler wrote.
struct CustomTypeClaim {
  std::string name;
  std::string text;
};
// The custom type registry, as both writers consult it. Until custom types can be registered none is, so no
// object is ever claimed; both writers already ask at the points where a registered type gets its say.
bool custom_types_registered() noexcept;
std::optional<CustomTypeClaim> claim_by_custom_type(PyObject* obj);
// The name as written in a tag: the registered name without its leading "!" characters.
std::string_view custom_tag_suffix(std::string_view name) noexcept;

// Raises the dump errors shared by both writers.
[[noreturn]] void raise_unsupported_type();
[[noreturn]] void raise_value_too_deep(std::size_t max_depth);

}  // namespace velmo::py
