#ifndef VESPODAR_BASE_SHA256_H_
#define VESPODAR_BASE_SHA256_H_

// SHA-256 (FIPS 180-4), in plain C++. The setup checks its own file with it
// at every start; the system's CryptoAPI would load three more DLLs and a
// provider for a job of a few milliseconds.

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace vespodar {

using Digest = std::array<std::uint8_t, 32>;

struct Sha256State {
  std::uint32_t h[8];
  std::uint64_t length;  // bytes hashed so far
  std::uint8_t block[64];
  std::size_t used;      // bytes waiting in block
  // Compresses whole 64-byte blocks: the processor's SHA instructions where
  // it has them, plain C++ otherwise.
  void (*compress)(std::uint32_t h[8], const std::uint8_t* blocks, std::size_t count);
};

void Sha256Init(Sha256State* state);
void Sha256Update(Sha256State* state, const std::uint8_t* data, std::size_t size);
Digest Sha256Final(Sha256State* state);

// Whether this processor has the SHA extensions, and whether hashes begun
// from now on use them (by default they do where it has them). Tests and the
// benchmark run both ways; asking for them where they are missing is ignored.
bool Sha256ProcessorSupport();
void Sha256UseProcessor(bool use);

// The digest of the ranges in order, as the integrity check takes it; never
// fails.
bool Sha256Ranges(const std::vector<std::pair<const std::uint8_t*, std::size_t>>& parts,
                  Digest* digest);

}  // namespace vespodar

#endif  // VESPODAR_BASE_SHA256_H_
