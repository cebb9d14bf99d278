#include "window_picture_win.h"

namespace {

// The screen is read and not the window asked to paint itself (PrintWindow):
// a box belongs to another process, and only the screen shows its frame as
// the desktop drew it.
struct ScreenDc {
  HDC dc = GetDC(nullptr);
  ~ScreenDc() {
    if (dc) ReleaseDC(nullptr, dc);
  }
};

struct MemoryDc {
  HDC dc;
  explicit MemoryDc(HDC like) : dc(CreateCompatibleDC(like)) {}
  ~MemoryDc() {
    if (dc) DeleteDC(dc);
  }
};

struct Bitmap {
  HBITMAP bitmap = nullptr;
  ~Bitmap() {
    if (bitmap) DeleteObject(bitmap);
  }
};

// The bitmap stays selected only as long as it is drawn into.
struct Selection {
  HDC dc;
  HGDIOBJ previous;
  Selection(HDC into, HGDIOBJ object) : dc(into), previous(SelectObject(into, object)) {}
  ~Selection() {
    if (previous && previous != HGDI_ERROR) SelectObject(dc, previous);
  }
};

struct File {
  HANDLE handle;
  explicit File(const std::wstring& path)
      : handle(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~File() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  bool Write(const void* data, DWORD size) {
    DWORD written = 0;
    return WriteFile(handle, data, size, &written, nullptr) && written == size;
  }
};

DWORD LastErrorOr(DWORD fallback) {
  const DWORD error = GetLastError();
  return error ? error : fallback;
}

}  // namespace

DWORD SaveWindowPicture(HWND window, const std::wstring& path) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return LastErrorOr(ERROR_INVALID_WINDOW_HANDLE);
  const LONG width = rect.right - rect.left;
  const LONG height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return ERROR_INVALID_WINDOW_HANDLE;

  ScreenDc screen;
  if (!screen.dc) return LastErrorOr(ERROR_DC_NOT_FOUND);
  MemoryDc memory(screen.dc);
  if (!memory.dc) return LastErrorOr(ERROR_NOT_ENOUGH_MEMORY);

  // Bottom-up rows of three bytes, each padded to four: the layout of the
  // file's pixel array, so the bits go to the file as they are.
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD pixelBytes = stride * static_cast<DWORD>(height);
  info.bmiHeader.biSizeImage = pixelBytes;

  void* bits = nullptr;
  Bitmap bitmap;
  bitmap.bitmap = CreateDIBSection(screen.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap.bitmap || !bits) return LastErrorOr(ERROR_NOT_ENOUGH_MEMORY);
  {
    Selection selected(memory.dc, bitmap.bitmap);
    if (!selected.previous || selected.previous == HGDI_ERROR) return LastErrorOr(ERROR_INVALID_HANDLE);
    if (!BitBlt(memory.dc, 0, 0, width, height, screen.dc, rect.left, rect.top,
                SRCCOPY | CAPTUREBLT))
      return LastErrorOr(ERROR_INVALID_HANDLE);
    GdiFlush();
  }

  BITMAPFILEHEADER header = {};
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = sizeof header + sizeof info.bmiHeader;
  header.bfSize = header.bfOffBits + pixelBytes;

  File file(path);
  if (file.handle == INVALID_HANDLE_VALUE) return LastErrorOr(ERROR_OPEN_FAILED);
  if (!file.Write(&header, sizeof header) || !file.Write(&info.bmiHeader, sizeof info.bmiHeader) ||
      !file.Write(bits, pixelBytes))
    return LastErrorOr(ERROR_WRITE_FAULT);
  return 0;
}
