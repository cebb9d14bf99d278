#ifndef VESPODAR_UI_PROGRESS_WINDOW_H_
#define VESPODAR_UI_PROGRESS_WINDOW_H_

// The shape of the progress window: a small topmost frame without a title
// bar, centred on the screen, with a status line and a progress bar under it.
// The window itself runs on its own thread (progress_window_win).

#include <cstdint>

namespace vespodar {

// One window of the progress frame, as CreateWindowEx takes it.
struct ProgressWindowPart {
  const wchar_t* className;
  std::uint32_t exStyle;
  std::uint32_t style;
  int left;
  int top;
  int width;
  int height;
};

// The frame: WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_STATICEDGE, and only
// WS_DLGFRAME: no caption, no system menu. Its left and top are computed.
constexpr ProgressWindowPart kProgressFrame{L"PlainWindow", 0x00020009, 0x00400000, 0, 0, 408, 76};
// WS_CHILD | WS_VISIBLE, left-aligned text.
constexpr ProgressWindowPart kProgressStatus{L"STATIC", 0, 0x50000000, 2, 2, 399, 20};
// WS_CHILD | WS_VISIBLE | WS_THICKFRAME; its range is 0 to 100. The
// guard's question leaves it where it is; a long write advances it.
constexpr ProgressWindowPart kProgressBar{L"msctls_progress32", 0, 0x50040000, 2, 24, 400, 20};

// CS_VREDRAW | CS_HREDRAW | CS_NOCLOSE.
constexpr std::uint32_t kProgressClassStyle = 0x0203;

struct ProgressOrigin {
  int left;
  int top;
};

// A write shows the window once it has taken this long, in a run where
// somebody looks (neither modest nor unattended): a short one never flashes it.
constexpr unsigned kWriteProgressDelayMs = 1000;

// The bar's position, 0 to 100, after DONE of TOTAL bytes (100 for an empty
// total, and never past it).
int ProgressPercent(std::uint64_t done, std::uint64_t total);

// Where the frame goes on a screen of this size: centred, each half rounded
// down (also when the screen is smaller than the frame).
ProgressOrigin CentredProgressOrigin(int screenWidth, int screenHeight);

}  // namespace vespodar

#endif  // VESPODAR_UI_PROGRESS_WINDOW_H_
