// A Python class whose instances hold one C++ value, built directly with the C API. Used where the class needs
// CPython's own construction protocol (`__new__` then an `__init__` taking keyword arguments) so that its
// `__init__` can be one of our fastcall methods with an exact docstring and text signature.
#pragma once

#include <Python.h>
#include <nanobind/nanobind.h>

#include <new>
#include <optional>

namespace velmo::py {

template <class T>
struct NativeInstance {
  PyObject_HEAD
  std::optional<T> value;  // empty until __init__ has run
};

template <class T>
PyObject* native_new(PyTypeObject* type, PyObject*, PyObject*) {
  PyObject* self = type->tp_alloc(type, 0);
  if (self != nullptr) new (&reinterpret_cast<NativeInstance<T>*>(self)->value) std::optional<T>();
  return self;
}

template <class T>
void native_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  reinterpret_cast<NativeInstance<T>*>(self)->value.~optional();
  type->tp_free(self);
  Py_DECREF(type);
}

// A new heap type named `qualified_name` ("velmo_yaml.YAML"); `doc` may start with a text signature.
template <class T>
nanobind::object make_native_type(const char* qualified_name, const char* doc) {
  static PyType_Slot slots[] = {
      {Py_tp_new, reinterpret_cast<void*>(&native_new<T>)},
      {Py_tp_dealloc, reinterpret_cast<void*>(&native_dealloc<T>)},
      {Py_tp_doc, const_cast<char*>(doc)},
      {0, nullptr},
  };
  static PyType_Spec spec{qualified_name, static_cast<int>(sizeof(NativeInstance<T>)), 0, Py_TPFLAGS_DEFAULT, slots};
  PyObject* type = PyType_FromSpec(&spec);
  if (type == nullptr) throw nanobind::python_error();
  return nanobind::steal(type);
}

// The value slot of an instance of a native type (the method descriptor has checked the type).
template <class T>
std::optional<T>& native_slot(nanobind::handle self) {
  return reinterpret_cast<NativeInstance<T>*>(self.ptr())->value;
}

}  // namespace velmo::py
