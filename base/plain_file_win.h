#ifndef VESPODAR_BASE_PLAIN_FILE_WIN_H_
#define VESPODAR_BASE_PLAIN_FILE_WIN_H_

#include <windows.h>

#include <string>

namespace vespodar {

// Files in the product directory, where users other than the administrator
// may be able to write (an installation outside Program Files): a name there
// may be a link planted to turn the elevated setup's read, write or delete
// onto another file. These look at the name itself, never through it. The
// directory itself may be a junction (a product moved to another drive):
// only the entries in it are judged.

// True when a file stands at path that is neither a directory nor a link or
// any other reparse point.
bool IsPlainFile(const std::wstring& path);

// Opens an existing file for reading; a link is opened as itself (and yields
// no data), never followed. INVALID_HANDLE_VALUE when it cannot be opened.
HANDLE OpenForReadingNoFollow(const std::wstring& path, DWORD share);

}  // namespace vespodar

#endif  // VESPODAR_BASE_PLAIN_FILE_WIN_H_
