// Registration of the module's functions and classes, one function per source file.
#pragma once

#include <nanobind/nanobind.h>

namespace velmo::py {

void bind_language_functions(nanobind::module_& m);
void bind_document(nanobind::module_& m);
void bind_document_walks(nanobind::handle cls);
void bind_load_functions(nanobind::module_& m);
void bind_yaml_class(nanobind::module_& m);
void bind_tag_functions(nanobind::module_& m);
// Emission: the dump functions, YamlDocument's output methods, and YAML's writers.
void bind_dump_functions(nanobind::module_& m);
void bind_document_output(nanobind::handle cls);
void bind_yaml_writers(nanobind::handle cls);

}  // namespace velmo::py
