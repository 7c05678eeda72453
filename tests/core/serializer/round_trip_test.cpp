// Trees written by the serializer and loaded again must hold the same data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "parser/load.hpp"
#include "schema/resolve_scalar.hpp"
#include "serializer/serializer.hpp"
#include "tree_fixtures.hpp"

namespace velmo {
namespace {

namespace fs = std::filesystem;
using namespace fixtures;

// The tag a reader resolves: "!!" stands for the YAML prefix, any other handle is the prefix itself.
std::string full_tag(const Tag* tag) {
  if (tag == nullptr) return {};
  if (tag->handle == "!!") return "tag:yaml.org,2002:" + tag->suffix;
  return tag->handle + tag->suffix;
}

bool same_meaning(const Resolved& a, const Resolved& b, std::string_view text_a, std::string_view text_b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case Resolved::Kind::Null: return true;
    case Resolved::Kind::Bool: return a.as_bool() == b.as_bool();
    case Resolved::Kind::Int: return a.as_int() == b.as_int();
    case Resolved::Kind::Float:
      return a.as_float() == b.as_float() || (std::isnan(a.as_float()) && std::isnan(b.as_float()));
    case Resolved::Kind::Str: return text_a == text_b;
  }
  return false;
}

Resolved meaning(const Node& node) {
  if (node.is_null()) return Resolved::null();
  if (node.style() == ScalarStyle::Plain) return resolve_core_scalar(node.value());
  return Resolved::string();
}

// Data equality: what the core schema reads, plus anchors, tags and aliases. Styles, flow form and comments
// are layout and may change (a plain text may come back quoted).
bool same_data(const Node& a, const Node& b, std::string& why) {
  const bool a_scalar = a.is_scalar() || a.is_null();
  const bool b_scalar = b.is_scalar() || b.is_null();
  if (a_scalar != b_scalar || (!a_scalar && a.kind() != b.kind())) {
    why = "kinds differ: " + debug_string(a) + " vs " + debug_string(b);
    return false;
  }
  if (a.is_alias()) {
    if (a.alias_name() == b.alias_name()) return true;
    why = "alias names differ";
    return false;
  }
  if ((a.anchor() ? *a.anchor() : "") != (b.anchor() ? *b.anchor() : "") || full_tag(a.tag()) != full_tag(b.tag())) {
    why = "properties differ: " + debug_string(a) + " vs " + debug_string(b);
    return false;
  }
  if (a_scalar) {
    if (same_meaning(meaning(a), meaning(b), a.value(), b.value())) return true;
    why = "scalars differ: " + debug_string(a) + " vs " + debug_string(b);
    return false;
  }
  if (a.size() != b.size()) {
    why = "sizes differ: " + debug_string(a) + " vs " + debug_string(b);
    return false;
  }
  if (a.is_sequence()) {
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (!same_data(a.items()[i], b.items()[i], why)) return false;
    }
    return true;
  }
  // Entries must come back in order, with keys and values alike.
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!same_data(a.pairs()[i].key(), b.pairs()[i].key(), why)) return false;
    if (!same_data(a.pairs()[i].value(), b.pairs()[i].value(), why)) return false;
  }
  return true;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string serialized(const Node& root, const SerializeOptions& options = {}) {
  auto result = serialize(root, options);
  if (auto* error = std::get_if<SerializeError>(&result)) return "error: " + error->display();
  return std::get<std::string>(result);
}

// Writes `tree`, loads the text again, and reports what differs (empty when the data survived).
std::string round_trip_problem(const Node& tree, const SerializeOptions& options = {}) {
  const std::string text = serialized(tree, options);
  auto loaded = parser::load_one(std::string_view(text), parser::LoadOptions{});
  if (auto* error = std::get_if<LoadError>(&loaded)) return "does not load (" + error->text + "):\n" + text;
  std::string why;
  if (!same_data(tree, std::get<Node>(loaded), why)) return why + "\nwritten as:\n" + text;
  return {};
}

