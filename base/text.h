#ifndef VESPODAR_BASE_TEXT_H_
#define VESPODAR_BASE_TEXT_H_

#include <string>

namespace vespodar {

// A to Z become a to z; every other byte, Cyrillic letters included, stays.
std::string LowerAscii(const std::string& text);

}  // namespace vespodar

#endif  // VESPODAR_BASE_TEXT_H_
