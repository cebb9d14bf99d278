#ifndef VESPODAR_INSTALL_PACKAGE_WRITER_WIN_H_
#define VESPODAR_INSTALL_PACKAGE_WRITER_WIN_H_

#include <cstdint>
#include <string>

#include "install/package_writer.h"

namespace vespodar {

// The package: a resource of the setup's own module, (name, type), whose
// bytes are read from the setup's own file a piece at a time (never from the
// image, which would bring the whole package into memory).
class OwnFilePackage : public PackageSource {
 public:
  // Finds the resource and its bytes in the own file; false, with the
  // Windows error, when the module has none of that name and type.
  bool Load(const std::string& name, const std::string& type, std::uint32_t* windowsError);
  bool ForEachPiece(const TakeBytes& take, std::uint32_t* windowsError) override;
  std::uint32_t size() const { return size_; }
  // The package's first COUNT bytes (an encoded package's header).
  bool ReadStart(std::size_t count, std::uint8_t* out) const;
  // The bytes' SHA-256 as the build recorded it, for a package carried as
  // it is: the own-file check covered it, and the own file cannot change
  // after that check, so the write need not hash the bytes again.
  void SetRecordedDigest(const Digest* digest) { digest_ = digest; }
  const Digest* CheckedDigest() const override { return digest_; }

 private:
  const Digest* digest_ = nullptr;
  std::uint32_t size_ = 0;
  std::uint32_t fileOffset_ = 0;  // where the bytes lie in the setup's own file
};

// True when a file (not a directory) exists at path.
bool IsExistingFile(const std::string& path);

}  // namespace vespodar

#endif  // VESPODAR_INSTALL_PACKAGE_WRITER_WIN_H_
