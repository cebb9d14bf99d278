// Fuzzes the version comparison: any two texts (split at the first NUL) are
// compared without fault, a text is never older than itself, and four plain
// components compare like a tuple, most significant first.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>

#include "guard/version_probes.h"

using namespace vespodar;

namespace {

std::int32_t Component(const std::uint8_t* data, std::size_t index) {
  // Small values, so that equal components (and later passes) occur often.
  return static_cast<std::int32_t>(data[index] % 4) - 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  const void* nul = std::memchr(text, '\0', size);
  const std::size_t split = nul ? static_cast<const char*>(nul) - text : size;
  const std::string candidate(text, split);
  const std::string installed = split < size ? std::string(text + split + 1, size - split - 1)
                                             : std::string();
  IsOlderVersion(candidate, installed);
  IsOlderVersion(installed, candidate);
  if (IsOlderVersion(candidate, candidate)) std::abort();

  if (size >= 8) {
    std::int32_t a[4], b[4];
    std::string left, right;
    for (std::size_t i = 0; i < 4; ++i) {
      a[i] = Component(data, i);
      b[i] = Component(data, i + 4);
      left += (i ? "." : "") + std::to_string(a[i]);
      right += (i ? "." : "") + std::to_string(b[i]);
    }
    const bool tupleOlder = std::tie(a[0], a[1], a[2], a[3]) < std::tie(b[0], b[1], b[2], b[3]);
    if (IsOlderVersion(left, right) != tupleOlder) std::abort();
  }
  return 0;
}
