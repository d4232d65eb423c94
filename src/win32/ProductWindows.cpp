#include "win32/ProductWindows.h"

#include <shellapi.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "core/ODSUtls.h"
#include "product/ProductTexts.h"
#include "product/VersionInfo.h"
#include "win32/Controls.h"
#include "win32/Dialog.h"

namespace corvane::win32 {
namespace {

constexpr int DesignDpi = 120;
constexpr UINT_PTR CloseTimer = 1;
constexpr UINT SplashMs = 3000;

COLORREF Mix(COLORREF From, COLORREF To, double T) {
  const auto Channel = [T](int A, int B) { return static_cast<BYTE>(std::lround(A + (B - A) * T)); };
  return RGB(Channel(GetRValue(From), GetRValue(To)), Channel(GetGValue(From), GetGValue(To)),
             Channel(GetBValue(From), GetBValue(To)));
}

// A vertical gradient from Top through Middle (at MiddleAt) to Bottom, one line at a time.
void FillGradient(HDC Context, const RECT& Area, COLORREF Top, COLORREF Middle, double MiddleAt, COLORREF Bottom) {
  const int Height = std::max<int>(Area.bottom - Area.top, 1);
  for (int Line = 0; Line < Height; ++Line) {
    const double T = double(Line) / Height;
    const COLORREF Colour = T < MiddleAt ? Mix(Top, Middle, T / MiddleAt) : Mix(Middle, Bottom, (T - MiddleAt) / (1 - MiddleAt));
    const RECT Row{Area.left, Area.top + Line, Area.right, Area.top + Line + 1};
    SetBkColor(Context, Colour);
    ExtTextOutW(Context, 0, 0, ETO_OPAQUE, &Row, nullptr, 0, nullptr);
  }
}

// A few overlapping sine bursts, the look of an audio waveform, across the band.
void DrawWaveform(HDC Context, const RECT& Band, double Phase, COLORREF Colour, int Width) {
  const int Steps = std::max<int>(Band.right - Band.left, 2);
  std::vector<POINT> Points(static_cast<size_t>(Steps) + 1);
  const double Middle = (Band.top + Band.bottom) / 2.0;
  const double Half = (Band.bottom - Band.top) / 2.0;
  for (int I = 0; I <= Steps; ++I) {
    const double T = double(I) / Steps;
    const double Envelope = 0.55 + 0.45 * std::sin(T * 3.1 * std::numbers::pi + Phase);
    const double Y = Envelope * (0.6 * std::sin(T * 38 * std::numbers::pi + Phase) + 0.4 * std::sin(T * 91 * std::numbers::pi));
    Points[static_cast<size_t>(I)] = {Band.left + I, static_cast<LONG>(std::lround(Middle - Y * Half))};
  }
  TGdiObject Pen(CreatePen(PS_SOLID, Width, Colour));
  const HGDIOBJ Previous = SelectObject(Context, Pen.Get());
  Polyline(Context, Points.data(), static_cast<int>(Points.size()));
  SelectObject(Context, Previous);
}

void DrawCentred(HDC Context, const std::wstring& Text, RECT Area, HFONT Font, COLORREF Colour) {
  const HGDIOBJ Previous = SelectObject(Context, Font);
  SetTextColor(Context, Colour);
  SetBkMode(Context, TRANSPARENT);
  DrawTextW(Context, Text.c_str(), -1, &Area, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(Context, Previous);
}

class TSplashForm : public TWindow {
 public:
  bool Show(std::u16string_view ProductName, HWND MainWindow) {
    FName = W(ProductName);
    FDpi = WindowDpi(MainWindow);
    const int Width = Scale(484, FDpi, DesignDpi);
    const int Height = Scale(238, FDpi, DesignDpi);
    int X = CW_USEDEFAULT;
    int Y = CW_USEDEFAULT;
    if (MainWindow) {
      RECT Main{};
      GetWindowRect(MainWindow, &Main);
      X = Main.left + (Main.right - Main.left) / 2 - Width / 2;
      Y = Main.top + (Main.bottom - Main.top) / 2 - Height / 2;
    }
    if (!CreateWindowOf(L"CorvaneSplash", WS_EX_TOPMOST | WS_EX_TOOLWINDOW, WS_POPUP, FName, X, Y, Width, Height,
                        nullptr))
      return false;
    FNameFont.Reset(CreatePixelFont(L"Arial", Scale(40, FDpi, DesignDpi), true));
    FNoticeFont.Reset(CreatePixelFont(L"Tahoma", Scale(14, FDpi, DesignDpi)));
    ShowWindow(FHandle, SW_SHOWNOACTIVATE);
    UpdateWindow(FHandle);
    SetTimer(FHandle, CloseTimer, SplashMs, nullptr);
    return true;
  }

 protected:
  LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) override {
    switch (Message) {
      case WM_PAINT: {
        const TPaint Paint(FHandle);
        const HDC Context = Paint.Context();
        const RECT& Area = Paint.Area;
        FillGradient(Context, Area, RGB(0x1B, 0x3A, 0x6B), RGB(0x0E, 0x22, 0x48), 0.55, RGB(0x06, 0x10, 0x26));
        const int Height = Area.bottom - Area.top;
        for (int Layer = 0; Layer < 3; ++Layer) {
          const RECT Band{Area.left, Area.top + Height * 18 / 100 + Layer * 6, Area.right,
                          Area.top + Height * 78 / 100 - Layer * 6};
          DrawWaveform(Context, Band, Layer * 1.3, Mix(RGB(0x0E, 0x22, 0x48), RGB(0x5F, 0xB4, 0xE8), 0.3 + 0.15 * Layer),
                       1 + Layer / 2);
        }
        RECT Name{Area.left, Area.top + Scale(59, FDpi, DesignDpi), Area.right, Area.top + Scale(190, FDpi, DesignDpi)};
        RECT Shadow = Name;
        OffsetRect(&Shadow, 2, 2);
        DrawCentred(Context, FName, Shadow, FNameFont.Font(), RGB(0, 0, 0x80));
        DrawCentred(Context, FName, Name, FNameFont.Font(), RGB(255, 255, 255));
        const RECT Notice{Area.left, Area.top + Scale(202, FDpi, DesignDpi), Area.right, Area.bottom};
        DrawCentred(Context, W(HalvernNoticeText(AsciiYear())), Notice, FNoticeFont.Font(), RGB(255, 255, 255));
        return 0;
      }
      case WM_TIMER:
      case WM_LBUTTONDOWN:
        // Closed by its timer or a click; the object stays until the program ends.
        KillTimer(FHandle, CloseTimer);
        ShowWindow(FHandle, SW_HIDE);
        return 0;
      default:
        return TWindow::HandleMessage(Message, WParam, LParam);
    }
  }

 private:
  static std::u16string AsciiYear() {
    const char* Year = CORVANE_NOTICE_YEAR;
    return std::u16string(Year, Year + std::char_traits<char>::length(Year));
  }

  std::wstring FName;
  uint32_t FDpi = 96;
  TGdiObject FNameFont;
  TGdiObject FNoticeFont;
};

std::unique_ptr<TSplashForm>& Splash() {
  static std::unique_ptr<TSplashForm> Form;
  return Form;
}

constexpr int IdLink = 100;
constexpr int IdMail = 101;

class THalvernAboutForm : public TDialog {
 public:
  THalvernAboutForm(std::u16string_view Product, std::u16string Version, std::u16string_view Year)
      : FProduct(W(Product)), FVersion(W(Version)), FNotice(W(HalvernNoticeText(Year))) {}

