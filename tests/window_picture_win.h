#ifndef VESPODAR_TESTS_WINDOW_PICTURE_WIN_H_
#define VESPODAR_TESTS_WINDOW_PICTURE_WIN_H_

// A picture of a window as the user sees it on the screen, saved as a 24-bit
// BMP file (which every image tool reads and GDI writes without a codec).

#include <windows.h>

#include <string>

// Copies the screen inside the window's rectangle, frame and title bar
// included (when a window manager or Wine's virtual desktop draws them), into
// path. Returns 0 on success, else the Win32 error of the step that failed.
DWORD SaveWindowPicture(HWND window, const std::wstring& path);

#endif  // VESPODAR_TESTS_WINDOW_PICTURE_WIN_H_
