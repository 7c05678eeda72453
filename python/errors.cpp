#include "errors.hpp"

#include <nanobind/nanobind.h>

#include <array>

namespace velmo::py {
namespace {

struct ClassSpec {
  const char* name;        // qualified name given to the interpreter
  const char* short_name;  // attribute name in the module
  int base;                // index into this table, or -1 for a built-in base below
  PyObject* builtin_base;
};

constexpr std::size_t kOwnClassCount = 10;

// Order matches the first ten values of ErrorClass; YamlTagSkip derives from YamlTagError (index 2).
std::array<ClassSpec, kOwnClassCount> own_class_specs() {
  return {{
      {"velmo_yaml.YamlParseError", "YamlParseError", -1, PyExc_ValueError},
      {"velmo_yaml.YamlSerializeError", "YamlSerializeError", -1, PyExc_ValueError},
      {"velmo_yaml.YamlTagError", "YamlTagError", -1, PyExc_ValueError},
      {"velmo_yaml.YamlTagSkip", "YamlTagSkip", 2, nullptr},
      {"velmo_yaml.YamlTypeError", "YamlTypeError", -1, PyExc_TypeError},
      {"velmo_yaml.YamlValidateError", "YamlValidateError", -1, PyExc_ValueError},
      {"velmo_yaml.YamlEditError", "YamlEditError", -1, PyExc_ValueError},
      {"velmo_yaml.YamlPathError", "YamlPathError", -1, PyExc_ValueError},
      {"velmo_yaml.YamlMaxDepthError", "YamlMaxDepthError", -1, PyExc_ValueError},
      {"velmo_yaml.YamlDuplicateKeyError", "YamlDuplicateKeyError", -1, PyExc_ValueError},
  }};
}

// Created under the interpreter lock on the first import and kept for the life of the process, so that a
// re-import of the module hands out the same classes.
std::array<PyObject*, kOwnClassCount> g_classes{};

bool create_classes() {
  if (g_classes[0] != nullptr) return true;
  auto specs = own_class_specs();
  std::array<PyObject*, kOwnClassCount> made{};
  for (std::size_t i = 0; i < kOwnClassCount; ++i) {
    PyObject* base = specs[i].base >= 0 ? made[static_cast<std::size_t>(specs[i].base)] : specs[i].builtin_base;
    made[i] = PyErr_NewExceptionWithDoc(specs[i].name, nullptr, base, nullptr);
    if (made[i] == nullptr) {
      for (PyObject* o : made) Py_XDECREF(o);
      return false;
    }
  }
  g_classes = made;
  return true;
}

}  // namespace

bool add_exception_classes(PyObject* module) {
  if (!create_classes()) return false;
  auto specs = own_class_specs();
  for (std::size_t i = 0; i < kOwnClassCount; ++i) {
    if (PyModule_AddObjectRef(module, specs[i].short_name, g_classes[i]) < 0) return false;
  }
  return true;
}

PyObject* exception_class(ErrorClass cls) {
  auto i = static_cast<std::size_t>(cls);
  if (i < kOwnClassCount) return g_classes[i];
  switch (cls) {
    case ErrorClass::KeyError: return PyExc_KeyError;
    case ErrorClass::IndexError: return PyExc_IndexError;
    case ErrorClass::ValueError: return PyExc_ValueError;
    case ErrorClass::OSError: return PyExc_OSError;
    case ErrorClass::TypeError: return PyExc_TypeError;
    default: return PyExc_RuntimeError;
  }
}

void set_pending(const Error& e) {
  std::string text = e.render();
  PyObject* message = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
  if (message == nullptr) return;
  // Build the instance here so that every class, KeyError included, carries exactly the message as its one
  // argument.
  PyObject* exc = PyObject_CallOneArg(exception_class(e.error_class()), message);
  Py_DECREF(message);
  if (exc == nullptr) return;
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(exc)), exc);
  Py_DECREF(exc);
}

void raise(const Error& e) {
  set_pending(e);
  throw nanobind::python_error();
}

void raise(const LoadError& e, std::uint64_t max_depth) { raise(to_error(e, max_depth)); }

}  // namespace velmo::py
