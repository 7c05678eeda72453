#include "binding/callable.hpp"

#include <cstring>

namespace velmo::py {
namespace detail {

bool match_arguments(const char* func, std::span<const char* const> names, std::size_t required,
                     PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, nanobind::handle* out) {
  const std::size_t n = names.size();
  const auto positional = static_cast<std::size_t>(PyVectorcall_NARGS(nargs));
  if (positional > n) {
    PyErr_Format(PyExc_TypeError, "%s() takes at most %zu positional argument%s (%zu given)", func, n,
                 n == 1 ? "" : "s", positional);
    return false;
  }
  for (std::size_t i = 0; i < positional; ++i) out[i] = args[i];
  if (kwnames != nullptr) {
    const Py_ssize_t nkw = PyTuple_GET_SIZE(kwnames);
    for (Py_ssize_t k = 0; k < nkw; ++k) {
      PyObject* key = PyTuple_GET_ITEM(kwnames, k);
      const char* kname = PyUnicode_AsUTF8(key);
      if (kname == nullptr) return false;
      std::size_t i = 0;
      while (i < n && std::strcmp(names[i], kname) != 0) ++i;
      if (i == n) {
        PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%s'", func, kname);
        return false;
      }
      if (out[i].ptr() != nullptr) {
        PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'", func, kname);
        return false;
      }
      out[i] = args[positional + static_cast<std::size_t>(k)];
    }
  }
  for (std::size_t i = 0; i < required; ++i) {
    if (out[i].ptr() == nullptr) {
      PyErr_Format(PyExc_TypeError, "%s() missing required argument '%s' (pos %zu)", func, names[i], i + 1);
      return false;
    }
  }
  return true;
}

}  // namespace detail

void add_function(nanobind::module_& m, PyMethodDef& def) {
  nanobind::object name = nanobind::steal(PyModule_GetNameObject(m.ptr()));
  if (!name.is_valid()) throw nanobind::python_error();
  nanobind::object f = nanobind::steal(PyCFunction_NewEx(&def, m.ptr(), name.ptr()));
  if (!f.is_valid()) throw nanobind::python_error();
  if (PyModule_AddObjectRef(m.ptr(), def.ml_name, f.ptr()) < 0) throw nanobind::python_error();
}

void add_method(nanobind::handle cls, PyMethodDef& def) {
  nanobind::object descr =
      nanobind::steal(PyDescr_NewMethod(reinterpret_cast<PyTypeObject*>(cls.ptr()), &def));
  if (!descr.is_valid()) throw nanobind::python_error();
  if (PyObject_SetAttrString(cls.ptr(), def.ml_name, descr.ptr()) < 0) throw nanobind::python_error();
}

}  // namespace velmo::py
