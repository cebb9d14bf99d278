// Any bytes as a package: the header parse and the decoding end, with a
// failure or with exactly the stamped bytes, and never read or write out of
// bounds. The run starts from valid packages of every kind
// (package_encoding_fuzz_seeds), which random bytes would not reach: a frame
// that decodes, an alignment past it.
#include <cstddef>
#include <cstdint>

#include "install/package_encoding_testing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vespodar::test_packages::DecodesOverFuzzBase(data, size);
  return 0;
}
