#include "guard/version_probes.h"

#include "ui/lang_unit.h"

namespace vespodar {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Takes one component up to the first dot when that dot is not the text's
// first character. Leaves text and component alone otherwise. False when the
// text before the dot is no integer.
bool TakeComponent(std::string* text, std::int32_t* component) {
  const std::size_t dot = text->find('.');
  if (dot == std::string::npos || dot == 0) return true;
  const std::optional<std::int32_t> value = TryParseInt32(text->substr(0, dot));
  if (!value) return false;
  *component = *value;
  text->erase(0, dot + 1);
  return true;
}

}  // namespace

std::optional<std::int32_t> TryParseInt32(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i == text.size()) return std::nullopt;

  // Accumulated in 64 bits and checked after every digit, so no input can
  // overflow the accumulator however long it is.
  const std::uint64_t limit = hex ? 0xFFFFFFFFu : negative ? 0x80000000u : 0x7FFFFFFFu;
  const unsigned base = hex ? 16 : 10;
  std::uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0 || static_cast<unsigned>(digit) >= base) return std::nullopt;
    value = value * base + static_cast<unsigned>(digit);
    if (value > limit) return std::nullopt;
  }
  std::uint32_t bits = static_cast<std::uint32_t>(value);
  if (negative) bits = 0u - bits;
  // Two's complement without implementation-defined conversion.
  return bits <= 0x7FFFFFFFu ? static_cast<std::int32_t>(bits)
                             : -static_cast<std::int32_t>(~bits) - 1;
}

std::int32_t DecodeVersionField(const VersionField& field, const std::string& bytesAtOffset) {
  if (bytesAtOffset.size() < field.width) return 0;
  std::uint32_t value = 0;
  for (std::size_t i = field.width; i-- > 0;)
    value = (value << 8) | static_cast<unsigned char>(bytesAtOffset[i]);
  return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> LngVersionFromText(const std::string& bytes) {
  std::size_t position = 0;
  std::string line;
  std::string versionText;
  while (NextTextLine(bytes, &position, &line)) {
    if (IsLangKeyHeader(line, "langver")) {
      if (!NextTextLine(bytes, &position, &versionText)) versionText.clear();
      break;
    }
    versionText = line;
  }
  return TryParseInt32(versionText);
}

std::string FileVersionQuery(std::uint16_t language, std::uint16_t codePage) {
  static const char kDigits[] = "0123456789abcdef";
  std::string name = "\\StringFileInfo\\";
  for (const std::uint16_t value : {language, codePage})
    for (int shift = 12; shift >= 0; shift -= 4) name += kDigits[(value >> shift) & 0xF];
  return name + "\\FileVersion";
}

bool IsOlderVersion(const std::string& candidate, const std::string& installed) {
  std::string candidateText = candidate;
  std::string installedText = installed;
  std::int32_t candidateComponent = 0;
  std::int32_t installedComponent = 0;
  bool older = false;
  for (int pass = 0; pass < 3; ++pass) {
    // The installed side first: when both texts are bad at the same place,
    // the installed file keeps its place and the answer is "not older".
    if (!TakeComponent(&installedText, &installedComponent)) return older;
    if (!TakeComponent(&candidateText, &candidateComponent)) return true;
    older = installedComponent > candidateComponent;
    if (installedComponent != candidateComponent) return older;
  }
  const std::optional<std::int32_t> installedLast = TryParseInt32(installedText);
  if (!installedLast) return older;
  const std::optional<std::int32_t> candidateLast = TryParseInt32(candidateText);
  if (!candidateLast) return true;
  return *installedLast > *candidateLast;
}

}  // namespace vespodar
