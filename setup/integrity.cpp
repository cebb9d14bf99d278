#include "setup/integrity.h"

#include <algorithm>
#include <cstring>

namespace {

std::uint32_t Read16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }

std::uint32_t Read32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void Write32(std::uint8_t* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Offsets inside the PE32 optional header.
const std::size_t kOptionalChecksum = 64;
const std::size_t kOptionalDirectoryCount = 92;
const std::size_t kOptionalDirectories = 96;
const std::size_t kCertificateDirectory = 4;
const std::uint16_t kPe32Magic = 0x10B;

bool DigestOf(const std::uint8_t* image, const ImageLayout& layout, std::size_t length,
              const HashRanges& hash, Digest* digest) {
  std::vector<std::pair<const std::uint8_t*, std::size_t>> parts;
  for (const ByteRange& range : CoveredRanges(layout, length))
    parts.emplace_back(image + range.offset, range.size);
  // The covered length is part of what is hashed: a stamp may not be moved to
  // another length.
  std::uint8_t lengthBytes[4];
  Write32(lengthBytes, static_cast<std::uint32_t>(length));
  parts.emplace_back(lengthBytes, sizeof(lengthBytes));
  return hash(parts, digest);
}

}  // namespace

bool ParseImageLayout(const std::uint8_t* image, std::size_t size, ImageLayout* layout) {
  if (size < 64 || image[0] != 'M' || image[1] != 'Z') return false;
  const std::size_t pe = Read32(image + 60);
  if (pe > size || size - pe < 24 || std::memcmp(image + pe, "PE\0\0", 4) != 0) return false;
  const std::size_t sectionCount = Read16(image + pe + 6);
  const std::size_t optionalSize = Read16(image + pe + 20);
  const std::size_t optional = pe + 24;
  if (optionalSize < kOptionalDirectories + 8 * (kCertificateDirectory + 1) ||
      size - optional < optionalSize || Read16(image + optional) != kPe32Magic ||
      Read32(image + optional + kOptionalDirectoryCount) <= kCertificateDirectory)
    return false;
  layout->checksumOffset = optional + kOptionalChecksum;
  layout->certEntryOffset = optional + kOptionalDirectories + 8 * kCertificateDirectory;
  // The certificate table's "address" is a file offset, not an RVA.
  layout->certTableOffset = Read32(image + layout->certEntryOffset);
  layout->certTableSize = Read32(image + layout->certEntryOffset + 4);

  const std::size_t sections = optional + optionalSize;
  if (sectionCount > (size - std::min(size, sections)) / 40) return false;
  for (std::size_t i = 0; i < sectionCount; ++i) {
    const std::uint8_t* header = image + sections + 40 * i;
    if (std::memcmp(header, kStampSectionName, 8) != 0) continue;
    const std::size_t raw = Read32(header + 20);
    const std::size_t rawSize = Read32(header + 16);
    if (raw > size || rawSize < kStampSize || size - raw < kStampSize) return false;
    if (std::memcmp(image + raw, kStampMagic, sizeof(kStampMagic)) != 0) return false;
    layout->stampOffset = raw;
    return true;
  }
  return false;
}

std::vector<ByteRange> CoveredRanges(const ImageLayout& layout, std::size_t length) {
  std::vector<ByteRange> left_out = {{layout.checksumOffset, 4},
                                     {layout.certEntryOffset, 8},
                                     {layout.stampOffset, kStampSize}};
  std::sort(left_out.begin(), left_out.end(),
            [](const ByteRange& a, const ByteRange& b) { return a.offset < b.offset; });
  std::vector<ByteRange> covered;
  std::size_t position = 0;
  for (const ByteRange& gap : left_out) {
    const std::size_t start = std::min(gap.offset, length);
    if (start > position) covered.push_back({position, start - position});
    position = std::max(position, std::min(gap.offset + gap.size, length));
  }
  if (length > position) covered.push_back({position, length - position});
  return covered;
}

StampCheck CheckImageStamp(const std::uint8_t* image, std::size_t size, const HashRanges& hash) {
  ImageLayout layout;
  if (!ParseImageLayout(image, size, &layout)) return StampCheck::kDistorted;
  const std::uint8_t* stamp = image + layout.stampOffset;
  const std::size_t length = Read32(stamp + 16);
  if (Read32(stamp + 20) != kStampStateStamped || length > size ||
      length < layout.stampOffset + kStampSize)
    return StampCheck::kDistorted;

  if (layout.certTableSize == 0 && layout.certTableOffset == 0) {
    if (size != length) return StampCheck::kDistorted;
  } else {
    // Signing pads the file to a multiple of 8 with zeros and appends the
    // certificate table; nothing else may follow the stamped bytes.
    const std::size_t padded = (length + 7) & ~static_cast<std::size_t>(7);
    if (layout.certTableOffset != padded || layout.certTableOffset > size ||
        size - layout.certTableOffset != layout.certTableSize)
      return StampCheck::kDistorted;
    for (std::size_t i = length; i < padded; ++i)
      if (image[i] != 0) return StampCheck::kDistorted;
  }

  Digest digest;
  if (!DigestOf(image, layout, length, hash, &digest)) return StampCheck::kHashFailed;
  return std::memcmp(digest.data(), stamp + 24, digest.size()) == 0 ? StampCheck::kIntact
                                                                     : StampCheck::kDistorted;
}

bool StampImage(std::uint8_t* image, std::size_t size, const HashRanges& hash, std::string* error) {
  ImageLayout layout;
  if (!ParseImageLayout(image, size, &layout)) {
    *error = "not a PE32 image with a stamp section";
    return false;
  }
  if (layout.certTableOffset != 0 || layout.certTableSize != 0) {
    *error = "the image is signed already: stamp it before signing";
    return false;
  }
  if (size > 0xFFFFFFFFu) {
    *error = "the image is too large";
    return false;
  }
  std::uint8_t* stamp = image + layout.stampOffset;
  Write32(stamp + 16, static_cast<std::uint32_t>(size));
  Write32(stamp + 20, kStampStateStamped);
  Digest digest;
  if (!DigestOf(image, layout, size, hash, &digest)) {
    *error = "the hash failed";
    return false;
  }
  std::memcpy(stamp + 24, digest.data(), digest.size());
  return true;
}
