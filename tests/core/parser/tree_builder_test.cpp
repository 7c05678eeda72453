#include "parser/tree_builder.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hand_events.hpp"
#include "parser/convert_tag.hpp"
#include "tree/pairs.hpp"

namespace velmo::parser {
namespace {

using namespace velmo::parser::testing;

Node plain(std::string_view text) { return Node::scalar(SharedText::copy_of(text)); }

std::vector<Node> build_documents(const std::vector<Event>& events) {
  BuildOptions options;
  options.collect_documents = true;
  TreeBuilder builder(SharedText(), options);
  feed(builder, events);
  return builder.take_documents();
}

TEST(TreeBuilder, AttachesScalarsToSequencesMappingsAndTheRoot) {
  const std::vector<Node> documents = build_documents({
      mapping_start(),
      scalar("a"),
      sequence_start(),
      scalar("1"),
      scalar("2"),
      sequence_end(),
      scalar("b"),
      scalar("c"),
      mapping_end(),
      document_end(),
  });
  ASSERT_EQ(documents.size(), 1u);
  const Node& root = documents[0];
  ASSERT_TRUE(root.is_mapping());
  ASSERT_EQ(root.size(), 2u);
  EXPECT_EQ(root.pairs()[0].key(), plain("a"));
  const Node& items = root.pairs()[0].value();
  ASSERT_TRUE(items.is_sequence());
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items.items()[0], plain("1"));
  EXPECT_EQ(items.items()[1], plain("2"));
  EXPECT_EQ(root.pairs()[1].key(), plain("b"));
  EXPECT_EQ(root.pairs()[1].value(), plain("c"));
}

TEST(TreeBuilder, NestedSequencesKeepTheirOwnItems) {
  // [[1, [2]], 3]: items of inner sequences must not leak into the outer one.
  const std::vector<Node> documents = build_documents({
      sequence_start(),
      sequence_start(),
      scalar("1"),
      sequence_start(),
      scalar("2"),
      sequence_end(),
      sequence_end(),
      scalar("3"),
      sequence_end(),
      document_end(),
  });
  ASSERT_EQ(documents.size(), 1u);
  const Node& outer = documents[0];
  ASSERT_EQ(outer.size(), 2u);
  ASSERT_EQ(outer.items()[0].size(), 2u);
  EXPECT_EQ(outer.items()[0].items()[0], plain("1"));
  ASSERT_EQ(outer.items()[0].items()[1].size(), 1u);
  EXPECT_EQ(outer.items()[0].items()[1].items()[0], plain("2"));
  EXPECT_EQ(outer.items()[1], plain("3"));
}

TEST(TreeBuilder, KeepsTheLastRootOrEveryDocument) {
  const std::vector<Event> events = {scalar("a"), document_end(), scalar("b"), document_end()};
  TreeBuilder last(SharedText(), BuildOptions{});
  feed(last, events);
  EXPECT_TRUE(last.take_documents().empty());
  const auto root = last.take_root();
  ASSERT_TRUE(root.has_value());
  EXPECT_EQ(*root, plain("b"));

  const std::vector<Node> documents = build_documents(events);
  ASSERT_EQ(documents.size(), 2u);
  EXPECT_EQ(documents[0], plain("a"));
  EXPECT_EQ(documents[1], plain("b"));
}

struct DuplicateCase {
  const char* name;
  std::vector<Event> keys_and_values;  // between the mapping's start and end
  bool allow_duplicates;
  std::optional<std::string> expected_error;
  std::size_t expected_entries;
};

class TreeBuilderDuplicates : public ::testing::TestWithParam<DuplicateCase> {};

TEST_P(TreeBuilderDuplicates, RecordsTheLastDuplicateAndGoesOn) {
  const DuplicateCase& c = GetParam();
  std::vector<Event> events = {mapping_start()};
  events.insert(events.end(), c.keys_and_values.begin(), c.keys_and_values.end());
  events.push_back(mapping_end());
  events.push_back(document_end());
  BuildOptions options;
  options.allow_duplicate_keys = c.allow_duplicates;
  options.collect_documents = true;
  TreeBuilder builder(SharedText(), options);
  feed(builder, events);
  EXPECT_EQ(builder.duplicate_key(), c.expected_error);
  const std::vector<Node> documents = builder.take_documents();
  ASSERT_EQ(documents.size(), 1u);
  EXPECT_EQ(documents[0].size(), c.expected_entries);
}

const auto kSingle = events::ScalarStyle::SingleQuoted;
const auto kDouble = events::ScalarStyle::DoubleQuoted;

INSTANTIATE_TEST_SUITE_P(
    Cases, TreeBuilderDuplicates,
    ::testing::Values(
        DuplicateCase{"Repeated", {scalar("a"), scalar("1"), scalar("a"), scalar("2")}, false, "a", 1},
        DuplicateCase{"LastOneNamed",
                      {scalar("a"), scalar("1"), scalar("b"), scalar("1"), scalar("a"), scalar("2"), scalar("b"),
                       scalar("2")},
                      false,
                      "b",
                      2},
        DuplicateCase{"Allowed", {scalar("a"), scalar("1"), scalar("a"), scalar("2")}, true, std::nullopt, 1},
        DuplicateCase{"StylesAreDistinctKeys",
                      {scalar("a", 0, 0, kDouble), scalar("1"), scalar("a"), scalar("2")},
                      false,
                      std::nullopt,
                      2},
        DuplicateCase{"TildeIsNullLike", {scalar("~"), scalar("1"), scalar("~"), scalar("2")}, false, std::nullopt,
                      1},
        DuplicateCase{"NullInAnyCaseIsNullLike",
                      {scalar("null"), scalar("1"), scalar("NULL"), scalar("2"), scalar("NULL"), scalar("3")},
                      false,
                      std::nullopt,
                      2},
        DuplicateCase{"QuotedNullIsStillNullLike",
                      {scalar("Null", 0, 0, kSingle), scalar("1"), scalar("Null", 0, 0, kSingle), scalar("2")},
                      false,
                      std::nullopt,
                      1},
        DuplicateCase{"EmptyIsNullLike", {scalar(""), scalar("1"), scalar(""), scalar("2")}, false, std::nullopt, 1},
        DuplicateCase{"NullsLookAlikeIsNotNull",
                      {scalar("nul"), scalar("1"), scalar("nul"), scalar("2")},
                      false,
                      "nul",
                      1}),
    [](const ::testing::TestParamInfo<DuplicateCase>& info) { return std::string(info.param.name); });

TEST(TreeBuilder, DuplicateValueReplacesTheFirstEntryInPlace) {
  BuildOptions options;
  options.collect_documents = true;
  TreeBuilder builder(SharedText(), options);
  feed(builder, {mapping_start(), scalar("a", 0, 1), scalar("1"), scalar("b"), scalar("2"), scalar("a", 10, 11),
                 scalar("3"), mapping_end(), document_end()});
  EXPECT_EQ(builder.duplicate_key(), "a");
  const std::vector<Node> documents = builder.take_documents();
  const Pairs& pairs = documents.at(0).pairs();
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[0].key().source_range()->start, 0u);  // the first key stays
  EXPECT_EQ(pairs[0].value(), plain("3"));
  EXPECT_EQ(pairs[1].value(), plain("2"));
}

