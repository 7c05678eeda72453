#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "i18n/catalog.hpp"
#include "i18n/language.hpp"
#include "i18n/translate.hpp"

namespace velmo::i18n {
namespace {

// Restores English after each test: the process language is global.
class TranslateTest : public ::testing::Test {
 protected:
  void TearDown() override { set_language("en"); }
};

TEST_F(TranslateTest, RendersEachLanguageWithArguments) {
  struct Case {
    const char* lang;
    const char* expected;
  };
  const Case cases[] = {
      {"en", "Index 5 out of range (len=3)"},
      {"zh-CN", "索引 5 超出范围（长度=3）"},
      {"ja-JP", "インデックス 5 は範囲外です（長さ=3）"},
      {"ko-KR", "인덱스 5(이)가 범위를 벗어났습니다 (길이=3)"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(set_language(c.lang));
    EXPECT_EQ(translate("index-out-of-range", {{"index", "5"}, {"len", "3"}}), c.expected) << c.lang;
  }
}

TEST_F(TranslateTest, EveryKeyExistsInEveryLanguage) {
  const char* keys[] = {"cannot-descend", "cannot-descend-into-scalar", "cannot-rename-complex-key",
                        "cannot-rename-root", "create-needs-mapping", "duplicate-key", "edit-error",
                        "expected-readable", "expected-str-or-bytes", "expected-writable", "file-not-found",
                        "file-read-error", "file-write-error", "index-not-integer", "index-out-of-range",
                        "index-out-of-range-edit", "invalid-utf8", "json-parse-error", "key-not-found",
                        "key-not-string", "max-depth-exceeded", "missing-path", "not-a-sequence",
                        "not-subscriptable", "path-error", "unsupported-language", "unsupported-type",
                        "yaml-parse-error", "yaml-serialize-error"};
  for (std::string_view lang : kSupportedLanguages) {
    for (const char* key : keys) EXPECT_TRUE(catalog_text(lang, key).has_value()) << lang << " " << key;
  }
  EXPECT_FALSE(catalog_text("en", "no-source-to-reparse").has_value());
  EXPECT_FALSE(catalog_text("fr", "duplicate-key").has_value());
}

TEST_F(TranslateTest, MissingKeyRendersAsTheKeyInEveryLanguage) {
  for (std::string_view lang : kSupportedLanguages) {
    ASSERT_TRUE(set_language(lang));
    EXPECT_EQ(translate("no-source-to-reparse"), "no-source-to-reparse");
  }
}

TEST_F(TranslateTest, FallsBackThroughShorterLanguageForms) {
  // "ja-JP-x-foo" -> "ja-JP-x" -> "ja-JP": the trailing "-x" is dropped on the way.
  EXPECT_EQ(translate_in("ja-JP-x-foo", "not-a-sequence"), "ノードはシーケンスではありません");
  EXPECT_EQ(translate_in("zh-CN-extra", "not-a-sequence"), "节点不是序列");
  // No fall-back to English: an unknown language gives the key.
  EXPECT_EQ(translate_in("fr-FR", "not-a-sequence"), "not-a-sequence");
  EXPECT_EQ(translate_in("ja", "not-a-sequence"), "not-a-sequence");
}

TEST(FillPlaceholders, Rules) {
  struct Case {
    const char* text;
    std::vector<MessageArg> args;
    const char* expected;
  };
  const Case cases[] = {
      // No arguments: the text is unchanged, placeholders included.
      {"duplicate key: %{key}", {}, "duplicate key: %{key}"},
      // An unnamed placeholder stays; an unused argument is ignored.
      {"%{a} and %{b}", {{"a", "1"}, {"c", "3"}}, "1 and %{b}"},
      // Inserted values are not scanned again.
      {"%{a}", {{"a", "%{b}"}, {"b", "no"}}, "%{b}"},
      {"%{a}%{a}", {{"a", "x"}}, "xx"},
      // An unclosed placeholder is plain text.
      {"50%{ done", {{"a", "x"}}, "50%{ done"},
      {"%{}", {{"", "empty"}}, "empty"},
  };
  for (const Case& c : cases) EXPECT_EQ(fill_placeholders(c.text, c.args), c.expected) << c.text;
}

}  // namespace
}  // namespace velmo::i18n
