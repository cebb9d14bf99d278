#include "base/win_text.h"

#include <windows.h>

namespace vespodar {

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                         nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], length);
  return wide;
}

std::string Narrow(const wchar_t* wide, std::size_t length) {
  if (length == 0) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0,
                                       nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), &utf8[0], size, nullptr,
                      nullptr);
  return utf8;
}

std::string Narrow(const std::wstring& wide) { return Narrow(wide.data(), wide.size()); }

std::string CodePageToUtf8(const std::string& bytes, unsigned codePage) {
  if (bytes.empty()) return std::string();
  const int length = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                         nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &wide[0], length);
  return Narrow(wide);
}

}  // namespace vespodar
