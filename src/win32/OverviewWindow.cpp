#include "win32/OverviewWindow.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/StringUtils.h"
#include "win32/CheckStream.h"

namespace corvane::win32 {
namespace {

constexpr TRgbColour White{255, 255, 255};

COLORREF Ref(TRgbColour Colour) { return RGB(Colour.Red, Colour.Green, Colour.Blue); }
// A band's colour: Alpha of the colour over the lanes' white, which GDI cannot blend itself.
COLORREF Faint(TRgbColour Colour, int Alpha) { return Ref(OverviewBlend(Colour, Alpha, White)); }

int Row(double Y) { return static_cast<int>(std::lround(Y - 0.5)); }

// Draws with one pen and restores the one before.
class TPen {
 public:
  TPen(HDC Dc, int Style, int Width, COLORREF Colour) : FDc(Dc), FPen(CreatePen(Style, Width, Colour)) {
    FBefore = SelectObject(Dc, FPen);
  }
  ~TPen() {
    SelectObject(FDc, FBefore);
    DeleteObject(FPen);
  }
  TPen(const TPen&) = delete;
  TPen& operator=(const TPen&) = delete;

 private:
  HDC FDc;
  HPEN FPen;
  HGDIOBJ FBefore = nullptr;
};

void Text(HDC Dc, int X, int Y, std::u16string_view Line, COLORREF Colour) {
  const std::wstring Wide = W(Line);
  SetTextColor(Dc, Colour);
  TextOutW(Dc, X, Y, Wide.c_str(), static_cast<int>(Wide.size()));
}

int TextWidth(HDC Dc, std::u16string_view Line) {
  const std::wstring Wide = W(Line);
  SIZE Size{};
  GetTextExtentPoint32W(Dc, Wide.c_str(), static_cast<int>(Wide.size()), &Size);
  return Size.cx;
}

}  // namespace

TStreamOverviewWindow::TStreamOverviewWindow() = default;

TStreamOverviewWindow::~TStreamOverviewWindow() {
  if (FHandle) DestroyWindow(FHandle);
}

TCheckEnd TStreamOverviewWindow::Collect(HWND Owner, const std::filesystem::path& File, bool EAC3,
                                         std::string& Error) {
  if (Holds(File)) return TCheckEnd::Completed;
  Clear();
  const TCheckEnd End = RunBehindProgress(
      Owner, W(OverviewTitle), W(OverviewProgressText),
      [&](const TFrameWindow::TWalkProgress& Progress, const std::atomic<bool>* Cancel, std::string& Failure) {
        return CollectOverview(File, EAC3, FHeld.Overview, FHeld.Summary, Progress, Cancel, Failure);
      },
      Error);
  if (End != TCheckEnd::Completed) {
    Clear();
    return End;
  }
  FHeld.File = File;
  Gather();
  if (FHandle) {
    SetWindowTextW(FHandle, W(OverviewWindowTitle(FHeld.File)).c_str());
    InvalidateRect(FHandle, nullptr, FALSE);
  }
  return End;
}

void TStreamOverviewWindow::Clear() {
  FHeld = THeldOverview{};
  Gather();
  if (FHandle) {
    SetWindowTextW(FHandle, W(OverviewTitle).c_str());
    InvalidateRect(FHandle, nullptr, FALSE);
  }
}

void TStreamOverviewWindow::Show(HWND Over) {
  if (!FHandle) {
    FDpi = WindowDpi(Over);
    FFont.Reset(CreateMessageFont(FDpi));
    RECT Main{};
    GetWindowRect(Over, &Main);
    if (!CreateWindowOf(L"CorvaneStreamOverview", 0, WS_OVERLAPPEDWINDOW,
                        FHeld.Held() ? W(OverviewWindowTitle(FHeld.File)) : W(OverviewTitle), Main.left + Scale(60, FDpi),
                        Main.top + Scale(60, FDpi), Scale(1000, FDpi), Scale(480, FDpi), nullptr))
      return;
    HDC Dc = GetDC(FHandle);
    const HGDIOBJ Before = SelectObject(Dc, FFont.Get());
    TEXTMETRICW Metrics{};
    GetTextMetricsW(Dc, &Metrics);
    FTextHeight = Metrics.tmHeight;
    SelectObject(Dc, Before);
    ReleaseDC(FHandle, Dc);
    Gather();
  }
  ShowWindow(FHandle, IsIconic(FHandle) ? SW_RESTORE : SW_SHOWNORMAL);
  SetForegroundWindow(FHandle);
}

RECT TStreamOverviewWindow::PictureRect() const {
  RECT Client{};
  if (FHandle) GetClientRect(FHandle, &Client);
  const int Margin = Scale(6, FDpi);
  // The head line above, the hint below.
  return {Client.left + Margin, Client.top + Margin + FTextHeight + Margin, Client.right - Margin,
          Client.bottom - Margin - FTextHeight - Margin};
}

void TStreamOverviewWindow::Gather() {
  const RECT Picture = PictureRect();
  const TOverviewLayout Layout(Picture.right - Picture.left, Picture.bottom - Picture.top, FTextHeight);
  FColumns = FHeld.Held() ? FHeld.Overview.Columns(Layout.Plot().Width) : std::vector<TOverviewSpan>{};
  FWhole = TOverviewSpan{};
  for (const TOverviewSpan& Column : FColumns) FWhole.Merge(Column);
}

LRESULT TStreamOverviewWindow::HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
  switch (Message) {
    case WM_SIZE:
      Gather();
      InvalidateRect(FHandle, nullptr, FALSE);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers everything, through a bitmap
    case WM_PAINT: {
      PAINTSTRUCT Paint{};
      HDC Dc = BeginPaint(FHandle, &Paint);
      RECT Client{};
      GetClientRect(FHandle, &Client);
      HDC Memory = CreateCompatibleDC(Dc);
      HBITMAP Bitmap = CreateCompatibleBitmap(Dc, std::max<int>(Client.right, 1), std::max<int>(Client.bottom, 1));
      const HGDIOBJ OldBitmap = SelectObject(Memory, Bitmap);
      const HGDIOBJ OldFont = SelectObject(Memory, FFont.Get());
      this->Paint(Memory, Client);
      BitBlt(Dc, 0, 0, Client.right, Client.bottom, Memory, 0, 0, SRCCOPY);
      SelectObject(Memory, OldFont);
      SelectObject(Memory, OldBitmap);
      DeleteObject(Bitmap);
      DeleteDC(Memory);
      EndPaint(FHandle, &Paint);
      return 0;
    }
    case WM_SETCURSOR:
      if (LOWORD(LParam) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case WM_LBUTTONDOWN: {
      const RECT Picture = PictureRect();
      const TOverviewLayout Layout(Picture.right - Picture.left, Picture.bottom - Picture.top, FTextHeight);
      const int X = static_cast<short>(LOWORD(LParam)) - Picture.left;
      const int Y = static_cast<short>(HIWORD(LParam)) - Picture.top;
      const int64_t Offset = Layout.ClickTarget(FColumns, X, Y);
      if (Offset >= 0 && OnActivated) OnActivated(Offset);
      return 0;
    }
    case WM_KEYDOWN:
      if (WParam == VK_ESCAPE) {
        ShowWindow(FHandle, SW_HIDE);
        return 0;
      }
      break;
    case WM_CLOSE:
      ShowWindow(FHandle, SW_HIDE);  // kept with its data until its file is closed
      return 0;
    default:
      break;
  }
  return TWindow::HandleMessage(Message, WParam, LParam);
}

void TStreamOverviewWindow::Paint(HDC Dc, const RECT& Client) {
  FillRect(Dc, &Client, GetSysColorBrush(COLOR_BTNFACE));
  SetBkMode(Dc, TRANSPARENT);
  const int Margin = Scale(6, FDpi);
  const COLORREF Normal = GetSysColor(COLOR_WINDOWTEXT);
  const COLORREF Grey = GetSysColor(COLOR_GRAYTEXT);
  if (FHeld.Held()) Text(Dc, Client.left + Margin, Client.top + Margin, OverviewHeadLine(FHeld.Summary), Normal);
  Text(Dc, Client.left + Margin, Client.bottom - Margin - FTextHeight, OverviewHintText, Grey);
  const RECT Picture = PictureRect();
  if (Picture.right - Picture.left < 2 || Picture.bottom - Picture.top < 2) return;
  if (FColumns.empty()) {
    RECT Note = Picture;
    const std::wstring Wide = W(OverviewNoStreamText);
    SetTextColor(Dc, Normal);
    DrawTextW(Dc, Wide.c_str(), -1, &Note, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    return;
  }
  // The picture's coordinates start at its corner.
  POINT Before{};
  SetViewportOrgEx(Dc, Picture.left, Picture.top, &Before);
  PaintPicture(Dc, Picture);
  SetViewportOrgEx(Dc, Before.x, Before.y, nullptr);
}

void TStreamOverviewWindow::PaintPicture(HDC Dc, const RECT& Picture) {
  const TOverviewLayout Layout(Picture.right - Picture.left, Picture.bottom - Picture.top, FTextHeight);
  const TOverviewScales Scales = OverviewScales(FWhole);
  const TOverviewRect& Plot = Layout.Plot();
  const int Text = FTextHeight;
  const COLORREF Grey = GetSysColor(COLOR_GRAYTEXT);
  const auto X = [&](size_t Column) { return Plot.Left + static_cast<int>(Column); };

  const auto Lane = [&](TOverviewLane Which, std::u16string_view Title, COLORREF TitleColour) {
    const TOverviewRect Rect = Layout.Lane(Which);
    const RECT Area{Rect.Left, Rect.Top, Rect.Left + Rect.Width, Rect.Top + Rect.Height};
    FillRect(Dc, &Area, GetSysColorBrush(COLOR_WINDOW));
    FrameRect(Dc, &Area, GetSysColorBrush(COLOR_BTNSHADOW));
    corvane::win32::Text(Dc, 4, Rect.Top, Title, TitleColour);
    return Rect;
  };
  const auto Legend = [&](const TOverviewRect& On, int Line, std::u16string_view Name, TRgbColour Colour) {
    corvane::win32::Text(Dc, 12, On.Top + Line * Text, Name, Ref(Colour));
  };
  // The values at a lane's top and bottom, in its corners, on the lane's white over what is drawn.
  const auto ScaleLabels = [&](const TOverviewRect& On, const std::u16string& High, const std::u16string& Low) {
    SetBkMode(Dc, OPAQUE);
    SetBkColor(Dc, GetSysColor(COLOR_WINDOW));
    corvane::win32::Text(Dc, On.Left + 3, On.Top + 1, High, Grey);
    corvane::win32::Text(Dc, On.Left + 3, On.Bottom() - Text, Low, Grey);
    SetBkMode(Dc, TRANSPARENT);
  };
  // Bands: one vertical line a column, at least a pixel high.
  const auto Bands = [&](const std::vector<std::array<int, 3>>& Lines, COLORREF Colour, int Width = 1) {
    const TPen Pen(Dc, PS_SOLID, Width, Colour);
    for (const auto& [At, Low, High] : Lines) {
      MoveToEx(Dc, At, Low, nullptr);
      LineTo(Dc, At, std::min(High, Low - 1) - 1);
    }
  };
  const auto Trace = [&](const std::vector<POINT>& Points, COLORREF Colour) {
    if (Points.size() < 2) return;
    const TPen Pen(Dc, PS_SOLID, 1, Colour);
    Polyline(Dc, Points.data(), static_cast<int>(Points.size()));
  };

  // Bit rate: the frames' rates as a band, the bytes over the time as a line.
  const TOverviewRect Rate = Lane(TOverviewLane::BitRate, OverviewRateTitle, Ref(OverviewRateColour));
  {
    std::vector<std::array<int, 3>> Band;
    std::vector<POINT> Line;
    for (size_t Column = 0; Column < FColumns.size(); ++Column) {
      const TOverviewSpan& Span = FColumns[Column];
      if (Span.KbpsMax > 0)
        Band.push_back({X(Column), Row(Scales.Rate.Y(Span.KbpsMin, Rate)), Row(Scales.Rate.Y(Span.KbpsMax, Rate))});
      if (Span.Ticks > 0)
        Line.push_back({X(Column), Row(Scales.Rate.Y(static_cast<double>(Span.BitsPerSecond()) / 1000.0, Rate))});
    }
    Bands(Band, Faint(OverviewRateColour, OverviewRateBandAlpha));
    Trace(Line, Ref(OverviewRateColour));
    ScaleLabels(Rate, OverviewKbpsLabel(Scales.Rate.High), OverviewNumber(Scales.Rate.Low));
  }

  // Loudness: the level dialnorm claims with its tolerance, and the short-term loudness.
  const TOverviewRect Loudness = Lane(TOverviewLane::Loudness, OverviewLoudnessTitle, Ref(OverviewLoudnessColour));
  {
    std::vector<std::array<int, 3>> Tolerance;
    std::vector<std::array<int, 3>> Measured;
    std::vector<POINT> Claim;
    std::vector<POINT> ShortTerm;
    for (size_t Column = 0; Column < FColumns.size(); ++Column) {
      const TOverviewSpan& Span = FColumns[Column];
      if (Span.DialnormMin >= 0) {
        const double Low = std::min(ClaimedLoudness(Span.DialnormMin), ClaimedLoudness(Span.DialnormMax));
        const double High = std::max(ClaimedLoudness(Span.DialnormMin), ClaimedLoudness(Span.DialnormMax));
        Tolerance.push_back({X(Column), Row(Scales.Loudness.Y(Low - DialnormTolerance, Loudness)),
                             Row(Scales.Loudness.Y(High + DialnormTolerance, Loudness))});
        Claim.push_back({X(Column), Row(Scales.Loudness.Y((Low + High) / 2.0, Loudness))});
      }
      if (Span.LoudnessCount > 0) {
        Measured.push_back({X(Column), Row(Scales.Loudness.Y(Span.LoudnessMin, Loudness)),
                            Row(Scales.Loudness.Y(Span.LoudnessMax, Loudness))});
        ShortTerm.push_back({X(Column), Row(Scales.Loudness.Y((Span.LoudnessMin + Span.LoudnessMax) / 2.0, Loudness))});
      }
    }
    Bands(Tolerance, Faint(OverviewClaimColour, OverviewToleranceAlpha));
    Trace(Claim, Ref(OverviewClaimColour));
    Bands(Measured, Faint(OverviewLoudnessColour, OverviewMeasuredAlpha));
    Trace(ShortTerm, Ref(OverviewLoudnessColour));
    Legend(Loudness, 1, OverviewShortTermLegend, OverviewLoudnessColour);
    Legend(Loudness, 2, OverviewClaimLegend, OverviewClaimColour);
    ScaleLabels(Loudness, OverviewLkfsLabel(Scales.Loudness.High), OverviewNumber(Scales.Loudness.Low));
    if (FWhole.LoudnessCount == 0)
      corvane::win32::Text(Dc, Loudness.Right() - 8 - TextWidth(Dc, OverviewNoMeasurementText), Loudness.Top + 4,
                           OverviewNoMeasurementText, Grey);
  }

  // The gains: compr and dynrng as bands with their means, around 0 dB.
  const TOverviewRect Gains = Lane(TOverviewLane::Gains, OverviewGainsTitle, GetSysColor(COLOR_WINDOWTEXT));
  {
    const TPen Dots(Dc, PS_DOT, 1, GetSysColor(COLOR_BTNSHADOW));
    const int Zero = Row(Scales.Gains.Y(0.0, Gains));
    MoveToEx(Dc, Plot.Left, Zero, nullptr);
    LineTo(Dc, Plot.Right(), Zero);
  }
  const std::pair<TGainSummary TOverviewSpan::*, TRgbColour> GainLanes[] = {
      {&TOverviewSpan::Dynrng, OverviewDynrngColour}, {&TOverviewSpan::Compr, OverviewComprColour}};
  for (const auto& [Member, Colour] : GainLanes) {
    std::vector<std::array<int, 3>> Band;
    std::vector<POINT> Mean;
    for (size_t Column = 0; Column < FColumns.size(); ++Column) {
      const TGainSummary& Gain = FColumns[Column].*Member;
      if (Gain.Frames == 0) continue;
      Band.push_back({X(Column), Row(Scales.Gains.Y(Gain.Min / 1e6, Gains)), Row(Scales.Gains.Y(Gain.Max / 1e6, Gains))});
      Mean.push_back({X(Column), Row(Scales.Gains.Y(static_cast<double>(Gain.MeanCentiDb()) / 100.0, Gains))});
    }
    Bands(Band, Faint(Colour, OverviewGainBandAlpha));
    Trace(Mean, Ref(Colour));
  }
  Legend(Gains, 1, OverviewDynrngLegend, OverviewDynrngColour);
  Legend(Gains, 2, OverviewComprLegend, OverviewComprColour);
  ScaleLabels(Gains, OverviewDbLabel(Scales.Gains.High), OverviewDbLabel(Scales.Gains.Low));

  // A mark for every column with a problem; changes shorter, below them.
  const TOverviewRect Marks = Lane(TOverviewLane::Problems, OverviewProblemsTitle, Ref(OverviewProblemColour));
  {
    std::vector<std::array<int, 3>> Problems;
    std::vector<std::array<int, 3>> Changes;
    const int Middle = Marks.Top + Marks.Height / 2;
    for (size_t Column = 0; Column < FColumns.size(); ++Column) {
      if (FColumns[Column].Changes > 0) Changes.push_back({X(Column), Marks.Bottom(), Middle + 3});
      if (FColumns[Column].Problems > 0) Problems.push_back({X(Column), Marks.Bottom(), Marks.Top + 2});
    }
    Bands(Changes, Ref(OverviewChangeColour));
    Bands(Problems, Ref(OverviewProblemColour), 2);
  }

  // The time axis.
  const TOverviewRect Axis = Layout.Lane(TOverviewLane::Axis);
  const TPen Pen(Dc, PS_SOLID, 1, GetSysColor(COLOR_WINDOWTEXT));
  for (const TTimeMark& Mark : TimeMarks(FHeld.Overview.DurationTicks(), Plot.Width, OverviewMarkSpacing)) {
    const int At = Plot.Left + Mark.X;
    MoveToEx(Dc, At, Axis.Top, nullptr);
    LineTo(Dc, At, Axis.Top + 5);
    const int Width = TextWidth(Dc, Mark.Label);
    const int Left = std::clamp(At - Width / 2, Plot.Left, std::max(Plot.Left, Plot.Right() - Width));
    corvane::win32::Text(Dc, Left, Axis.Top + 5, Mark.Label, GetSysColor(COLOR_WINDOWTEXT));
  }
}

}  // namespace corvane::win32
