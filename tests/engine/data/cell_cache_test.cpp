#include "engine/cells/cell_cache.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace orvex::engine {
namespace {

CellKey Key(const Measure& measure, int64_t key) { return CellKey{&measure, {0, 1}, {KeyValue(key)}}; }

// One answer of `count` cells with keys from `first`, each cell's value its key.
std::vector<std::pair<CellKey, CellValue>> Answer(const Measure& measure, int64_t first, int64_t count) {
  std::vector<std::pair<CellKey, CellValue>> cells;
  for (int64_t key = first; key < first + count; ++key) {
    cells.emplace_back(Key(measure, key), CellValue(CellNumber(static_cast<double>(key))));
  }
  return cells;
}

// Which of the answers starting at `firsts` (two cells each) the cache still holds, as "1 5 ".
std::string Held(const CellCache& cache, const Measure& measure, std::initializer_list<int64_t> firsts) {
  std::string held;
  for (int64_t first : firsts) {
    bool whole = cache.Find(Key(measure, first)) && cache.Find(Key(measure, first + 1));
    if (whole) held += std::to_string(first) + " ";
  }
  return held;
}

TEST(CellCacheTest, ForgetsTheLeastRecentlyReadAnswersUntilANewOneFits) {
  Measure measure;
  CellCache cache(6);
  cache.Insert(Answer(measure, 0, 2), nullptr);
  cache.Insert(Answer(measure, 10, 2), nullptr);
  cache.Insert(Answer(measure, 20, 2), nullptr);
  ASSERT_EQ(cache.size(), 6u);
  // Reading the oldest answer makes the second the least recently used.
  ASSERT_TRUE(cache.Find(Key(measure, 1)));
  cache.Insert(Answer(measure, 30, 2), nullptr);
  EXPECT_EQ(cache.size(), 6u);
  EXPECT_FALSE(cache.Find(Key(measure, 10)));
  EXPECT_FALSE(cache.Find(Key(measure, 11)));  // an answer goes whole
  EXPECT_EQ(Held(cache, measure, {0, 20, 30}), "0 20 30 ");
  // Four cells need two answers to go: 0 and 20, read before 30 by the check above.
  cache.Insert(Answer(measure, 40, 4), nullptr);
  EXPECT_EQ(Held(cache, measure, {0, 20, 30}), "30 ");
  EXPECT_EQ(cache.size(), 6u);
}

TEST(CellCacheTest, AnAnswerLargerThanTheCacheIsKeptAloneAndACellHeldStaysWithItsFirstAnswer) {
  Measure measure;
  CellCache cache(4);
  cache.Insert(Answer(measure, 0, 2), nullptr);
  cache.Insert(Answer(measure, 10, 6), nullptr);
  EXPECT_EQ(cache.size(), 6u);
  EXPECT_FALSE(cache.Find(Key(measure, 0)));
  cache.Clear();
  cache.Insert(Answer(measure, 0, 2), nullptr);
  cache.Insert(Answer(measure, 1, 2), nullptr);  // cell 1 again, and cell 2
  EXPECT_EQ(cache.size(), 3u);
  (void)cache.Find(Key(measure, 2));
  cache.Insert(Answer(measure, 50, 2), nullptr);  // the first answer, cells 0 and 1, goes
  EXPECT_FALSE(cache.Find(Key(measure, 1)));
  EXPECT_TRUE(cache.Find(Key(measure, 2)));
  EXPECT_EQ(cache.size(), 3u);
}

TEST(CellCacheTest, ManyThreadsReadAndInsertWithinTheBound) {
  Measure measure;
  CellCache cache(100);
  std::vector<std::thread> threads;
  for (int thread = 0; thread < 4; ++thread) {
    threads.emplace_back([&, thread] {
      for (int64_t round = 0; round < 300; ++round) {
        int64_t first = (thread * 1000 + round) * 10;
        cache.Insert(Answer(measure, first, 10), nullptr);
        for (int64_t key = first; key < first + 10; key += 3) {
          auto value = cache.Find(Key(measure, key));
          // Another thread may have pushed it out; a value found is the right one.
          if (value && *value) {
            EXPECT_EQ(std::get<double>(**value), static_cast<double>(key));
          }
        }
        EXPECT_LE(cache.size(), 100u);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_LE(cache.size(), 100u);
}

}  // namespace
}  // namespace orvex::engine
