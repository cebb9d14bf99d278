// Fuzzes the integer conversion of version texts against its contract: an
// accepted text means exactly the number its digits say, and what it accepts
// does not change by a blank in front nor survive a character behind.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "guard/version_probes.h"

using namespace vespodar;

namespace {

// The value the text denotes, computed the long way round: strip what the
// contract allows in front, then let strtoull read the digits.
bool ReferenceValue(const std::string& text, std::int64_t* value) {
  std::size_t i = text.find_first_not_of(' ');
  if (i == std::string::npos) return false;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  int base = 10;
  if (text.compare(i, 1, "$") == 0 || text.compare(i, 1, "x") == 0 || text.compare(i, 1, "X") == 0) {
    base = 16;
    i += 1;
  } else if (text.compare(i, 2, "0x") == 0 || text.compare(i, 2, "0X") == 0) {
    base = 16;
    i += 2;
  }
  std::string digits = text.substr(i);
  if (digits.empty()) return false;
  for (const char c : digits) {
    const bool decimal = c >= '0' && c <= '9';
    const bool hexLetter = (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!decimal && !(base == 16 && hexLetter)) return false;
  }
  // Leading zeros do not count; more than 12 digits left overflow anyway.
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
  if (digits.size() > 12) return false;
  const unsigned long long magnitude = std::strtoull(digits.c_str(), nullptr, base);
  if (base == 10) {
    if (magnitude > (negative ? 0x80000000ull : 0x7FFFFFFFull)) return false;
    *value = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    return true;
  }
  if (magnitude > 0xFFFFFFFFull) return false;
  std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
  if (negative) bits = 0u - bits;
  *value = bits > 0x7FFFFFFFu ? static_cast<std::int64_t>(bits) - 0x100000000ll : bits;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto parsed = TryParseInt32(text);
  std::int64_t expected = 0;
  const bool accepted = ReferenceValue(text, &expected);
  if (accepted != parsed.has_value()) std::abort();
  if (accepted && *parsed != expected) std::abort();
  if (parsed) {
    if (TryParseInt32(" " + text) != parsed) std::abort();
    if (TryParseInt32(text + "z") || TryParseInt32(text + " ")) std::abort();
    if (TryParseInt32(std::to_string(*parsed)) != parsed) std::abort();
  }
  return 0;
}
