// Fuzzes the reading of an executable's resources: the guard reads the
// FileVersion of an installed program in a directory that users may write,
// in a process with administrator rights, so any bytes at all must give a
// version or none, never a read outside the file. The input is copied into a
// buffer of its own size, so that ASan sees every stray read.

#include <cstdint>
#include <string>
#include <vector>

#include "guard/pe_resources.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> image(data, data + size);
  std::vector<ResourceEntry> entries;
  ListResources(image.data(), image.size(), &entries);
  for (const ResourceEntry& entry : entries)
    if (entry.fileOffset > image.size() || image.size() - entry.fileOffset < entry.size)
      __builtin_trap();  // an entry must lie inside the image
  std::string version;
  ReadFileVersionText(image.data(), image.size(), &version);
  return 0;
}
