// Comment events: where they come in the event stream and what they carry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "suite_notation.hpp"

namespace velmo::events::testing {
namespace {

struct CommentCase {
  const char* name;
  const char* yaml;
  std::vector<std::string> events;  // suite notation; "#inline x" / "#line x" for comments
};

std::vector<std::string> events_with_comments(std::string_view yaml) {
  ParserOptions options;
  options.comments = true;
  Transcript t = record_text(yaml, options);
  EXPECT_FALSE(t.error) << t.text();
  return t.lines;
}

const std::vector<CommentCase>& comment_cases() {
  static const std::vector<CommentCase> cases = {
      {"inline after a value",
       "a: 1  # note\n",
       {"+STR", "+DOC", "+MAP", "=VAL :a", "=VAL :1", "#inline  note", "-MAP", "-DOC", "-STR"}},
      {"inline after a sequence item",
       "- x  # c\n- y\n",
       {"+STR", "+DOC", "+SEQ", "=VAL :x", "#inline  c", "=VAL :y", "-SEQ", "-DOC", "-STR"}},
      {"standalone lines between entries",
       "a: 1\n# first\n# second\nb: 2\n",
       {"+STR", "+DOC", "+MAP", "=VAL :a", "=VAL :1", "#line  first", "#line  second", "=VAL :b", "=VAL :2", "-MAP",
        "-DOC", "-STR"}},
      {"standalone line before the first entry",
       "# head\na: 1\n",
       {"+STR", "#line  head", "+DOC", "+MAP", "=VAL :a", "=VAL :1", "-MAP", "-DOC", "-STR"}},
      {"inside a flow sequence",
       "[a,  # c\n b]\n",
       {"+STR", "+DOC", "+SEQ []", "=VAL :a", "#inline  c", "=VAL :b", "-SEQ", "-DOC", "-STR"}},
      {"inside a flow mapping, on its own line",
       "{a: 1,\n # c\n b: 2}\n",
       {"+STR", "+DOC", "+MAP {}", "=VAL :a", "=VAL :1", "#line  c", "=VAL :b", "=VAL :2", "-MAP", "-DOC", "-STR"}},
      {"after key: with a collection on the following lines",
       "key:  # c\n  - x\n",
       {"+STR", "+DOC", "+MAP", "=VAL :key", "#inline  c", "+SEQ", "=VAL :x", "-SEQ", "-MAP", "-DOC", "-STR"}},
      {"after key: with a scalar on the following line",
       "key: # c\n  value\n",
       {"+STR", "+DOC", "+MAP", "=VAL :key", "#inline  c", "=VAL :value", "-MAP", "-DOC", "-STR"}},
      {"'#' alone on a line",
       "a: 1\n#\nb: 2\n",
       {"+STR", "+DOC", "+MAP", "=VAL :a", "=VAL :1", "#line ", "=VAL :b", "=VAL :2", "-MAP", "-DOC", "-STR"}},
      {"between documents",
       "a\n...\n# between\n---\nb\n",
       {"+STR", "+DOC", "=VAL :a", "-DOC ...", "#line  between", "+DOC ---", "=VAL :b", "-DOC", "-STR"}},
      {"on the document start line",
       "--- # doc\na\n",
       {"+STR", "+DOC ---", "#inline  doc", "=VAL :a", "-DOC", "-STR"}},
      {"at the end of the stream",
       "a: 1\n# tail\n#tail2",
       {"+STR", "+DOC", "+MAP", "=VAL :a", "=VAL :1", "#line  tail", "#line tail2", "-MAP", "-DOC", "-STR"}},
      {"only comments",
       "# just a comment\n",
       {"+STR", "#line  just a comment", "-STR"}},
      {"block scalar header and the line after its content",
       "- | # header\n  text # not a comment\n# after\n",
       {"+STR", "+DOC", "+SEQ", "#inline  header", "=VAL |text # not a comment\\n", "#line  after", "-SEQ", "-DOC",
        "-STR"}},
      {"not a comment inside scalars",
       "a: b#c\nq: 'x # y'\n",
       {"+STR", "+DOC", "+MAP", "=VAL :a", "=VAL :b#c", "=VAL :q", "=VAL 'x # y", "-MAP", "-DOC", "-STR"}},
      {"after a multi-line plain scalar",
       "a: one\n  two # c\n",
       {"+STR", "+DOC", "+MAP", "=VAL :a", "=VAL :one two", "#inline  c", "-MAP", "-DOC", "-STR"}},
  };
  return cases;
}

TEST(CommentEvents, Placements) {
  for (const CommentCase& c : comment_cases()) {
    EXPECT_EQ(events_with_comments(c.yaml), c.events) << c.name;
  }
}

TEST(CommentEvents, SameEventsThroughIncrementalInput) {
  ParserOptions options;
  options.comments = true;
  for (const CommentCase& c : comment_cases()) {
    const std::string whole = record_text(c.yaml, options).full();
    for (const std::size_t chunk : {1u, 2u, 3u, 7u}) {
      EXPECT_EQ(record_chunks(c.yaml, chunk, options).full(), whole) << c.name << ", chunks of " << chunk;
    }
  }
}

TEST(CommentEvents, OffByDefaultAndOtherwiseTheSameEvents) {
  for (const CommentCase& c : comment_cases()) {
    std::vector<std::string> without_comments;
    for (const std::string& line : c.events) {
      if (line[0] != '#') without_comments.push_back(line);
    }
    EXPECT_EQ(record_text(c.yaml).lines, without_comments) << c.name;
  }
}

TEST(CommentEvents, MarksSpanTheCommentFromTheHash) {
  ParserOptions options;
  options.comments = true;
  Parser parser("key: v  # n\n", options);
  Event event;
  bool seen = false;
  while (parser.next(event)) {
    if (event.type != EventType::Comment) continue;
    seen = true;
    EXPECT_EQ(event.start.offset, 8u);
    EXPECT_EQ(event.start.line, 1u);
    EXPECT_EQ(event.start.column, 8u);
    EXPECT_EQ(event.end.offset, 11u);
    EXPECT_TRUE(event.inline_comment);
  }
  EXPECT_TRUE(seen);
}

TEST(CommentEvents, CommentsMustBeSeparatedFromTokens) {
  ParserOptions options;
  options.comments = true;
  for (const char* yaml : {"\"a\"#c\n", "[a]#c\n", "- |#c\n  x\n"}) {
    const Transcript t = record_text(yaml, options);
    ASSERT_TRUE(t.error) << yaml;
    EXPECT_EQ(t.error->message, "comments must be separated from other tokens by whitespace") << yaml;
  }
}

}  // namespace
}  // namespace velmo::events::testing