TEST(TreeBuilder, ComplexDuplicateKeyIsNamedByItsRendering) {
  // {[x]: 1, [x]: 2}
  BuildOptions options;
  TreeBuilder builder(SharedText(), options);
  feed(builder, {mapping_start(0, true), sequence_start(1, true), scalar("x", 2, 3), sequence_end(3, 4),
                 scalar("1"), sequence_start(9, true), scalar("x", 10, 11), sequence_end(11, 12), scalar("2"),
                 mapping_end(14, 15), document_end()});
  ASSERT_TRUE(builder.duplicate_key().has_value());
  Node later = Node::sequence(true);
  later.items().push_back(plain("x"));
  later.items()[0].meta()->set_source_range(SourceRange{10, 11});
  later.meta()->set_source_range(SourceRange{9, 12});
  EXPECT_EQ(*builder.duplicate_key(), debug_string(later));
}

struct DepthCase {
  const char* name;
  std::uint64_t max_depth;
  std::vector<Event> events;
  bool exceeded;
};

class TreeBuilderDepth : public ::testing::TestWithParam<DepthCase> {};

TEST_P(TreeBuilderDepth, CountsOpenCollections) {
  const DepthCase& c = GetParam();
  BuildOptions options;
  options.max_depth = c.max_depth;
  TreeBuilder builder(SharedText(), options);
  feed(builder, c.events);
  EXPECT_EQ(builder.depth_exceeded(), c.exceeded);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TreeBuilderDepth,
    ::testing::Values(
        DepthCase{"ScalarAtZero", 0, {scalar("a"), document_end()}, false},
        DepthCase{"CollectionAtZero", 0, {sequence_start(), sequence_end(), document_end()}, true},
        DepthCase{"FlatMappingAtOne", 1, {mapping_start(), scalar("a"), scalar("1"), mapping_end()}, false},
        DepthCase{"NestedMappingAtOne",
                  1,
                  {mapping_start(), scalar("a"), mapping_start(), scalar("b"), scalar("1"), mapping_end(),
                   mapping_end()},
                  true},
        DepthCase{"SiblingsDoNotAddUp",
                  2,
                  {sequence_start(), sequence_start(), sequence_end(), sequence_start(), sequence_end(),
                   sequence_end()},
                  false}),
    [](const ::testing::TestParamInfo<DepthCase>& info) { return std::string(info.param.name); });

