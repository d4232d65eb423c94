#pragma once
// What every part of the Windows window shares: the system headers with the version this
// program targets, text conversion between the core's UTF-16 and the API's wide strings,
// scaling of design pixels to the monitor's resolution, and the busy cursor.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace corvane::win32 {

// On Windows wchar_t is 16 bits wide: the core's texts are the API's texts.
inline std::wstring W(std::u16string_view Text) { return std::wstring(Text.begin(), Text.end()); }
inline std::u16string U(std::wstring_view Text) { return std::u16string(Text.begin(), Text.end()); }

// Pixels per inch of the monitor the window is on (96 when the system cannot say).
uint32_t WindowDpi(HWND Window);
// Design pixels (laid out at DesignDpi) on a monitor of Dpi.
inline int Scale(int Value, uint32_t Dpi, int DesignDpi = 96) { return MulDiv(Value, static_cast<int>(Dpi), DesignDpi); }

// The system's message font at the given resolution: what dialogs and controls show text in.
HFONT CreateMessageFont(uint32_t Dpi);
// A font of the named face whose characters are PixelHeight pixels high (a negative lfHeight).
HFONT CreatePixelFont(const wchar_t* Face, int PixelHeight, bool Bold = false, bool FixedPitch = false);

// A window's text as the core's UTF-16.
std::u16string WindowText(HWND Window);

// The hourglass for the time of a step, restored on every path out of it.
class TBusyCursor {
 public:
  TBusyCursor() : FPrevious(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
  ~TBusyCursor() { SetCursor(FPrevious ? FPrevious : LoadCursorW(nullptr, IDC_ARROW)); }
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;

 private:
  HCURSOR FPrevious;
};

// A WM_PAINT's drawing context and the client area, ended on every path out of the painting.
class TPaint {
 public:
  explicit TPaint(HWND Window) : FWindow(Window), FContext(BeginPaint(Window, &FPaint)) { GetClientRect(Window, &Area); }
  ~TPaint() { EndPaint(FWindow, &FPaint); }
  TPaint(const TPaint&) = delete;
  TPaint& operator=(const TPaint&) = delete;
  HDC Context() const { return FContext; }
  RECT Area{};

 private:
  HWND FWindow;
  PAINTSTRUCT FPaint{};
  HDC FContext;
};

// A GDI object deleted with its owner.
class TGdiObject {
 public:
  TGdiObject() = default;
  explicit TGdiObject(HGDIOBJ Object) : FObject(Object) {}
  ~TGdiObject() { Reset(); }
  TGdiObject(const TGdiObject&) = delete;
  TGdiObject& operator=(const TGdiObject&) = delete;
  void Reset(HGDIOBJ Object = nullptr) {
    if (FObject) DeleteObject(FObject);
    FObject = Object;
  }
  HGDIOBJ Get() const { return FObject; }
  HFONT Font() const { return static_cast<HFONT>(FObject); }
  HBRUSH Brush() const { return static_cast<HBRUSH>(FObject); }

 private:
  HGDIOBJ FObject = nullptr;
};

}  // namespace corvane::win32
