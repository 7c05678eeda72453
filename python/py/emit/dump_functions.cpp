// The module's dump functions.
#include "bindings.hpp"

namespace velmo::py {

void bind_dump_functions(nanobind::module_&) {}

}  // namespace velmo::py
