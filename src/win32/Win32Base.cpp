#include "win32/Win32Base.h"

namespace corvane::win32 {

uint32_t WindowDpi(HWND Window) {
  // GetDpiForWindow exists from Windows 10 1607 on; before it the system resolution applies.
  using TGetDpiForWindow = UINT(WINAPI*)(HWND);
  static const auto GetDpiForWindowFn = reinterpret_cast<TGetDpiForWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (GetDpiForWindowFn && Window) {
    const UINT Dpi = GetDpiForWindowFn(Window);
    if (Dpi != 0) return Dpi;
  }
  HDC Screen = GetDC(nullptr);
  const int Dpi = Screen ? GetDeviceCaps(Screen, LOGPIXELSY) : 96;
  if (Screen) ReleaseDC(nullptr, Screen);
  return Dpi > 0 ? static_cast<uint32_t>(Dpi) : 96;
}

HFONT CreateMessageFont(uint32_t Dpi) {
  NONCLIENTMETRICSW Metrics{};
  Metrics.cbSize = sizeof Metrics;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof Metrics, &Metrics, 0))
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  // The metrics are those of the system resolution; the font follows the window's monitor.
  LOGFONTW Font = Metrics.lfMessageFont;
  const uint32_t SystemDpi = WindowDpi(nullptr);
  if (SystemDpi != Dpi) Font.lfHeight = MulDiv(Font.lfHeight, static_cast<int>(Dpi), static_cast<int>(SystemDpi));
  return CreateFontIndirectW(&Font);
}

HFONT CreatePixelFont(const wchar_t* Face, int PixelHeight, bool Bold, bool FixedPitch) {
  return CreateFontW(-PixelHeight, 0, 0, 0, Bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     static_cast<BYTE>((FixedPitch ? FIXED_PITCH | FF_MODERN : DEFAULT_PITCH | FF_DONTCARE)), Face);
}

std::u16string WindowText(HWND Window) {
  const int Length = GetWindowTextLengthW(Window);
  std::wstring Text(static_cast<size_t>(Length) + 1, L'\0');
  const int Got = GetWindowTextW(Window, Text.data(), Length + 1);
  Text.resize(static_cast<size_t>(Got > 0 ? Got : 0));
  return U(Text);
}

}  // namespace corvane::win32
