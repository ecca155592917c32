#include "quorlane/text_store.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorlane {
namespace {

struct Kept {
  BlockRef block;
  std::string_view text;
  std::string expected;
};

std::string text_number(int i, std::size_t size) {
  std::string text = std::to_string(i) + ":";
  text.resize(size, static_cast<char>('a' + i % 26));
  return text;
}

// Enough texts to go from the small blocks to the large ones, with one text larger than any block; every
// text stays intact after the store is gone, as long as its block is held.
TEST(TextStore, TextsOutliveTheStoreInSmallAndLargeBlocks) {
  std::vector<Kept> kept;
  {
    TextStore store;
    for (int i = 0; i < 6000; ++i) {
      const std::size_t size = i == 3000 ? 5 * 1024 * 1024 : 1000 + i % 7;
      std::string expected = text_number(i, size);
      BlockRef block = store.reserve(expected.size());
      std::string_view text = store.copy(expected);
      if (i % 97 == 0 || i == 3000) kept.push_back({std::move(block), text, std::move(expected)});
    }
  }
  ASSERT_GT(kept.size(), 60u);
  for (const Kept& k : kept) {
    ASSERT_TRUE(k.block);
    EXPECT_EQ(k.text, k.expected);
  }
}

TEST(TextStore, MovedFromStoreStartsAFreshBlock) {
  TextStore store;
  for (int i = 0; i < 2000; ++i) store.copy(text_number(i, 1000));  // into the large blocks
  BlockRef before = store.reserve(10);
  TextStore moved(std::move(store));
  EXPECT_TRUE(moved.reserve(10) == before);  // the move takes the current block along
  BlockRef fresh = store.reserve(10);        // NOLINT(bugprone-use-after-move): a moved-from store is usable
  EXPECT_FALSE(fresh == before);
  EXPECT_EQ(store.copy("abc"), "abc");
}

}  // namespace
}  // namespace quorlane
