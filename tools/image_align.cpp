#include "tools/image_align.h"

#include <cstring>

#include "base/little_endian.h"

namespace vespodar {

namespace {

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
  const std::size_t pe = ReadLe32(&file[60]);
  if (pe > file.size() || file.size() - pe < 24 || std::memcmp(&file[pe], "PE\0\0", 4) != 0)
    return Fail(error, "not a PE image");
  const std::size_t sectionCount = ReadLe16(&file[pe + 6]);
  const std::size_t optional = pe + 24;
  const std::size_t optionalSize = ReadLe16(&file[pe + 20]);
  const std::size_t table = optional + optionalSize;
  if (optionalSize < 40 || table > file.size() || (file.size() - table) / 40 < sectionCount)
    return Fail(error, "not a PE image");
  const std::uint32_t magic = ReadLe16(&file[optional]);
  if (magic != 0x10B && magic != 0x20B) return Fail(error, "not a PE image");
  const std::size_t certificateEntry = optional + (magic == 0x20B ? 144 : 128);
  if (optionalSize < certificateEntry + 8 - optional) return Fail(error, "not a PE image");
  if (ReadLe32(&file[certificateEntry]) != 0 || ReadLe32(&file[certificateEntry + 4]) != 0)
    return Fail(error, "the image is signed: align it before signing");
  const std::uint32_t fileAlignment = ReadLe32(&file[optional + 36]);
  if (fileAlignment == 0 || kImagePageBytes % fileAlignment != 0)
    return Fail(error, "the image's file alignment does not divide a page");

  std::size_t start = 0;
  bool found = false;
  for (std::size_t i = 0; i < sectionCount && !found; ++i) {
    const std::uint8_t* header = &file[table + 40 * i];
    const std::size_t raw = ReadLe32(header + 20), rawSize = ReadLe32(header + 16);
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
    if (ReadLe32(raw) >= start) WriteLe32(raw, static_cast<std::uint32_t>(ReadLe32(raw) + padding));
  }
  std::uint8_t* symbols = &file[pe + 12];
  if (ReadLe32(symbols) >= start) WriteLe32(symbols, static_cast<std::uint32_t>(ReadLe32(symbols) + padding));
  file.insert(file.begin() + static_cast<std::ptrdiff_t>(start), padding, 0);
  *moved = padding;
  return true;
}

}  // namespace vespodar
