#include "schema/schema_name.hpp"

#include <optional>

#include "schema/registered_schemas.hpp"
#include "schema/unicode_lower.hpp"

namespace velmo {
namespace {

bool equals_ignoring_ascii_case(std::string_view a, std::string_view lower) noexcept {
  if (a.size() != lower.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    if (c != lower[i]) return false;
  }
  return true;
}

struct BuiltinName {
  std::string_view name;  // lower case
  SchemaKind kind;
};

constexpr BuiltinName builtin_names[] = {
  {"failsafe", SchemaKind::Failsafe},
  {"yaml.org,2002:failsafe", SchemaKind::Failsafe},
  {"json", SchemaKind::Json},
  {"yaml.org,2002:json", SchemaKind::Json},
  {"core", SchemaKind::Core},
  {"yaml.org,2002", SchemaKind::Core},
  {"yamlorg2002", SchemaKind::Core},
  {"yaml1.1", SchemaKind::Yaml11},
  {"1.1", SchemaKind::Yaml11},
  {"yaml.org,2002:yaml1.1", SchemaKind::Yaml11},
};

SchemaHandle builtin_handle(SchemaKind kind) noexcept {
  switch (kind) {
  case SchemaKind::Failsafe:
    return SchemaHandle::failsafe();
  case SchemaKind::Json:
    return SchemaHandle::json();
  case SchemaKind::Yaml11:
    return SchemaHandle::yaml11();
  case SchemaKind::Core:
  case SchemaKind::Custom:
    break;
  }
  return SchemaHandle::core();
}

std::string unsupported_schema_message(std::string_view name) {
  std::string message = "Unsupported schema '";
  message += name;
  message += "'. Supported: core, json, failsafe, yaml1.1";
  for (const std::string& registered : registered_schema_names()) {
    if (registered == "failsafe" || registered == "yaml1.1" || registered == "core" ||
      registered == "json") {
      continue;
    }
    message += ", '";
    message += registered;
    message += "'";
  }
  return message;
}

// The built-in schema a name denotes, ignoring ASCII case.
std::optional<SchemaHandle> builtin_schema_for_name(std::string_view name) noexcept {
  for (const BuiltinName& entry : builtin_names) {
    if (equals_ignoring_ascii_case(name, entry.name)) return builtin_handle(entry.kind);
  }
  return std::nullopt;
}

}  // namespace

SchemaNameResult resolve_schema_name(std::string_view name) {
  if (auto builtin = builtin_schema_for_name(name)) return *builtin;
  if (auto registered = find_registered_schema(to_lower_unicode(name))) return *registered;
  return Error::fixed(ErrorClass::YamlTypeError, unsupported_schema_message(name));
}

}  // namespace velmo
