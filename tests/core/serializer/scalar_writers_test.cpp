#include "serializer/scalar_writers.hpp"

#include <gtest/gtest.h>

#include <string>

namespace velmo {
namespace {

std::string plain_of(std::string_view text, std::size_t fold = 0, PlainContext context = PlainContext::Block) {
  std::string out;
  write_plain(out, text, fold, context);
  return out;
}

TEST(WritePlain, QuotesOnlyWhatCannotStandPlain) {
  struct Case {
    std::string text;
    std::string written;
  };
  const std::string long_prefix = "a fairly long text that goes past sixteen bytes ";
  const Case cases[] = {
      // Short words and typed texts stay plain, whatever they look like.
      {"abc123", "abc123"},
      {"", ""},
      {"true", "true"},
      {"1.5", "1.5"},
      {".inf", ".inf"},
      {"~", "~"},
      {"-12", "-12"},
      {"yes", "yes"},
      {"7\n\x0b", "7"},
      {" 12 ", " 12 "},
      {"hello world", "hello world"},
      // Indicators, ':' '#' and line feeds call for double quotes.
      {"a: b", "\"a: b\""},
      {"-x", "\"-x\""},
      {"x#y", "\"x#y\""},
      {"key:", "\"key:\""},
      {"two\nlines", "\"two\\nlines\""},
      {"*ref", "\"*ref\""},
      {"&anchor", "\"&anchor\""},
      {"!tag", "\"!tag\""},
      {"[x", "\"[x\""},
      {"`cmd`", "\"`cmd`\""},
      {"\"q\"", "\"\\\"q\\\"\""},
      {"'q'", "\"'q'\""},
      {"%x", "\"%x\""},
      {"@x", "\"@x\""},
      {"|x", "\"|x\""},
      {">x", "\">x\""},
      {"?x", "\"?x\""},
      {"tab\there", "\"tab\\there\""},
      {"nb\xc2\xa0sp", "\"nb\xc2\xa0sp\""},
      {"bom\xef\xbb\xbf", "\"bom\xef\xbb\xbf\""},
      {"c1\xc2\x85", "\"c1\\u0085\""},
      {"nonchar\xef\xbf\xbe", "\"nonchar\\ufffe\""},
      {"nonchar\xf0\x9f\xbf\xbf", "\"nonchar\\U0001ffff\""},
      // A backslash picks single quotes unless a line feed or a non-printable character needs escapes.
      {"C:\\path", "'C:\\path'"},
      {"C:\\it's", "'C:\\it''s'"},
      {"a\\b\nc:", "\"a\\\\b\\nc:\""},
      {"a\\b\x01:", "\"a\\\\b\\u0001:\""},
      {"plain\\back", "plain\\back"},
      // Leading and trailing spaces would be dropped by a reader.
      {" lead", "\" lead\""},
      {"trail ", "\"trail \""},
      {"ogham\xe1\x9a\x80", "\"ogham\xe1\x9a\x80\""},
      {"\xe3\x80\x80ideographic", "\"\xe3\x80\x80ideographic\""},
      // Long texts go through the word-at-a-time scan; the suspect byte comes late.
      {long_prefix + "and then: a colon", "\"" + long_prefix + "and then: a colon\""},
      {long_prefix + "and a # sign", "\"" + long_prefix + "and a # sign\""},
      {long_prefix + "and a bell\x07", "\"" + long_prefix + "and a bell\\u0007\""},
      {long_prefix + "caf\xc3\xa9 ok", long_prefix + "caf\xc3\xa9 ok"},
      {long_prefix + "with, commas [and] {braces}", long_prefix + "with, commas [and] {braces}"},
  };
  for (const Case& c : cases) EXPECT_EQ(plain_of(c.text), c.written) << c.text;
}

TEST(WritePlain, FlowIndicatorsAreQuotedOnlyInFlowContext) {
  const char* texts[] = {"a,b", "a[b", "a]b", "a{b", "a}b", "a fairly long text, with a comma after 16 bytes"};
  for (const char* text : texts) {
    EXPECT_EQ(plain_of(text, 0, PlainContext::Block), text);
    EXPECT_EQ(plain_of(text, 0, PlainContext::Flow), std::string("\"") + text + "\"");
  }
}

TEST(WritePlain, DocumentEndMarkerAtLineStartIsQuoted) {
  EXPECT_EQ(plain_of("... and more"), "\"... and more\"");
  std::string out = "key: ";
  write_plain(out, "... and more", 0);
  EXPECT_EQ(out, "key: ... and more");
}

TEST(WritePlain, FoldsAtSpacesWithContinuationIndentedByTheFirstLine) {
  std::string out = "k: ";
  write_plain(out, "aaaa bbbb cccc dddd eeee", 20);
  EXPECT_EQ(out, "k: aaaa bbbb cccc dddd\n" + std::string(22, ' ') + "eeee");

  EXPECT_EQ(plain_of("aa bb cc dd ee ff gg", 8), "aa bb\n     cc\n     dd\n     ee\n     ff\n     gg");
  // At most W bytes, or no space to break at, or W = 0: one line.
  EXPECT_EQ(plain_of("aa bb cc", 8), "aa bb cc");
  EXPECT_EQ(plain_of("abcdefghijkl mno", 8), "abcdefghijkl mno");
  EXPECT_EQ(plain_of("aa bb cc dd ee ff gg", 0), "aa bb cc dd ee ff gg");
  // A short first piece is continued at indentation 2.
  EXPECT_EQ(plain_of("a bbbbbbbbbbbbbbbbbbbbbbbbbb", 8), "a\n  bbbbbbbbbbbbbbbbbbbbbbbbbb");
}

TEST(WritePlain, NeverFoldsWhereFoldingWouldLoseCharacters) {
  // Two spaces, or a space before an indicator, are not break points: the line stays whole.
  EXPECT_EQ(plain_of("aaaa  bbbb", 6), "aaaa  bbbb");
  EXPECT_EQ(plain_of("aaaa -bbbb", 6), "aaaa -bbbb");
  // A break further left is taken instead.
  EXPECT_EQ(plain_of("aa bb  cc", 7), "aa\n  bb  cc");
  // Widths count bytes, and a width ending inside a character moves back to its start.
  EXPECT_EQ(plain_of("\xc3\xa9\xc3\xa9 \xc3\xa9\xc3\xa9\xc3\xa9", 6), "\xc3\xa9\xc3\xa9\n    \xc3\xa9\xc3\xa9\xc3\xa9");
}

TEST(WriteDoubleQuoted, EscapesAsTabled) {
  struct Case {
    std::string text;
    std::string written;
  };
  const Case cases[] = {
      {"a\tb", R"("a\tb")"},
      {"a/b", R"("a\/b")"},
      {"\x07", R"("\u0007")"},
      {"\xf0\x9f\xbf\xbf", R"("\U0001ffff")"},
      {std::string("\0\b\n\f\r\x1b", 6), R"("\0\b\n\f\r\e")"},
      {"q\"b\\", R"("q\"b\\")"},
      {"\x7f\xc2\x80\xc2\x9f", R"("\u007f\u0080\u009f")"},
      {"\xc2\xa0\xef\xbb\xbf\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", "\"\xc2\xa0\xef\xbb\xbf\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\""},
      {"", R"("")"},
  };
  for (const Case& c : cases) {
    std::string out;
    write_double_quoted(out, c.text);
    EXPECT_EQ(out, c.written);
  }
}

TEST(WriteDoubleQuoted, MalformedUtf8NeverStopsTheWriter) {
  std::string out;
  write_double_quoted(out, "a\xff\xc3");
  EXPECT_EQ(out, "\"a\xff\xc3\"");
}

TEST(WriteSingleQuoted, DoublesQuotesOnly) {
  std::string out;
  write_single_quoted(out, "it's 'x' \\n");
  EXPECT_EQ(out, "'it''s ''x'' \\n'");
}

}  // namespace
}  // namespace velmo
