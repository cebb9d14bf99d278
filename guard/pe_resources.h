#ifndef VESPODAR_GUARD_PE_RESOURCES_H_
#define VESPODAR_GUARD_PE_RESOURCES_H_

// Reads the resource directory of a PE image: what a built setup carries.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ResourceEntry {
  // A named type or name as its text (as the resource compiler stored it,
  // e.g. "COK"); a numeric one as "#" and the number ("#24" for a manifest).
  std::string type;
  std::string name;
  std::uint16_t language = 0;
  std::size_t fileOffset = 0;
  std::size_t size = 0;
};

// Every resource of the image, in directory order. False when the image or
// its resource directory is malformed (the list then holds what was read).
bool ListResources(const std::uint8_t* image, std::size_t size, std::vector<ResourceEntry>* entries);

// The FileVersion text of an executable's version resource, in the string
// table of the first entry of its translation list, as Windows' version
// library finds it. False when the image has no such text.
bool ReadFileVersionText(const std::uint8_t* image, std::size_t size, std::string* version);

#endif  // VESPODAR_GUARD_PE_RESOURCES_H_
