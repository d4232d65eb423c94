#pragma once
// The splash window: shown without a border over the main window at start-up; it closes
// itself after three seconds or at a click on the picture, the product name or the notice.

#include <QWidget>

class QLabel;
class QTimer;

namespace corvane {

class TSplashForm : public QWidget {
  Q_OBJECT

 public:
  explicit TSplashForm(QWidget* Parent = nullptr);

  QLabel* Image1 = nullptr;
  QLabel* lbProductNameShadow = nullptr;
  QLabel* lbProductName = nullptr;
  QLabel* lbCopyRight = nullptr;
  QTimer* Timer1 = nullptr;

  // Starts the timer that closes the window.
  void FormShow();
  void Timer1Timer();
  // Closes the window; also serves the product name and the notice line.
  void Image1Click();

  // How long the window stays when nobody clicks it.
  static constexpr int DefaultDisplayTimeMs = 3000;
  // Replaces the time for the windows made afterwards (tests); returns the time before.
  static int SetDisplayTimeMs(int Ms);

 protected:
  void showEvent(QShowEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;
};

// Creates and shows the splash window without waiting, centred on the main window when one
// is given. False (and one debug line) after a caught failure; start-up goes on without it.
bool ShowSplash(const QString& ProductName, QWidget* MainWindow);
// The splash window of this process, or null; it stays (hidden) after closing until FreeSplash.
TSplashForm* SplashForm();
// Destroys the splash window (also done when the application quits).
void FreeSplash();

}  // namespace corvane
