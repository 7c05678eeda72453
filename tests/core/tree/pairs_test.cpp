#include "tree/node.hpp"

#include <gtest/gtest.h>

#include <string>

namespace velmo {
namespace {

Node plain(std::string_view text) { return Node::scalar(SharedText::copy_of(text)); }

// Small mappings scan linearly and large ones use the index; every behaviour must hold for both.
class PairsBySize : public ::testing::TestWithParam<int> {};

TEST_P(PairsBySize, InsertKeepsOrderAndReplacesEqualKeysInPlace) {
  const int count = GetParam();
  Pairs pairs;
  for (int i = 0; i < count; ++i) EXPECT_TRUE(pairs.insert(plain("k" + std::to_string(i)), plain("v")).inserted);

  Node first_key = plain("k0");
  first_key.meta()->set_source_range(SourceRange{0, 2});
  Node later_key = plain("k0");
  later_key.meta()->set_source_range(SourceRange{50, 52});
  Pairs::InsertResult replaced = pairs.insert(later_key, plain("new"));
  EXPECT_FALSE(replaced.inserted);
  EXPECT_EQ(replaced.index, 0u);
  ASSERT_EQ(pairs.size(), static_cast<std::size_t>(count));
  EXPECT_EQ(pairs[0].value().value(), "new");
  EXPECT_EQ(pairs[0].key().value(), "k0");
  for (int i = 0; i < count; ++i) EXPECT_EQ(pairs[i].key().value(), "k" + std::to_string(i));

  // 'k1' (single-quoted) is a different key from the plain k1.
  EXPECT_TRUE(pairs.insert(Node::scalar(SharedText::copy_of("k1"), ScalarStyle::SingleQuoted), plain("q")).inserted);
  EXPECT_EQ(pairs.size(), static_cast<std::size_t>(count) + 1);
}

TEST_P(PairsBySize, FindEraseSetKeyAndInsertAtKeepLookupsRight) {
  const int count = GetParam();
  Pairs pairs;
  for (int i = 0; i < count; ++i) pairs.insert(plain(std::to_string(i)), plain("v" + std::to_string(i)));

  pairs.erase(1);
  EXPECT_FALSE(pairs.contains(plain("1")));
  for (int i = 2; i < count; ++i) {
    ASSERT_EQ(pairs.find_index(plain(std::to_string(i))), static_cast<std::size_t>(i - 1));
  }
  pairs.set_key(0, plain("zero"));
  EXPECT_FALSE(pairs.contains(plain("0")));
  EXPECT_EQ(pairs.find(plain("zero"))->value(), "v0");

  Pairs::InsertResult placed = pairs.insert_at(0, plain("front"), plain("f"));
  EXPECT_TRUE(placed.inserted);
  EXPECT_EQ(pairs[0].key().value(), "front");
  EXPECT_EQ(pairs.find_index(plain("zero")), 1u);
  if (count > 2) {
    EXPECT_EQ(pairs.find_index(plain(std::to_string(count - 1))), static_cast<std::size_t>(count - 1));
  }
  Pairs::InsertResult kept = pairs.insert_at(0, plain("zero"), plain("again"));
  EXPECT_FALSE(kept.inserted);
  EXPECT_EQ(kept.index, 1u);
  EXPECT_EQ(pairs[1].value().value(), "again");
}

INSTANTIATE_TEST_SUITE_P(SmallAndIndexed, PairsBySize, ::testing::Values(3, 8, 9, 200));

TEST(Pairs, ComplexKeysAreFoundByStructure) {
  Pairs pairs;
  for (int i = 0; i < 20; ++i) {
    Node key = Node::mapping(true);
    key.pairs().insert(plain("x"), plain(std::to_string(i)));
    key.pairs().insert(plain("y"), plain("same"));
    pairs.insert(std::move(key), plain(std::to_string(i)));
  }
  Node probe = Node::mapping(true);
  probe.pairs().insert(plain("y"), plain("same"));
  probe.pairs().insert(plain("x"), plain("13"));
  ASSERT_NE(pairs.find(probe), nullptr);
  EXPECT_EQ(pairs.find(probe)->value(), "13");
  probe.set_flow_style(false);
  EXPECT_EQ(pairs.find(probe), nullptr);
}

TEST(Pairs, ManyKeysWithTheSameTextButDifferentStylesStayDistinct) {
  Pairs pairs;
  const ScalarStyle styles[] = {ScalarStyle::Plain, ScalarStyle::SingleQuoted, ScalarStyle::DoubleQuoted,
                                ScalarStyle::Literal, ScalarStyle::Folded};
  for (int i = 0; i < 10; ++i) {
    for (ScalarStyle style : styles) pairs.insert(Node::scalar(SharedText::copy_of("same"), style), plain("v"));
    pairs.insert(plain("other" + std::to_string(i)), plain("v"));
  }
  EXPECT_EQ(pairs.size(), 5u + 10u);
}

// Building a 200,000-entry mapping with a duplicate check per insert would take minutes if lookups were linear.
TEST(Pairs, LargeMappingsBuildInLinearTime) {
  Pairs pairs;
  constexpr int kCount = 200000;
  for (int i = 0; i < kCount; ++i) pairs.insert(plain(std::to_string(i)), plain("v"));
  for (int i = 0; i < kCount; i += 997) pairs.insert(plain(std::to_string(i)), plain("dup"));
  EXPECT_EQ(pairs.size(), static_cast<std::size_t>(kCount));
  EXPECT_EQ(pairs.find(plain("997"))->value(), "dup");
  EXPECT_EQ(pairs.find(plain("998"))->value(), "v");

  Pairs copy = pairs;
  EXPECT_EQ(copy.find(plain("199999"))->value(), "v");
}

}  // namespace
}  // namespace velmo
