// The YAML class's writers.
#include "bindings.hpp"

namespace velmo::py {

void bind_yaml_writers(nanobind::handle) {}

}  // namespace velmo::py
