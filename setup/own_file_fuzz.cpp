// Fuzzes the check of the setup's own file, whose headers a damaged download
// or an attacker may have changed: any bytes are judged without reading past
// them, the digest is asked only for ranges inside the file, in order and
// without overlap, and an image the stamping tool accepts is intact after
// stamping and distorted after any covered byte changes or a byte is added.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "setup/integrity.h"
#include "base/sha256.h"

using namespace vespodar;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Not SHA-256, but a change of any single byte changes it, which is all the
// properties below need: each byte adds itself times an odd factor into one
// of 32 slots, and an odd factor keeps every change visible modulo 256.
HashRanges CheckedHash(const std::uint8_t* image, std::size_t size) {
  return [image, size](const std::vector<std::pair<const std::uint8_t*, std::size_t>>& parts,
                       Digest* digest) {
    digest->fill(0);
    const std::uint8_t* previousEnd = image;
    std::size_t position = 0;
    for (std::size_t p = 0; p < parts.size(); ++p) {
      const std::uint8_t* begin = parts[p].first;
      const std::size_t length = parts[p].second;
      // Every part but the last (the covered length, kept apart) lies in the
      // file, after the one before it.
      if (p + 1 < parts.size()) {
        Check(begin >= previousEnd && begin <= image + size && length <= size);
        Check(static_cast<std::size_t>(image + size - begin) >= length);
        previousEnd = begin + length;
      }
      for (std::size_t i = 0; i < length; ++i, ++position)
        (*digest)[position % 32] = static_cast<std::uint8_t>(
            (*digest)[position % 32] + begin[i] * (2 * (position / 32) + 1));
    }
    return true;
  };
}

void Put32(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) image[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The smallest image the stamping tool takes: DOS header, PE32 headers with
// 16 directories, one section ".vdstamp" holding the stamp block's magic.
// Random bytes almost never get this far; changes to it reach every check.
std::vector<std::uint8_t> MinimalImage() {
  std::vector<std::uint8_t> image(0x260, 0);
  image[0] = 'M';
  image[1] = 'Z';
  Put32(image, 60, 0x40);
  std::memcpy(&image[0x40], "PE\0\0", 4);
  image[0x44] = 0x4C;
  image[0x45] = 0x01;
  image[0x46] = 1;     // one section
  image[0x54] = 0xE0;  // optional header size
  image[0x58] = 0x0B;
  image[0x59] = 0x01;  // PE32
  Put32(image, 0x58 + 92, 16);
  std::memcpy(&image[0x138], kStampSectionName, sizeof(kStampSectionName));
  Put32(image, 0x138 + 16, 0x60);
  Put32(image, 0x138 + 20, 0x200);
  std::memcpy(&image[0x200], kStampMagic, sizeof(kStampMagic));
  return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Odd first byte: the minimal image, changed at the places the rest of the
  // input names (two bytes of offset, one of value, each); even: the bytes as
  // they are. Either way an exact copy on the heap, so that a read one byte
  // past it is caught.
  static const bool templateStamps = [] {
    std::vector<std::uint8_t> image = MinimalImage();
    std::string error;
    return StampImage(image.data(), image.size(), CheckedHash(image.data(), image.size()), Digest{},
                      &error);
  }();
  // Else the structured half of the inputs would test nothing.
  Check(templateStamps);

  std::vector<std::uint8_t> image;
  if (size > 0 && (data[0] & 1)) {
    image = MinimalImage();
    for (std::size_t i = 1; i + 3 <= size; i += 3) {
      const std::size_t at = (data[i] | (data[i + 1] << 8)) % (image.size() + 8);
      if (at >= image.size()) image.resize(at + 1, 0);
      image[at] = data[i + 2];
    }
  } else {
    image.assign(data, data + size);
  }
  const StampCheck judged = CheckImageStamp(image.data(), image.size(),
                                            CheckedHash(image.data(), image.size()));
  Check(judged != StampCheck::kHashFailed);
  // Read piece by piece, with SHA-256 on both sides, the file check judges
  // alike, and reads nothing outside the file.
  const auto read = [&image](std::size_t offset, std::size_t count, std::uint8_t* out) {
    Check(offset <= image.size() && count <= image.size() - offset);
    std::memcpy(out, image.data() + offset, count);
    return true;
  };
  StampedSignature signature;
  Check(CheckFileStamp(image.size(), read, &signature) ==
        CheckImageStamp(image.data(), image.size(), Sha256Ranges));

  std::string error;
  if (!StampImage(image.data(), image.size(), CheckedHash(image.data(), image.size()), Digest{},
                  &error))
    return 0;
  Check(CheckImageStamp(image.data(), image.size(), CheckedHash(image.data(), image.size())) ==
        StampCheck::kIntact);
  {
    // Stamped with SHA-256, the file check finds it intact too.
    std::vector<std::uint8_t> stamped = image;
    Check(StampImage(stamped.data(), stamped.size(), Sha256Ranges, Digest{}, &error));
    const auto readStamped = [&stamped](std::size_t offset, std::size_t count,
                                             std::uint8_t* out) {
      Check(offset <= stamped.size() && count <= stamped.size() - offset);
      std::memcpy(out, stamped.data() + offset, count);
      return true;
    };
    Check(CheckFileStamp(stamped.size(), readStamped, &signature) == StampCheck::kIntact);
    Check(!signature.isSigned);
  }

  ImageLayout layout;
  Check(ParseImageLayout(image.data(), image.size(), &layout));
  const std::vector<ByteRange> covered = CoveredRanges(layout, image.size());
  if (!covered.empty()) {
    // A byte chosen by the input, among the covered ones.
    std::uint32_t pick = 0;
    for (std::size_t i = 0; i < size; ++i) pick = pick * 31 + data[i];
    const ByteRange& range = covered[pick % covered.size()];
    const std::size_t at = range.offset + (pick / 7) % range.size;
    std::vector<std::uint8_t> changed = image;
    changed[at] ^= static_cast<std::uint8_t>(1u << (pick % 8));
    Check(CheckImageStamp(changed.data(), changed.size(),
                          CheckedHash(changed.data(), changed.size())) != StampCheck::kIntact);
  }
  std::vector<std::uint8_t> longer = image;
  longer.push_back(0);
  Check(CheckImageStamp(longer.data(), longer.size(), CheckedHash(longer.data(), longer.size())) !=
        StampCheck::kIntact);
  return 0;
}
