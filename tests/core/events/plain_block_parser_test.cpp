// The plain block fast path against the full parser: wherever it accepts a text it must hand out the very events
// the full parser does (byte offsets included), and it must never accept a text the full parser rejects.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "events/parser.hpp"
#include "events/plain_block_parser.hpp"
#include "suite_notation.hpp"

namespace velmo::events::testing {
namespace {

namespace fs = std::filesystem;

// Everything of an event that a loader reads: the event as the suite writes it, its comment flag and its byte
// offsets.
std::string describe(const Event& event) {
  std::string line = suite_line(event);
  if (event.type == EventType::Comment && event.inline_comment) line += " (inline)";
  if (event.type == EventType::Scalar) line += " chomping " + std::to_string(static_cast<int>(event.chomping));
  return line + " @" + std::to_string(event.start.offset) + ".." + std::to_string(event.end.offset);
}

struct Recording {
  std::vector<std::string> events;
  bool ok = true;  // the full parser: no error; the fast path: accepted
};

Recording full_parse(const std::string& text, bool comments) {
  ParserOptions options;
  options.comments = comments;
  Parser parser(text, options);
  Recording out;
  Event event;
  while (parser.next(event)) out.events.push_back(describe(event));
  out.ok = parser.error() == nullptr;
  return out;
}

Recording fast_parse(const std::string& text, bool comments) {
  Recording out;
  auto record = [&out](const Event& event) { out.events.push_back(describe(event)); };
  out.ok = parse_plain_block(text, record, comments);
  return out;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

// Compares both parsers on `text`; returns whether the fast path accepted it.
bool agrees(const std::string& text, const std::string& name) {
  bool accepted = false;
  for (const bool comments : {true, false}) {
    const Recording fast = fast_parse(text, comments);
    if (!fast.ok) continue;
    accepted = true;
    const Recording full = full_parse(text, comments);
    EXPECT_TRUE(full.ok) << name << ": accepted a text the full parser rejects";
    EXPECT_EQ(joined(fast.events), joined(full.events)) << name << (comments ? " (comments)" : "");
  }
  return accepted;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Texts the fast path is for: each must be accepted, with the full parser's events.
TEST(PlainBlockParser, AcceptsThePlainBlockForms) {
  const char* const texts[] = {
      "a: 1\n",
      "a: 1",
      "a:\n  b: 1\n  c: two words\nd: 3\n",
      "- 1\n- two\n-\n- x: 1\n  y: 2\n-   z: 3\n",
      "containers:\n- name: web\n  ports:\n  - 80\n  - 443\nnext: {}\n",
      "a:\n- x\n-\nb:\n",
      "# head\n\na: 1 # one\n# between\nb:  # two\n  c: 3\n# tail\n",
      "a:\n# before the empty value\nb: 2\n",
      "- # after a dash\n  k: v\n",
      "'quoted key': \"quoted value\"\n\"k\" : 'v'\n",
      "args: [\"--a=1\", b c, 'd', http://x/y]\nempty: []\n",
      "script: |\n  set -e\n\n    indented\n   \n  last\nafter: 1\n",
      "strip: |-\n  text\n\n\nkeep_clip: |\n\n  after empty\n",
      "eof: |\n  no final break",
      "k: v:x\nurl: http://example.com:80/\nplain: a#b\nc: -x\nd: ?y\ne: :z\n",
      "key  : spaced\nkey2:    value   \n",
      "a:\n  b:\n    c:\n      d: deep\ne: 1\n",
      "<<: merged\nnull_key: ~\n",
      "---\na: 1\n",
      "e: \"tab\\tquote\\\"slash\\\\ \\x41\\u00e9\\U0001F600 \\N\\_\\L\\P\\0\\/\\e\"\n'it''s': 'a''''b'\n",
      "f: >\n  folded\n  lines\n\n  after empty\n    more indented\n  back\ng: >-\n  x\n\n\n  y\n",
      "- [\"a\\\"b\", 'c''d']\n",
      "a: 1\n# between documents\n---\n# first in the second\n- x\n---   \nb:\n---\nc: 3",
  };
  for (const char* text : texts) {
    EXPECT_TRUE(agrees(text, text)) << "not accepted:\n" << text;
  }
}

// Forms left to the full parser, including faults the fast path must not pass over.
TEST(PlainBlockParser, GivesUpOutsideTheSubset) {
  const char* const texts[] = {
      "", "# only a comment\n", "plain scalar\n", "  a: 1\n", "a: 1\n...\n", "---\n---\na: 1\n", "--- a: 1\n",
      "---\n", "a: 1\n---\n", "--- # c\na: 1\n", "---\n  a: 1\n", "%YAML 1.2\n---\na\n",
      "a: &x 1\nb: *x\n", "a: !!str 1\n", "? a\n: b\n", "a: b\n  c\n", "- a\n  b\n", "a: 'multi\n  line'\n",
      "a: \"\\ud800\"\n", "a: \"\\q\"\n", "a: \"x\\\n  y\"\n", "a: \"\\x4\"\n", "a: |+\n  keep\n",
      "a: |2\n   x\n", "a: | # c\n  x\n",
      "a: |\n  x\n \n  y\n", "a:\tb\n", "a: 1\r\n", "a: [b, [c]]\n", "a: [b,\n  c]\n", "a: {b: c}\n",
      "a: 1\n- b\n", "- a\nb: 1\n", "a: b: c\n", "a:\n  - x\n  b: 1\n", "a: 1\n b: 2\n", "\xEF\xBB\xBF" "a: 1\n",
      "a: \"unclosed\n", "a: 'x'y\n", "a: [x,]\n", "a: [-x]\n", "a:#b\n", "- - x\n", "a: - x\n",
      "a: 1 #c\x01\n", "k: |\n\n  \n  x\n",
  };
  for (const char* text : texts) {
    const Recording fast = fast_parse(text, true);
    EXPECT_FALSE(fast.ok) << "accepted:\n" << text;
  }
}

// Over the whole YAML test suite, error cases included: wherever the fast path accepts, it agrees.
TEST(PlainBlockParser, AgreesOverTheTestSuite) {
  const fs::path root = fs::path(VELMO_SHARED_DIR) / "yaml-test-suite";
  std::size_t cases = 0;
  std::size_t accepted = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file() || entry.path().filename() != "in.yaml") continue;
    ++cases;
    if (agrees(read_file(entry.path()), entry.path().string())) ++accepted;
  }
  EXPECT_GT(cases, 300u);
  std::cout << "plain block fast path: accepted " << accepted << " of " << cases << " suite cases\n";
  EXPECT_GT(accepted, 0u);
}

// Configuration files as people write them: the fast path agrees wherever it accepts, and accepts many.
TEST(PlainBlockParser, AgreesOverRealWorldYaml) {
  const fs::path root = fs::path(VELMO_SHARED_DIR) / "real-world-yaml";
  std::size_t files = 0;
  std::size_t accepted = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string ext = entry.path().extension().string();
    if (!entry.is_regular_file() || (ext != ".yaml" && ext != ".yml")) continue;
    ++files;
    if (agrees(read_file(entry.path()), entry.path().string())) ++accepted;
  }
  EXPECT_GT(files, 700u);
  std::cout << "plain block fast path: accepted " << accepted << " of " << files << " real-world files\n";
  EXPECT_GT(accepted * 4, files);
}

}  // namespace
}  // namespace velmo::events::testing
