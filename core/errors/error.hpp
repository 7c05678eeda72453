// The error value that crosses from the core to the module surface. It names the exception class and the message
// (a catalog key with its arguments, or a fixed text); the text is rendered only when the error is raised, in the
// language current at that moment.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmo {

enum class ErrorClass : std::uint8_t {
  // The module's own exception classes.
  YamlParseError,
  YamlSerializeError,
  YamlTagError,
  YamlTagSkip,
  YamlTypeError,
  YamlValidateError,
  YamlEditError,
  YamlPathError,
  YamlMaxDepthError,
  YamlDuplicateKeyError,
  // Built-in exception classes.
  KeyError,
  IndexError,
  ValueError,
  OSError,
  TypeError,
  RuntimeError,
};

class Error {
 public:
  struct Arg {
    std::string name;
    std::string value;
  };

  // A message looked up in the catalog under `key`, with named arguments already formatted as text.
  static Error keyed(ErrorClass cls, std::string_view key,
                     std::initializer_list<std::pair<std::string_view, std::string_view>> args = {});
  // A fixed text that does not go through the catalog.
  static Error fixed(ErrorClass cls, std::string text);

  ErrorClass error_class() const noexcept { return cls_; }
  bool is_fixed() const noexcept { return fixed_; }
  // The catalog key, or the fixed text.
  const std::string& key() const noexcept { return key_; }
  const std::vector<Arg>& args() const noexcept { return args_; }

  // The message in the process language as of now.
  std::string render() const;

 private:
  Error(ErrorClass cls, std::string key, bool fixed) : cls_(cls), fixed_(fixed), key_(std::move(key)) {}

  ErrorClass cls_;
  bool fixed_;
  std::string key_;
  std::vector<Arg> args_;
};

}  // namespace velmo
