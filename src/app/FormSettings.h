#pragma once
// The main window's per-user settings: where they live, their names in the order they are read
// and written, and how one value is read and written. On Windows they are integer (DWORD) values
// under HKEY_CURRENT_USER\Software\Halvern\Corvane; elsewhere the same names in the user's
// settings file of organisation "Halvern", application "Corvane".

#include <QSettings>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "viewer/WindowPlacement.h"

namespace corvane {

inline constexpr const char* SettingsOrganization = "Halvern";
inline constexpr const char* SettingsApplication = "Corvane";

// The names of the values are the viewer's (SettingNames, TRecentFiles::StoredNames), shared by
// every front-end.

// The settings store of this user.
std::unique_ptr<QSettings> OpenFormSettings();

// The value of Name as a 32-bit integer, or nothing when it is missing or of another type: in
// the registry only integer values count (a text is skipped even when it holds digits); in a
// settings file, where every value is text, only a text that reads as a 32-bit integer does.
std::optional<int32_t> ReadSettingValue(const QSettings& Settings, const char* Name);
// Writes Value as an integer (never as a boolean text).
void WriteSettingValue(QSettings& Settings, const char* Name, int32_t Value);
// A text value (a recent file's name); empty when it is missing or not a text.
QString ReadSettingText(const QSettings& Settings, const char* Name);
void WriteSettingText(QSettings& Settings, const char* Name, const QString& Value);

}  // namespace corvane
