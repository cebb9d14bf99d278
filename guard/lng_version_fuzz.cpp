// Fuzzes the language file version over arbitrary file bytes: no fault, and
// a version found under a header stays when lines are appended after it.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "guard/version_probes.h"
#include "ui/lang_unit.h"

using namespace vespodar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const auto version = LngVersionFromText(bytes);

  // A header in front wins over anything in the bytes: the first header does.
  const auto headed = LngVersionFromText("[LangVer]\r\n42\r\n" + bytes);
  if (!headed || *headed != 42) std::abort();

  // When the bytes hold a header followed by a line, more lines after the
  // whole file cannot change the answer.
  std::size_t position = 0;
  std::string line;
  bool headerWithValue = false;
  while (NextTextLine(bytes, &position, &line)) {
    if (IsLangKeyHeader(line, "langver")) {
      headerWithValue = NextTextLine(bytes, &position, &line);
      break;
    }
  }
  if (headerWithValue && LngVersionFromText(bytes + "\n7\n[langver]\n8") != version) std::abort();
  return 0;
}
