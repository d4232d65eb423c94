#include "app/FormSettings.h"

#include <QVariant>

namespace corvane {

std::unique_ptr<QSettings> OpenFormSettings() {
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                     QString::fromLatin1(SettingsOrganization),
                                     QString::fromLatin1(SettingsApplication));
}

std::optional<int32_t> ReadSettingValue(const QSettings& Settings, const char* Name) {
  const QVariant Value = Settings.value(QString::fromLatin1(Name));
  if (!Value.isValid()) return std::nullopt;
#ifdef _WIN32
  // The registry keeps types: only a DWORD (or QWORD) value is an integer.
  switch (Value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
      return static_cast<int32_t>(Value.toLongLong());
    default:
      return std::nullopt;
  }
#else
  // A settings file stores text; an integer written by this program reads back as its digits.
  if (Value.typeId() == QMetaType::Int) return Value.toInt();
  if (Value.typeId() != QMetaType::QString) return std::nullopt;
  bool Ok = false;
  const int Number = Value.toString().toInt(&Ok, 10);
  if (!Ok) return std::nullopt;
  return Number;
#endif
}

void WriteSettingValue(QSettings& Settings, const char* Name, int32_t Value) {
  Settings.setValue(QString::fromLatin1(Name), static_cast<int>(Value));
}

QString ReadSettingText(const QSettings& Settings, const char* Name) {
  const QVariant Value = Settings.value(QString::fromLatin1(Name));
  return Value.typeId() == QMetaType::QString ? Value.toString() : QString();
}

void WriteSettingText(QSettings& Settings, const char* Name, const QString& Value) {
  Settings.setValue(QString::fromLatin1(Name), Value);
}

}  // namespace corvane
