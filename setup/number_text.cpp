#include "setup/number_text.h"

#include <algorithm>

std::string DecimalText(std::int64_t value) {
  // Work on the magnitude as unsigned, so the most negative value is fine too.
  std::uint64_t magnitude =
      value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
  std::string digits;
  do {
    digits += static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  if (value < 0) digits += '-';
  std::reverse(digits.begin(), digits.end());
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
