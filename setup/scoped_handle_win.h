#ifndef VESPODAR_SETUP_SCOPED_HANDLE_WIN_H_
#define VESPODAR_SETUP_SCOPED_HANDLE_WIN_H_

#include <windows.h>

// A kernel handle that is closed when it goes out of scope. Windows has two
// "no handle" values: null from most calls, INVALID_HANDLE_VALUE from
// CreateFile; both count as empty.
struct ScopedHandle {
  HANDLE handle = INVALID_HANDLE_VALUE;

  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE opened) : handle(opened) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() { Close(); }

  bool valid() const { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

  // Closes now; false when CloseHandle fails (for a file just written, the
  // last chance to hear of an error).
  bool Close() {
    const bool ok = !valid() || CloseHandle(handle) != 0;
    handle = INVALID_HANDLE_VALUE;
    return ok;
  }
};

#endif  // VESPODAR_SETUP_SCOPED_HANDLE_WIN_H_
