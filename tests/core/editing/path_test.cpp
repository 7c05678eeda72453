#include <gtest/gtest.h>

#include "editing/path.hpp"

namespace velmo {
namespace {

Node plain(std::string_view s, ScalarStyle style = ScalarStyle::Plain) {
  return Node::scalar(SharedText::copy_of(s), style);
}

// a: [x, {b: 1}], '1': one, [k]: v
Node sample() {
  Node inner = Node::mapping();
  inner.pairs().insert(plain("b"), plain("1"));
  Node seq = Node::sequence();
  seq.items().push_back(plain("x"));
  seq.items().push_back(std::move(inner));
  Node root = Node::mapping();
  root.pairs().insert(plain("a"), std::move(seq));
  root.pairs().insert(plain("1", ScalarStyle::SingleQuoted), plain("one"));
  Node complex_key = Node::sequence(true);
  complex_key.items().push_back(plain("k"));
  root.pairs().insert(std::move(complex_key), plain("v"));
  return root;
}

TEST(ResolvePath, Cases) {
  Node root = sample();
  struct Case {
    Path path;
    std::string expected;  // the scalar's text, or the error's display text
  };
  const Case cases[] = {
      {{Segment::key("a"), Segment::index(0)}, "x"},
      {{Segment::key("a"), Segment::index(-1), Segment::key("b")}, "1"},
      {{Segment::key("a"), Segment::index(-2)}, "x"},
      {{Segment::key("1")}, "one"},  // style is ignored by key matching
      {{Segment::key("zz")}, "missing-path:zz"},
      {{Segment::key("a"), Segment::index(2)}, "missing-path:2"},
      {{Segment::key("a"), Segment::index(-3)}, "missing-path:-3"},
      {{Segment::key("a"), Segment::key("b")}, "cannot-descend-into-scalar:b"},
      {{Segment::index(0)}, "cannot-descend-into-scalar:0"},
      {{Segment::key("a"), Segment::index(0), Segment::key("q")}, "cannot-descend-into-scalar:q"},
      {{Segment::key("k")}, "missing-path:k"},  // complex keys never match
  };
  for (const Case& c : cases) {
    auto r = resolve_path(root, c.path);
    if (auto* node = std::get_if<const Node*>(&r)) {
      EXPECT_EQ((*node)->value().view(), c.expected);
    } else {
      EXPECT_EQ(std::get<EditError>(r).display(), c.expected);
    }
  }
  auto whole = resolve_path(root, {});
  ASSERT_TRUE(std::holds_alternative<const Node*>(whole));
  EXPECT_EQ(std::get<const Node*>(whole), &root);
}

TEST(EditError, DisplayTexts) {
  EXPECT_EQ((EditError{EditError::Kind::CreateNeedsMapping, ""}).display(), "create-needs-mapping");
  EXPECT_EQ((EditError{EditError::Kind::MissingTarget, ""}).display(), "missing-path");
  EXPECT_EQ((EditError{EditError::Kind::IndexOutOfRange, ""}).display(), "index-out-of-range-edit");
  EXPECT_EQ((EditError{EditError::Kind::Detail, "index-out-of-range-edit:7"}).display(), "index-out-of-range-edit:7");
  EXPECT_EQ(segment_text(Segment::index(-4)), "-4");
}

}  // namespace
}  // namespace velmo
