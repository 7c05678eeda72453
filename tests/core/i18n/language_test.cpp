#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "i18n/language.hpp"
#include "i18n/translate.hpp"

namespace velmo::i18n {
namespace {

TEST(Language, SetLanguageAcceptsOnlyExactCodes) {
  for (const char* bad : {"fr", "EN", "zh-cn", "zh_CN", "ja", "", "en-US", "ko-KR "}) {
    EXPECT_FALSE(set_language(bad)) << bad;
    EXPECT_EQ(process_language(), "en");
    EXPECT_EQ(thread_language(), "en");
  }
  ASSERT_TRUE(set_language("zh-CN"));
  EXPECT_EQ(process_language(), "zh-CN");
  EXPECT_EQ(thread_language(), "zh-CN");
  ASSERT_TRUE(set_language("en"));
}

TEST(Language, ProcessLanguageIsSharedThreadLanguageIsNot) {
  ASSERT_TRUE(set_language("ja-JP"));
  std::string seen_thread, seen_message;
  std::thread other([&] {
    seen_thread = std::string(thread_language());
    seen_message = translate("not-a-sequence");
  });
  other.join();
  EXPECT_EQ(seen_thread, "en");
  EXPECT_EQ(seen_message, "ノードはシーケンスではありません");
  ASSERT_TRUE(set_language("en"));
}

TEST(Language, SupportedLanguagesText) {
  EXPECT_EQ(supported_languages_text(), R"(["en", "zh-CN", "ja-JP", "ko-KR"])");
}

TEST(Negotiate, Cases) {
  struct Case {
    std::vector<std::string_view> candidates;
    std::string_view fallback;
    std::string_view expected;
  };
  const Case cases[] = {
      {{"de", "ja"}, "en", "ja-JP"},
      {{"zh-TW"}, "en", "zh-CN"},
      {{"en-US", "ja-JP"}, "en", "en"},
      {{"ZH"}, "en", "en"},
      {{"zh_CN"}, "ko-KR", "ko-KR"},
      {{}, "fr", "en"},
      {{"", "ja"}, "en", "en"},
      {{"-x", "ja"}, "en", "en"},
      {{"e"}, "ja-JP", "en"},
      {{"k"}, "en", "ko-KR"},
      {{"j-foo"}, "en", "ja-JP"},
      {{"zh-CN"}, "en", "zh-CN"},
      {{"ko-KR"}, "en", "ko-KR"},
      {{"ja-JP"}, "en", "ja-JP"},
      {{"english"}, "ko-KR", "ko-KR"},
      {{"zh-CN-x"}, "en", "zh-CN"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(negotiate(std::span<const std::string_view>(c.candidates), c.fallback), c.expected)
        << (c.candidates.empty() ? std::string("<empty>") : std::string(c.candidates[0]));
  }
}

TEST(DetectLanguage, LocaleValues) {
  struct Case {
    const char* value;
    const char* expected;
  };
  const Case cases[] = {
      {"ja:en", "ja-JP"},
      {"ja_JP.UTF-8", "en"},
      {"de_DE:fr, KO ", "ko-KR"},
      {"\xE2\x80\x83ZH\xE2\x80\x83", "zh-CN"},  // trimmed of Unicode spaces, lower-cased
      {"\xE2\x84\xAAo", "ko-KR"},               // KELVIN SIGN lower-cases to 'k'
      {",,:", "en"},
      {"ZH-CN", "zh-CN"},  // "zh-cn" is not the exact code, but its primary part "zh" matches
  };
  for (const Case& c : cases) EXPECT_EQ(language_from_locale_value(c.value), c.expected) << c.value;
}

}  // namespace
}  // namespace velmo::i18n
