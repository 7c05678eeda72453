#include "args.hpp"

#include <cstring>

namespace velmo::py {

void raise_argument_type(const char* param, const char* expected, nanobind::handle got) {
  PyErr_Format(PyExc_TypeError, "argument '%s' must be %s, not %.200s", param, expected, Py_TYPE(got.ptr())->tp_name);
  throw nanobind::python_error();
}

std::string_view to_str(nanobind::handle obj, const char* param) {
  if (!PyUnicode_Check(obj.ptr())) raise_argument_type(param, "str", obj);
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(obj.ptr(), &size);
  if (data == nullptr) throw nanobind::python_error();
  return {data, static_cast<std::size_t>(size)};
}

bool to_bool(nanobind::handle obj, const char* param) {
  PyObject* o = obj.ptr();
  if (o == Py_True) return true;
  if (o == Py_False) return false;
  const char* type_name = Py_TYPE(o)->tp_name;
  if (std::strcmp(type_name, "numpy.bool") == 0 || std::strcmp(type_name, "numpy.bool_") == 0) {
    int truth = PyObject_IsTrue(o);
    if (truth < 0) throw nanobind::python_error();
    return truth != 0;
  }
  raise_argument_type(param, "bool", obj);
}

std::uint64_t to_unsigned(nanobind::handle obj, const char* param) {
  PyObject* o = obj.ptr();
  nanobind::object index;
  if (!PyLong_Check(o)) {
    // Integer-like objects (NumPy integers) convert through __index__; floats and the rest do not.
    if (!PyIndex_Check(o)) raise_argument_type(param, "int", obj);
    index = nanobind::steal(PyNumber_Index(o));
    if (!index.is_valid()) throw nanobind::python_error();
    o = index.ptr();
  }
  unsigned long long v = PyLong_AsUnsignedLongLong(o);
  if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) throw nanobind::python_error();
  return v;
}

}  // namespace velmo::py
