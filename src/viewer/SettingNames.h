#pragma once
// The main window's per-user settings as both windows keep them: under the key
// HKEY_CURRENT_USER\Software\Halvern\Corvane on Windows (REG_DWORD values), in the settings file
// of organisation "Halvern", application "Corvane" elsewhere; the twelve values in the order
// they are read and written.

#include <array>

namespace corvane {

inline constexpr const char* SettingsOrganization = "Halvern";
inline constexpr const char* SettingsApplication = "Corvane";
inline constexpr const wchar_t* SettingsRegistryKey = L"Software\\Halvern\\Corvane";

enum TSettingIndex {
  SettingFormTop,
  SettingFormLeft,
  SettingFormHeight,
  SettingFormWidth,
  SettingOffsetColWidth,  // the five column widths follow in column order
  SettingPanel2Width = SettingOffsetColWidth + 5,
  SettingWindowState,
  SettingCheckForUpdates,
  SettingCount
};

inline constexpr std::array<const char*, SettingCount> SettingNames = {
    "FormTop",        "FormLeft",       "FormHeight",        "FormWidth",
    "OffsetColWidth", "LengthColWidth", "FrameSizeColWidth", "SamplingRateColWidth",
    "BitrateColWidth", "Panel2Width",   "WindowState",       "CheckForUpdates"};

}  // namespace corvane
