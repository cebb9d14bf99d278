#ifndef VESPODAR_INSTALL_PACKAGE_SOURCE_WIN_H_
#define VESPODAR_INSTALL_PACKAGE_SOURCE_WIN_H_

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace vespodar {

// The path of the setup's own executable, of any length; empty when Windows
// cannot say (the Windows error in *windowsError).
std::wstring OwnFilePath(std::uint32_t* windowsError);

// The setup's own file, opened at the first call and kept open until the
// process ends, shared with readers only: while the setup runs nobody can
// change, rename or delete it, so the bytes the own-file check read are the
// bytes the write takes. Null when it cannot be opened (the Windows error in
// *windowsError).
HANDLE OwnFile(std::uint32_t* windowsError);

// Reads COUNT bytes at OFFSET of the own file into OUT; false unless every
// byte came (GetLastError says why).
bool ReadOwnFile(std::size_t offset, std::size_t count, std::uint8_t* out);

// Where the loaded image's bytes at DATA (SIZE of them) lie in the own file,
// from the image's section table; false when they are not in it.
bool OwnFileOffsetOf(const void* data, std::uint32_t size, std::uint32_t* offset);

}  // namespace vespodar

#endif  // VESPODAR_INSTALL_PACKAGE_SOURCE_WIN_H_
