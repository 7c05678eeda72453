#include "parser/load.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tree/pairs.hpp"

namespace velmo::parser {
namespace {

Node plain(std::string_view text) { return Node::scalar(SharedText::copy_of(text)); }

LoadOptions with_depth(std::uint64_t max_depth) {
  LoadOptions options;
  options.max_depth = max_depth;
  return options;
}

Node loaded(std::string_view text, const LoadOptions& options = {}) {
  LoadOneResult result = load_one(text, options);
  if (auto* error = std::get_if<LoadError>(&result)) {
    ADD_FAILURE() << "load failed: " << error->text;
    return Node();
  }
  return std::get<Node>(std::move(result));
}

std::vector<Node> loaded_all(std::string_view text, const LoadOptions& options = {}) {
  LoadAllResult result = load_all(text, options);
  if (auto* error = std::get_if<LoadError>(&result)) {
    ADD_FAILURE() << "load failed: " << error->text;
    return {};
  }
  return std::get<std::vector<Node>>(std::move(result));
}

std::optional<LoadError> load_error(std::string_view text, const LoadOptions& options = {}) {
  LoadOneResult one = load_one(text, options);
  LoadAllResult all = load_all(text, options);
  const LoadError* one_error = std::get_if<LoadError>(&one);
  const LoadError* all_error = std::get_if<LoadError>(&all);
  EXPECT_EQ(one_error == nullptr, all_error == nullptr) << text;
  if (one_error == nullptr || all_error == nullptr) return std::nullopt;
  EXPECT_EQ(one_error->kind, all_error->kind) << text;
  EXPECT_EQ(one_error->text, all_error->text) << text;
  return *one_error;
}

const Node& value_at(const Node& mapping, std::string_view key) {
  const Node* value = mapping.pairs().find(plain(key));
  EXPECT_NE(value, nullptr) << key;
  static const Node missing;
  return value != nullptr ? *value : missing;
}

std::vector<std::string> keys_of(const Node& mapping) {
  std::vector<std::string> keys;
  for (const PairEntry& entry : mapping.pairs()) keys.emplace_back(entry.key().value().view());
  return keys;
}

TEST(Load, TextsWithoutContent) {
  for (std::string_view blank : {"", "  \t\n\r\n", "\xC2\xA0\n\xE3\x80\x80"}) {
    EXPECT_TRUE(loaded(blank).is_null());
    EXPECT_TRUE(loaded_all(blank).empty());
  }
  EXPECT_TRUE(loaded("# only a comment\n").is_null());
  const std::vector<Node> documents = loaded_all("# only a comment\n");
  ASSERT_EQ(documents.size(), 1u);
  EXPECT_TRUE(documents[0].is_null());
}

TEST(Load, OneGivesTheLastDocumentAllGivesEach) {
  constexpr std::string_view kText = "a: 1\n---\nb: 2\n";
  EXPECT_EQ(keys_of(loaded(kText)), std::vector<std::string>{"b"});
  const std::vector<Node> documents = loaded_all(kText);
  ASSERT_EQ(documents.size(), 2u);
  EXPECT_EQ(keys_of(documents[0]), std::vector<std::string>{"a"});
  EXPECT_EQ(keys_of(documents[1]), std::vector<std::string>{"b"});
}

TEST(Load, EmptyDocumentsAreEmptyPlainScalars) {
  const std::vector<Node> documents = loaded_all("---\n---\nx\n...\n---\n");
  ASSERT_EQ(documents.size(), 3u);
  EXPECT_EQ(documents[0], plain(""));
  EXPECT_EQ(documents[1], plain("x"));
  EXPECT_EQ(documents[2], plain(""));
}

struct ErrorCase {
  const char* name;
  std::string_view text;
  LoadOptions options;
  std::optional<LoadError::Kind> kind;  // nullopt: loads
  std::string key;                      // DuplicateKey: the key named
};

class LoadErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(LoadErrors, ReportsTheRightError) {
  const ErrorCase& c = GetParam();
  const std::optional<LoadError> error = load_error(c.text, c.options);
  ASSERT_EQ(error.has_value(), c.kind.has_value()) << (error ? error->text : "no error");
  if (!error) return;
  EXPECT_EQ(error->kind, *c.kind) << error->text;
  if (!c.key.empty()) {
    EXPECT_EQ(error->text, c.key);
  }
}

LoadOptions allowing_duplicates() {
  LoadOptions options;
  options.allow_duplicate_keys = true;
  return options;
}

using Kind = LoadError::Kind;

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadErrors,
    ::testing::Values(
        ErrorCase{"FlatAtDepthOne", "a: 1\n", with_depth(1), std::nullopt, ""},
        ErrorCase{"NestedAtDepthOne", "a: {b: 1}\n", with_depth(1), Kind::DepthExceeded, ""},
        ErrorCase{"ScalarAtDepthZero", "just text\n", with_depth(0), std::nullopt, ""},
        ErrorCase{"EmptyFlowAtDepthZero", "[]\n", with_depth(0), Kind::DepthExceeded, ""},
        ErrorCase{"DeepFlowNesting", "[[[[[[[[[[x]]]]]]]]]]", with_depth(9), Kind::DepthExceeded, ""},
        ErrorCase{"DeepFlowNestingWithinLimit", "[[[[[[[[[[x]]]]]]]]]]", with_depth(10), std::nullopt, ""},
        ErrorCase{"Duplicate", "{a: 1, a: 2}", {}, Kind::DuplicateKey, "a"},
        ErrorCase{"DuplicateInBlock", "a: 1\nb: 2\na: 3\nb: 4\n", {}, Kind::DuplicateKey, "b"},
        ErrorCase{"DuplicateInSecondDocument", "a: 1\n---\na: 1\na: 2\n", {}, Kind::DuplicateKey, "a"},
        ErrorCase{"DuplicateAllowed", "{a: 1, a: 2}", allowing_duplicates(), std::nullopt, ""},
        ErrorCase{"QuotedAndPlainDiffer", "{\"a\": 1, a: 2}", {}, std::nullopt, ""},
        ErrorCase{"TildeKeys", "{~: 1, ~: 2}", {}, std::nullopt, ""},
        ErrorCase{"NullKeys", "{null: 1, NULL: 2}", {}, std::nullopt, ""},
        ErrorCase{"EmptyKeys", "? \n: 1\n? \n: 2\n", {}, std::nullopt, ""},
        ErrorCase{"ComplexKey", "? [x]\n: 1\n? [x]\n: 2\n", {}, Kind::DuplicateKey, ""},
        ErrorCase{"DuplicateBeforeTooDeep", "a: 1\na: 2\nb: [[x]]\n", with_depth(2), Kind::DuplicateKey, "a"},
        ErrorCase{"TooDeepBeforeDuplicate", "b: [[x]]\na: 1\na: 2\n", with_depth(2), Kind::DepthExceeded, ""},
        ErrorCase{"SyntaxBeatsDuplicate", "{a: 1, a: 2}\n]", {}, Kind::Parse, ""},
        ErrorCase{"SyntaxBeatsDepth", "[[x]]\n]", with_depth(1), Kind::Parse, ""},
        ErrorCase{"UnknownAlias", "a: *nothing\n", {}, Kind::Parse, ""}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.name); });

