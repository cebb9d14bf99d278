#include "ui/lang_unit.h"

#include "base/text.h"

namespace vespodar {

namespace {

const char kLineBreak[] = "\r\n";

bool ValidIndex(const LangUnit& unit, std::int32_t index) {
  return index >= 0 && static_cast<std::size_t>(index) < unit.languageFiles.size();
}

std::int32_t DefaultFileIndex(const LangUnit& unit, const LangReading& reading) {
  return reading.russianUi ? unit.russianFileIndex : unit.otherFileIndex;
}

std::uint16_t DefaultFileLanguage(const LangReading& reading) {
  return reading.russianUi ? kRussianLanguageId : kEnglishLanguageId;
}

// Reads from the start of an open reader up to the header of key and takes
// the line after it as the value (empty at the end of the file). False on a
// read error; the value is then empty.
bool ScanForKey(LangFileReader& reader, const std::string& key, std::string* value) {
  value->clear();
  std::string line;
  for (;;) {
    LineStatus status = reader.ReadLine(&line);
    if (status == LineStatus::kError) return false;
    if (status == LineStatus::kEnd) return true;
    if (IsLangKeyHeader(line, key)) {
      status = reader.ReadLine(&line);
      if (status == LineStatus::kError) return false;
      if (status == LineStatus::kLine) *value = line;
      return true;
    }
  }
}

// Appends the lines that follow a value's first line, each with a line break,
// up to a blank line or the end of the file. False on a read error.
bool ReadContinuation(LangFileReader& reader, std::string* text) {
  std::string line;
  for (;;) {
    const LineStatus status = reader.ReadLine(&line);
    if (status == LineStatus::kError) return false;
    if (status == LineStatus::kEnd || TrimBlanks(line).empty()) return true;
    *text += line;
    *text += kLineBreak;
  }
}

void DropLastLineBreak(std::string* text) {
  if (!text->empty()) text->erase(text->size() < 2 ? 0 : text->size() - 2);
}

std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to) {
  std::string result;
  std::size_t start = 0;
  for (;;) {
    const std::size_t found = text.find(from, start);
    if (found == std::string::npos) break;
    result.append(text, start, found - start);
    result += to;
    start = found + from.size();
  }
  result.append(text, start, std::string::npos);
  return result;
}

}  // namespace

bool NextTextLine(const std::string& bytes, std::size_t* position, std::string* line) {
  if (*position >= bytes.size()) return false;
  const std::size_t start = *position;
  const std::size_t end = bytes.find_first_of("\r\n", start);
  if (end == std::string::npos) {
    line->assign(bytes, start, std::string::npos);
    *position = bytes.size();
    return true;
  }
  line->assign(bytes, start, end - start);
  *position = end + 1;
  if (bytes[end] == '\r' && *position < bytes.size() && bytes[*position] == '\n') ++*position;
  return true;
}

std::string TrimBlanks(const std::string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= 0x20) ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= 0x20) --last;
  return text.substr(first, last - first);
}

bool IsLangKeyHeader(const std::string& line, const std::string& key) {
  if (line.empty() || line[0] != '[') return false;
  return LowerAscii(TrimBlanks(line)).find(LowerAscii(key) + "]") == 1;
}

void ConfigureLangUnit(LangUnit& unit, const std::vector<std::string>& languageFiles,
                       std::int32_t russianFileIndex, std::int32_t otherFileIndex,
                       std::int32_t chosenFileIndex, std::int32_t chosenLanguageId) {
  if (unit.defaultReader) unit.defaultReader->Close();
  if (unit.chosenReader) unit.chosenReader->Close();
  unit.languageFiles = languageFiles;
  unit.russianFileIndex = russianFileIndex;
  unit.otherFileIndex = otherFileIndex;
  unit.chosenFileIndex = chosenFileIndex;
  unit.chosenLanguageId = chosenLanguageId;
  unit.continuationPending = true;
}

bool LangFileChosen(const LangUnit& unit) {
  return unit.chosenReader != nullptr && ValidIndex(unit, unit.chosenFileIndex);
}

std::uint16_t ChosenBoxLanguage(const LangUnit& unit) {
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(unit.chosenLanguageId) & 0xFFFF);
}

std::string LangFilePath(const LangReading& reading, const std::string& fileName) {
  return reading.installDir + "language\\" + fileName;
}

std::string ReadDefaultLangLine(LangUnit& unit, const LangReading& reading, const std::string& key) {
  const std::int32_t index = DefaultFileIndex(unit, reading);
  if (!unit.defaultReader || !ValidIndex(unit, index)) {
    unit.continuationPending = false;
    return std::string();
  }
  const std::string& fileName = unit.languageFiles[static_cast<std::size_t>(index)];
  LangFileReader& reader = *unit.defaultReader;
  std::string value;
  // A failure leaves the reader and continuationPending as they are, so that
  // a multi-line read goes on to its continuation and reports it there too.
  if (!reader.Open(LangFilePath(reading, fileName), DefaultFileLanguage(reading)) ||
      !ScanForKey(reader, key, &value)) {
    reading.errors.ShowLangFileError(fileName);
    return value;
  }
  // A multi-line read continues from the value line, so the file stays open
  // for it.
  if (unit.continuationPending)
    unit.continuationPending = false;
  else
    reader.Close();
  return value;
}

