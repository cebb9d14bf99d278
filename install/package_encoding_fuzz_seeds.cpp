// Writes the packages the fuzz target's run starts from into the directory
// given: one valid package of each kind and filter, small enough for the
// run's input limit. The fuzzer then changes bytes of frames that decode and
// of alignments that apply, which it would not find from random bytes. Each
// is decoded first as the fuzz target decodes it.
#include <cstdio>
#include <string>

#include "install/package_encoding_testing.h"

namespace {

using vespodar::test_packages::Bytes;

bool Write(const std::string& path, const Bytes& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  namespace packages = vespodar::test_packages;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
    return 2;
  }
  const Bytes base = packages::FuzzBase();
  Bytes edited = base;  // the next version: a few bytes changed, some added
  for (std::size_t i = 50; i < edited.size(); i += 200) edited[i] += 9;
  edited.insert(edited.end(), 76, 0x5A);
  Bytes code = packages::Content(2000, 3);
  for (std::size_t i = 10; i + 5 < code.size(); i += 41) code[i] = 0xE8, code[i + 4] = 0;
  const struct {
    const char* name;
    Bytes package;
  } seeds[] = {
      {"compressed", packages::Encode(packages::Content(3000, 1))},
      {"x86-branches", packages::Encode(code, nullptr, 0, true)},
      {"delta", packages::Encode(edited, &base)},
      {"differences", packages::EncodeDifferences(edited, base)},
  };
  for (const auto& seed : seeds) {
    // A seed that does not decode, or that the run cuts, starts the fuzzer nowhere.
    if (seed.package.size() > 4096 ||
        !packages::DecodesOverFuzzBase(seed.package.data(), seed.package.size())) {
      std::fprintf(stderr, "%s: the %s seed does not decode within the run's input limit\n",
                   argv[0], seed.name);
      return 1;
    }
    if (!Write(std::string(argv[1]) + "/" + seed.name, seed.package)) {
      std::perror(argv[1]);
      return 1;
    }
  }
  return 0;
}
