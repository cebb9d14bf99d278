#include "base/random.h"

#include <gtest/gtest.h>

#include <set>

namespace vespodar {

namespace {

TEST(RandomTest, RandomLettersAreLowerCaseAndVary) {
  SeedRandom(12345);
  std::set<std::string> names;
  for (int i = 0; i < 100; ++i) {
    const std::string name = RandomLetters(8);
    ASSERT_EQ(8u, name.size());
    for (char c : name) ASSERT_TRUE(c >= 'a' && c <= 'z') << name;
    names.insert(name);
  }
  EXPECT_EQ(100u, names.size());
  // The same seed gives the same names; a zero seed does not get stuck.
  SeedRandom(12345);
  const std::string first = RandomLetters(8);
  SeedRandom(12345);
  EXPECT_EQ(first, RandomLetters(8));
  SeedRandom(0);
  EXPECT_NE(RandomLetters(8), RandomLetters(8));
}

}  // namespace

}  // namespace vespodar