class LoadMappingSizes : public ::testing::TestWithParam<int> {};

// Small mappings are staged and large ones indexed; both must keep entry order, replace duplicate values in
// place and name the last duplicate.
TEST_P(LoadMappingSizes, DuplicatesAndTrailingComments) {
  const int n = GetParam();
  std::string text;
  for (int i = 0; i < n; ++i) text += "k" + std::to_string(i) + ": v" + std::to_string(i) + "\n";
  text += "k0: first again\n";
  text += "k" + std::to_string(n - 1) + ": last again  # on the last entry\n";
  const std::optional<LoadError> error = load_error(text);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->kind, Kind::DuplicateKey);
  EXPECT_EQ(error->text, "k" + std::to_string(n - 1));

  const Node root = loaded(text, allowing_duplicates());
  ASSERT_EQ(root.size(), static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) EXPECT_EQ(root.pairs()[i].key().value(), "k" + std::to_string(i));
  EXPECT_EQ(root.pairs()[0].value().value(), n == 1 ? "last again" : "first again");
  const Node& last = root.pairs()[n - 1].value();
  EXPECT_EQ(last.value(), "last again");
  ASSERT_NE(last.comment(), nullptr);
  EXPECT_EQ(last.comment()->text, "on the last entry");
  EXPECT_EQ(root.source_range(), (SourceRange{0, text.size() - std::string_view("  # on the last entry\n").size()}));
}

