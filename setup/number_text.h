#ifndef VESPODAR_SETUP_NUMBER_TEXT_H_
#define VESPODAR_SETUP_NUMBER_TEXT_H_

#include <cstdint>
#include <string>

// Numbers as text without the C library's printf family, which would bring
// its whole formatting engine (floating point included) into the setup.

// Signed decimal: "-12", "0", "2147483647".
std::string DecimalText(std::int64_t value);
// Upper-case hexadecimal digits without leading zeros or prefix: "C", "FFFF".
std::string UpperHexText(std::uint32_t value);

#endif  // VESPODAR_SETUP_NUMBER_TEXT_H_
