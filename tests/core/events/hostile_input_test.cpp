// Hostile input: deep nesting, huge scalars, invalid bytes and garbage must
// end in events or an error, never a crash or a hang, on both input paths.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "suite_notation.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace velmo::events::testing {
namespace {

struct Outcome {
  std::size_t events = 0;
  std::optional<ParseError> error;
};

Outcome run(Parser& parser) {
  Outcome outcome;
  Event event;
  while (parser.next(event)) ++outcome.events;
  if (parser.error() != nullptr) outcome.error = *parser.error();
  return outcome;
}

Outcome run_text(std::string_view text, ParserOptions options = {}) {
  Parser parser(text, options);
  return run(parser);
}

Outcome run_chunks(std::string_view text, std::size_t chunk, ParserOptions options = {}) {
  ChunkedSource source(text, chunk);
  options.chunk_size = chunk;
  Parser parser(source, options);
  return run(parser);
}

TEST(HostileInput, MillionNestedBracketsEndInTheNestingLimit) {
  for (const char open : {'[', '{'}) {
    const std::string text(1000000, open);
    for (const Outcome& outcome : {run_text(text), run_chunks(text, 65536)}) {
      ASSERT_TRUE(outcome.error) << open;
      EXPECT_EQ(outcome.error->message, "recursion limit exceeded");
    }
  }
}

TEST(HostileInput, DeepBlockNestingEndsInTheNestingLimit) {
  std::string text;
  for (int i = 0; i < 200000; ++i) text += "- ";
  text += "x\n";
  const Outcome outcome = run_text(text);
  ASSERT_TRUE(outcome.error);
  EXPECT_EQ(outcome.error->message, "recursion limit exceeded");
}

TEST(HostileInput, NestingLimitIsConfigurable) {
  ParserOptions options;
  options.max_nesting = 3;
  EXPECT_FALSE(run_text("[[[a]]]", options).error);
  EXPECT_FALSE(run_text("a:\n  b:\n    - c\n", options).error);
  const Outcome deeper = run_text("[[[[a]]]]", options);
  ASSERT_TRUE(deeper.error);
  EXPECT_EQ(deeper.error->message, "recursion limit exceeded");
  const Outcome block = run_text("a:\n  b:\n    - - c\n", options);
  ASSERT_TRUE(block.error);
  EXPECT_EQ(block.error->message, "recursion limit exceeded");
}

TEST(HostileInput, DeepNestingWithinTheLimitParses) {
  const std::string text = std::string(50000, '[') + std::string(50000, ']');
  const Outcome outcome = run_text(text);
  EXPECT_FALSE(outcome.error);
  EXPECT_EQ(outcome.events, 100000u + 4u);  // the sequences plus stream and document start and end
}

TEST(HostileInput, HugeScalarsOnBothPaths) {
  const std::string word(3'000'000, 'w');
  for (const std::string& text : {"k: " + word + "\n", "k: \"" + word + "\\n\"\n", "k: |\n  " + word + "\n"}) {
    for (const std::size_t chunk : {0u, 7u, 65536u}) {
      ChunkedSource source(text, chunk == 0 ? 1 : chunk);
      ParserOptions options;
      options.chunk_size = chunk;
      Parser parser = chunk == 0 ? Parser(text) : Parser(source, options);
      Event event;
      std::size_t longest = 0;
      while (parser.next(event)) longest = std::max(longest, event.value.size());
      EXPECT_EQ(parser.error(), nullptr);
      EXPECT_GE(longest, word.size());
    }
  }
}

// Hands out a long stream of YAML lines generated on the fly, without
// allocating (so that only the parser's memory is measured).
class GeneratedSource final : public InputSource {
 public:
  explicit GeneratedSource(std::size_t total) : left_(total) {}
  std::size_t read(std::span<char> buffer) override {
    std::size_t n = 0;
    while (n < buffer.size()) {
      if (pos_ == length_) {
        if (left_ == 0) break;  // the stream ends at a line end
        const int written = count_ % 2 == 0
                                ? std::snprintf(line_, sizeof line_, "doc%zu:\n  key: \"value\\t%zu\"  # note\n", count_, count_)
                                : std::snprintf(line_, sizeof line_, "doc%zu:\n  - [x%zu, 'y']\n  - |\n    text\n", count_, count_ % 97);
        length_ = static_cast<std::size_t>(written);
        pos_ = 0;
        ++count_;
      }
      const std::size_t take = std::min(buffer.size() - n, length_ - pos_);
      std::memcpy(buffer.data() + n, line_ + pos_, take);
      n += take;
      pos_ += take;
      left_ -= std::min(left_, take);
    }
    return n;
  }