TEST(TreeBuilder, StopsCheckingDuplicatesOnceTooDeep) {
  BuildOptions options;
  options.max_depth = 1;
  TreeBuilder builder(SharedText(), options);
  feed(builder, {mapping_start(), scalar("a"), sequence_start(), sequence_end(), scalar("b"), scalar("1"),
                 scalar("b"), scalar("2"), mapping_end(), document_end()});
  EXPECT_TRUE(builder.depth_exceeded());
  EXPECT_FALSE(builder.duplicate_key().has_value());
}

TEST(TreeBuilder, DuplicateBeforeTheDepthLimitIsStillReported) {
  BuildOptions options;
  options.max_depth = 1;
  TreeBuilder builder(SharedText(), options);
  feed(builder, {mapping_start(), scalar("b"), scalar("1"), scalar("b"), scalar("2"), scalar("a"),
                 sequence_start(), sequence_end(), mapping_end(), document_end()});
  EXPECT_TRUE(builder.depth_exceeded());
  EXPECT_EQ(builder.duplicate_key(), "b");
}

SourceRange range_of(const Node& node) {
  const auto range = node.source_range();
  EXPECT_TRUE(range.has_value());
  return range.value_or(SourceRange{999, 999});
}

TEST(TreeBuilder, RecordsByteRanges) {
  // "a: 1\nb: [x, y]\nc:\n  - z\n" with hand-placed marks.
  BuildOptions options;
  options.collect_documents = true;
  TreeBuilder builder(SharedText(), options);
  feed(builder, {mapping_start(0), scalar("a", 0, 1), scalar("1", 3, 4), scalar("b", 5, 6),
                 sequence_start(8, true), scalar("x", 9, 10), scalar("y", 12, 13), sequence_end(13, 14),
                 scalar("c", 15, 16), sequence_start(20), scalar("z", 22, 23), sequence_end(24, 24),
                 mapping_end(24, 24), document_end()});
  const Node root = builder.take_documents().at(0);
  EXPECT_EQ(range_of(root), (SourceRange{0, 23}));  // block: the largest end among the entries
  EXPECT_EQ(range_of(root.pairs()[0].value()), (SourceRange{3, 4}));
  EXPECT_EQ(range_of(root.pairs()[1].value()), (SourceRange{8, 14}));  // flow: just past the bracket
  EXPECT_EQ(range_of(root.pairs()[2].value()), (SourceRange{20, 23}));
}

TEST(TreeBuilder, BlockCollectionWithoutRangedEntriesEndsAtItsEndEvent) {
  BuildOptions options;
  options.collect_documents = true;
  TreeBuilder builder(SharedText(), options);
  feed(builder, {scalar("v", 0, 1), document_end(), sequence_start(7), alias(1, "a"), alias(1, "a"),
                 sequence_end(17, 17), document_end()});
  const std::vector<Node> documents = builder.take_documents();
  ASSERT_EQ(documents.size(), 2u);
  EXPECT_EQ(range_of(documents[1]), (SourceRange{7, 17}));
  EXPECT_FALSE(documents[1].items()[0].source_range().has_value());
}

TEST(TreeBuilder, ScalarsStandingInTheSourceShareItsBuffer) {
  const SharedText source = SharedText::copy_of("key: value");
  const std::string elsewhere = "decoded";
  BuildOptions options;
  options.collect_documents = true;
  TreeBuilder builder(source, options);
  feed(builder, {mapping_start(0), scalar(source.view().substr(0, 3), 0, 3), scalar(elsewhere, 5, 10),
                 mapping_end(10, 10), document_end()});
  const Node root = builder.take_documents().at(0);
  EXPECT_TRUE(root.pairs()[0].key().value().shares_storage_with(source));
  EXPECT_EQ(root.pairs()[0].key().value(), "key");
  EXPECT_FALSE(root.pairs()[0].value().value().shares_storage_with(source));
  EXPECT_EQ(root.pairs()[0].value().value(), "decoded");
}

