#include "base/random.h"

namespace vespodar {

namespace {

std::uint32_t randomState = 1;

}  // namespace

void SeedRandom(std::uint32_t seed) { randomState = seed ? seed : 1; }

std::uint32_t NextRandom() {
  // xorshift32: uniform enough for file names, and the same on every compiler.
  std::uint32_t x = randomState;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  randomState = x;
  return x;
}

std::string RandomLetters(std::size_t count) {
  std::string letters;
  for (std::size_t i = 0; i < count; ++i)
    letters += static_cast<char>('a' + NextRandom() % 26);
  return letters;
}

}  // namespace vespodar