 private:
  std::size_t left_;
  std::size_t count_ = 0;
  char line_[128] = {};
  std::size_t length_ = 0;
  std::size_t pos_ = 0;
};

// The incremental path keeps its memory bounded however long the input is.
TEST(HostileInput, IncrementalMemoryStaysBounded) {
  for (const bool comments : {false, true}) {
    ParserOptions options;
    options.comments = comments;
    GeneratedSource source(4u << 20);
    Parser parser(source, options);
    Event event;
    std::size_t events = 0;
    std::size_t most = 0;
    while (parser.next(event)) {
      if (++events % 1000 == 0) most = std::max(most, parser.retained_bytes());
    }
    EXPECT_EQ(parser.error(), nullptr);
    EXPECT_GT(events, 150000u);
    EXPECT_LT(most, 512u * 1024u) << "bytes held while streaming 4 MiB";
  }
}

// Long runs of white space are passed in linear time.
TEST(HostileInput, LongBlankRuns) {
  const std::string tabs(300000, '\t');
  const std::string spaces(300000, ' ');
  const std::string cases[] = {
      "a:\n  b: c\n" + tabs + "# comment\n",
      "a:\n  b: c\n" + tabs + "\nd: e\n",
      std::string(200000, ' ') + "k: plain\n" + spaces + tabs + "\n" + spaces + " more\n",
      "- \"quoted\n" + tabs + "x\"\n",
      "[a,\n" + tabs + spaces + "b]\n",
  };
  for (const std::string& text : cases) {
    const Outcome whole = run_text(text);
    const Outcome pieces = run_chunks(text, 4096);
    EXPECT_EQ(whole.events, pieces.events);
    EXPECT_EQ(whole.error.has_value(), pieces.error.has_value());
  }
  EXPECT_FALSE(run_text(cases[0]).error);
  EXPECT_FALSE(run_text(cases[1]).error);
}

TEST(HostileInput, ManyAliasesAreReportedNotExpanded) {
  std::string text = "a: &a [x, y]\nb: &b [*a, *a, *a, *a]\nc: &c [*b, *b, *b, *b]\nd: [*c, *c, *c, *c]\n";
  std::size_t aliases = 0;
  auto count = [&](const Event& e) { aliases += e.type == EventType::Alias; };
  EXPECT_FALSE(parse(text, count));
  EXPECT_EQ(aliases, 12u);
}

TEST(HostileInput, InvalidBytesAndNulAreHandled) {
  const std::string cases[] = {
      std::string("\xff\xfe: \xc3\n- \x80", 10),
      std::string("a: b\0c\n", 7),
      std::string("\"abc\0def\"", 9),
      std::string("# \0\n[\0]", 7),
      std::string("\xef\xbb\xbf\xef\xbb\xbf- a", 9),
  };
  for (const std::string& text : cases) {
    const Transcript whole = record_text(text);
    for (const std::size_t chunk : {1u, 3u}) EXPECT_EQ(record_chunks(text, chunk).full(), whole.full());
  }
}

// Inputs the fuzzer found; both paths must agree on events, errors and marks.
TEST(HostileInput, FuzzRegressions) {
  const std::string cases[] = {
      // a stray UTF-8 continuation byte in a quoted scalar, at a chunk boundary
      "---\ntab: \"\\t\x93tring\"\n",
  };
  ParserOptions options;
  options.comments = true;
  for (const std::string& text : cases) {
    const std::string whole = record_text(text, options).full();
    for (std::size_t chunk = 1; chunk <= 16; ++chunk) {
      EXPECT_EQ(record_chunks(text, chunk, options).full(), whole) << "chunks of " << chunk;
    }
  }
}

// Deterministic garbage built from YAML's own characters: both paths must
// agree on every input and terminate.
TEST(HostileInput, GarbageAgreesOnBothPaths) {
  static constexpr char kAlphabet[] = "ab:- ?#&*!|>'\"%@`[]{},\n\n\t \\x0.e\xc3\xa9\x93";
  std::uint64_t state = 0x9E3779B97F4A7C15ULL;
  auto next = [&] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  ParserOptions options;
  options.comments = true;
  for (int i = 0; i < 3000; ++i) {
    std::string text;
    const std::size_t length = next() % 60;
    for (std::size_t j = 0; j < length; ++j) text += kAlphabet[next() % (sizeof(kAlphabet) - 1)];
    const std::string whole = record_text(text, options).full();
    EXPECT_EQ(record_chunks(text, 1, options).full(), whole) << text;
    EXPECT_EQ(record_chunks(text, 4, options).full(), whole) << text;
  }
}

}  // namespace
}  // namespace velmo::events::testing
