#include "ui/messages_win.h"

#include <windows.h>

#include "base/system_dll_win.h"
#include "base/win_text.h"

namespace vespodar {

int ShowMessageBoxWin(const MessageBoxSpec& box) {
  const std::wstring text = Widen(box.text);
  const std::wstring caption = Widen(box.caption);
  if (box.language != 0)
    return User32().MessageBoxExW(nullptr, text.c_str(), caption.c_str(), box.style, box.language);
  return User32().MessageBoxW(nullptr, text.c_str(), caption.c_str(), box.style);
}

bool WindowStationVisible() {
  USEROBJECTFLAGS flags = {};
  const HWINSTA station = User32().GetProcessWindowStation();
  if (!station || !User32().GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags),
                                                      nullptr))
    return true;
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace vespodar
