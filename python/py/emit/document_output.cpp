// YamlDocument's output methods.
#include "bindings.hpp"

namespace velmo::py {

void bind_document_output(nanobind::handle) {}

}  // namespace velmo::py
