#ifndef VESPODAR_INSTALL_PACKAGE_ENCODING_H_
#define VESPODAR_INSTALL_PACKAGE_ENCODING_H_

// A package carried compressed, or as a delta from the installed file's
// previous version: its resource begins with this header, then one zstd
// frame (two for a delta of differences). A stored package (the default) is the content file itself, with no
// header: which of the three a setup carries is fixed when it is built
// (VESPODAR_PACKAGE_ENCODING), never guessed from the bytes. The stamp
// covers the header like every other byte of the setup.
//
//   0  magic "VdPkZstd"
//   8  kind (4): 1 compressed, 2 delta
//  12  filter (4): 0 none; 1 x86 branches (install/x86_branches.h), for a
//      compressed package only: a delta's base would have to be filtered too;
//      2 differences from the base (install/base_alignment.h), for a delta
//      only: the frame of differences, then a second frame, the alignment
//  16  decoded size (8)
//  24  SHA-256 of the decoded file (32)
//  56  base size (8): the installed file a delta applies to; 0 otherwise
//  64  SHA-256 of the base (32); zeros otherwise
//  96  the zstd frame (then the alignment's, for differences)
//
// Numbers are little-endian. tools/encode_package.py writes it.

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/file_pieces.h"
#include "base/sha256.h"
#include "install/package_writer.h"

namespace vespodar {

constexpr std::size_t kPackageHeaderSize = 96;

enum class PackageKind : std::uint32_t { kCompressed = 1, kDelta = 2 };
// kBaseDifferences: a delta of differences from its base
// (install/base_alignment.h); kBaseDifferencesMovedBranches: the same, its
// base's calls and jumps first moved through the alignment.
enum class PackageFilter : std::uint32_t {
  kNone = 0,
  kX86Branches = 1,
  kBaseDifferences = 2,
  kBaseDifferencesMovedBranches = 3,
};

// Whether a delta carries differences from its base rather than a patch.
inline bool CarriesDifferences(PackageFilter filter) {
  return filter == PackageFilter::kBaseDifferences ||
         filter == PackageFilter::kBaseDifferencesMovedBranches;
}

struct PackageHeader {
  PackageKind kind = PackageKind::kCompressed;
  PackageFilter filter = PackageFilter::kNone;
  std::uint64_t decodedSize = 0;
  Digest decodedSha256 = {};
  std::uint64_t baseSize = 0;
  Digest baseSha256 = {};
};

// Reads the header from its kPackageHeaderSize bytes; false when they are
// none (wrong magic, an unknown kind or filter, a base named by a compressed
// package, a delta without one or with a filter).
bool ParsePackageHeader(const std::uint8_t* bytes, PackageHeader* header);

// The installed file a delta is decoded against, reached however the
// platform can (a read-only file mapping on Windows). Let go of before the
// write replaces that file.
class PackageBase {
 public:
  virtual ~PackageBase() = default;
  virtual const std::uint8_t* data() = 0;
  virtual std::size_t size() = 0;
  virtual void Release() = 0;
};

// The largest compressed package whose frame's window spans the whole file
// (tools/encode_package.py writes it so): its view and the carried frame
// then fit a 32-bit process's 2 GiB together.
constexpr std::uint64_t kWholeFileWindowLimit = std::uint64_t{512} << 20;

// ERROR_INVALID_DATA: what a damaged package makes the write report.
constexpr std::uint32_t kErrorInvalidData = 13;

// The package as the write takes it: ENCODED's bytes (header, then the
// frame) decoded a piece at a time, each piece hashed before it is handed
// on. The write fails (kErrorInvalidData) unless the frame ends exactly with
// the encoded bytes and the decoded bytes have the header's size and
// SHA-256; a damaged frame is that failure, never a crash. A delta decodes
// against BASE, released once the frame is decoded.
//
// A delta's window spans its base and the whole decoded file, and so does a
// compressed package's of up to kWholeFileWindowLimit bytes (the larger the
// window, the fewer bytes to carry): those are decoded into one view of the
// whole file (the staging file, mapped: DecodeInto), and the decoder keeps
// no window of its own: memory stays flat, the pages being the files' own.
// A larger compressed package keeps to a window of 8 MiB, which the decoder
// holds itself, and is decoded a piece at a time: any size, and the address
// space of a 32-bit process never has to hold the whole file.
class DecodedPackage : public PackageSource {
 public:
  DecodedPackage(PackageSource& encoded, const PackageHeader& header, PackageBase* base)
      : encoded_(encoded), header_(header), base_(base) {}
  bool ForEachPiece(const TakeBytes& take, std::uint32_t* windowsError) override;
  // The header's: ForEachPiece fails unless the bytes have it.
  const Digest* CheckedDigest() const override { return &header_.decodedSha256; }

  bool DecodesIntoView() const { return DecodesIntoView(header_); }
  static bool DecodesIntoView(const PackageHeader& header) {
    return header.kind == PackageKind::kDelta || header.decodedSize <= kWholeFileWindowLimit;
  }
  std::uint64_t decodedSize() const { return header_.decodedSize; }
  // Decodes into VIEW, SIZE bytes (the header's decoded size), under the
  // same checks as ForEachPiece; each stretch, once decoded, is shown to
  // seen, which may stop the decoding by refusing it. A filtered package's
  // bytes are restored and hashed once the frame has ended: until then the
  // view is the decoder's window, and holds the filtered bytes. A delta of
  // differences is hashed as the alignment adds the base in, after the
  // first frame, and decodes only this way (ForEachPiece refuses it).
  bool DecodeInto(std::uint8_t* view, std::size_t size, const TakeBytes& seen,
                  std::uint32_t* windowsError);

 private:
  bool Decode(const TakeBytes& take, std::uint8_t* view, std::size_t viewSize,
              std::uint32_t* windowsError);

  PackageSource& encoded_;
  PackageHeader header_;
  PackageBase* base_;
};

}  // namespace vespodar

#endif  // VESPODAR_INSTALL_PACKAGE_ENCODING_H_