TEST(TreeBuilder, ChompingComesFromBlockScalarsOnly) {
  Event literal = scalar("x\n", 0, 0, events::ScalarStyle::Literal);
  literal.chomping = events::Chomping::Keep;
  Event folded = scalar("x", 0, 0, events::ScalarStyle::Folded);
  folded.chomping = events::Chomping::Strip;
  Event quoted = scalar("x", 0, 0, events::ScalarStyle::SingleQuoted);
  quoted.chomping = events::Chomping::Strip;  // meaningless for a quoted scalar
  const std::vector<Node> documents = build_documents(
      {sequence_start(), literal, folded, quoted, sequence_end(), document_end()});
  const NodeList& items = documents.at(0).items();
  EXPECT_EQ(items[0].chomping(), Chomping::Keep);
  EXPECT_EQ(items[0].style(), ScalarStyle::Literal);
  EXPECT_EQ(items[1].chomping(), Chomping::Strip);
  EXPECT_EQ(items[1].style(), ScalarStyle::Folded);
  EXPECT_EQ(items[2].chomping(), Chomping::Clip);
}

TEST(TreeBuilder, AnchorsTagsAndAliases) {
  const std::vector<Node> documents = build_documents({
      anchored(tagged(mapping_start(), "!", "point"), 1, "m"),
      anchored(scalar("a"), 2, "x"),
      tagged(scalar("5"), "tag:yaml.org,2002:", "int"),
      scalar("b"),
      alias(2, "x"),
      mapping_end(),
      document_end(),
  });
  const Node& root = documents.at(0);
  ASSERT_NE(root.anchor(), nullptr);
  EXPECT_EQ(*root.anchor(), "m");
  ASSERT_NE(root.tag(), nullptr);
  EXPECT_EQ(tag_text(*root.tag()), "!point");
  ASSERT_NE(root.pairs()[0].key().anchor(), nullptr);
  EXPECT_EQ(*root.pairs()[0].key().anchor(), "x");
  ASSERT_NE(root.pairs()[0].value().tag(), nullptr);
  EXPECT_EQ(*root.pairs()[0].value().tag(), (Tag{"!!", "int"}));
  EXPECT_TRUE(root.pairs()[1].value().is_alias());
  EXPECT_EQ(root.pairs()[1].value().alias_name(), "x");
}

TEST(TreeBuilder, NotesMergeKeysInAnyStyle) {
  struct Case {
    Event event;
    bool seen;
  };
  const Case cases[] = {{scalar("<<"), true}, {scalar("<<", 0, 0, kSingle), true}, {scalar("<"), false},
                        {scalar("<<<"), false}};
  for (const Case& c : cases) {
    TreeBuilder builder(SharedText(), BuildOptions{});
    builder(c.event);
    EXPECT_EQ(builder.merge_key_seen(), c.seen) << c.event.value;
  }
}

TEST(ConvertTag, KeepsTheSourceLikeHandle) {
  struct Case {
    std::string_view prefix, suffix, handle, text;
  };
  const Case cases[] = {
      {"tag:yaml.org,2002:", "str", "!!", "!!str"},
      {"!", "foo", "!", "!foo"},
      {"!", "", "!", "!"},
      {"", "tag:example.com,2000:x", "", "!<tag:example.com,2000:x>"},
      {"tag:example.com,2000:app/", "int", "tag:example.com,2000:app/", "tag:example.com,2000:app/int"},
  };
  for (const Case& c : cases) {
    const Tag tag = convert_tag(c.prefix, c.suffix);
    EXPECT_EQ(tag.handle, c.handle);
    EXPECT_EQ(tag.suffix, c.suffix);
    EXPECT_EQ(tag_text(tag), c.text);
  }
}

TEST(TreeBuilder, UnfinishedCollectionsAreReleasedAndTheNextBuilderStartsClean) {
  {
    TreeBuilder broken(SharedText(), BuildOptions{});
    feed(broken, {sequence_start(), scalar("left"), mapping_start(), scalar("over")});
  }
  const std::vector<Node> documents =
      build_documents({sequence_start(), scalar("fresh"), sequence_end(), document_end()});
  ASSERT_EQ(documents.at(0).size(), 1u);
  EXPECT_EQ(documents[0].items()[0], plain("fresh"));
}

TEST(TreeBuilder, NestedBuildersOnOneThreadDoNotShareStaging) {
  BuildOptions options;
  options.collect_documents = true;
  TreeBuilder outer(SharedText(), options);
  feed(outer, {sequence_start(), scalar("outer")});
  {
    TreeBuilder inner(SharedText(), options);
    feed(inner, {sequence_start(), scalar("inner"), sequence_end(), document_end()});
    EXPECT_EQ(inner.take_documents().at(0).items().at(0), plain("inner"));
  }
  feed(outer, {sequence_end(), document_end()});
  const std::vector<Node> documents = outer.take_documents();
  ASSERT_EQ(documents.at(0).size(), 1u);
  EXPECT_EQ(documents[0].items()[0], plain("outer"));
}

}  // namespace
}  // namespace velmo::parser
