#include "tree/node.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmo {
namespace {

Node plain(std::string_view text) { return Node::scalar(SharedText::copy_of(text)); }

Node mapping_of(std::vector<std::pair<std::string, std::string>> entries, bool flow = false) {
  Node node = Node::mapping(flow);
  for (auto& [key, value] : entries) node.pairs().insert(plain(key), plain(value));
  return node;
}

Node sequence_of(std::vector<std::string> items, bool flow = false) {
  Node node = Node::sequence(flow);
  for (auto& item : items) node.items().push_back(plain(item));
  return node;
}

Node with_comment(Node node, std::string_view text, bool standalone) {
  node.meta()->set_comment(Comment{SharedText::copy_of(text), standalone});
  return node;
}

TEST(NodeEquality, MappingsIgnoreEntryOrderSequencesDoNot) {
  const Node ab = mapping_of({{"a", "1"}, {"b", "2"}});
  const Node ba = mapping_of({{"b", "2"}, {"a", "1"}});
  EXPECT_EQ(ab, ba);
  EXPECT_EQ(node_hash(ab), node_hash(ba));
  EXPECT_FALSE(sequence_of({"1", "2"}) == sequence_of({"2", "1"}));
  EXPECT_FALSE(mapping_of({{"a", "1"}, {"b", "2"}}) == mapping_of({{"a", "1"}, {"b", "3"}}));
  EXPECT_FALSE(mapping_of({{"a", "1"}}) == mapping_of({{"a", "1"}, {"b", "2"}}));
}

TEST(NodeEquality, LargeMappingsIgnoreEntryOrder) {
  Node forward = Node::mapping();
  Node backward = Node::mapping();
  for (int i = 0; i < 100; ++i) forward.pairs().insert(plain(std::to_string(i)), plain("v"));
  for (int i = 99; i >= 0; --i) backward.pairs().insert(plain(std::to_string(i)), plain("v"));
  EXPECT_EQ(forward, backward);
  EXPECT_EQ(node_hash(forward), node_hash(backward));
  *backward.pairs().find(plain("50")) = plain("w");
  EXPECT_FALSE(forward == backward);
}

TEST(NodeEquality, EachCoveredFieldMakesADifference) {
  const Node base = plain("a");
  struct Case {
    const char* name;
    Node other;
  };
  Node anchored = plain("a");
  anchored.meta()->set_anchor("x");
  Node tagged = plain("a");
  tagged.meta()->set_tag(Tag{"!!", "str"});
  Node other_tag = plain("a");
  other_tag.meta()->set_tag(Tag{"!", "str"});
  const Case cases[] = {
      {"style", Node::scalar(SharedText::copy_of("a"), ScalarStyle::SingleQuoted)},
      {"chomping", Node::scalar(SharedText::copy_of("a"), ScalarStyle::Plain, Chomping::Keep)},
      {"text", plain("b")},
      {"comment", with_comment(plain("a"), "c", false)},
      {"anchor", anchored},
      {"tag", tagged},
      {"null", Node::null()},
      {"alias", Node::alias("a")},
  };
  for (const Case& c : cases) EXPECT_FALSE(base == c.other) << c.name;
  EXPECT_FALSE(tagged == other_tag);
  EXPECT_FALSE(with_comment(plain("a"), "c", false) == with_comment(plain("a"), "c", true));
  EXPECT_FALSE(sequence_of({}, true) == sequence_of({}, false));
  EXPECT_FALSE(mapping_of({}, true) == mapping_of({}, false));
  EXPECT_EQ(Node::alias("x"), Node::alias("x"));
  EXPECT_FALSE(Node::alias("x") == Node::alias("y"));
}

TEST(NodeEquality, SourceRangeIsIgnored) {
  Node first = plain("a");
  first.meta()->set_source_range(SourceRange{0, 1});
  Node second = plain("a");
  second.meta()->set_source_range(SourceRange{10, 11});
  Node third = plain("a");
  EXPECT_EQ(first, second);
  EXPECT_EQ(first, third);
  EXPECT_EQ(node_hash(first), node_hash(second));
  EXPECT_EQ(node_hash(first), node_hash(third));
}

TEST(NodeHash, DistinguishesScalarsThatDifferOnlyInStyleOrTextSplit) {
  EXPECT_NE(node_hash(plain("a")), node_hash(Node::scalar(SharedText::copy_of("a"), ScalarStyle::DoubleQuoted)));
  // The text is delimited, so ("ab", "c") and ("a", "bc") as items differ.
  EXPECT_NE(node_hash(sequence_of({"ab", "c"})), node_hash(sequence_of({"a", "bc"})));
  EXPECT_NE(node_hash(Node::null()), node_hash(plain("")));
}

TEST(NodeMetaAccess, AliasReportsNoMetadata) {
  Node alias = Node::alias("x");
  EXPECT_EQ(alias.meta(), nullptr);
  EXPECT_EQ(alias.comment(), nullptr);
  EXPECT_EQ(alias.anchor(), nullptr);
  EXPECT_EQ(alias.tag(), nullptr);
  EXPECT_FALSE(alias.source_range().has_value());
  EXPECT_EQ(alias.alias_name(), "x");
}

TEST(NodeMetaAccess, FieldsAreAbsentUntilSetAndCanBeCleared) {
  Node node = plain("v");
  NodeMeta& meta = *node.meta();
  EXPECT_TRUE(meta.has_no_metadata());
  EXPECT_FALSE(meta.source_range().has_value());
  meta.set_anchor("a");
  meta.set_source_range(SourceRange{3, 7});
  EXPECT_EQ(*node.anchor(), "a");
  EXPECT_EQ(node.source_range(), (SourceRange{3, 7}));
  meta.set_anchor(std::nullopt);
  EXPECT_TRUE(meta.has_no_metadata());
  EXPECT_EQ(node, plain("v"));
}

TEST(TagText, FollowsTheHandle) {
  struct Case {
    Tag tag;
    const char* text;
  };
  const Case cases[] = {
      {{"!!", "str"}, "!!str"},      {{"!", ""}, "!"},
      {{"!", "point"}, "!point"},    {{"", "!"}, "!"},
      {{"", "tag:x"}, "!<tag:x>"},   {{"", ""}, "!<>"},
      {{"!e!", "foo"}, "!e!foo"},    {{"tag:example.com,2000:", "x"}, "tag:example.com,2000:x"},
  };
  for (const Case& c : cases) EXPECT_EQ(tag_text(c.tag), c.text) << c.tag.handle << " " << c.tag.suffix;
}

TEST(DeepCopy, SharesTextsButNotStructure) {
  Node original = Node::mapping();
  original.pairs().insert(plain("list"), sequence_of({"x", "y"}));
  Node value = plain("scalar");
  value.meta()->set_comment(Comment{SharedText::copy_of("note"), true});
  original.pairs().insert(plain("key"), std::move(value));

  Node copy = original.deep_copy();
  ASSERT_EQ(copy, original);
  const Node& original_value = original.pairs()[1].value();
  const Node& copied_value = copy.pairs()[1].value();
  EXPECT_TRUE(copied_value.value().shares_storage_with(original_value.value()));
  EXPECT_TRUE(copied_value.comment()->text.shares_storage_with(original_value.comment()->text));

  copy.pairs()[0].value().items().push_back(plain("z"));
  copy.pairs().erase(1);
  EXPECT_EQ(original.pairs().size(), 2u);
  EXPECT_EQ(original.pairs()[0].value().items().size(), 2u);
  EXPECT_EQ(original.pairs()[1].value().value(), "scalar");
}

TEST(NodeMove, AssigningAChildToItsParentKeepsTheChild) {
  Node node = Node::sequence();
  node.items().push_back(sequence_of({"a", "b"}));
  node = std::move(node.items()[0]);
  ASSERT_TRUE(node.is_sequence());
  EXPECT_EQ(node, sequence_of({"a", "b"}));

  Node copy_target = mapping_of({{"k", "v"}});
  copy_target = copy_target.pairs()[0].value();
  EXPECT_EQ(copy_target, plain("v"));
}

TEST(NodeAccess, WrongKindReadsAreEmpty) {
  const Node scalar = plain("s");
  EXPECT_TRUE(scalar.items().empty());
  EXPECT_TRUE(scalar.pairs().empty());
  EXPECT_EQ(scalar.size(), 0u);
  const Node seq = sequence_of({"a"});
  EXPECT_TRUE(seq.value().empty());
  EXPECT_EQ(seq.size(), 1u);
}

// Builders may allow very deep nesting; freeing such a tree must not use native stack per level.
TEST(NodeLifetime, FreeingVeryDeepTreesDoesNotRecurse) {
  Node sequences = plain("leaf");
  Node mappings = plain("leaf");
  for (int i = 0; i < 200000; ++i) {
    Node outer = Node::sequence();
    outer.items().push_back(plain("sibling"));
    outer.items().push_back(std::move(sequences));
    sequences = std::move(outer);
    Node entry = Node::mapping();
    // Nest through keys on even levels and values on odd ones.
    if (i % 2 == 0) {
      entry.pairs().insert(std::move(mappings), plain("v"));
    } else {
      entry.pairs().insert(plain("k"), std::move(mappings));
    }
    mappings = std::move(entry);
  }
  Node container = Node::sequence();
  container.items().push_back(std::move(sequences));
  container.items().push_back(std::move(mappings));
  container = Node::null();  // frees both chains
  EXPECT_TRUE(container.is_null());
}

TEST(NodeLayout, FixedCompactSize) { EXPECT_EQ(sizeof(Node), 40u); }

}  // namespace
}  // namespace velmo
