// Argument conversions shared by every binding, with the observable rules of the module's surface:
// `str` parameters take `str` and its subclasses only (nanobind's own string casters do this);
// boolean parameters take `bool` and NumPy's boolean scalar; unsigned integer parameters such as `max_depth`
// raise OverflowError for a negative value and TypeError for a non-integer.
#pragma once

#include <nanobind/nanobind.h>

#include <cstdint>
#include <cstring>

namespace velmo::py {

// A boolean argument. Converts from `bool` and from NumPy's boolean scalar, nothing else.
struct Bool {
  bool value = false;
  constexpr operator bool() const noexcept { return value; }
};

// An unsigned 64-bit argument converted inside the function body, so that a negative value raises the
// interpreter's OverflowError instead of a generic argument error.
std::uint64_t to_unsigned(nanobind::handle obj);

}  // namespace velmo::py

namespace nanobind::detail {

template <>
struct type_caster<velmo::py::Bool> {
  NB_TYPE_CASTER(velmo::py::Bool, const_name("bool"))

  bool from_python(handle src, uint8_t, cleanup_list*) noexcept {
    PyObject* o = src.ptr();
    if (o == Py_True || o == Py_False) {
      value.value = (o == Py_True);
      return true;
    }
    const char* type_name = Py_TYPE(o)->tp_name;
    if (std::strcmp(type_name, "numpy.bool") == 0 || std::strcmp(type_name, "numpy.bool_") == 0) {
      int truth = PyObject_IsTrue(o);
      if (truth < 0) {
        PyErr_Clear();
        return false;
      }
      value.value = truth != 0;
      return true;
    }
    return false;
  }

  static handle from_cpp(velmo::py::Bool b, rv_policy, cleanup_list*) noexcept {
    return handle(b.value ? Py_True : Py_False).inc_ref();
  }
};

}  // namespace nanobind::detail
