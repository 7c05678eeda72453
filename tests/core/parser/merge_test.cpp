#include "parser/yaml/merge.hpp"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "tree/pairs.hpp"

namespace velmo::parser {
namespace {

Node s(std::string_view text, ScalarStyle style = ScalarStyle::Plain) {
  return Node::scalar(SharedText::copy_of(text), style);
}

Node m(std::initializer_list<std::pair<Node, Node>> entries) {
  Node node = Node::mapping(true);
  for (const auto& [key, value] : entries) node.pairs().insert(key, value);
  return node;
}

Node seq(std::initializer_list<Node> items) {
  Node node = Node::sequence(true);
  for (const Node& item : items) node.items().push_back(item);
  return node;
}

Node anchored(Node node, std::string name) {
  node.meta()->set_anchor(std::move(name));
  return node;
}

Node ranged(Node node, std::size_t start, std::size_t end) {
  node.meta()->set_source_range(SourceRange{start, end});
  return node;
}

Node merge_key() { return s("<<"); }

// The keys of a mapping, in entry order, as texts.
std::vector<std::string> keys_of(const Node& mapping) {
  std::vector<std::string> keys;
  for (const PairEntry& entry : mapping.pairs()) keys.emplace_back(entry.key().value().view());
  return keys;
}

const Node& value_at(const Node& mapping, std::string_view key) {
  const Node* value = mapping.pairs().find(s(key));
  EXPECT_NE(value, nullptr) << key;
  static const Node missing;
  return value != nullptr ? *value : missing;
}

using Keys = std::vector<std::string>;

TEST(ResolveMerges, MergedKeysComeFirstAndOwnKeysWin) {
  Node root = m({{s("base"), anchored(m({{s("x"), s("1")}, {s("y"), s("2")}}), "b")},
                 {s("item"), m({{merge_key(), Node::alias("b")}, {s("y"), s("3")}, {s("z"), s("4")}})}});
  resolve_merges(root);
  const Node& item = value_at(root, "item");
  EXPECT_EQ(keys_of(item), (Keys{"x", "y", "z"}));
  EXPECT_EQ(value_at(item, "x"), s("1"));
  EXPECT_EQ(value_at(item, "y"), s("3"));
  EXPECT_EQ(keys_of(value_at(root, "base")), (Keys{"x", "y"}));
}

TEST(ResolveMerges, EarlierSourcesWinInAMergeList) {
  Node root = m({{s("a"), anchored(m({{s("k"), s("from a")}, {s("p"), s("1")}}), "a")},
                 {s("b"), anchored(m({{s("q"), s("2")}, {s("k"), s("from b")}}), "b")},
                 {s("item"), m({{s("own"), s("0")},
                                {merge_key(), seq({Node::alias("a"), s("ignored"), Node::alias("b"),
                                                   Node::alias("missing")})}})}});
  resolve_merges(root);
  const Node& item = value_at(root, "item");
  EXPECT_EQ(keys_of(item), (Keys{"k", "p", "q", "own"}));
  EXPECT_EQ(value_at(item, "k"), s("from a"));
}

TEST(ResolveMerges, LeavesTheMergeKeyWhenNothingMerges) {
  struct Case {
    const char* name;
    Node merge_value;
    Node key;
  };
  const Node anchors = m({{s("sc"), anchored(s("x"), "sc")},
                          {s("sq"), anchored(seq({s("x")}), "sq")},
                          {s("full"), anchored(m({{s("own"), s("1")}}), "full")}});
  Node commented = merge_key();
  commented.meta()->set_comment(Comment{SharedText::copy_of("c"), false});
  Node tagged = merge_key();
  tagged.meta()->set_tag(Tag{"!!", "merge"});
  Node mapping_with_alias = m({{s("z"), s("1")}});
  const Case cases[] = {
      {"AliasToScalar", Node::alias("sc"), merge_key()},
      {"AliasToSequence", Node::alias("sq"), merge_key()},
      {"InlineMapping", m({{s("x"), s("1")}}), merge_key()},
      {"UnknownAnchor", Node::alias("nope"), merge_key()},
      {"EveryKeyAlreadyPresent", Node::alias("full"), merge_key()},
      {"QuotedKey", Node::alias("full"), s("<<", ScalarStyle::SingleQuoted)},
      {"CommentedKey", Node::alias("full"), commented},
      {"TaggedKey", Node::alias("full"), tagged},
  };
  for (const Case& c : cases) {
    Node root = anchors;
    root.pairs().insert(s("item"), m({{c.key, c.merge_value}, {s("own"), s("2")}}));
    const Node before = root;
    resolve_merges(root);
    EXPECT_EQ(root, before) << c.name;
  }
}

TEST(ResolveMerges, MergesInsideSequencesAndMergedValues) {
  // The merged-in value of `deep` holds a mapping that merges too.
  Node root = m({{s("base"), anchored(m({{s("x"), s("1")}}), "b")},
                 {s("outer"), anchored(m({{s("deep"), m({{merge_key(), Node::alias("b")}})}}), "o")},
                 {s("list"), seq({m({{merge_key(), Node::alias("b")}, {s("z"), s("1")}}), m({{merge_key(), Node::alias("o")}})})}});
  resolve_merges(root);
  const Node& list = value_at(root, "list");
  EXPECT_EQ(keys_of(list.items()[0]), (Keys{"x", "z"}));
  const Node& copied_deep = value_at(list.items()[1], "deep");
  EXPECT_EQ(keys_of(copied_deep), (Keys{"x"}));
}

TEST(ResolveMerges, ChainsDoNotCarryThrough) {
  Node root = m({{s("base"), anchored(m({{s("b"), s("1")}}), "base")},
                 {s("mid"), anchored(m({{merge_key(), Node::alias("base")}, {s("m"), s("2")}}), "mid")},
                 {s("leaf"), m({{merge_key(), Node::alias("mid")}, {s("l"), s("3")}})}});
  resolve_merges(root);
  EXPECT_EQ(keys_of(value_at(root, "mid")), (Keys{"b", "m"}));
  EXPECT_EQ(keys_of(value_at(root, "leaf")), (Keys{"m", "l"}));
}

TEST(ResolveMerges, ALaterAnchorOfTheSameNameReplacesTheEarlier) {
  Node root = seq({anchored(m({{s("old"), s("1")}}), "a"), anchored(m({{s("new"), s("2")}}), "a"),
                   m({{merge_key(), Node::alias("a")}})});
  resolve_merges(root);
  EXPECT_EQ(keys_of(root.items()[2]), (Keys{"new"}));
}

TEST(ResolveMerges, MergedCopiesHaveNoRangesAndAreIndependent) {
  Node root = m({{ranged(s("base"), 0, 4),
                  anchored(ranged(m({{ranged(s("x"), 7, 8), ranged(m({{ranged(s("n"), 11, 12), ranged(s("1"), 14, 15)}}), 10, 16)}}), 6, 17), "b")},
                 {ranged(s("item"), 18, 22),
                  ranged(m({{ranged(merge_key(), 24, 26), Node::alias("b")}, {ranged(s("own"), 30, 33), ranged(s("2"), 35, 36)}}), 23, 37)}});
  resolve_merges(root);
  Node& item = root.pairs()[1].value();
  ASSERT_EQ(keys_of(item), (Keys{"x", "own"}));
  EXPECT_FALSE(item.pairs()[0].key().source_range().has_value());
  const Node& merged = item.pairs()[0].value();
  EXPECT_FALSE(merged.source_range().has_value());
  EXPECT_FALSE(merged.pairs()[0].key().source_range().has_value());
  EXPECT_FALSE(merged.pairs()[0].value().source_range().has_value());
  EXPECT_EQ(item.pairs()[1].key().source_range(), (SourceRange{30, 33}));
  EXPECT_EQ(item.pairs()[1].value().source_range(), (SourceRange{35, 36}));
  EXPECT_EQ(item.source_range(), (SourceRange{23, 37}));

  item.pairs()[0].value().pairs()[0].value() = s("changed");
  EXPECT_EQ(value_at(value_at(value_at(root, "base"), "x"), "n"), s("1"));
}

TEST(ResolveMerges, DeepTreesNeedNoNativeRecursion) {
  Node root = m({{s("base"), anchored(m({{s("x"), s("1")}}), "b")}});
  Node chain = m({{merge_key(), Node::alias("b")}});
  for (int i = 0; i < 5000; ++i) {
    Node outer = Node::sequence();
    outer.items().push_back(std::move(chain));
    chain = std::move(outer);
  }
  root.pairs().insert(s("deep"), std::move(chain));
  resolve_merges(root);
  const Node* node = &value_at(root, "deep");
  while (node->is_sequence()) node = &node->items()[0];
  EXPECT_EQ(keys_of(*node), (Keys{"x"}));
}

TEST(ResolveMerges, StopsWhenCopiesWouldExceedTheBudget) {
  // One anchored mapping of 3 entries merged into 4 mappings: the table copies 7 nodes, each merge 6.
  Node root = seq({anchored(m({{s("a"), s("1")}, {s("b"), s("2")}, {s("c"), s("3")}}), "x")});
  for (int i = 0; i < 4; ++i) root.items().push_back(m({{merge_key(), Node::alias("x")}}));
  const Node original = root;
  Node enough = original;
  EXPECT_TRUE(resolve_merges(enough, 7 + 4 * 6));
  EXPECT_EQ(keys_of(enough.items()[4]), (Keys{"a", "b", "c"}));
  Node short_by_one = original;
  EXPECT_FALSE(resolve_merges(short_by_one, 7 + 4 * 6 - 1));
  Node table_only = original;
  EXPECT_FALSE(resolve_merges(table_only, 6));
}

TEST(CountNodes, CountsKeysValuesAndItemsUpToALimit) {
  const Node tree = m({{s("a"), seq({s("1"), s("2")})}, {s("b"), m({{s("c"), s("3")}})}});
  EXPECT_EQ(count_nodes(tree), 9u);
  EXPECT_EQ(count_nodes(tree, 4), 5u);
  EXPECT_EQ(count_nodes(Node::alias("x")), 1u);
}

TEST(IsMergeKey, OnlyAPlainBareKey) {
  EXPECT_TRUE(is_merge_key(s("<<")));
  EXPECT_TRUE(is_merge_key(ranged(s("<<"), 3, 5)));
  EXPECT_FALSE(is_merge_key(s("<<", ScalarStyle::DoubleQuoted)));
  EXPECT_FALSE(is_merge_key(anchored(s("<<"), "a")));
  EXPECT_FALSE(is_merge_key(s("<")));
  EXPECT_FALSE(is_merge_key(Node::alias("<<")));
}

}  // namespace
}  // namespace velmo::parser