INSTANTIATE_TEST_SUITE_P(Sizes, LoadMappingSizes, ::testing::Values(1, 2, 8, 9, 17, 100, 20000));

// The key that arrives when a mapping outgrows its staging area must be the one looked up, not the staging
// slot it left behind (an empty key first made that slot look like a duplicate of it).
TEST(Load, KeyThatMakesAMappingSpillIsItself) {
  std::string text = ": 0\n";
  for (int i = 1; i <= 12; ++i) text += "k" + std::to_string(i) + ": " + std::to_string(i) + "\n";
  for (const LoadOptions& options : {LoadOptions{}, allowing_duplicates()}) {
    Node root = loaded(text, options);
    ASSERT_EQ(root.size(), 13u);
    EXPECT_EQ(value_at(root, "").value().view(), "0");
    for (int i = 1; i <= 12; ++i) {
      EXPECT_EQ(value_at(root, "k" + std::to_string(i)).value().view(), std::to_string(i));
    }
  }
}

TEST(Load, TrailingCommentAfterADuplicateGoesToTheLastEntry) {
  // The duplicate only replaces the value of `a`; the last entry is still `b`.
  const Node root = loaded("a: 1\nb: 2\na: 3  # c\n", allowing_duplicates());
  EXPECT_EQ(value_at(root, "a").value(), "3");
  EXPECT_EQ(value_at(root, "a").comment(), nullptr);
  ASSERT_NE(value_at(root, "b").comment(), nullptr);
  EXPECT_EQ(value_at(root, "b").comment()->text, "c");
}

TEST(Load, DuplicateValueStaysInTheFirstPosition) {
  const Node root = loaded("{a: 1, b: 2, a: 3}", allowing_duplicates());
  EXPECT_EQ(keys_of(root), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(value_at(root, "a").value(), "3");
}

TEST(Load, ComplexDuplicateKeyIsNamedByItsRendering) {
  const std::optional<LoadError> error = load_error("? [x]\n: 1\n? [x]\n: 2\n");
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->text.rfind("Sequence { items: [Scalar { value: \"x\"", 0), 0u) << error->text;
  EXPECT_NE(error->text.find("Some(12..15)"), std::string::npos) << error->text;  // the second key's range
}

TEST(Load, ParseErrorMessage) {
  const std::optional<LoadError> error = load_error("a: [1, 2\n");
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->kind, Kind::Parse);
  EXPECT_EQ(error->text.rfind("YAML parse error: ", 0), 0u) << error->text;
  EXPECT_NE(error->text.find(" at char "), std::string::npos) << error->text;
  EXPECT_NE(error->text.find(" line "), std::string::npos) << error->text;
}

TEST(Load, AnchorAndAliasNamesAreTheWrittenOnes) {
  const Node root = loaded("- a=1&b=2\n- &x 1\n- *x\n- 'q &z' # &w\n- &y [*x]\n");
  ASSERT_EQ(root.size(), 5u);
  ASSERT_NE(root.items()[1].anchor(), nullptr);
  EXPECT_EQ(*root.items()[1].anchor(), "x");
  EXPECT_EQ(root.items()[2].alias_name(), "x");
  EXPECT_EQ(root.items()[3].anchor(), nullptr);
  ASSERT_NE(root.items()[4].anchor(), nullptr);
  EXPECT_EQ(*root.items()[4].anchor(), "y");
  EXPECT_EQ(root.items()[4].items()[0].alias_name(), "x");
}

