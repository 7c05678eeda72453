#include <gtest/gtest.h>

#include "errors/load_error.hpp"
#include "i18n/language.hpp"

namespace velmo {
namespace {

TEST(LoadErrorConversion, ClassAndEnglishText) {
  struct Case {
    LoadError error;
    std::uint64_t max_depth;
    ErrorClass cls;
    const char* text;
  };
  const Case cases[] = {
      {LoadError::duplicate_key("a"), 1000, ErrorClass::YamlDuplicateKeyError, "duplicate key: a"},
      {LoadError::depth_exceeded(), 1000, ErrorClass::YamlMaxDepthError, "Maximum YAML depth exceeded (max=1000)"},
      {LoadError::depth_exceeded(), 5, ErrorClass::YamlMaxDepthError, "Maximum YAML depth exceeded (max=5)"},
      {LoadError::parse("YAML parse error: unexpected eof at char 3 line 1 column 4"), 1000,
       ErrorClass::YamlParseError, "YAML parse error: unexpected eof at char 3 line 1 column 4"},
      // A key holding placeholder syntax is inserted verbatim.
      {LoadError::duplicate_key("%{key}"), 1000, ErrorClass::YamlDuplicateKeyError, "duplicate key: %{key}"},
  };
  for (const Case& c : cases) {
    Error e = to_error(c.error, c.max_depth);
    EXPECT_EQ(e.error_class(), c.cls);
    EXPECT_EQ(e.render(), c.text);
  }
}

TEST(LoadErrorConversion, RenderedInTheLanguageCurrentWhenRendered) {
  Error e = to_error(LoadError::duplicate_key("a"), 1000);
  std::string before = e.render();
  ASSERT_TRUE(i18n::set_language("ja-JP"));
  std::string after = e.render();
  ASSERT_TRUE(i18n::set_language("en"));
  EXPECT_EQ(before, "duplicate key: a");
  EXPECT_EQ(after, "重複したキー：a");
  EXPECT_EQ(to_error(LoadError::parse("x"), 1).render(), "x");
}

TEST(ErrorValue, FixedTextBypassesTheCatalog) {
  Error e = Error::fixed(ErrorClass::YamlTypeError, "duplicate-key");
  EXPECT_TRUE(e.is_fixed());
  EXPECT_EQ(e.render(), "duplicate-key");
}

}  // namespace
}  // namespace velmo
