#ifndef VESPODAR_GUARD_VERSION_PROBES_H_
#define VESPODAR_GUARD_VERSION_PROBES_H_

// Versions of the product's files and their comparison, apart from the file
// access (the staged file probes of version_guard). Every probe yields 0 or an empty text for a
// version it cannot read; none fails.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vespodar {

// Text to a signed 32-bit integer, the way the product writes its numbers:
// leading blanks (spaces only), then an optional "+" or "-", then decimal
// digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X". Nothing may
// follow the digits. A decimal number must fit the signed range; hexadecimal
// digits give the 32-bit pattern (so "$FFFFFFFF" is -1) and a minus sign
// negates it. Empty on an empty text, a missing digit, a stray character or
// overflow.
std::optional<std::int32_t> TryParseInt32(const std::string& text);

// Where the data files of the product keep their version: a little-endian
// unsigned field of width bytes at offset from the start of the file.
struct VersionField {
  std::uint32_t offset;
  std::size_t width;
};
constexpr VersionField kPakVersionField{6, 2};
constexpr VersionField k3bsVersionField{6, 1};
constexpr VersionField kCokVersionField{5, 2};

// The version from the bytes read at the field's offset: 0 when fewer than
// the field's width were read.
std::int32_t DecodeVersionField(const VersionField& field, const std::string& bytesAtOffset);

// The version of a language support file from its bytes: the line after the
// first "[langver]" header (see IsLangKeyHeader), or the file's last line when
// there is no header. Empty when that line is no integer, and so also when
// the header is the file's last line or the file is empty.
std::optional<std::int32_t> LngVersionFromText(const std::string& bytes);

// The name under which the version resource keeps the FileVersion text of a
// translation: "\StringFileInfo\" + language and code page as four lower-case
// hexadecimal digits each + "\FileVersion".
std::string FileVersionQuery(std::uint16_t language, std::uint16_t codePage);

// True when the installed version is newer than the candidate. Texts are up
// to four integer components separated by "." (a.b.c.d), most significant
// first. A side whose text has no dot after its first character keeps its
// component (0 before the first); a component that is no integer decides
// against its side, the installed side's first: a bad installed text gives
// false, a bad candidate text true.
bool IsOlderVersion(const std::string& candidate, const std::string& installed);

}  // namespace vespodar

#endif  // VESPODAR_GUARD_VERSION_PROBES_H_