TEST(Load, BlockScalarChomping) {
  const Node root = loaded("s: |-\n  a\nk: >+\n  b\n\nc: |\n  c\nd: |2-\n   d\n");
  EXPECT_EQ(value_at(root, "s").chomping(), Chomping::Strip);
  EXPECT_EQ(value_at(root, "s").value(), "a");
  EXPECT_EQ(value_at(root, "k").chomping(), Chomping::Keep);
  EXPECT_EQ(value_at(root, "k").style(), ScalarStyle::Folded);
  EXPECT_EQ(value_at(root, "c").chomping(), Chomping::Clip);
  EXPECT_EQ(value_at(root, "c").style(), ScalarStyle::Literal);
  EXPECT_EQ(value_at(root, "d").chomping(), Chomping::Strip);  // an indentation digit before the indicator
  EXPECT_EQ(value_at(root, "d").value(), " d");
  EXPECT_EQ(loaded("'x'").chomping(), Chomping::Clip);
}

TEST(Load, RangesAreBytes) {
  const Node root = loaded("\xC3\xA9: x\n");
  const PairEntry& entry = root.pairs()[0];
  EXPECT_EQ(entry.key().source_range(), (SourceRange{0, 2}));
  EXPECT_EQ(entry.value().source_range(), (SourceRange{4, 5}));
  EXPECT_EQ(root.source_range(), (SourceRange{0, 5}));
}

TEST(Load, RangesOfCollections) {
  constexpr std::string_view kText = "top:\n  - [a, b]  \n  - {c: d}\nlast: x\n";
  const Node root = loaded(kText);
  const Node& top = value_at(root, "top");
  auto text_of = [&](const Node& node) {
    const SourceRange range = node.source_range().value_or(SourceRange{});
    return kText.substr(range.start, range.end - range.start);
  };
  EXPECT_EQ(text_of(root), kText.substr(0, kText.size() - 1));
  EXPECT_EQ(text_of(top), "- [a, b]  \n  - {c: d}");
  EXPECT_EQ(text_of(top.items()[0]), "[a, b]");
  EXPECT_EQ(text_of(top.items()[1]), "{c: d}");
  EXPECT_TRUE(top.items()[0].flow_style());
  EXPECT_FALSE(top.flow_style());
  EXPECT_FALSE(root.flow_style());
}

TEST(Load, DoubleQuotedEscapesAreDecodedOnce) {
  EXPECT_EQ(loaded("\"a\\x41b\"").value(), "aAb");
  EXPECT_EQ(loaded("\"a\\\\nb\"").value(), "a\\nb");
  EXPECT_EQ(loaded("\"\\u00e9\\t\"").value(), "\xC3\xA9\t");
}

TEST(Load, Tags) {
  const Node root = loaded("- !!str x\n- !foo y\n- !<tag:e.com,2000:z> z\n- ! w\n");
  EXPECT_EQ(*root.items()[0].tag(), (Tag{"!!", "str"}));
  EXPECT_EQ(*root.items()[1].tag(), (Tag{"!", "foo"}));
  EXPECT_EQ(tag_text(*root.items()[2].tag()), "!<tag:e.com,2000:z>");
  EXPECT_EQ(tag_text(*root.items()[3].tag()), "!");
}

TEST(Load, PlainScalarsShareTheSource) {
  const SharedText source = SharedText::copy_of("key: value\nq: \"esc\\taped\"\n");
  LoadOneResult result = load_one(source, LoadOptions{});
  const Node& root = std::get<Node>(result);
  EXPECT_TRUE(root.pairs()[0].key().value().shares_storage_with(source));
  EXPECT_TRUE(root.pairs()[0].value().value().shares_storage_with(source));
  EXPECT_EQ(value_at(root, "q").value(), "esc\taped");
}

