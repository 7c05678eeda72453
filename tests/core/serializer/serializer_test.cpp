#include "serializer/serializer.hpp"

#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "parser/load.hpp"
#include "tree_fixtures.hpp"

namespace velmo {
namespace {

using namespace fixtures;

std::string yaml(const Node& root, const SerializeOptions& options = {}) {
  auto result = serialize(root, options);
  if (auto* error = std::get_if<SerializeError>(&result)) return "error: " + error->display();
  return std::get<std::string>(result);
}

TEST(Serialize, RootsOfEachKind) {
  struct Case {
    const char* name;
    Node root;
    const char* text;
  };
  const Case cases[] = {
      {"null", Node::null(), "null\n"},
      {"empty mapping", Node::mapping(), "{}\n"},
      {"empty sequence", Node::sequence(), "[]\n"},
      {"plain", plain("x"), "x\n"},
      {"alias", Node::alias("a"), "*a\n"},
      {"flow sequence", flow_seq({plain("a"), plain("b")}), "[a, b]\n"},
      {"flow mapping", flow_map({{plain("a"), plain("1")}, {plain("b"), Node::null()}}), "{a: 1, b: null}\n"},
      {"nested flow", flow_seq({seq({plain("a")}), map({{plain("k"), plain("v")}})}), "[[a], {k: v}]\n"},
      {"mapping", map({{plain("a"), plain("1")}, {plain("b"), plain("2")}}), "a: 1\nb: 2\n"},
      {"sequence", seq({plain("a"), plain("b")}), "- a\n- b\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(yaml(c.root), c.text) << c.name;
}

TEST(Serialize, DocumentMarkersAndOffset) {
  SerializeOptions options;
  options.explicit_start = options.explicit_end = true;
  EXPECT_EQ(yaml(plain("x"), options), "---\nx\n...\n");
  options = {};
  options.indent_offset = 4;
  EXPECT_EQ(yaml(map({{plain("a"), seq({plain("1")})}}), options), "    a:\n      - 1\n");
}

TEST(Serialize, EmptyPlainValueKeepsTheSpace) {
  EXPECT_EQ(yaml(map({{plain("key"), plain("")}})), "key: \n");
}

TEST(Serialize, StoredStylesAreHonoured) {
  EXPECT_EQ(yaml(single_quoted("it's")), "'it''s'\n");
  EXPECT_EQ(yaml(double_quoted("true")), "\"true\"\n");
  EXPECT_EQ(yaml(plain("true")), "true\n");
  EXPECT_EQ(yaml(map({{double_quoted("k"), single_quoted("v")}})), "\"k\": 'v'\n");
}

TEST(Serialize, SortKeysComparesTextsAndLeavesFlowAndCompactMappingsAlone) {
  const Node root = map({{plain("b"), plain("1")}, {plain("a"), plain("2")}, {plain("10"), plain("3")},
                         {plain("9"), flow_map({{plain("z"), plain("1")}, {plain("y"), plain("2")}})},
                         {plain("list"), seq({map({{plain("d"), plain("1")}, {plain("c"), plain("2")}})})}});
  SerializeOptions options;
  options.sort_keys = true;
  EXPECT_EQ(yaml(root, options), "10: 3\n9: {z: 1, y: 2}\na: 2\nb: 1\nlist:\n  - d: 1\n    c: 2\n");
}

TEST(Serialize, SortKeysWritesEachAnchorBeforeItsAliases) {
  struct Case {
    const char* stored;
    const char* sorted;
  };
  const Case cases[] = {
      {"b: &x [1, 2]\na: *x\n", "a: &x [1, 2]\nb: *x\n"},
      {"b: &x {q: 1}\na: {f: *x}\n", "a: {f: &x {q: 1}}\nb: *x\n"},
      // An anchored key stays a key in full, even after an alias took its anchor.
      {"k: &x 1\n&y a: *y\n", "&y a: *y\nk: &x 1\n"},
      {"&y z: 1\na: *y\n", "a: &y z\n&y z: 1\n"},
      // A name anchored twice is written as stored, sorted or not.
      {"b: &x 1\na: &x 2\nc: *x\n", "a: &x 2\nb: &x 1\nc: *x\n"},
  };
  SerializeOptions options;
  options.sort_keys = true;
  for (const Case& c : cases) {
    const auto loaded = parser::load_one(std::string_view(c.stored), parser::LoadOptions{});
    ASSERT_TRUE(std::holds_alternative<Node>(loaded)) << c.stored;
    EXPECT_EQ(yaml(std::get<Node>(loaded), options), c.sorted) << c.stored;
  }
}

TEST(Serialize, DepthLimit) {
  const Node root = map({{plain("a"), plain("1")}});
  const auto limited = [](std::size_t depth) {
    SerializeOptions options;
    options.max_depth = depth;
    return options;
  };
  EXPECT_EQ(yaml(root, limited(1)), "error: max depth exceeded (max=1)");
  EXPECT_EQ(yaml(root, limited(2)), "a: 1\n");
  EXPECT_EQ(yaml(plain("x"), limited(0)), "error: max depth exceeded (max=0)");
  EXPECT_EQ(yaml(plain("x"), limited(1)), "x\n");
  EXPECT_EQ(yaml(Node::sequence(), limited(1)), "[]\n");
  EXPECT_EQ(yaml(flow_seq({plain("x")}), limited(1)), "error: max depth exceeded (max=1)");

  // A deep chain fails cleanly, and a failed call leaves the caller's buffer as it was.
  Node deep = plain("leaf");
  for (int i = 0; i < 1500; ++i) {
    Node outer = Node::sequence();
    outer.items().push_back(std::move(deep));
    deep = std::move(outer);
  }
  std::string out = "kept";
  auto error = serialize_into(out, deep, SerializeOptions{});
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->display(), "max depth exceeded (max=1000)");
  EXPECT_EQ(out, "kept");
  EXPECT_EQ(SerializeError::internal("boom").display(), "internal-error: boom");
}

TEST(Serialize, SequencesOfMappingsAndSequences) {
  EXPECT_EQ(yaml(seq({map({{plain("a"), plain("1")}, {plain("b"), plain("2")}})})), "- a: 1\n  b: 2\n");
  EXPECT_EQ(yaml(seq({seq({plain("x"), plain("y")})})), "- \n  - x\n  - y\n");
  // The second mapping has an anchor, so it is not compact: a bare dash line, its property line, its entries.
  EXPECT_EQ(yaml(seq({map({{plain("a"), plain("1")}}), anchored(map({{plain("b"), plain("2")}}), "x")})),
            "- a: 1\n- \n  &x \n  b: 2\n");
  // A nested block value keeps the mapping out of the compact form.
  EXPECT_EQ(yaml(seq({map({{plain("a"), seq({plain("1")})}})})), "- \n  a:\n    - 1\n");
}

TEST(Serialize, BlockValuesGoOnTheLineAfterTheirKey) {
  EXPECT_EQ(yaml(map({{plain("key"), Node::sequence()}})), "key:\n  []\n");
  EXPECT_EQ(yaml(map({{plain("key"), Node::mapping()}})), "key:\n  {}\n");
  EXPECT_EQ(yaml(map({{plain("key"), map({{plain("a"), seq({plain("x")})}})}})), "key:\n  a:\n    - x\n");
  EXPECT_EQ(yaml(map({{plain("key"), anchored(tagged(seq({plain("x")}), "!!", "seq"), "s")}})),
            "key: &s !!seq\n  - x\n");
  EXPECT_EQ(yaml(map({{plain("key"), Node::alias("s")}})), "key: *s\n");
  EXPECT_EQ(yaml(map({{plain("key"), commented(flow_seq({}), "empty", true)}})), "key: []  # empty\n");
}

TEST(Serialize, IndentationOptions) {
  const Node root = map({{plain("m"), map({{plain("k"), seq({plain("x"), map({{plain("a"), plain("1")},
                                                                                 {plain("b"), plain("2")}})})}})}});
  EXPECT_EQ(yaml(root), "m:\n  k:\n    - x\n    - a: 1\n      b: 2\n");
  EXPECT_EQ(yaml(root, SerializeOptions::with_indent(4)), "m:\n    k:\n        - x\n        -   a: 1\n            b: 2\n");
  SerializeOptions zero_sequence;
  zero_sequence.indent_sequence = 0;
  EXPECT_EQ(yaml(root, zero_sequence), "m:\n  k:\n    - x\n    - a: 1\n      b: 2\n");
  EXPECT_EQ(yaml(seq({seq({plain("x")})}), zero_sequence), "- \n - x\n");
}

TEST(Serialize, PropertiesAnchorBeforeTag) {
  EXPECT_EQ(yaml(anchored(tagged(plain("5"), "!!", "int"), "n")), "&n !!int 5\n");
  EXPECT_EQ(yaml(tagged(Node::null(), "!", "")), "! null\n");
  EXPECT_EQ(yaml(tagged(plain("x"), "", "tag:example.com,2000:x")), "!<tag:example.com,2000:x> x\n");
  EXPECT_EQ(yaml(anchored(map({{plain("a"), plain("1")}}), "m")), "&m \na: 1\n");
  EXPECT_EQ(yaml(flow_seq({anchored(plain("1"), "one"), tagged(Node::null(), "!!", "null"), Node::alias("one")})),
            "[&one 1, !!null null, *one]\n");
}

TEST(Serialize, Comments) {
  EXPECT_EQ(yaml(map({{plain("a"), commented(plain("1"), "note", false)}})), "a: 1  # note\n");
  EXPECT_EQ(yaml(map({{commented(plain("a"), "about a", true), plain("1")}})), "# about a\na: 1\n");
  EXPECT_EQ(yaml(seq({commented(plain("x"), "c", false)})), "- x  # c\n");
  EXPECT_EQ(yaml(seq({commented(plain("x"), "c", true)})), "- \n  # c\n  x\n");
  EXPECT_EQ(yaml(commented(map({{plain("a"), plain("1")}}), "top", true)), "# top\na: 1\n");
  EXPECT_EQ(yaml(commented(map({{plain("a"), plain("1")}}), "after", false)), "a: 1\n# after\n");
  EXPECT_EQ(yaml(commented(Node::mapping(), "empty", true)), "{}  # empty\n");
  EXPECT_EQ(yaml(commented(flow_seq({plain("a")}), "f", false)), "[a]  # f\n");
  EXPECT_EQ(yaml(commented(flow_seq({plain("a")}), "f", true)), "# f\n[a]\n");
  EXPECT_EQ(yaml(commented(Node::null(), "n", false)), "null  # n\n");
  // A comment text with line breaks stays a comment on every line.
  EXPECT_EQ(yaml(commented(plain("x"), "one\ntwo", true)), "# one\n# two\nx\n");
  EXPECT_EQ(yaml(commented(plain("x"), "one\ntwo", false)), "x  # one two\n");
}

TEST(Serialize, KeysOfOtherKinds) {
  EXPECT_EQ(yaml(map({{Node::null(), plain("v")}})), "null: v\n");
  EXPECT_EQ(yaml(map({{plain("a b:c"), plain("v")}})), "\"a b:c\": v\n");
  EXPECT_EQ(yaml(map({{plain("0123456789"), plain("v")}})), "0123456789: v\n");
  // An alias key keeps a space before the colon, which could otherwise belong to the alias name.
  EXPECT_EQ(yaml(map({{Node::alias("k"), plain("v")}})), "*k : v\n");
  // Anchors and tags of keys are written, so aliases to them still resolve.
  EXPECT_EQ(yaml(map({{anchored(plain("k"), "a"), plain("v")}, {plain("x"), Node::alias("a")}})), "&a k: v\nx: *a\n");
  // Long plain values fold; keys never do.
  const std::string words = "one two three four five six seven eight nine ten eleven twelve thirteen fourteen";
  const std::string folded_key = yaml(map({{plain(words), plain("v")}}));
  EXPECT_EQ(folded_key, words + ": v\n");
}

std::string fragment(std::variant<std::string, SerializeError> result) {
  if (auto* error = std::get_if<SerializeError>(&result)) return "error: " + error->display();
  return std::get<std::string>(result);
}

TEST(Fragments, ItemsAndEntriesAtAGivenIndentation) {
  EXPECT_EQ(fragment(render_sequence_item(map({{plain("a"), plain("1")}, {plain("b"), plain("2")}}), 2, 1)),
            "  - a: 1\n    b: 2\n");
  EXPECT_EQ(fragment(render_sequence_item(plain("x"), 4, 3)), "    - x\n");
  EXPECT_EQ(fragment(render_mapping_entry(plain("key"), seq({plain("x")}), 2, 1)), "  key:\n    - x\n");
  EXPECT_EQ(fragment(render_mapping_entry(plain("k"), plain("a: b"), 0, 0)), "k: \"a: b\"\n");
  // The fragment's node sits one level below `depth`, and the default limit is 1000.
  EXPECT_EQ(fragment(render_sequence_item(plain("x"), 0, 998)), "- x\n");
  EXPECT_EQ(fragment(render_sequence_item(plain("x"), 0, 999)), "error: max depth exceeded (max=1000)");
  EXPECT_EQ(fragment(render_mapping_entry(plain("k"), plain("v"), 0, 999)), "error: max depth exceeded (max=1000)");
}

}  // namespace
}  // namespace velmo
