#pragma once
// Conversions between the core's UTF-16 texts and paths and Qt's strings.

#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

namespace corvane {

inline QString Q(std::u16string_view Text) {
  return QString::fromUtf16(Text.data(), static_cast<qsizetype>(Text.size()));
}

inline std::u16string U16(const QString& Text) { return Text.toStdU16String(); }

// A path as the system names it: wide on Windows; elsewhere the bytes Qt encodes file names in.
std::filesystem::path PathFromQString(const QString& Text);
// A path for showing in the window; bytes that are not text show as replacement characters.
QString PathToQString(const std::filesystem::path& Path);

}  // namespace corvane
