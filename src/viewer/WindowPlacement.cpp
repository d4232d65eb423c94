#include "viewer/WindowPlacement.h"

#include <algorithm>

namespace corvane {
namespace {

int64_t OverlapArea(const TRect& A, const TRect& B) {
  const int64_t Width = std::min(A.Right(), B.Right()) - std::max(A.Left, B.Left);
  const int64_t Height = std::min(A.Bottom(), B.Bottom()) - std::max(A.Top, B.Top);
  return Width > 0 && Height > 0 ? Width * Height : 0;
}

// Value within Low..High; High wins when the range is empty.
int32_t Within(int32_t Value, int32_t Low, int32_t High) { return std::min(std::max(Value, Low), High); }

// The work area Frame overlaps most; the first one when it overlaps none. WorkAreas is not empty.
const TRect& MostOverlapped(const TRect& Frame, const std::vector<TRect>& WorkAreas) {
  const TRect* Area = &WorkAreas.front();
  int64_t Best = 0;
  for (const TRect& Candidate : WorkAreas)
    if (const int64_t Overlap = OverlapArea(Frame, Candidate); Overlap > Best) {
      Best = Overlap;
      Area = &Candidate;
    }
  return *Area;
}

// Frame moved and shrunk as little as it takes to lie wholly inside Area.
TRect FitInto(TRect Frame, const TRect& Area) {
  Frame.Width = std::min(Frame.Width, Area.Width);
  Frame.Height = std::min(Frame.Height, Area.Height);
  Frame.Left = Within(Frame.Left, Area.Left, Area.Right() - Frame.Width);
  Frame.Top = Within(Frame.Top, Area.Top, Area.Bottom() - Frame.Height);
  return Frame;
}

}  // namespace

int32_t ClampPane(int32_t Wanted, int32_t Min, int32_t Total, int32_t MinOther) {
  return Within(Wanted, Min, std::max(Total - MinOther, Min));
}

TRect PlaceOnScreen(const TRect& Frame, const std::vector<TRect>& WorkAreas, int32_t MinWidth, int32_t MinHeight) {
  TRect Placed = Frame;
  Placed.Width = std::max(Placed.Width, MinWidth);
  Placed.Height = std::max(Placed.Height, MinHeight);
  return WorkAreas.empty() ? Placed : FitInto(Placed, MostOverlapped(Placed, WorkAreas));
}

TRect PlaceOver(const TRect& Owner, int32_t Width, int32_t Height, const std::vector<TRect>& WorkAreas) {
  const TRect Centred{Owner.Left + (Owner.Width - Width) / 2, Owner.Top + (Owner.Height - Height) / 2, Width, Height};
  // The owner's screen decides, not the one the centred window would overlap most.
  return WorkAreas.empty() ? Centred : FitInto(Centred, MostOverlapped(Owner, WorkAreas));
}

TFormPlacement ReadPlacement(const TStoredSettings& Stored, const TPlacementLimits& Limits,
                             const std::vector<TRect>& WorkAreas) {
  const auto Value = [&Stored](TSetting Setting, int32_t Default) { return Stored[Setting].value_or(Default); };
  TFormPlacement Placement;
  TRect Frame{Value(SettingFormLeft, Limits.DesignFrame.Left), Value(SettingFormTop, Limits.DesignFrame.Top),
              Value(SettingFormWidth, Limits.DesignFrame.Width), Value(SettingFormHeight, Limits.DesignFrame.Height)};
  Placement.Frame = PlaceOnScreen(Frame, WorkAreas, Limits.MinWindowWidth, Limits.MinWindowHeight);

  for (size_t Column = 0; Column < ColumnCount; ++Column)
    Placement.ColumnWidths[Column] =
        std::max(Value(static_cast<TSetting>(SettingOffsetColWidth + Column), Limits.DesignColumnWidths[Column]),
                 Limits.MinColumnWidths[Column]);
  Placement.Panel2Width = ClampPane(Value(SettingPanel2Width, Limits.DesignPanel2Width), Limits.MinPanel2Width,
                                    Placement.Frame.Width, Limits.MinTreeWidth);
  Placement.HexPaneHeight = ClampPane(Value(SettingHexPaneHeight, Limits.DesignHexPaneHeight),
                                      Limits.MinHexPaneHeight, Placement.Frame.Height, Limits.MinUpperHeight);

  const int32_t State = Value(SettingWindowState, 0);
  Placement.State = State == 1 ? TWindowState::Minimized : State == 2 ? TWindowState::Maximized : TWindowState::Normal;
  Placement.CheckForUpdates = Value(SettingCheckForUpdates, 1) != 0;
  return Placement;
}

std::array<int32_t, SettingCount> StoredValues(const TFormPlacement& Placement) {
  std::array<int32_t, SettingCount> Values{};
  Values[SettingFormTop] = Placement.Frame.Top;
  Values[SettingFormLeft] = Placement.Frame.Left;
  Values[SettingFormHeight] = Placement.Frame.Height;
  Values[SettingFormWidth] = Placement.Frame.Width;
  for (size_t Column = 0; Column < ColumnCount; ++Column)
    Values[SettingOffsetColWidth + Column] = Placement.ColumnWidths[Column];
  Values[SettingPanel2Width] = Placement.Panel2Width;
  Values[SettingWindowState] = static_cast<int32_t>(Placement.State);
  Values[SettingCheckForUpdates] = Placement.CheckForUpdates ? 1 : 0;
  Values[SettingHexPaneHeight] = Placement.HexPaneHeight;
  return Values;
}

}  // namespace corvane
