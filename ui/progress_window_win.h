#ifndef VESPODAR_UI_PROGRESS_WINDOW_WIN_H_
#define VESPODAR_UI_PROGRESS_WINDOW_WIN_H_

// The progress window: one per process, on a thread of its own that the first
// show starts and that runs the window's message loop until the window is
// destroyed. Called from the main thread only; texts are UTF-8.

#include <windows.h>

#include <string>

namespace vespodar {

// Shows the window with these texts. The first call starts the thread, which
// creates the window with them, and returns without waiting for it; later
// calls set both texts and bring the window back, topmost and centred.
void ShowProgressWindow(const std::string& caption, const std::string& status);
// Hides the window; before the first show it does nothing.
void HideProgressWindow();
// The bar's position, 0 to 100, of an existing window.
void SetProgressPosition(int percent);
// The frame's caption and the status line of an existing window.
void SetProgressCaption(const std::string& text);
void SetProgressStatus(const std::string& text);

// Set by the window thread once its creation call has returned (also when
// the creation failed); the handles are valid from then on.
bool ProgressWindowCreated();
HWND ProgressFrameWindow();
HWND ProgressStatusWindow();
HWND ProgressBarWindow();

}  // namespace vespodar

#endif  // VESPODAR_UI_PROGRESS_WINDOW_WIN_H_
