#include "schema/schema_name.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <variant>

namespace velmo {
namespace {

TEST(SchemaName, BuiltinNamesIgnoreAsciiCase) {
  const struct {
    std::string_view name;
    SchemaKind kind;
  } cases[] = {
      {"failsafe", SchemaKind::Failsafe}, {"FailSafe", SchemaKind::Failsafe},
      {"yaml.org,2002:failsafe", SchemaKind::Failsafe}, {"json", SchemaKind::Json},
      {"JSON", SchemaKind::Json},         {"YAML.ORG,2002:JSON", SchemaKind::Json},
      {"core", SchemaKind::Core},         {"CORE", SchemaKind::Core},
      {"yaml.org,2002", SchemaKind::Core}, {"YamlOrg2002", SchemaKind::Core},
      {"yaml1.1", SchemaKind::Yaml11},    {"Yaml1.1", SchemaKind::Yaml11},
      {"1.1", SchemaKind::Yaml11},        {"yaml.org,2002:YAML1.1", SchemaKind::Yaml11},
  };
  for (const auto& c : cases) {
    const SchemaNameResult result = resolve_schema_name(c.name);
    const auto* handle = std::get_if<SchemaHandle>(&result);
    ASSERT_NE(handle, nullptr) << c.name;
    EXPECT_EQ(handle->kind(), c.kind) << c.name;
  }
}

TEST(SchemaName, UnknownNamesFailWithTheFixedText) {
  // Close misses: other spellings, surrounding space, non-ASCII letters that only full case folding would map.
  for (std::string_view name : {"xml", "", "yaml11", "yaml1.2", " core", "core ", "yaml.org,2002:core", "1.2",
                                "C\xC3\x96RE"}) {
    const SchemaNameResult result = resolve_schema_name(name);
    const auto* error = std::get_if<Error>(&result);
    ASSERT_NE(error, nullptr) << name;
    EXPECT_EQ(error->error_class(), ErrorClass::YamlTypeError);
    EXPECT_TRUE(error->is_fixed());
    EXPECT_EQ(error->key(), "Unsupported schema '" + std::string(name) + "'. Supported: core, json, failsafe, yaml1.1");
  }
}

}  // namespace
}  // namespace velmo
