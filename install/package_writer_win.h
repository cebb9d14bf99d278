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

 private:
  std::uint32_t size_ = 0;
  std::uint32_t fileOffset_ = 0;  // where the bytes lie in the setup's own file
};

// True when a file (not a directory) exists at path.
bool IsExistingFile(const std::string& path);

}  // namespace vespodar

#endif  // VESPODAR_INSTALL_PACKAGE_WRITER_WIN_H_
