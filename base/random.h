#ifndef VESPODAR_BASE_RANDOM_H_
#define VESPODAR_BASE_RANDOM_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace vespodar {

// The process-wide pseudo-random generator, for names of files the setup
// creates. Seeded once at start-up.
void SeedRandom(std::uint32_t seed);
std::uint32_t NextRandom();
// count letters a to z, drawn from the generator.
std::string RandomLetters(std::size_t count);

}  // namespace vespodar

#endif  // VESPODAR_BASE_RANDOM_H_
