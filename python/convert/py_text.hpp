// Fast construction of Python str objects from UTF-8 text.
#pragma once

#include <Python.h>
#include <nanobind/nanobind.h>

#include <cstdint>
#include <cstring>
#include <string_view>

namespace velmo::py {

inline bool is_ascii(std::string_view s) noexcept {
  const char* p = s.data();
  std::size_t n = s.size(), i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, p + i, 8);
    if (w & 0x8080808080808080ULL) return false;
  }
  for (; i < n; ++i) {
    if (static_cast<unsigned char>(p[i]) & 0x80) return false;
  }
  return true;
}

// A new str (or nullptr with an exception set). ASCII text, the common case, is copied straight into a
// compact ASCII string without running the UTF-8 decoder.
inline PyObject* make_str(std::string_view s) {
  if (is_ascii(s)) {
    PyObject* o = PyUnicode_New(static_cast<Py_ssize_t>(s.size()), 127);
    if (o != nullptr && !s.empty()) std::memcpy(PyUnicode_DATA(o), s.data(), s.size());
    return o;
  }
  return PyUnicode_DecodeUTF8(s.data(), static_cast<Py_ssize_t>(s.size()), "surrogatepass");
}

// make_str as an owned object; raises the pending exception on failure.
inline nanobind::object str_object(std::string_view s) {
  PyObject* o = make_str(s);
  if (o == nullptr) throw nanobind::python_error();
  return nanobind::steal(o);
}

}  // namespace velmo::py
