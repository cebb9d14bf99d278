#ifndef VESPODAR_UI_LANG_UNIT_H_
#define VESPODAR_UI_LANG_UNIT_H_

// The product's language support files: plain text files in the product's
// "language\" folder with texts under bracketed key headers. A text is looked
// up in the chosen file first and, when the key is missing there, in the
// default file for the UI language.
//
// The setup carries the reader but configures no file: every index is -1, so
// its one caller, the downgrade question, uses the built-in texts. Everything
// here is portable; the Win32 readers live in lang_unit_win.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vespodar {

// --- The file format ------------------------------------------------------

// The next line of a text file's bytes, starting at *position. A line ends at
// CR LF, at LF or at a lone CR; the break is not part of the line, and a last
// line without a break still counts. False at the end of the bytes.
bool NextTextLine(const std::string& bytes, std::size_t* position, std::string* line);

// The text without the blanks and control characters (bytes up to 0x20) at
// both ends.
std::string TrimBlanks(const std::string& text);

// A header of key: a line whose very first character is "[" and that, trimmed
// and with A-Z lowered, has key + "]" (also lowered) first at its second
// character. Other letters, Cyrillic included, must match exactly; anything
// after the "]" is ignored.
bool IsLangKeyHeader(const std::string& line, const std::string& key);

// --- Readers --------------------------------------------------------------

enum class LineStatus { kLine, kEnd, kError };

// One text file slot. Lines come back as UTF-8, converted from the code page
// of the language the file was opened for.
class LangFileReader {
 public:
  virtual ~LangFileReader() = default;
  // Opens the existing file at path (or opens it again at its start) for
  // reading, letting others read but not write it. False when it cannot be
  // opened; the reader is then closed.
  virtual bool Open(const std::string& path, std::uint16_t languageId) = 0;
  virtual void Close() = 0;
  // kError also when the reader is not open.
  virtual LineStatus ReadLine(std::string* line) = 0;
};

// --- The unit ---------------------------------------------------------------

// Languages the default files are read in: the Russian default file is
// Russian, the other one serves the English UI.
constexpr std::uint16_t kRussianLanguageId = 0x0419;
constexpr std::uint16_t kEnglishLanguageId = 0x0409;

// The reader's state: one record for the process (the Win32 layer keeps it).
struct LangUnit {
  // Names (without folder) of the language support files, and indexes into
  // them; -1 means none.
  std::vector<std::string> languageFiles;
  std::int32_t russianFileIndex = -1;
  std::int32_t otherFileIndex = -1;
  std::int32_t chosenFileIndex = -1;
  // Its low 16 bits are the Windows language of the chosen file's texts.
  std::int32_t chosenLanguageId = -1;

  // A multi-line read has found its first line and still has to read on.
  bool continuationPending = true;
  LangFileReader* defaultReader = nullptr;
  LangFileReader* chosenReader = nullptr;
};

// Sets the file list, the indexes and the chosen language, and starts the
// reading state afresh. The setup itself never calls it.
void ConfigureLangUnit(LangUnit& unit, const std::vector<std::string>& languageFiles,
                       std::int32_t russianFileIndex, std::int32_t otherFileIndex,
                       std::int32_t chosenFileIndex, std::int32_t chosenLanguageId);

// True when chosenFileIndex names an entry of the file list. Callers ask for
// chosen-file texts only then.
bool LangFileChosen(const LangUnit& unit);
// The language boxes built from the chosen file's texts carry.
std::uint16_t ChosenBoxLanguage(const LangUnit& unit);

// Told of every language support file that cannot be opened or read, by
// the name the file list gives it (or by its path, for a probed file): the
// setup says so in its error box.
class LangFileErrors {
 public:
  virtual ~LangFileErrors() = default;
  virtual void ShowLangFileError(const std::string& fileName) = 0;
};

// Where the files of one round of reads are, whose language they serve, and
// who hears of a file that fails.
struct LangReading {
  std::string installDir;  // ends in a backslash
  bool russianUi = false;
  LangFileErrors& errors;
};

// installDir + "language\" + file name.
std::string LangFilePath(const LangReading& reading, const std::string& fileName);

// One-line and multi-line values from the default file of the UI language.
// A default index outside the file list reads as a file without the key,
// silently: there is no file to name in an error box.
std::string ReadDefaultLangLine(LangUnit& unit, const LangReading& reading, const std::string& key);
std::string ReadDefaultLangText(LangUnit& unit, const LangReading& reading, const std::string& key, bool skipFirst);

// One-line and multi-line values from the chosen file, falling back to the
// default file when the key is missing or its value line is empty. Without a
// chosen file (LangFileChosen false) they read as a chosen file without the
// key.
std::string ReadLangLine(LangUnit& unit, const LangReading& reading,
                         const std::string& key);
std::string ReadLangText(LangUnit& unit, const LangReading& reading,
                         const std::string& key, bool skipFirst);

// "%1".."%4" replaced by parameters[0..3], each only when all lower-numbered
// placeholders occurred, each step working on the result of the one before.
// A placeholder without a parameter stays as it is.
std::string SubstituteLangParameters(const std::string& text,
                                     const std::vector<std::string>& parameters);
// ReadLangText followed by SubstituteLangParameters.
std::string GetLangText(LangUnit& unit, const LangReading& reading,
                        const std::string& key, const std::vector<std::string>& parameters,
                        bool skipFirst);

// The ANSI code page texts of a Windows language are written in, from a
// table of the primary languages (1252 for any other). The Win32 layer asks
// the system first and uses this where the system does not know.
unsigned AnsiCodePageOfLanguage(std::uint16_t languageId);

}  // namespace vespodar

#endif  // VESPODAR_UI_LANG_UNIT_H_
