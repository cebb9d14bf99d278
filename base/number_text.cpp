#include "base/number_text.h"

#include <algorithm>

namespace vespodar {

std::string DecimalText(std::int64_t value) {
  // Work on the magnitude as unsigned, so the most negative value is fine too.
  std::uint64_t magnitude =
      value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
  // Digit by digit from the highest power of ten, by subtraction: a 64-bit
  // division on 32-bit x86 is a library routine of its own.
  std::uint64_t power[20] = {1};
  for (int i = 1; i < 20; ++i) power[i] = power[i - 1] * 10;
  int top = 19;
  while (top > 0 && power[top] > magnitude) --top;
  std::string digits = value < 0 ? "-" : "";
  for (int i = top; i >= 0; --i) {
    char digit = '0';
    for (; magnitude >= power[i]; magnitude -= power[i]) ++digit;
    digits += digit;
  }
  return digits;
}

std::string UpperHexText(std::uint32_t value) {
  std::string digits;
  do {
    digits += "0123456789ABCDEF"[value & 0xF];
    value >>= 4;
  } while (value);
  std::reverse(digits.begin(), digits.end());
  return digits;
}

}  // namespace vespodar
