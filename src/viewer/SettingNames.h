#pragma once
// The main window's per-user settings as every window keeps them: under the key
// HKEY_CURRENT_USER\Software\Halvern\Corvane on Windows (integer values as REG_DWORD, texts as
// REG_SZ), in the settings file of organisation "Halvern", application "Corvane" elsewhere. The
// integer values in the order they are read and written; the recent files' names are
// TRecentFiles::StoredNames.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace corvane {

inline constexpr const char* SettingsOrganization = "Halvern";
inline constexpr const char* SettingsApplication = "Corvane";
inline constexpr const wchar_t* SettingsRegistryKey = L"Software\\Halvern\\Corvane";

// The first twelve are the original set; HexPaneHeight keeps the splitter between the upper
// panes and the hex pane.
enum TSetting : size_t {
  SettingFormTop,
  SettingFormLeft,
  SettingFormHeight,
  SettingFormWidth,
  SettingOffsetColWidth,  // the five column widths follow in column order
  SettingLengthColWidth,
  SettingFrameSizeColWidth,
  SettingSamplingRateColWidth,
  SettingBitrateColWidth,
  SettingPanel2Width,
  SettingWindowState,
  SettingCheckForUpdates,
  SettingHexPaneHeight,
  SettingCount
};
inline constexpr std::array<const char*, SettingCount> SettingNames = {
    "FormTop",         "FormLeft",          "FormHeight",           "FormWidth",       "OffsetColWidth",
    "LengthColWidth",  "FrameSizeColWidth", "SamplingRateColWidth", "BitrateColWidth", "Panel2Width",
    "WindowState",     "CheckForUpdates",   "HexPaneHeight"};

// A value read from the store: nothing when it is missing or not an integer.
using TStoredSettings = std::array<std::optional<int32_t>, SettingCount>;

}  // namespace corvane
