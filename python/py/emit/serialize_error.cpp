#include "py/emit/serialize_error.hpp"

#include <string>

#include "errors.hpp"

namespace velmo::py {

void raise_serialize_error(const SerializeError& error, std::uint64_t max_depth) {
  const std::string text = error.display();
  if (text.find("max depth exceeded") != std::string::npos) {
    raise(Error::keyed(ErrorClass::YamlMaxDepthError, "max-depth-exceeded", {{"max_depth", std::to_string(max_depth)}}));
  }
  raise(Error::keyed(ErrorClass::YamlSerializeError, "yaml-serialize-error", {{"detail", text}}));
}

}  // namespace velmo::py
