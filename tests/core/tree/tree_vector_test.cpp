#include "tree/tree_vector.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tree/node.hpp"

namespace velmo {
namespace {

Node text(const std::string& value) { return Node::scalar(SharedText::copy_of(value)); }

std::vector<std::string> texts(const TreeVector<Node>& nodes) {
  std::vector<std::string> out;
  for (const Node& node : nodes) out.emplace_back(node.value().view());
  return out;
}

TEST(TreeVector, GrowsInsertsAndErasesKeepingOrder) {
  TreeVector<Node> nodes;
  std::vector<std::string> expected;
  for (int i = 0; i < 100; ++i) {
    nodes.push_back(text("n" + std::to_string(i)));
    expected.push_back("n" + std::to_string(i));
  }
  nodes.insert(0, text("first"));
  expected.insert(expected.begin(), "first");
  nodes.insert(50, text("middle"));
  expected.insert(expected.begin() + 50, "middle");
  nodes.insert(nodes.size(), text("last"));
  expected.push_back("last");
  nodes.erase(10, 20);
  expected.erase(expected.begin() + 10, expected.begin() + 20);
  nodes.erase(0);
  expected.erase(expected.begin());
  nodes.pop_back();
  expected.pop_back();
  EXPECT_EQ(texts(nodes), expected);
}

TEST(TreeVector, AppendingAnElementOfItselfWhileGrowing) {
  TreeVector<Node> nodes;
  nodes.push_back(text("a"));
  for (int i = 0; i < 20; ++i) nodes.push_back(nodes[0]);  // copies from the block being replaced
  ASSERT_EQ(nodes.size(), 21u);
  for (const Node& node : nodes) EXPECT_EQ(node.value().view(), "a");
}

TEST(TreeVector, CopiesAreDeepAndMovesLeaveEmpty) {
  TreeVector<Node> nodes;
  nodes.push_back(text("x"));
  nodes.push_back(text("y"));
  TreeVector<Node> copy(nodes);
  copy[0] = text("changed");
  EXPECT_EQ(texts(nodes), (std::vector<std::string>{"x", "y"}));
  TreeVector<Node> moved(std::move(copy));
  EXPECT_TRUE(copy.empty());  // NOLINT: the moved-from state is part of the contract
  EXPECT_EQ(texts(moved), (std::vector<std::string>{"changed", "y"}));
  moved = nodes;
  EXPECT_EQ(texts(moved), texts(nodes));
}

TEST(TreeVector, HeaderWordTravelsWithTheBlock) {
  TreeVector<Node> nodes;
  EXPECT_EQ(nodes.header_word(), nullptr);
  nodes.reserve(1);
  int marker = 0;
  nodes.set_header_word(&marker);
  for (int i = 0; i < 50; ++i) nodes.push_back(text("v"));  // several reallocations
  EXPECT_EQ(nodes.header_word(), &marker);
  TreeVector<Node> copy(nodes);
  EXPECT_EQ(copy.header_word(), nullptr);  // the owner decides what a copy's header holds
  nodes.clear();
  EXPECT_EQ(nodes.header_word(), &marker);
}

}  // namespace
}  // namespace velmo
