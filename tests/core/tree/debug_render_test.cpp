#include <gtest/gtest.h>

#include "tree/node.hpp"

namespace velmo {
namespace {

constexpr const char* kEmptyMeta = "NodeMeta { comment: None, anchor: None, tag: None, source_range: None }";

TEST(DebugRender, PlainScalarWithRange) {
  Node node = Node::scalar(SharedText::copy_of("a"));
  node.meta()->set_source_range(SourceRange{0, 1});
  EXPECT_EQ(debug_string(node),
            "Scalar { value: \"a\", style: Plain, chomping: Clip, meta: NodeMeta { comment: None, anchor: None, "
            "tag: None, source_range: Some(0..1) } }");
}

TEST(DebugRender, AliasAndNull) {
  EXPECT_EQ(debug_string(Node::alias("x")), "Alias { name: \"x\" }");
  EXPECT_EQ(debug_string(Node::null()), std::string("Null { meta: ") + kEmptyMeta + " }");
}

TEST(DebugRender, CollectionsWithMetadata) {
  Node map = Node::mapping(true);
  map.pairs().insert(Node::scalar(SharedText::copy_of("k"), ScalarStyle::DoubleQuoted), Node::null());
  map.meta()->set_anchor("a1");
  map.meta()->set_tag(Tag{"!!", "map"});
  map.meta()->set_comment(Comment{SharedText::copy_of("hi"), true});
  Node seq = Node::sequence();
  seq.items().push_back(Node::scalar(SharedText::copy_of("t"), ScalarStyle::Literal, Chomping::Keep));
  seq.items().push_back(Node::alias("a1"));
  seq.items().push_back(std::move(map));
  const std::string meta = kEmptyMeta;
  EXPECT_EQ(debug_string(seq),
            "Sequence { items: [Scalar { value: \"t\", style: Literal, chomping: Keep, meta: " + meta +
                " }, Alias { name: \"a1\" }, Mapping { pairs: {Scalar { value: \"k\", style: DoubleQuoted, "
                "chomping: Clip, meta: " + meta + " }: Null { meta: " + meta +
                " }}, flow_style: true, meta: NodeMeta { comment: Some(Comment { text: \"hi\", standalone: true }), "
                "anchor: Some(\"a1\"), tag: Some(Tag { handle: \"!!\", suffix: \"map\" }), source_range: None } }], "
                "flow_style: false, meta: " + meta + " }");
  EXPECT_EQ(debug_string(Node::sequence()), "Sequence { items: [], flow_style: false, meta: " + meta + " }");
  EXPECT_EQ(debug_string(Node::mapping()), "Mapping { pairs: {}, flow_style: false, meta: " + meta + " }");
}

TEST(DebugRender, EscapesQuotesBackslashesAndControls) {
  struct Case {
    std::string text;
    const char* rendered;
  };
  const Case cases[] = {
      {"say \"hi\"", R"("say \"hi\"")"},
      {"a\\b", R"("a\\b")"},
      {"l1\nl2\r\t", R"("l1\nl2\r\t")"},
      {std::string("nul\0", 4), R"("nul\0")"},
      {"bell\x07 esc\x1b del\x7f", R"("bell\u{7} esc\u{1b} del\u{7f}")"},
      {"c1\xc2\x85 nbsp\xc2\xa0 \xc3\xa9", "\"c1\\u{85} nbsp\xc2\xa0 \xc3\xa9\""},
      {"it's", R"("it's")"},
  };
  for (const Case& c : cases) EXPECT_EQ(debug_string(Node::alias(c.text)), std::string("Alias { name: ") + c.rendered + " }");
}

}  // namespace
}  // namespace velmo
