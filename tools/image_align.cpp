#include "tools/image_align.h"

#include <cstring>

namespace vespodar {

namespace {

std::uint32_t Read16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }

std::uint32_t Read32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void Write32(std::uint8_t* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

bool Fail(std::string* error, const char* reason) {
  *error = reason;
  return false;
}

}  // namespace

bool AlignSectionInFile(std::vector<std::uint8_t>* image, std::size_t at, std::size_t* moved,
                        std::string* error) {
  std::vector<std::uint8_t>& file = *image;
  *moved = 0;
  if (file.size() < 64 || file[0] != 'M' || file[1] != 'Z') return Fail(error, "not a PE image");
  const std::size_t pe = Read32(&file[60]);
  if (pe > file.size() || file.size() - pe < 24 || std::memcmp(&file[pe], "PE\0\0", 4) != 0)
    return Fail(error, "not a PE image");
  const std::size_t sectionCount = Read16(&file[pe + 6]);
  const std::size_t optional = pe + 24;
  const std::size_t optionalSize = Read16(&file[pe + 20]);
  const std::size_t table = optional + optionalSize;
  if (optionalSize < 40 || table > file.size() || (file.size() - table) / 40 < sectionCount)
    return Fail(error, "not a PE image");
  const std::uint32_t magic = Read16(&file[optional]);
  if (magic != 0x10B && magic != 0x20B) return Fail(error, "not a PE image");
  const std::size_t certificateEntry = optional + (magic == 0x20B ? 144 : 128);
  if (optionalSize < certificateEntry + 8 - optional) return Fail(error, "not a PE image");
  if (Read32(&file[certificateEntry]) != 0 || Read32(&file[certificateEntry + 4]) != 0)
    return Fail(error, "the image is signed: align it before signing");
  const std::uint32_t fileAlignment = Read32(&file[optional + 36]);
  if (fileAlignment == 0 || kImagePageBytes % fileAlignment != 0)
    return Fail(error, "the image's file alignment does not divide a page");

  std::size_t start = 0;
  bool found = false;
  for (std::size_t i = 0; i < sectionCount && !found; ++i) {
    const std::uint8_t* header = &file[table + 40 * i];
    const std::size_t raw = Read32(header + 20), rawSize = Read32(header + 16);
    found = raw != 0 && raw <= at && at - raw < rawSize;
    if (found) start = raw;
  }
  if (!found) return Fail(error, "the offset lies in no section's bytes");
  if (start > file.size()) return Fail(error, "a section lies past the end of the file");
  const std::size_t padding = (kImagePageBytes - start % kImagePageBytes) % kImagePageBytes;
  if (padding == 0) return true;
  if (file.size() + padding > 0xFFFFFFFFu) return Fail(error, "the image would be too large");

  // Every file offset at or after the moved bytes moves with them: the raw
  // data of the sections, and a symbol table if one is left.
  for (std::size_t i = 0; i < sectionCount; ++i) {
    std::uint8_t* raw = &file[table + 40 * i + 20];
    if (Read32(raw) >= start) Write32(raw, static_cast<std::uint32_t>(Read32(raw) + padding));
  }
  std::uint8_t* symbols = &file[pe + 12];
  if (Read32(symbols) >= start) Write32(symbols, static_cast<std::uint32_t>(Read32(symbols) + padding));
  file.insert(file.begin() + static_cast<std::ptrdiff_t>(start), padding, 0);
  *moved = padding;
  return true;
}

}  // namespace vespodar
