#ifndef VESPODAR_SETUP_RUN_LOG_WIN_H_
#define VESPODAR_SETUP_RUN_LOG_WIN_H_

#include <cstdint>
#include <string>

#include "base/scoped_handle_win.h"

namespace vespodar {

// The log file of /log: UTF-8, a byte order mark when the file is new,
// appended to, readable by others while the setup runs. Opened at the first
// line; a file that cannot be opened or written is passed over.
class RunLogFile {
 public:
  void Append(const std::string& path, const std::string& text);

 private:
  ScopedHandle file_;
  bool failed_ = false;
};

// Windows' description of an error, in English where the system has it.
std::string WindowsErrorText(std::uint32_t error);

}  // namespace vespodar

#endif  // VESPODAR_SETUP_RUN_LOG_WIN_H_