TEST(RoundTrip, EveryValidCaseOfTheYamlTestSuite) {
  const fs::path suite = fs::path(VELMO_SHARED_DIR) / "yaml-test-suite";
  if (!fs::exists(suite)) GTEST_SKIP() << "no test suite at " << suite;
  std::vector<fs::path> cases;
  for (const auto& entry : fs::recursive_directory_iterator(suite)) {
    if (entry.path().filename() == "in.yaml" && !fs::exists(entry.path().parent_path() / "error")) {
      cases.push_back(entry.path().parent_path());
    }
  }
  std::sort(cases.begin(), cases.end());
  ASSERT_GT(cases.size(), 200u);
  std::size_t documents = 0;
  for (const fs::path& dir : cases) {
    const std::string source = read_file(dir / "in.yaml");
    auto loaded = parser::load_all(std::string_view(source), parser::LoadOptions{});
    if (!std::holds_alternative<std::vector<Node>>(loaded)) continue;  // the loader's own tests cover this
    for (const Node& document : std::get<std::vector<Node>>(loaded)) {
      ++documents;
      const std::string problem = round_trip_problem(document);
      EXPECT_TRUE(problem.empty()) << dir.lexically_relative(suite) << ": " << problem;
    }
  }
  EXPECT_GT(documents, 300u);
}

// Each case below was written in a way a reader took differently; they must now read back as written.
TEST(RoundTrip, LayoutsThatReadBack) {
  struct Case {
    const char* name;
    Node tree;
  };
  const Case cases[] = {
      {"leading and trailing spaces", seq({plain(" lead"), plain("trail "), plain(" both ")})},
      {"flow indicators in flow", flow_seq({plain("a,b"), plain("c]d"), plain("x{y}")})},
      {"flow indicators in a flow key", flow_map({{plain("k,1"), plain("v")}})},
      {"single quotes with a line feed", map({{plain("k"), single_quoted("two\nlines")}})},
      {"literal in a compact mapping", seq({map({{plain("a"), literal("text\nmore\n")}, {plain("b"), plain("1")}})})},
      {"folded in a nested mapping", map({{plain("k"), map({{plain("f"), folded("one two\nthree\n\nfour\n")}})}})},
      {"literal with leading spaces", map({{plain("k"), literal("  indented\nnot\n")}})},
      {"literal keeping line feeds", map({{plain("k"), literal("x\n\n\n", Chomping::Keep)}})},
      {"literal without final line feed", seq({literal("x\ny", Chomping::Strip)})},
      {"literal under a tag", map({{plain("k"), tagged(literal("x\n"), "!", "t")}})},
      {"literal with a trailing comment", map({{plain("k"), commented(literal("body\n"), "c", false)}})},
      {"literal in flow", flow_seq({literal("a\nb\n")})},
      {"literal holding a control", seq({literal("bell\x07\n")})},
      {"properties with a standalone comment",
       map({{plain("k"), commented(anchored(tagged(plain("v"), "!!", "str"), "a"), "c", true)},
            {plain("r"), Node::alias("a")}})},
      {"anchored key", map({{anchored(plain("k"), "key"), plain("v")}, {plain("x"), Node::alias("key")}})},
      {"alias key", map({{anchored(plain("k"), "key"), plain("v")}, {Node::alias("key"), plain("w")}})},
      {"block sequence key, nested", map({{plain("outer"), map({{seq({plain("a"), plain("b")}), plain("v")}})}})},
      {"compact mapping key, nested",
       map({{plain("outer"), map({{map({{plain("a"), plain("1")}, {plain("b"), plain("2")}}), plain("v")}})}})},
      {"flow key in block", map({{flow_seq({plain("a"), plain("b")}), plain("v")}})},
      {"mapping key with a block value",
       map({{map({{plain("k"), seq({plain("x")})}}), map({{plain("in"), seq({plain("y")})}})}})},
      {"literal key", map({{literal("key\n"), plain("v")}})},
      {"long key", map({{plain(std::string(1500, 'k')), plain("v")}})},
      {"flow key long once escaped", flow_map({{double_quoted(std::string(300, '\x0e')), plain("v")},
                                                {flow_seq({plain(std::string(1200, 'x'))}), plain("w")}})},
      {"key long once escaped", seq({map({{double_quoted(std::string(300, '\x04')), plain("v")}})})},
      {"complex key in flow", flow_map({{flow_seq({plain("a")}), plain("v")}, {flow_map({{plain("b"), plain("c")}}), plain("w")}})},
      {"compact mapping with commented entries",
       seq({map({{plain("a"), commented(plain("1"), "one", true)}, {commented(plain("b"), "bee", true), plain("2")}})})},
      {"document end marker text", plain("... not the end")},
      {"verbatim tag", tagged(plain("x"), "tag:example.com,2000:", "app")},
      {"local tag with a prefix handle", tagged(map({{plain("a"), plain("1")}}), "!my-", "light")},
      {"tag with characters to escape", tagged(plain("x"), "!", "a!b,c")},
      {"sequence of sequences", seq({seq({seq({plain("deep")})}), Node::sequence()})},
      {"empty plain value", map({{plain("a"), plain("")}, {plain("b"), Node::null()}})},
      {"empty plain texts in flow", flow_seq({plain(""), flow_map({{plain(""), plain("")}}), tagged(plain(""), "!!", "str")})},
      {"empty plain key", map({{plain(""), plain("v")}, {plain("k"), map({{plain(""), plain("w")}})}})},
      {"long folded plain value", map({{plain("k"), plain(std::string(50, 'a') + " " + std::string(50, 'b') + " c")}})},
  };
  for (const Case& c : cases) EXPECT_EQ(round_trip_problem(c.tree), "") << c.name;

  SerializeOptions wide;
  wide.indent_size = wide.indent_mapping = wide.indent_sequence = 4;
  wide.indent_offset = 3;
  for (const Case& c : cases) EXPECT_EQ(round_trip_problem(c.tree, wide), "") << c.name << " (indent 4, offset 3)";
}

