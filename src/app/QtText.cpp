#include "app/QtText.h"

#include <QFile>

namespace corvane {

std::filesystem::path PathFromQString(const QString& Text) {
#ifdef _WIN32
  return std::filesystem::path(Text.toStdWString());
#else
  return std::filesystem::path(QFile::encodeName(Text).toStdString());
#endif
}

QString PathToQString(const std::filesystem::path& Path) {
#ifdef _WIN32
  return QString::fromStdWString(Path.native());
#else
  return QFile::decodeName(QByteArray::fromStdString(Path.native()));
#endif
}

}  // namespace corvane
