// The program entry: the application, the main window, and the message loop until the window
// closes. The first command-line parameter names a file to open at start.

#include <QApplication>
#include <QIcon>
#include <filesystem>

#include "app/CorvaneForm.h"
#include "app/FormSettings.h"

#ifdef _WIN32
#include <QStringList>

#include "app/QtText.h"
#endif

int main(int argc, char* argv[]) {
  QApplication Application(argc, argv);
  QApplication::setOrganizationName(QString::fromLatin1(corvane::SettingsOrganization));
  QApplication::setApplicationName(QString::fromLatin1(corvane::SettingsApplication));
  // The installed desktop entry and icon name the windows on the desktop.
  QGuiApplication::setDesktopFileName(QStringLiteral("corvane"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("corvane")));

  corvane::TCorvaneForm Form;
#ifdef _WIN32
  // Windows hands the parameters over as wide text.
  const QStringList Arguments = QApplication::arguments();
  if (Arguments.size() > 1) Form.FStartFileName = corvane::PathFromQString(Arguments.at(1));
#else
  // The name's bytes as given, so that a name which is not valid text still opens.
  if (argc > 1) Form.FStartFileName = std::filesystem::path(argv[1]);
#endif
  Form.show();
  return QApplication::exec();
}
