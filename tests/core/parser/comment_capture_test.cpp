#include "parser/comment_capture.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "hand_events.hpp"
#include "parser/tree_builder.hpp"
#include "tree/pairs.hpp"

namespace velmo::parser {
namespace {

using namespace velmo::parser::testing;

// The comment a node carries, as (text, standalone), or nullopt.
std::optional<std::pair<std::string, bool>> comment_of(const Node& node) {
  const Comment* comment = node.comment();
  if (comment == nullptr) return std::nullopt;
  return std::pair<std::string, bool>(std::string(comment->text.view()), comment->standalone);
}

const std::optional<std::pair<std::string, bool>> kNone;
std::optional<std::pair<std::string, bool>> standalone(std::string text) { return std::pair(text, true); }
std::optional<std::pair<std::string, bool>> trailing(std::string text) { return std::pair(text, false); }

std::vector<Node> build(const std::vector<Event>& events) {
  BuildOptions options;
  options.collect_documents = true;
  TreeBuilder builder(SharedText(), options);
  feed(builder, events);
  return builder.take_documents();
}

TEST(CommentCapture, TrailingCommentGoesToTheValueNotTheKey) {
  // a: 1  # note
  const Node root = build({mapping_start(), scalar("a"), scalar("1"), comment(" note", true), mapping_end(),
                           document_end()})
                        .at(0);
  EXPECT_EQ(comment_of(root.pairs()[0].value()), trailing("note"));
  EXPECT_EQ(comment_of(root.pairs()[0].key()), kNone);
  EXPECT_EQ(comment_of(root), kNone);
}

TEST(CommentCapture, OnlyTheLastOfConsecutiveStandaloneCommentsSurvives) {
  // a: 1 / # first / # second / b: 2
  const Node root = build({mapping_start(), scalar("a"), scalar("1"), comment(" first", false),
                           comment(" second", false), scalar("b"), scalar("2"), mapping_end(), document_end()})
                        .at(0);
  EXPECT_EQ(comment_of(root.pairs()[1].key()), standalone("second"));
  EXPECT_EQ(comment_of(root.pairs()[1].value()), kNone);
}

TEST(CommentCapture, StandaloneBeforeACollectionLandsOnIt) {
  const Node root = build({comment(" about m", false), mapping_start(), scalar("a"), scalar("1"), mapping_end(),
                           document_end()})
                        .at(0);
  EXPECT_EQ(comment_of(root), standalone("about m"));
  EXPECT_EQ(comment_of(root.pairs()[0].key()), kNone);
}

TEST(CommentCapture, ANestedCollectionOpeningDropsTheEnclosingCollectionsComment) {
  const Node root = build({comment(" about m", false), mapping_start(), scalar("a"), sequence_start(),
                           scalar("1"), sequence_end(), mapping_end(), document_end()})
                        .at(0);
  EXPECT_EQ(comment_of(root), kNone);
  EXPECT_EQ(comment_of(root.pairs()[0].value()), kNone);
}

TEST(CommentCapture, TrailingCommentInASequenceGoesToTheLastItem) {
  // - x  # c      and     [a,  # c \n b]
  for (bool flow : {false, true}) {
    const Node root = build({sequence_start(0, flow), scalar("x"), comment(" c ", true), scalar("y"),
                             sequence_end(), document_end()})
                          .at(0);
    EXPECT_EQ(comment_of(root.items()[0]), trailing("c"));
    EXPECT_EQ(comment_of(root.items()[1]), kNone);
    EXPECT_EQ(comment_of(root), kNone);
  }
}

TEST(CommentCapture, TrailingCommentWhileAKeyWaitsGoesToTheKey) {
  // key:  # c \n  - 1     with the comment before the sequence opens
  const Node root = build({mapping_start(), scalar("key"), comment(" c", true), sequence_start(), scalar("1"),
                           sequence_end(), mapping_end(), document_end()})
                        .at(0);
  EXPECT_EQ(comment_of(root.pairs()[0].key()), trailing("c"));
  EXPECT_EQ(comment_of(root.pairs()[0].value()), kNone);
}

TEST(CommentCapture, TrailingCommentInAnEmptyCollectionWaitsForItsEnd) {
  // key:  # c \n  - 1     with the comment after the sequence opened
  const Node root = build({mapping_start(), scalar("key"), sequence_start(), comment(" c", true), scalar("1"),
                           sequence_end(), mapping_end(), document_end()})
                        .at(0);
  EXPECT_EQ(comment_of(root.pairs()[0].key()), kNone);
  EXPECT_EQ(comment_of(root.pairs()[0].value()), trailing("c"));
  EXPECT_EQ(comment_of(root.pairs()[0].value().items()[0]), kNone);

  const Node mapping = build({mapping_start(), comment(" m", true), scalar("a"), scalar("1"), mapping_end(),
                              document_end()})
                           .at(0);
  EXPECT_EQ(comment_of(mapping), trailing("m"));
}

TEST(CommentCapture, AliasesNeverTakeComments) {
  // - *a  # dropped \n # passes on \n - *a \n - x
  const Node root = build({sequence_start(), alias(1, "a"), comment(" dropped", true), comment(" passes on", false),
                           alias(1, "a"), scalar("x"), sequence_end(), document_end()})
                        .at(0);
  EXPECT_EQ(comment_of(root.items()[0]), kNone);
  EXPECT_EQ(comment_of(root.items()[1]), kNone);
  EXPECT_EQ(comment_of(root.items()[2]), standalone("passes on"));
}

TEST(CommentCapture, TheFirstCommentOfANodeStays) {
  // The trailing comment goes to the last entry's value, which already has a standalone one.
  const Node root = build({mapping_start(), scalar("a"), comment(" before", false), scalar("1"),
                           comment(" after", true), mapping_end(), document_end()})
                        .at(0);
  EXPECT_EQ(comment_of(root.pairs()[0].value()), standalone("before"));
}

TEST(CommentCapture, TextsAreTrimmedAndMayBeEmpty) {
  const Node root = build({sequence_start(), comment("", false), scalar("a"), comment(" \t\xC2\xA0 x y \t", false),
                           scalar("b"), sequence_end(), document_end()})
                        .at(0);
  EXPECT_EQ(comment_of(root.items()[0]), standalone(""));
  EXPECT_EQ(comment_of(root.items()[1]), standalone("x y"));
}

TEST(CommentCapture, TrailingCommentOnATopLevelScalar) {
  const Node root = build({scalar("x"), comment(" c", true), document_end()}).at(0);
  EXPECT_EQ(comment_of(root), trailing("c"));
}

TEST(CommentCapture, CrossesDocumentBoundaries) {
  // a \n # for b \n --- # dropped \n b
  const std::vector<Node> documents =
      build({scalar("a"), comment(" for b", false), document_end(), comment(" dropped", true), scalar("b"),
             document_end(), comment(" never claimed", false)});
  ASSERT_EQ(documents.size(), 2u);
  EXPECT_EQ(comment_of(documents[0]), kNone);
  EXPECT_EQ(comment_of(documents[1]), standalone("for b"));
}

TEST(CommentCapture, AttachIfAbsent) {
  Node node = Node::scalar(SharedText::copy_of("x"));
  attach_if_absent(node, Comment{SharedText::copy_of("first"), true});
  attach_if_absent(node, Comment{SharedText::copy_of("second"), false});
  EXPECT_EQ(comment_of(node), standalone("first"));
  Node alias = Node::alias("a");
  attach_if_absent(alias, Comment{SharedText::copy_of("c"), true});
  EXPECT_EQ(alias.comment(), nullptr);
}

}  // namespace
}  // namespace velmo::parser
