// Argument conversions shared by every binding. The observable rules: `str` parameters take `str` and its
// subclasses only; boolean parameters take `bool` and NumPy's boolean scalar; unsigned integer parameters such as
// `max_depth` raise OverflowError for a negative value and TypeError for a non-integer. Each failure is a
// TypeError (or OverflowError) naming the parameter.
#pragma once

#include <nanobind/nanobind.h>

#include <cstdint>
#include <string_view>

namespace velmo::py {

// The UTF-8 text of a `str` argument; valid while the argument object lives.
std::string_view to_str(nanobind::handle obj, const char* param);

bool to_bool(nanobind::handle obj, const char* param);

std::uint64_t to_unsigned(nanobind::handle obj, const char* param);

// `obj` when given, else the default.
inline std::string_view str_or(nanobind::handle obj, const char* param, std::string_view fallback) {
  return obj ? to_str(obj, param) : fallback;
}
inline bool bool_or(nanobind::handle obj, const char* param, bool fallback) {
  return obj ? to_bool(obj, param) : fallback;
}
inline std::uint64_t unsigned_or(nanobind::handle obj, const char* param, std::uint64_t fallback) {
  return obj ? to_unsigned(obj, param) : fallback;
}

[[noreturn]] void raise_argument_type(const char* param, const char* expected, nanobind::handle got);

}  // namespace velmo::py