TEST(Load, MergeKeysWhenAsked) {
  constexpr std::string_view kText = "base: &b {x: 1, y: 2}\nitem: {<<: *b, y: 3, z: 4}\n";
  LoadOptions merging;
  merging.resolve_merges = true;
  const Node merged = loaded(kText, merging);
  EXPECT_EQ(keys_of(value_at(merged, "item")), (std::vector<std::string>{"x", "y", "z"}));
  EXPECT_EQ(value_at(value_at(merged, "item"), "y").value(), "3");
  EXPECT_FALSE(value_at(merged, "item").pairs()[0].key().source_range().has_value());
  EXPECT_TRUE(value_at(merged, "item").pairs()[1].key().source_range().has_value());

  const Node unmerged = loaded(kText);
  EXPECT_EQ(keys_of(value_at(unmerged, "item")), (std::vector<std::string>{"<<", "y", "z"}));

  const std::vector<Node> documents = loaded_all(std::string(kText) + "---\n" + std::string(kText), merging);
  ASSERT_EQ(documents.size(), 2u);
  for (const Node& document : documents) {
    EXPECT_EQ(keys_of(value_at(document, "item")), (std::vector<std::string>{"x", "y", "z"}));
  }
}

TEST(Load, MergeBombsFailInsteadOfExhaustingMemory) {
  // 2000 keys merged into 2000 mappings would copy 8 million nodes from a text of 30 kB.
  std::string text = "base: &b {";
  for (int i = 0; i < 2000; ++i) text += "k" + std::to_string(i) + ": 1, ";
  text += "z: 1}\nitems:\n";
  for (int i = 0; i < 2000; ++i) text += "- {<<: *b}\n";
  LoadOptions merging;
  merging.resolve_merges = true;
  const std::optional<LoadError> error = load_error(text, merging);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->kind, Kind::Parse);
  EXPECT_NE(error->text.find("merge keys"), std::string::npos) << error->text;
  EXPECT_FALSE(load_error(text).has_value());  // without merging the text loads
}

TEST(Load, CommentsThroughTheParser) {
  const Node root = loaded("# head\na: 1  # note\n# first\n# second\nb: 2\n");
  ASSERT_NE(root.comment(), nullptr);
  EXPECT_EQ(root.comment()->text, "head");
  EXPECT_TRUE(root.comment()->standalone);
  ASSERT_NE(value_at(root, "a").comment(), nullptr);
  EXPECT_EQ(value_at(root, "a").comment()->text, "note");
  EXPECT_FALSE(value_at(root, "a").comment()->standalone);
  EXPECT_EQ(root.pairs()[0].key().comment(), nullptr);
  ASSERT_NE(root.pairs()[1].key().comment(), nullptr);
  EXPECT_EQ(root.pairs()[1].key().comment()->text, "second");
  EXPECT_EQ(loaded("#\nx\n").comment()->text, "");
}

TEST(Load, ANestedCollectionTakesTheSlotOfItsParent) {
  const Node root = loaded("# lost\nc:\n  - x  # on x\n");
  EXPECT_EQ(root.comment(), nullptr);
  const Node& x = value_at(root, "c").items()[0];
  ASSERT_NE(x.comment(), nullptr);
  EXPECT_EQ(x.comment()->text, "on x");
  EXPECT_FALSE(x.comment()->standalone);
}

TEST(Load, CommentsCrossDocuments) {
  const std::vector<Node> documents = loaded_all("a\n# for b\n--- # dropped\nb\n# never claimed\n");
  ASSERT_EQ(documents.size(), 2u);
  EXPECT_EQ(documents[0].comment(), nullptr);
  ASSERT_NE(documents[1].comment(), nullptr);
  EXPECT_EQ(documents[1].comment()->text, "for b");
  EXPECT_TRUE(documents[1].comment()->standalone);
}

TEST(Load, DeepNestingFailsCleanly) {
  const std::string deep = std::string(50000, '[') + std::string(50000, ']');
  const std::optional<LoadError> error = load_error(deep, with_depth(1000));
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->kind, Kind::DepthExceeded);
}

TEST(Load, RepeatedLoadsGiveEqualTrees) {
  constexpr std::string_view kText = "a: [1, 2, {b: c}]\nd: |\n  text\n";
  const Node first = loaded(kText);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(loaded(kText), first);
}

}  // namespace
}  // namespace velmo::parser
