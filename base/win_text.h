#ifndef VESPODAR_BASE_WIN_TEXT_H_
#define VESPODAR_BASE_WIN_TEXT_H_

#include <string>

namespace vespodar {

// Text is UTF-8 inside the program; these convert at the wide Win32 API.
// Invalid input is replaced, never dropped silently into the ANSI code page.
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
std::string Narrow(const wchar_t* wide, std::size_t length);
// Text in a given Windows code page (CP_OEMCP for console output) to UTF-8.
std::string CodePageToUtf8(const std::string& bytes, unsigned codePage);

}  // namespace vespodar

#endif  // VESPODAR_BASE_WIN_TEXT_H_
