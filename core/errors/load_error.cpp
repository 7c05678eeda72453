#include "errors/load_error.hpp"

namespace velmo {

Error to_error(const LoadError& e, std::uint64_t max_depth) {
  switch (e.kind) {
    case LoadError::Kind::DuplicateKey:
      return Error::keyed(ErrorClass::YamlDuplicateKeyError, "duplicate-key", {{"key", e.text}});
    case LoadError::Kind::DepthExceeded:
      return Error::keyed(ErrorClass::YamlMaxDepthError, "max-depth-exceeded",
                          {{"max_depth", std::to_string(max_depth)}});
    case LoadError::Kind::Parse:
      break;
  }
  return Error::keyed(ErrorClass::YamlParseError, "yaml-parse-error", {{"detail", e.text}});
}

}  // namespace velmo