std::string ReadDefaultLangText(LangUnit& unit, const LangReading& reading, const std::string& key, bool skipFirst) {
  const std::int32_t index = DefaultFileIndex(unit, reading);
  if (!unit.defaultReader || !ValidIndex(unit, index)) {
    unit.continuationPending = false;
    return std::string();
  }
  unit.continuationPending = true;
  const std::string first = ReadDefaultLangLine(unit, reading, key);
  std::string text = skipFirst ? std::string() : first + kLineBreak;
  if (!ReadContinuation(*unit.defaultReader, &text)) {
    reading.errors.ShowLangFileError(unit.languageFiles[static_cast<std::size_t>(index)]);
    return text;
  }
  unit.defaultReader->Close();
  DropLastLineBreak(&text);
  return text;
}

std::string ReadLangLine(LangUnit& unit, const LangReading& reading,
                         const std::string& key) {
  std::string value;
  if (LangFileChosen(unit)) {
    const std::string& fileName = unit.languageFiles[static_cast<std::size_t>(unit.chosenFileIndex)];
    LangFileReader& reader = *unit.chosenReader;
    if (!reader.Open(LangFilePath(reading, fileName), ChosenBoxLanguage(unit)) ||
        !ScanForKey(reader, key, &value)) {
      reading.errors.ShowLangFileError(fileName);
      return value;
    }
  }
  if (value.empty()) {
    value = unit.continuationPending ? ReadDefaultLangText(unit, reading, key, false)
                                     : ReadDefaultLangLine(unit, reading, key);
  }
  return value;
}

std::string ReadLangText(LangUnit& unit, const LangReading& reading,
                         const std::string& key, bool skipFirst) {
  unit.continuationPending = true;
  const std::string first = ReadLangLine(unit, reading, key);
  std::string text = first + kLineBreak;
  // Still pending: the first line came from the chosen file (or its read
  // failed), so the rest of the value is there too. Otherwise the fallback
  // has read the default file's whole value already.
  if (unit.continuationPending && LangFileChosen(unit)) {
    if (skipFirst) text.clear();
    if (!ReadContinuation(*unit.chosenReader, &text)) {
      reading.errors.ShowLangFileError(unit.languageFiles[static_cast<std::size_t>(unit.chosenFileIndex)]);
      return text;
    }
  }
  DropLastLineBreak(&text);
  return text;
}

std::string SubstituteLangParameters(const std::string& text,
                                     const std::vector<std::string>& parameters) {
  std::string result = text;
  for (std::size_t number = 1; number <= 4; ++number) {
    const std::string placeholder = "%" + std::to_string(number);
    if (result.find(placeholder) == std::string::npos || number > parameters.size()) break;
    result = ReplaceAll(result, placeholder, parameters[number - 1]);
  }
  return result;
}

std::string GetLangText(LangUnit& unit, const LangReading& reading,
                        const std::string& key, const std::vector<std::string>& parameters,
                        bool skipFirst) {
  return SubstituteLangParameters(ReadLangText(unit, reading, key, skipFirst),
                                  parameters);
}

unsigned AnsiCodePageOfLanguage(std::uint16_t languageId) {
  const unsigned primary = languageId & 0x3FF;
  const unsigned sub = languageId >> 10;
  switch (primary) {
    case 0x01: case 0x20: case 0x29:  // Arabic, Urdu, Farsi
      return 1256;
    case 0x02: case 0x19: case 0x22: case 0x23: case 0x2F:  // Bulgarian, Russian,
    case 0x3F: case 0x40: case 0x44: case 0x50:  // Ukrainian, Belarusian, Macedonian,
      return 1251;                              // Kazakh, Kyrgyz, Tatar, Mongolian
    case 0x04:  // Chinese: Taiwan, Hong Kong and Macau write traditional
      return sub == 0x01 || sub == 0x03 || sub == 0x05 ? 950 : 936;
    case 0x05: case 0x0E: case 0x15: case 0x18:  // Czech, Hungarian, Polish, Romanian,
    case 0x1B: case 0x1C: case 0x24:  // Slovak, Albanian, Slovenian
      return 1250;
    case 0x08:  // Greek
      return 1253;
    case 0x0D:  // Hebrew
      return 1255;
    case 0x11:  // Japanese
      return 932;
    case 0x12:  // Korean
      return 949;
    case 0x1A:  // Croatian, Serbian and Bosnian: the Cyrillic ones apart
      return sub == 0x03 || sub == 0x07 || sub == 0x08 ? 1251 : 1250;
    case 0x1E:  // Thai
      return 874;
    case 0x1F:  // Turkish
      return 1254;
    case 0x25: case 0x26: case 0x27:  // Estonian, Latvian, Lithuanian
      return 1257;
    case 0x2A:  // Vietnamese
      return 1258;
    case 0x2C: case 0x43:  // Azeri and Uzbek: Latin 1, Cyrillic 2
      return sub == 0x02 ? 1251 : 1254;
    default:
      return 1252;
  }
}

}  // namespace vespodar
