#include <gtest/gtest.h>

#include <string>

#include "text/unicode.hpp"

namespace velmo::text {
namespace {

TEST(Utf8, Validity) {
  struct Case {
    std::string bytes;
    bool valid;
  };
  const Case cases[] = {
      {"", true},
      {"plain ascii text that is longer than eight bytes", true},
      {"\xC3\xA9", true},                      // é
      {"\xF0\x9F\x98\x80", true},              // U+1F600
      {"\xF4\x8F\xBF\xBF", true},              // U+10FFFF
      {"\xC0\xAF", false},                     // overlong '/'
      {"\xE0\x80\xAF", false},                 // overlong
      {"\xED\xA0\x80", false},                 // surrogate U+D800
      {"\xF4\x90\x80\x80", false},             // above U+10FFFF
      {"\xC3", false},                         // truncated
      {"abcdefgh\xE2\x82", false},             // truncated after an ASCII run
      {"\x80", false},                         // lone continuation
      {std::string("a\0b", 3), true},
  };
  for (const Case& c : cases) EXPECT_EQ(is_valid_utf8(c.bytes), c.valid) << c.bytes.size();
}

TEST(WhiteSpace, Trim) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"  a b \t\n", "a b"},
      {"\xC2\xA0x\xE3\x80\x80", "x"},             // NBSP, IDEOGRAPHIC SPACE
      {"\xE2\x80\xA8\xE2\x80\xAF" "y", "y"},      // LINE SEPARATOR, NARROW NBSP
      {"\xC2\x85z\xE1\x9A\x80", "z"},             // NEL, OGHAM SPACE MARK
      {"\xE2\x80\x8B" "a", "\xE2\x80\x8B" "a"},   // ZERO WIDTH SPACE is not White_Space
      {" \xE2\x81\x9F ", ""},
      {"\xC3\xA9", "\xC3\xA9"},
  };
  for (const Case& c : cases) EXPECT_EQ(trim_white_space(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace velmo::text

namespace velmo::text {
namespace {

TEST(Utf8Error, IndexAndMaximalSubpartLength) {
  struct Case {
    std::string bytes;
    std::size_t index;
    std::size_t length;  // 0: the text ends inside a character
  };
  const Case cases[] = {
      {"\xFF", 0, 1},
      {"ab\xE2\x82", 2, 0},
      {"a\xE2\x28\xA1", 1, 1},
      {"a\xF0\x90\x28\xBC", 1, 2},
      {"\xF0\x90\x80\x28", 0, 3},
      {"\xED\xA0\x80", 0, 1},
      {"\xC0\x80", 0, 1},
      {"ok \xC3", 3, 0},
      {"\xF4\x90\x80\x80", 0, 1},
  };
  for (const Case& c : cases) {
    auto e = find_utf8_error(c.bytes);
    ASSERT_TRUE(e.has_value()) << c.index;
    EXPECT_EQ(e->index, c.index);
    EXPECT_EQ(e->length, c.length);
  }
  EXPECT_FALSE(find_utf8_error("caf\xC3\xA9").has_value());
}

}  // namespace
}  // namespace velmo::text
