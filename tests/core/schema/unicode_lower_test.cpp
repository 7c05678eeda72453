#include "schema/unicode_lower.hpp"

#include <gtest/gtest.h>

#include <string_view>

namespace velmo {
namespace {

TEST(UnicodeLower, FullLowerCaseMapping) {
  const struct {
    std::string_view text;
    std::string_view lower;
  } cases[] = {
      {"", ""},
      {"MyApp-2", "myapp-2"},
      {"\xC3\x80\xC3\x89\xC3\x8E", "\xC3\xA0\xC3\xA9\xC3\xAE"},                        // ÀÉÎ
      {"\xC3\x9F", "\xC3\x9F"},                                                        // ß has no lower case
      {"\xC4\xB0", "i\xCC\x87"},                                                       // İ -> i + U+0307
      {"\xC4\x80\xC4\x81\xC4\x82", "\xC4\x81\xC4\x81\xC4\x83"},                        // ĀāĂ (alternating run)
      {"\xC7\x84\xC7\x85\xC7\x86", "\xC7\x86\xC7\x86\xC7\x86"},                        // Ǆ ǅ ǆ
      {"\xD0\x9F\xD0\xA0\xD0\x98", "\xD0\xBF\xD1\x80\xD0\xB8"},                        // ПРИ
      {"\xE2\x84\xA6\xE2\x84\xAA", "\xCF\x89k"},                                       // Ohm and Kelvin signs
      {"\xE1\xBA\x9E", "\xC3\x9F"},                                                    // ẞ -> ß
      {"\xF0\x90\x90\x80", "\xF0\x90\x90\xA8"},                                        // Deseret U+10400
      {"\xF0\x9E\xA4\x80", "\xF0\x9E\xA4\xA2"},                                        // Adlam U+1E900
      {"\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x97\xA5\xE6\x9C\xAC"},                        // 日本 unchanged
      {"A\xFF" "B\xC3", "a\xFF" "b\xC3"},                                              // malformed bytes kept
      {"\xED\xA0\x80" "A", "\xED\xA0\x80" "a"},                                        // encoded surrogate kept
  };
  for (const auto& c : cases) EXPECT_EQ(to_lower_unicode(c.text), c.lower) << c.text;
}

// A capital sigma becomes the final sigma only after a cased letter and before none, skipping case-ignorable
// characters such as apostrophes, full stops and combining marks.
TEST(UnicodeLower, WordFinalSigma) {
  const struct {
    std::string_view text;
    std::string_view lower;
  } cases[] = {
      {"\xCE\x9F\xCE\x94\xCE\x9F\xCE\xA3", "\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82"},  // ΟΔΟΣ
      {"\xCE\xA3", "\xCF\x83"},                                                    // alone
      {"\xCE\xA3\xCE\x91", "\xCF\x83\xCE\xB1"},                                  // ΣΑ
      {"\xCE\xA3\xCE\xA3", "\xCF\x83\xCF\x82"},                                  // ΣΣ
      {"A\xCE\xA3", "a\xCF\x82"},
      {"A\xCE\xA3" "B", "a\xCF\x83" "b"},
      {"A \xCE\xA3", "a \xCF\x83"},
      {"A'\xCE\xA3", "a'\xCF\x82"},
      {"A\xCE\xA3'", "a\xCF\x82'"},
      {"A\xCE\xA3'B", "a\xCF\x83'b"},
      {"A\xCE\xA3.", "a\xCF\x82."},
      {"A\xCC\x81\xCE\xA3", "a\xCC\x81\xCF\x82"},                                // combining acute before
      {"A\xCE\xA3\xCC\x81", "a\xCF\x82\xCC\x81"},                                // and after
      {"\xFF\xCE\xA3", "\xFF\xCF\x83"},                                            // malformed byte is not cased
  };
  for (const auto& c : cases) EXPECT_EQ(to_lower_unicode(c.text), c.lower) << c.text;
}

TEST(UnicodeLower, SingleCodePoints) {
  EXPECT_EQ(lower_code_point(U'Z'), U'z');
  EXPECT_EQ(lower_code_point(U'z'), U'z');
  EXPECT_EQ(lower_code_point(U'@'), U'@');
  EXPECT_EQ(lower_code_point(0x0100), 0x0101u);
  EXPECT_EQ(lower_code_point(0x0101), 0x0101u);
  EXPECT_EQ(lower_code_point(0x10FFFF), 0x10FFFFu);
}

}  // namespace
}  // namespace velmo
