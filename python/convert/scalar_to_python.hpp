// Plain values of scalars and the collector pause shared by the converters to Python.
#pragma once

#include <Python.h>

#include <string_view>

#include "convert/py_text.hpp"
#include "schema/resolve_scalar.hpp"

namespace velmo::py {

// A new reference to the value of a scalar: quoted and block scalars are str; plain ones are resolved by the
// schema. nullptr with an exception set on failure.
inline PyObject* scalar_to_python(bool plain, std::string_view text, const SchemaHandle& schema) {
  if (!plain) return make_str(text);
  Resolved r = resolve_scalar(schema, text);
  switch (r.kind()) {
    case Resolved::Kind::Null:
      Py_RETURN_NONE;
    case Resolved::Kind::Bool:
      return PyBool_FromLong(r.as_bool());
    case Resolved::Kind::Int:
      return PyLong_FromLongLong(r.as_int());
    case Resolved::Kind::Float:
      return PyFloat_FromDouble(r.as_float());
    case Resolved::Kind::Str:
      break;
  }
  return make_str(text);
}

// The objects the converters build form no reference cycles, yet every container allocated counts towards the
// cyclic collector's thresholds: building a large document would run it many times over a graph that only
// grows. It is paused for a conversion and resumed (if it was on) afterwards.
class CollectorPause {
 public:
  CollectorPause() : was_enabled_(PyGC_Disable() != 0) {}
  ~CollectorPause() {
    if (was_enabled_) PyGC_Enable();
  }
  CollectorPause(const CollectorPause&) = delete;
  CollectorPause& operator=(const CollectorPause&) = delete;

 private:
  bool was_enabled_;
};

}  // namespace velmo::py
