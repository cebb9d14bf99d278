#ifndef VESPODAR_UI_LANG_UNIT_WIN_H_
#define VESPODAR_UI_LANG_UNIT_WIN_H_

#include <cstdint>
#include <string>

#include "base/scoped_handle_win.h"
#include "ui/lang_unit.h"

namespace vespodar {

// A language support file on disk. Open reads it whole and keeps it open
// until Close, so that no one writes it meanwhile; lines come back converted
// from the code page of the language it was opened for.
class Win32LangFileReader : public LangFileReader {
 public:
  Win32LangFileReader() = default;
  Win32LangFileReader(const Win32LangFileReader&) = delete;
  Win32LangFileReader& operator=(const Win32LangFileReader&) = delete;
  ~Win32LangFileReader() override { Close(); }

  bool Open(const std::string& path, std::uint16_t languageId) override;
  void Close() override;
  LineStatus ReadLine(std::string* line) override;

 private:
  ScopedHandle file_;  // empty while closed
  std::string bytes_;
  std::size_t position_ = 0;
  unsigned codePage_ = 0;
};

// The ANSI code page of a Windows language: the system's answer, or the
// built-in table where the system has none (Unicode-only languages, unknown
// identifiers).
unsigned LanguageCodePage(std::uint16_t languageId);

// The whole file, opened for reading with others allowed to read only. False
// when it cannot be opened or read.
bool ReadTextFileBytes(const std::string& path, std::string* bytes);

// The process's language support state, bound to two Win32 readers. The
// setup leaves it unconfigured (no file chosen).
LangUnit& ProcessLangUnit();

}  // namespace vespodar

#endif  // VESPODAR_UI_LANG_UNIT_WIN_H_
