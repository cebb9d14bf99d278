#ifndef VESPODAR_BASE_NUMBER_TEXT_H_
#define VESPODAR_BASE_NUMBER_TEXT_H_

#include <cstdint>
#include <string>

namespace vespodar {

// Numbers as text without the C library's printf family, which would bring
// its whole formatting engine (floating point included) into the setup.

// Signed decimal: "-12", "0", "2147483647".
std::string DecimalText(std::int64_t value);
// Upper-case hexadecimal digits without leading zeros or prefix: "C", "FFFF".
std::string UpperHexText(std::uint32_t value);

}  // namespace vespodar

#endif  // VESPODAR_BASE_NUMBER_TEXT_H_
