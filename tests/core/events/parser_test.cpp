// Event parser behaviour beyond the test suite's notation: marks, anchors,
// tags, chomping, decoding, errors and the push helper.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "suite_notation.hpp"

namespace velmo::events::testing {
namespace {

std::vector<Event> scalars_of(std::string_view yaml, std::vector<std::string>* values = nullptr) {
  std::vector<Event> out;
  Parser parser(yaml);
  Event event;
  while (parser.next(event)) {
    if (event.type != EventType::Scalar) continue;
    out.push_back(event);
    if (values != nullptr) values->emplace_back(event.value);
  }
  EXPECT_EQ(parser.error(), nullptr) << yaml << ": " << parser.error()->description();
  return out;
}

Event first_of(std::string_view yaml, EventType type) {
  Parser parser(yaml);
  Event event;
  while (parser.next(event)) {
    if (event.type == type) return event;
  }
  ADD_FAILURE() << "no such event in " << yaml;
  return {};
}

ParseError error_of(std::string_view yaml) {
  Parser parser(yaml);
  Event event;
  while (parser.next(event)) {
  }
  if (parser.error() == nullptr) {
    ADD_FAILURE() << "no error for " << yaml;
    return {};
  }
  return *parser.error();
}

TEST(ParserMarks, LineColumnIndexAndOffset) {
  const std::vector<Event> s = scalars_of("a: 1\nbb: [x, y]\n");
  ASSERT_EQ(s.size(), 5u);
  EXPECT_EQ(s[0].start, (Mark{0, 0, 1, 0}));
  EXPECT_EQ(s[0].end, (Mark{1, 1, 1, 1}));
  EXPECT_EQ(s[1].start, (Mark{3, 3, 1, 3}));
  EXPECT_EQ(s[2].start, (Mark{5, 5, 2, 0}));
  EXPECT_EQ(s[3].start, (Mark{10, 10, 2, 5}));
  EXPECT_EQ(s[4].start, (Mark{13, 13, 2, 8}));
}

TEST(ParserMarks, CharactersAreCountedNotBytes) {
  const std::vector<Event> t = scalars_of("é: x\nü: \xF0\x9F\x98\x80 y\n");
  ASSERT_EQ(t.size(), 4u);
  EXPECT_EQ(t[1].start, (Mark{4, 3, 1, 3}));
  // line 2 starts at byte 6, character 5; "ü" is two bytes, the emoji four
  EXPECT_EQ(t[3].start, (Mark{10, 8, 2, 3}));
  EXPECT_EQ(t[3].end, (Mark{16, 11, 2, 6}));
}

TEST(ParserMarks, CharacterIndexAcrossLongRunsOfMixedText) {
  // Runs long enough for the 16-byte scans, with multi-byte characters before, inside and just after the
  // point where a run stops (a high byte after the stop must not be counted with the run).
  const char* const texts[] = {
      "abcdefghijklmnopqrstuvwxyz\xC3\xA9: v\nnext: w\n",
      "\xC3\xA9" "abcdefghijklmnopqrstuvwxyz: v\nnext: w\n",
      "abcdefghij: \xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\nnext: w\n",
      "abc: x\xC3\xA9 \xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80 tail words here\nnext: w\n",
      "[abcdefghijklmnopqrst, \xC3\xA9\xC3\xA9, uvwxyzabcdefghij\xC3\xA9]\n",
  };
  for (const char* text : texts) {
    const std::string_view view(text);
    for (const Event& e : scalars_of(view)) {
      std::size_t chars = 0;
      for (std::size_t i = 0; i < e.start.offset; ++i) chars += (static_cast<unsigned char>(view[i]) & 0xC0) != 0x80;
      EXPECT_EQ(e.start.index, chars) << text << " at byte " << e.start.offset;
      std::size_t end_chars = 0;
      for (std::size_t i = 0; i < e.end.offset; ++i) end_chars += (static_cast<unsigned char>(view[i]) & 0xC0) != 0x80;
      EXPECT_EQ(e.end.index, end_chars) << text << " at byte " << e.end.offset;
    }
  }
}

TEST(ParserMarks, FlowCollectionStartsAtItsBracket) {
  const Event seq = first_of("key: &a !!seq [1]\n", EventType::SequenceStart);
  EXPECT_TRUE(seq.flow);
  EXPECT_EQ(seq.start.offset, 14u);
  EXPECT_EQ(seq.anchor, 1u);
  EXPECT_EQ(seq.anchor_name, "a");
  const Event map = first_of("- {a: 1}\n", EventType::MappingStart);
  EXPECT_TRUE(map.flow);
  EXPECT_EQ(map.start.offset, 2u);
  const Event block = first_of("x:\n  - 1\n", EventType::SequenceStart);
  EXPECT_FALSE(block.flow);
}

TEST(ParserEvents, DocumentMarkersAreReported) {
  Parser parser("a\n--- b\n...\n");
  std::vector<std::pair<EventType, bool>> docs;
  Event event;
  while (parser.next(event)) {
    if (event.type == EventType::DocumentStart || event.type == EventType::DocumentEnd) {
      docs.emplace_back(event.type, event.implicit);
    }
  }
  const std::vector<std::pair<EventType, bool>> expected = {{EventType::DocumentStart, true},
                                                            {EventType::DocumentEnd, true},
                                                            {EventType::DocumentStart, false},
                                                            {EventType::DocumentEnd, false}};
  EXPECT_EQ(docs, expected);
}

TEST(ParserAnchors, NumberedInOrderOfAppearance) {
  Parser parser("- &a x\n- &b [y]\n- *a\n- &a z\n- *a\n- *b\n");
  std::vector<std::pair<std::uint32_t, std::string>> seen;
  Event event;
  while (parser.next(event)) {
    if (event.anchor != 0) seen.emplace_back(event.anchor, std::string(event.anchor_name));
  }
  ASSERT_EQ(parser.error(), nullptr);
  const std::vector<std::pair<std::uint32_t, std::string>> expected = {
      {1, "a"}, {2, "b"}, {1, "a"}, {3, "a"}, {3, "a"}, {2, "b"}};
  EXPECT_EQ(seen, expected);
}

TEST(ParserAnchors, AliasToUnknownAnchorFails) {
  const ParseError error = error_of("a: *nope\n");
  EXPECT_EQ(error.message, "while parsing node, found unknown anchor");
  EXPECT_EQ(error.mark.column, 3u);
}

TEST(ParserAnchors, AnchorsDoNotReachLaterDocuments) {
  // Explicit and implicit document ends both close the anchors' scope.
  for (const char* yaml : {"a: &x 1\n---\nb: *x\n", "a: &x 1\n...\n---\nb: *x\n", "--- &x a\n--- *x\n"}) {
    const ParseError error = error_of(yaml);
    EXPECT_EQ(error.message, "while parsing node, found unknown anchor") << yaml;
  }
  // Within a document an anchor defined again in a later document is found as usual.
  Parser parser("a: &x 1\n---\nb: &x 2\nc: *x\n");
  Event event;
  while (parser.next(event)) {
  }
  EXPECT_EQ(parser.error(), nullptr);
}

TEST(ParserTags, ResolvedToPrefixAndSuffix) {
  struct Case {
    const char* yaml;
    const char* prefix;
    const char* suffix;
  };
  const Case cases[] = {
      {"!!str 5", "tag:yaml.org,2002:", "str"},
      {"!local 5", "!", "local"},
      {"! 5", "!", ""},
      {"!<tag:x.org,2000:y> 5", "", "tag:x.org,2000:y"},
      {"%TAG !e! tag:e.com,2000:app/\n--- !e!foo%21 5", "tag:e.com,2000:app/", "foo!"},
      {"%TAG ! tag:local.org/\n--- !bar 5", "tag:local.org/", "bar"},
      {"%TAG !! tag:other/\n--- !!int 5", "tag:other/", "int"},
  };
  for (const Case& c : cases) {
    Parser parser(c.yaml);
    Event e;
    while (parser.next(e) && e.type != EventType::Scalar) {
    }
    ASSERT_EQ(e.type, EventType::Scalar) << c.yaml;
    EXPECT_TRUE(e.has_tag) << c.yaml;
    EXPECT_EQ(e.tag_prefix, c.prefix) << c.yaml;
    EXPECT_EQ(e.tag_suffix, c.suffix) << c.yaml;
  }
  EXPECT_FALSE(first_of("5", EventType::Scalar).has_tag);
}

TEST(ParserTags, DirectivesApplyToTheirDocumentOnly) {
  EXPECT_EQ(error_of("%TAG !e! tag:e.com/\n--- !e!a 1\n...\n--- !e!b 2\n").message, "the handle wasn't declared");
  EXPECT_EQ(error_of("%TAG !e! a:\n%TAG !e! b:\n--- x\n").message,
            "the TAG directive must only be given at most once per handle in the same document");
}

TEST(ParserDirectives, YamlVersion) {
  EXPECT_EQ(scalars_of("%YAML 1.1\n--- x\n").size(), 1u);
  EXPECT_EQ(scalars_of("%YAML 1.3\n--- x\n").size(), 1u);
  EXPECT_EQ(error_of("%YAML 2.0\n--- x\n").message, "unsupported YAML major version");
  EXPECT_EQ(error_of("%YAML 1.2\n%YAML 1.2\n--- x\n").message, "duplicate version directive");
  // A "%" line inside a top-level plain scalar is content, not a directive.
  std::vector<std::string> values;
  scalars_of("a\n%YAML 1.2\n", &values);
  EXPECT_EQ(values, std::vector<std::string>{"a %YAML 1.2"});
}

TEST(ParserScalars, ChompingIndicatorAsWritten) {
  struct Case {
    const char* yaml;
    Chomping chomping;
    const char* value;
  };
  const Case cases[] = {
      {"|-\n a\n\n", Chomping::Strip, "a"},
      {"|\n a\n\n", Chomping::Clip, "a\n"},
      {">+\n a\n b\n\n", Chomping::Keep, "a b\n\n"},
      {"|2-\n   a\n", Chomping::Strip, " a"},
      {"|+2\n   a\n", Chomping::Keep, " a\n"},
      {"- >1-\n  a\n", Chomping::Strip, " a"},
      {"plain", Chomping::Clip, "plain"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> values;
    const std::vector<Event> s = scalars_of(c.yaml, &values);
    ASSERT_EQ(s.size(), 1u) << c.yaml;
    EXPECT_EQ(s[0].chomping, c.chomping) << c.yaml;
    EXPECT_EQ(values[0], c.value) << c.yaml;
  }
}

TEST(ParserScalars, FullyDecoded) {
  struct Case {
    const char* yaml;
    ScalarStyle style;
    std::string value;
  };
  const Case cases[] = {
      {R"("a\x41b")", ScalarStyle::DoubleQuoted, "aAb"},
      {R"("a\\nb")", ScalarStyle::DoubleQuoted, "a\\nb"},
      {R"("tab\there\u00e9\U0001F600\ud83d\ude00")", ScalarStyle::DoubleQuoted,
       "tab\there\xC3\xA9\xF0\x9F\x98\x80\xF0\x9F\x98\x80"},
      {R"("\0\a\b\v\f\r\e\ \"\/\N\_\L\P")", ScalarStyle::DoubleQuoted,
       std::string("\0\a\b\v\f\r\x1B \"/\xC2\x85\xC2\xA0\xE2\x80\xA8\xE2\x80\xA9", 20)},
      {"\"folded\n  line\n\n  para \\\n  joined\"", ScalarStyle::DoubleQuoted, "folded line\npara joined"},
      {"'it''s'", ScalarStyle::SingleQuoted, "it's"},
      {"'a\\tb'", ScalarStyle::SingleQuoted, "a\\tb"},
      {"'one\n  two  \n\n  three'", ScalarStyle::SingleQuoted, "one two\nthree"},
      {"plain\n  words\n\n  here", ScalarStyle::Plain, "plain words\nhere"},
      {">\n folded\n text\n\n  kept\n next\n", ScalarStyle::Folded, "folded text\n\n kept\nnext\n"},
      {"|\n literal\n  text\n", ScalarStyle::Literal, "literal\n text\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> values;
    const std::vector<Event> s = scalars_of(c.yaml, &values);
    ASSERT_EQ(s.size(), 1u) << c.yaml;
    EXPECT_EQ(s[0].style, c.style) << c.yaml;
    EXPECT_EQ(values[0], c.value) << c.yaml;
  }
}

TEST(ParserScalars, VerbatimValuesAreViewsIntoTheInput) {
  const std::string text = "key: some words\nq: 'single quoted'\nd: \"no escapes\"\nl: |\n  one line\ne: \"esc\\n\"\n";
  auto inside = [&](std::string_view v) {
    return v.data() >= text.data() && v.data() + v.size() <= text.data() + text.size();
  };
  std::vector<bool> views;
  Parser parser(text);
  Event event;
  while (parser.next(event)) {
    if (event.type == EventType::Scalar) views.push_back(inside(event.value));
  }
  // Plain, quoted and one-line block scalars stand verbatim in the input;
  // only the escaped "esc\n" had to be decoded.
  const std::vector<bool> expected = {true, true, true, true, true, true, true, true, true, false};
  EXPECT_EQ(views, expected);
}

TEST(ParserErrors, MessagesAndMarks) {
  struct Case {
    const char* yaml;
    const char* message;
    std::size_t line;
    std::size_t column;
  };
  const Case cases[] = {
      {"[a", "unexpected EOF while parsing a flow sequence", 1, 2},
      {"{a: 1", "unexpected EOF while parsing a flow mapping", 1, 5},
      {"a: b: c", "mapping values are not allowed in this context", 1, 4},
      {"key: - a", "block sequence entries are not allowed in this context", 1, 5},
      {"\"abc", "unclosed quote", 1, 0},
      {"\"\\q\"", "while parsing a quoted scalar, found unknown escape character", 1, 1},
      {"\"\\x4\"", "while parsing a quoted scalar, did not find expected hexadecimal number", 1, 1},
      {"\"\\ud800\"", "while parsing a quoted scalar, found high surrogate without following low surrogate", 1, 1},
      {"\"\\udc00\"", "while parsing a quoted scalar, found unpaired low surrogate", 1, 1},
      {"!e!x a", "the handle wasn't declared", 1, 0},
      {"a:\n\tb: c", "tab cannot be used as indentation", 2, 0},
      {"- a\nb", "simple key expected ':'", 2, 0},
      {"[a]\nb", "did not find expected <document start>", 2, 0},
      {"a: 1\n%YAML 1.2\n---\n", "missing explicit document end marker before directive", 2, 0},
      {"... x", "invalid content after document end marker", 1, 3},
      {"a: |0\n x", "while scanning a block scalar, found an indentation indicator equal to 0", 1, 4},
      {"@x", "unexpected character: `@'", 1, 0},
      {"[-]", "plain scalar cannot start with '-' followed by ,[]{}", 1, 1},
      {"&", "while scanning an anchor or alias, did not find expected alphabetic or numeric character", 1, 0},
  };
  for (const Case& c : cases) {
    const ParseError error = error_of(c.yaml);
    EXPECT_EQ(error.message, c.message) << c.yaml;
    EXPECT_EQ(error.mark.line, c.line) << c.yaml;
    EXPECT_EQ(error.mark.column, c.column) << c.yaml;
  }
}

TEST(ParserErrors, RenderedDescription) {
  const ParseError error = error_of("x: [a,\n  b");
  EXPECT_EQ(error.description(), "unexpected EOF while parsing a flow sequence at char 10 line 2 column 4");
}

TEST(ParserApi, PushHelperFeedsEveryEventAndCanStop) {
  std::vector<EventType> types;
  auto record_types = [&](const Event& e) { types.push_back(e.type); };
  EXPECT_FALSE(parse("[1, 2]", record_types));
  const std::vector<EventType> expected = {EventType::StreamStart, EventType::DocumentStart, EventType::SequenceStart,
                                           EventType::Scalar,      EventType::Scalar,        EventType::SequenceEnd,
                                           EventType::DocumentEnd, EventType::StreamEnd};
  EXPECT_EQ(types, expected);

  int calls = 0;
  auto stop_at_once = [&](const Event&) {
    ++calls;
    return false;
  };
  EXPECT_FALSE(parse("a: 1", stop_at_once));
  EXPECT_EQ(calls, 1);

  auto ignore = [](const Event&) {};
  const auto error = parse("[", ignore);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->message, "unexpected EOF while parsing a flow sequence");
}

TEST(ParserApi, ResetReusesTheParser) {
  Parser parser("a: [1");
  Event event;
  while (parser.next(event)) {
  }
  EXPECT_NE(parser.error(), nullptr);
  EXPECT_TRUE(parser.finished());
  parser.reset("b: 2");
  std::vector<std::string> lines;
  while (parser.next(event)) lines.push_back(suite_line(event));
  EXPECT_EQ(parser.error(), nullptr);
  const std::vector<std::string> expected = {"+STR", "+DOC", "+MAP", "=VAL :b", "=VAL :2", "-MAP", "-DOC", "-STR"};
  EXPECT_EQ(lines, expected);
  EXPECT_FALSE(parser.next(event));
}

TEST(ParserApi, EmptyInput) {
  EXPECT_EQ(record_text("").lines, (std::vector<std::string>{"+STR", "-STR"}));
  EXPECT_EQ(record_chunks("", 1).lines, (std::vector<std::string>{"+STR", "-STR"}));
}

}  // namespace
}  // namespace velmo::events::testing
