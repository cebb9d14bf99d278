#ifndef VESPODAR_BASE_LITTLE_ENDIAN_H_
#define VESPODAR_BASE_LITTLE_ENDIAN_H_

// Little-endian fields of a file (a PE image's headers), byte by byte: the
// bytes may sit at any alignment, and the build machine need not be
// little-endian.

#include <cstdint>

namespace vespodar {

inline std::uint32_t ReadLe16(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8);
}

inline std::uint32_t ReadLe32(const std::uint8_t* p) {
  return ReadLe16(p) | (ReadLe16(p + 2) << 16);
}

inline std::uint64_t ReadLe64(const std::uint8_t* p) {
  return ReadLe32(p) | (static_cast<std::uint64_t>(ReadLe32(p + 4)) << 32);
}

inline void WriteLe32(std::uint8_t* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace vespodar

#endif  // VESPODAR_BASE_LITTLE_ENDIAN_H_