TEST(RoundTrip, MendedLayouts) {
  // Block-scalar bodies go deeper than the line of their header.
  EXPECT_EQ(serialized(seq({map({{plain("a"), literal("x\n")}})})), "- a: |\n    x\n");
  EXPECT_EQ(serialized(map({{plain("k"), literal("x\n")}})), "k: |\n  x\n");
  // A text starting with spaces gets an indentation indicator after the chomping indicator.
  EXPECT_EQ(serialized(map({{plain("k"), literal("  x")}})), "k: |-2\n    x\n");
  // A folded text keeps its line breaks by doubling them.
  EXPECT_EQ(serialized(folded("a\nb\n")), ">\n  a\n\n  b\n");
  // The comment of a block scalar goes on its header line.
  EXPECT_EQ(serialized(map({{plain("k"), commented(literal("x\n"), "c", false)}})), "k: |  # c\n  x\n");
  // A single-quoted text with a line feed is written in double quotes.
  EXPECT_EQ(serialized(single_quoted("a\nb")), "\"a\\nb\"\n");
  // Properties are written once, in front of the text.
  EXPECT_EQ(serialized(map({{plain("k"), commented(anchored(plain("v"), "a"), "c", true)}})), "k:\n  # c\n  &a v\n");
  // Complex keys: "? " with the key's content, then ":" at the entry's own indentation.
  EXPECT_EQ(serialized(map({{plain("o"), map({{seq({plain("a"), plain("b")}), plain("v")}})}})),
            "o:\n  ? \n    - a\n    - b\n  :\n    v\n");
  EXPECT_EQ(serialized(map({{map({{plain("a"), plain("1")}}), plain("v")}})), "? a: 1\n:\n  v\n");
  EXPECT_EQ(serialized(flow_map({{flow_seq({plain("a")}), plain("v")}})), "{[a]: v}\n");
  // A compact mapping whose entries carry standalone comments is written in full.
  EXPECT_EQ(serialized(seq({map({{plain("a"), commented(plain("1"), "c", true)}})})), "- \n  a:\n    # c\n    1\n");
  // Flow indicators are quoted inside flow collections only.
  EXPECT_EQ(serialized(seq({plain("a,b"), flow_seq({plain("a,b")})})), "- a,b\n- [\"a,b\"]\n");
  // Leading and trailing spaces are quoted.
  EXPECT_EQ(serialized(seq({plain(" a"), plain("b ")})), "- \" a\"\n- \"b \"\n");
}

}  // namespace
}  // namespace velmo
