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

}  // namespace

int32_t ClampPane(int32_t Wanted, int32_t Min, int32_t Total, int32_t MinOther) {
  return Within(Wanted, Min, std::max(Total - MinOther, Min));
}

TRect PlaceOnScreen(const TRect& Frame, const std::vector<TRect>& WorkAreas, int32_t MinWidth, int32_t MinHeight) {
  TRect Placed = Frame;
  Placed.Width = std::max(Placed.Width, MinWidth);
  Placed.Height = std::max(Placed.Height, MinHeight);
  if (WorkAreas.empty()) return Placed;
  const TRect* Area = &WorkAreas.front();
  int64_t Best = 0;
  for (const TRect& Candidate : WorkAreas)
    if (const int64_t Overlap = OverlapArea(Placed, Candidate); Overlap > Best) {
      Best = Overlap;
      Area = &Candidate;
    }
  Placed.Width = std::min(Placed.Width, Area->Width);
  Placed.Height = std::min(Placed.Height, Area->Height);
  Placed.Left = Within(Placed.Left, Area->Left, Area->Right() - Placed.Width);
  Placed.Top = Within(Placed.Top, Area->Top, Area->Bottom() - Placed.Height);
  return Placed;
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
