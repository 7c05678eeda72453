#include "emit/needs_quotes.hpp"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string_view>

namespace velmo {
namespace {

using Texts = std::initializer_list<std::string_view>;

TEST(NeedsQuotes, TextsThatWouldReadBackAsAnotherType) {
  for (std::string_view text : Texts{"", "~", "null", "NULL", "true", "False", "1", "-7", "+5", "017", "0x1F", "0o17",
                                "1.5", "1e3", ".5", "1.", ".inf", "-.INF", "inf", "nan", "NaN", " 1", "1\n",
                                "\xC2\xA0true", "9223372036854775807"}) {
    EXPECT_TRUE(needs_quotes(text)) << '"' << text << '"';
  }
}

TEST(NeedsQuotes, SpacesAtEitherEndAndUnprintableCharacters) {
  for (std::string_view text : Texts{" ", " a", "a ", "a\tb", "\ta", "a\nb", "a\rb", std::string_view("a\0b", 3), "\x01",
                                "\x1F", "\x7F", "a\xC2\x80", "\xC2\x85x", "x\xC2\x9F", "a\xC2\xA0" "b",
                                "a\xEF\xBB\xBF", "\xEF\xBF\xBE", "x\xEF\xBF\xBFy", "\xF0\x9F\xBF\xBE",
                                "\xF0\x9F\xBF\xBF", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBE"}) {
    EXPECT_TRUE(needs_quotes(text)) << '"' << text << '"';
  }
}

TEST(NeedsQuotes, OrdinaryStringsStayPlain) {
  // Indicators are the plain writer's business; words of other YAML versions and overflowing numbers are strings.
  for (std::string_view text : Texts{"a", "hello world", "yes", "no", "on", "y", "a: b", "#x", "- a", "[a]", "nUll",
                                "+.inf", "1_000", "0b101", "9223372036854775808", "2001-12-14", "h\xC3\xA9llo",
                                "\xE6\x97\xA5\xE6\x9C\xAC", "a\xE2\x80\xA8" "b", "\xC2\xA1", "\xEF\xBF\xBD",
                                "\xF0\x9F\x98\x80", "\xEF\xBF\xBD\xEF\xBF\xBC", "\xF0\x9F\xBF\xBD", "tab\\t"}) {
    EXPECT_FALSE(needs_quotes(text)) << '"' << text << '"';
  }
}

TEST(NeedsQuotes, MalformedUtf8NeverReadsPastTheEnd) {
  for (std::string_view text : Texts{"\xC3", "a\xE2\x80", "\xF0\x9F\x98", "\xFF", "\x80" "abc"}) {
    EXPECT_FALSE(needs_quotes(text)) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace velmo
