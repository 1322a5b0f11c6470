#include "platform/scripting/dictionary.h"

#include <gtest/gtest.h>

#include "platform/com/com_error.h"

namespace orvex {
namespace {

TEST(DictionaryTest, TextModeIgnoresCaseAndRefusesDuplicates) {
  Dictionary items(Dictionary::CompareMode::kText);
  items.Add("Provider", "MSOLAP");
  EXPECT_EQ(items.Item("PROVIDER").ToString(), "MSOLAP");
  try {
    items.Add("provider", "other");
    FAIL() << "a duplicate key was accepted";
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), errors::kDuplicateKey);
  }
  EXPECT_EQ(items.Count(), 1);
}

TEST(DictionaryTest, BinaryModeKeepsOrderAndComparesExactly) {
  Dictionary items;
  items.Add("b", 1);
  items.Add("B", 2);
  items.Add("a", 3);
  ASSERT_EQ(items.Count(), 3);
  EXPECT_EQ(items.Entries()[0].first, "b");
  EXPECT_EQ(items.Entries()[2].first, "a");
  EXPECT_TRUE(items.Item("missing").IsEmpty());
  EXPECT_TRUE(items.Remove("B"));
  EXPECT_FALSE(items.Exists("B"));
}

}  // namespace
}  // namespace orvex