 protected:
  std::wstring Title() const override { return FProduct; }
  // The design is at 120 pixels per inch: 339 x 263 there.
  SIZE DesignClientSize() const override { return {Scale(339, 96, DesignDpi), Scale(263, 96, DesignDpi)}; }

  void CreateControls() override {
    FLabelFont.Reset(CreatePixelFont(L"Verdana", D(13)));
    FLinkFont.Reset(CreatePixelFont(L"Verdana", D(13)));
    FWhite.Reset(CreateSolidBrush(RGB(255, 255, 255)));
    const auto Label = [this](const std::wstring& Text, int Top, int Id, HFONT Font) {
      HWND Control = CreateWindowExW(0, WC_STATICW, Text.c_str(), WS_CHILD | WS_VISIBLE | SS_NOPREFIX | (Id > 0 ? SS_NOTIFY : 0),
                                     D(33), D(Top), D(290), D(18), FHandle,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)), GetModuleHandleW(nullptr), nullptr);
      SendMessageW(Control, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
      return Control;
    };
    Label(FProduct, 20, -1, FLabelFont.Font());
    Label(FVersion, 42, -1, FLabelFont.Font());
    Label(FNotice, 65, -1, FLabelFont.Font());
    Label(W(HalvernRightsText), 87, -1, FLabelFont.Font());
    FLink = Label(W(HalvernWebAddressText), 133, IdLink, FLinkFont.Font());
    FMail = Label(W(HalvernMailAddressText), 156, IdMail, FLinkFont.Font());
    HWND Ok = CreateWindowExW(0, WC_BUTTONW, L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, D(236),
                              D(223), D(93), D(31), FHandle, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)),
                              GetModuleHandleW(nullptr), nullptr);
    SendMessageW(Ok, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Font()), FALSE);
    SetFocus(Ok);
  }

  bool Command(int Id, int Code, HWND) override {
    if ((Id == IdLink || Id == IdMail) && Code == STN_CLICKED) {
      const std::wstring Target =
          Id == IdLink ? W(HalvernWebAddressText) : L"mailto:" + W(HalvernMailAddressText);
      ShellExecuteW(FHandle, L"open", Target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
      return true;
    }
    return false;
  }

  LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) override {
    switch (Message) {
      case WM_PAINT: {
        const TPaint Paint(FHandle);
        const HDC Context = Paint.Context();
        const RECT Panel{0, 0, Paint.Area.right, D(191)};
        FillRect(Context, &Panel, FWhite.Brush());
        const RECT Band{0, D(191), Paint.Area.right, D(191) + D(72)};
        FillGradient(Context, Band, RGB(0xE8, 0xEE, 0xF6), RGB(0xD8, 0xE2, 0xEF), 0.5, RGB(0xC9, 0xD6, 0xE8));
        RECT Wave = Band;
        Wave.top += D(72) * 15 / 100;
        Wave.bottom -= D(72) * 35 / 100;
        DrawWaveform(Context, Wave, 0.4, RGB(0x8C, 0x9E, 0xBA), 1);
        return 0;
      }
      case WM_CTLCOLORSTATIC: {
        const auto Control = reinterpret_cast<HWND>(LParam);
        SetBkMode(reinterpret_cast<HDC>(WParam), TRANSPARENT);
        SetTextColor(reinterpret_cast<HDC>(WParam),
                     Control == FLink || Control == FMail ? RGB(0, 0, 255) : GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(FWhite.Brush());
      }
      case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(WParam) == FLink || reinterpret_cast<HWND>(WParam) == FMail) {
          SetCursor(LoadCursorW(nullptr, IDC_HAND));
          return TRUE;
        }
        break;
      default:
        break;
    }
    return TDialog::HandleMessage(Message, WParam, LParam);
  }

 private:
  // Design pixels at 120 per inch on this monitor.
  int D(int Value) const { return Scale(Value, FDpi, DesignDpi); }

  std::wstring FProduct;
  std::wstring FVersion;
  std::wstring FNotice;
  TGdiObject FLabelFont;
  TGdiObject FLinkFont;
  TGdiObject FWhite;
  HWND FLink = nullptr;
  HWND FMail = nullptr;
};

}  // namespace

bool ShowSplash(std::u16string_view ProductName, HWND MainWindow) {
  try {
    auto Form = std::make_unique<TSplashForm>();
    if (!Form->Show(ProductName, MainWindow)) throw std::runtime_error("no splash window");
    Splash() = std::move(Form);
    return true;
  } catch (...) {
    DebugLog(u"Error in ShowSplash call...");
    return false;
  }
}

void FreeSplash() { Splash().reset(); }

void ShowAbout(HWND Owner, std::u16string_view ProductName, std::u16string_view Year) {
  try {
    const TVersionInfo Version;
    THalvernAboutForm Form(ProductName, Version.FileVersion(), Year);
    Form.ShowModal(Owner);
  } catch (...) {
    DebugLog(u"nox: Error in ShowAbout call...");
  }
}

}  // namespace corvane::win32
