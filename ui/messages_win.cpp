#include "ui/messages_win.h"

#include <windows.h>

#include "setup/win_text.h"

int ShowMessageBoxWin(const MessageBoxSpec& box) {
  const std::wstring text = Widen(box.text);
  const std::wstring caption = Widen(box.caption);
  if (box.language != 0)
    return MessageBoxExW(nullptr, text.c_str(), caption.c_str(), box.style, box.language);
  return MessageBoxW(nullptr, text.c_str(), caption.c_str(), box.style);
}
