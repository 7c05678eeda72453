#include "tree/shared_text.hpp"

#include <gtest/gtest.h>

namespace velmo {
namespace {

TEST(SharedText, SubstrSharesTheBlockAndOutlivesTheWhole) {
  SharedText part;
  {
    const SharedText source = SharedText::copy_of("key: value\n");
    part = source.substr(5, 5);
    EXPECT_TRUE(part.shares_storage_with(source));
  }
  EXPECT_EQ(part, "value");
  EXPECT_EQ(part.substr(1, 100), "alue");
  EXPECT_EQ(part.substr(99), "");
  EXPECT_TRUE(part.substr(5).empty());
}

TEST(SharedText, CopiesShareAndEmptyTextsNeedNoBlock) {
  const SharedText a = SharedText::copy_of("abc");
  const SharedText b = a;
  EXPECT_TRUE(b.shares_storage_with(a));
  EXPECT_FALSE(SharedText::copy_of("abc").shares_storage_with(a));
  EXPECT_EQ(SharedText::copy_of("abc"), a);
  const SharedText empty = SharedText::copy_of("");
  EXPECT_TRUE(empty.empty());
  EXPECT_STREQ(empty.data(), "");
  EXPECT_EQ(empty, SharedText());
}

}  // namespace
}  // namespace velmo
