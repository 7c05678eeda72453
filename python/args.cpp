#include "args.hpp"

namespace velmo::py {

std::uint64_t to_unsigned(nanobind::handle obj) {
  PyObject* o = obj.ptr();
  nanobind::object index;
  if (!PyLong_Check(o)) {
    // Integer-like objects (NumPy integers) convert through __index__; floats and the rest raise TypeError.
    index = nanobind::steal(PyNumber_Index(o));
    if (!index.is_valid()) throw nanobind::python_error();
    o = index.ptr();
  }
  unsigned long long v = PyLong_AsUnsignedLongLong(o);
  if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) throw nanobind::python_error();
  return v;
}

}  // namespace velmo::py
