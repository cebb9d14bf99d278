#ifndef VESPODAR_GUARD_VERSION_PROBES_WIN_H_
#define VESPODAR_GUARD_VERSION_PROBES_WIN_H_

// The version probes on real files. Paths are UTF-8. A version that cannot be
// read is 0 or an empty text; only the language file probe shows a box.

#include <cstdint>
#include <string>

#include "ui/lang_unit.h"

namespace vespodar {

// The integer fields of the product's data files. The file is opened without
// sharing, so one that another program holds open reads as 0, like a missing
// or too short one.
std::int32_t ReadPakVersion(const std::string& path);
std::int32_t ReadCokVersion(const std::string& path);
std::int32_t Read3bsVersion(const std::string& path);

// The "[langver]" value of a language support file. A missing file is 0
// without a word; one that cannot be read or holds no valid version is told
// to errors, naming path, and is 0.
std::int32_t ReadLngVersion(LangFileErrors& errors, const std::string& path);

// The FileVersion text of an executable's version resource, from the string
// table of the first translation it lists. Empty for a file that is not an
// executable, or one without a version.
std::string ReadExeFileVersion(const std::string& path);

}  // namespace vespodar

#endif  // VESPODAR_GUARD_VERSION_PROBES_WIN_H_
