#include "setup/own_file_win.h"

#include <windows.h>

#include "install/package_source_win.h"
#include "setup/integrity.h"

namespace vespodar {

// The stamp block, in a section of its own so that the stamping tool finds it
// from the section table. The build writes the digest into the file after
// linking; an executable that was never stamped keeps these zeros and fails
// the check.
extern "C" __attribute__((section(".vdstamp"), used))
const unsigned char vespodarIntegrityStamp[kStampSize] = {
    'V', 'e', 's', 'p', 'o', 'd', 'a', 'r', 'S', 't', 'a', 'm', 'p', 0, 0, 1};

OwnFileCheck CheckOwnFile() {
  // The stamp as the loader mapped it from the file at the start. The
  // compiler knows only the zeros above, so it must not see where the
  // pointer comes from, or it would compare with those.
  const unsigned char* running = vespodarIntegrityStamp;
  asm("" : "+r"(running));

  std::uint32_t openError = 0;
  const HANDLE file = OwnFile(&openError);
  if (!file) return {OwnFileState::kUnreadable, openError};
  DWORD high = 0;
  const DWORD size = GetFileSize(file, &high);
  if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
    return {OwnFileState::kUnreadable, GetLastError()};
  if (high != 0) return {OwnFileState::kUnreadable, ERROR_FILE_TOO_LARGE};
  if (size == 0) return {OwnFileState::kDistorted, 0};

  // Read a piece at a time rather than mapped whole: the setup's file is
  // mostly its package, and a mapped copy would add its size to the
  // process's memory beside the loaded image.
  DWORD readError = 0;
  const StampCheck check = CheckFileStamp(
      size,
      [&readError](std::size_t offset, std::size_t count, std::uint8_t* out) {
        if (ReadOwnFile(offset, count, out)) return true;
        readError = GetLastError();
        return false;
      },
      running);
  switch (check) {
    case StampCheck::kIntact:
      return {OwnFileState::kIntact, 0};
    case StampCheck::kHashFailed:
      return {OwnFileState::kUnreadable, readError};
    case StampCheck::kDistorted:
      break;
  }
  return {OwnFileState::kDistorted, 0};
}

}  // namespace vespodar
