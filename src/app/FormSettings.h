#pragma once
// How the Qt window reads and writes one of its per-user settings through QSettings. Where they
// live and the names of the values are the viewer's (SettingNames.h, TRecentFiles::StoredNames),
// shared by every front-end.

#include <QSettings>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "viewer/SettingNames.h"

namespace corvane {

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
