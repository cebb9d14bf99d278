#include "ui/lang_unit_win.h"

#include <windows.h>

#include "base/paths.h"
#include "base/scoped_handle_win.h"
#include "base/win_text.h"

namespace vespodar {

namespace {

HANDLE OpenForSharedReading(const std::string& path) {
  return CreateFileW(Widen(ExtendedLengthPath(path)).c_str(), GENERIC_READ, FILE_SHARE_READ,
                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool ReadToEnd(HANDLE file, std::string* bytes) {
  bytes->clear();
  char buffer[16384];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file, buffer, sizeof(buffer), &read, nullptr)) return false;
    if (read == 0) return true;
    bytes->append(buffer, read);
  }
}

}  // namespace

bool Win32LangFileReader::Open(const std::string& path, std::uint16_t languageId) {
  Close();
  ScopedHandle file(OpenForSharedReading(path));
  if (!file.valid()) return false;
  if (!ReadToEnd(file.handle, &bytes_)) {
    Close();
    return false;
  }
  file_ = std::move(file);
  position_ = 0;
  codePage_ = LanguageCodePage(languageId);
  return true;
}

void Win32LangFileReader::Close() {
  file_.Close();
  bytes_.clear();
  position_ = 0;
}

LineStatus Win32LangFileReader::ReadLine(std::string* line) {
  if (!file_.valid()) return LineStatus::kError;
  std::string raw;
  if (!NextTextLine(bytes_, &position_, &raw)) return LineStatus::kEnd;
  *line = CodePageToUtf8(raw, codePage_);
  return LineStatus::kLine;
}

unsigned LanguageCodePage(std::uint16_t languageId) {
  wchar_t digits[8] = {};
  const LCID locale = MAKELCID(languageId, SORT_DEFAULT);
  if (GetLocaleInfoW(locale, LOCALE_IDEFAULTANSICODEPAGE, digits, 8) > 0) {
    unsigned codePage = 0;
    for (const wchar_t* c = digits; *c >= L'0' && *c <= L'9'; ++c)
      codePage = codePage * 10 + static_cast<unsigned>(*c - L'0');
    // 0: a language written only in Unicode, which has no ANSI code page.
    if (codePage != 0) return codePage;
  }
  return AnsiCodePageOfLanguage(languageId);
}

bool ReadTextFileBytes(const std::string& path, std::string* bytes) {
  const ScopedHandle file(OpenForSharedReading(path));
  return file.valid() && ReadToEnd(file.handle, bytes);
}

LangUnit& ProcessLangUnit() {
  // Made at the first use, not at start-up: a setup that never reads a
  // language file carries neither the readers nor their code.
  static Win32LangFileReader defaultReader;
  static Win32LangFileReader chosenReader;
  static LangUnit unit = [] {
    LangUnit made;
    made.defaultReader = &defaultReader;
    made.chosenReader = &chosenReader;
    return made;
  }();
  return unit;
}

}  // namespace vespodar
