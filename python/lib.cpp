// Module entry of velmo_yaml: the docstring, the exception classes, then the functions and classes.
#include <nanobind/nanobind.h>

#include "bindings.hpp"
#include "errors.hpp"

NB_MODULE(velmo_yaml, m) {
  m.doc() = "velmo-yaml: high-performance YAML parsing with perfect round-trip support.";
  if (!velmo::py::add_exception_classes(m.ptr())) throw nanobind::python_error();
  velmo::py::bind_yaml_class(m);
  velmo::py::bind_document(m);
  velmo::py::bind_language_functions(m);
  velmo::py::bind_load_functions(m);
  velmo::py::bind_tag_functions(m);
  velmo::py::bind_dump_functions(m);
}
