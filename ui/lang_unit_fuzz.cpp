// Fuzzes the language file reader over arbitrary file bytes, as chosen file
// and as default file: no fault, the texts never end in a line break, and a
// one-line value never holds one.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "ui/lang_unit.h"
#include "ui/lang_unit_fake_test.h"

using namespace vespodar;

namespace {

bool EndsInBreak(const std::string& text) {
  return !text.empty() && (text.back() == '\n' || text.back() == '\r');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte picks the key and the layout, the rest is the file.
  const std::uint8_t control = data[0];
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  static const char* const kKeys[] = {"olderfilever", "soundquest", "a", "langver"};
  const std::string key = kKeys[control & 3];
  const bool skipFirst = (control & 4) != 0;
  const bool sameFile = (control & 8) != 0;

  RecordingLangErrors errors;
  const LangReading context{"C:\\V\\", (control & 16) != 0, errors};
  FakeLangFiles files;
  files.contents["C:\\V\\language\\chosen.lng"] = bytes;
  files.contents["C:\\V\\language\\default.lng"] = sameFile ? bytes : "[" + key + "]\r\nx\r\ny";
  FakeLangFileReader defaultReader(files);
  FakeLangFileReader chosenReader(files);
  LangUnit unit;
  unit.defaultReader = &defaultReader;
  unit.chosenReader = &chosenReader;
  ConfigureLangUnit(unit, {"chosen.lng", "default.lng"}, 1, 1, 0, 0x0419);

  const std::string text = GetLangText(unit, context, key, {"%2", "p"}, skipFirst);
  if (EndsInBreak(text)) std::abort();
  if (EndsInBreak(ReadLangText(unit, context, key, skipFirst))) std::abort();
  const std::string line = ReadDefaultLangLine(unit, context, key);
  if (line.find_first_of("\r\n") != std::string::npos) std::abort();
  if (EndsInBreak(ReadLangLine(unit, context, key))) std::abort();
  // Every file exists and reads: nothing to report.
  if (!errors.files.empty()) std::abort();
  return 0;
}
