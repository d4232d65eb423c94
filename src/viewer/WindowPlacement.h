#pragma once
// Where the main window comes back: the per-user values of its placement (normal frame
// rectangle, window state, column widths, pane sizes), how each stored value is checked, and how
// a stored rectangle is kept on a screen that exists. Rectangles are the window's outer frame in
// screen pixels, title bar included; the screens are given as their work areas (the desktop
// without its panels). Every front-end reads and writes the values under these names.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "viewer/SettingNames.h"

namespace corvane {

struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Right() const { return Left + Width; }
  int32_t Bottom() const { return Top + Height; }
  bool operator==(const TRect&) const = default;
};

// The main window's design, in pixels at 96 per inch: where its frame first opens, its client
// area (the panes, without the menu and status bars), the left pane's width and the hex pane's
// height, and the gap the splitters take.
inline constexpr int32_t DesignFormLeft = 111;
inline constexpr int32_t DesignFormTop = 77;
inline constexpr int32_t DesignClientWidth = 1145;
inline constexpr int32_t DesignClientHeight = 653;
inline constexpr int32_t Panel2DesignWidth = 513;
inline constexpr int32_t HexPaneDesignHeight = 210;
inline constexpr int32_t SplitterGap = 4;
inline constexpr int32_t TreeIndent = 19;
// The smallest sizes at which the panes are still of use: the list shows this many rows, the
// hex pane this many lines, and either side of the upper splitter keeps this width.
inline constexpr int32_t MinListRows = 4;
inline constexpr int32_t MinHexLines = 3;
inline constexpr int32_t MinPaneWidth = 160;
// What a column needs beyond its widest text (its design width may be more), and beyond its
// header when it is made as narrow as it may be.
inline constexpr int32_t ColumnTextPadding = 16;
inline constexpr int32_t ColumnHeaderPadding = 12;

// A pane's size between splitters: Wanted, at least Min, and never so large that the other side
// of Total gets less than MinOther (Min wins when both cannot be had).
int32_t ClampPane(int32_t Wanted, int32_t Min, int32_t Total, int32_t MinOther);

enum class TWindowState : int32_t { Normal = 0, Minimized = 1, Maximized = 2 };

inline constexpr int32_t ColumnCount = 5;

// What the front-end measured before the values are checked: its design placement and the
// smallest sizes at which its window, columns and panes are still of use.
struct TPlacementLimits {
  TRect DesignFrame;
  std::array<int32_t, ColumnCount> DesignColumnWidths{};
  int32_t DesignPanel2Width = 0;
  int32_t DesignHexPaneHeight = 0;
  int32_t MinWindowWidth = 0;
  int32_t MinWindowHeight = 0;
  std::array<int32_t, ColumnCount> MinColumnWidths{};
  int32_t MinPanel2Width = 0;
  int32_t MinTreeWidth = 0;         // what the splitter leaves the tree beside the left pane
  int32_t MinHexPaneHeight = 0;
  int32_t MinUpperHeight = 0;       // the frame's height above the hex pane, menu and title included
};

// The placement the window applies, every value usable.
struct TFormPlacement {
  TRect Frame;  // the normal (not maximized) frame, on a screen
  std::array<int32_t, ColumnCount> ColumnWidths{};
  int32_t Panel2Width = 0;
  int32_t HexPaneHeight = 0;
  TWindowState State = TWindowState::Normal;
  bool CheckForUpdates = true;
};

// Moves and shrinks Frame as little as it takes to lie wholly inside the work area it overlaps
// most (the first one when it overlaps none), so that its title bar can be reached; never below
// MinWidth × MinHeight unless the work area is smaller. No work areas: Frame as it is.
TRect PlaceOnScreen(const TRect& Frame, const std::vector<TRect>& WorkAreas, int32_t MinWidth, int32_t MinHeight);

// Where a window of its own (a report, the overview) first opens: Width × Height centred over its
// owner's frame, moved and shrunk onto the screen the owner lies on most, so it never opens in a
// screen's corner or off the owner's screen.
TRect PlaceOver(const TRect& Owner, int32_t Width, int32_t Height, const std::vector<TRect>& WorkAreas);

// The stored values checked: a missing one takes its design value; a window off every screen is
// brought back onto one; widths and heights below their minimum (a column of width 0, say) are
// raised to it, panes never take the whole window; a WindowState that names no state is Normal;
// CheckForUpdates is true unless stored as 0.
TFormPlacement ReadPlacement(const TStoredSettings& Stored, const TPlacementLimits& Limits,
                             const std::vector<TRect>& WorkAreas);

// The values to store for a placement, in the order of SettingNames.
std::array<int32_t, SettingCount> StoredValues(const TFormPlacement& Placement);

}  // namespace corvane
