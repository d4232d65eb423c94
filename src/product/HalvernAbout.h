#pragma once
// The about window: a modal dialog with the product name, the version line, the maker's
// notice and rights lines and two labels that open the maker's web page and an e-mail.

#include <optional>

#include <QDialog>

class QLabel;
class QPushButton;

namespace corvane {

class THalvernAboutForm : public QDialog {
  Q_OBJECT

 public:
  explicit THalvernAboutForm(QWidget* Parent = nullptr);

  QWidget* Panel1 = nullptr;
  QLabel* lbProduct = nullptr;
  QLabel* lbVersion = nullptr;
  QLabel* lbCopyright = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* lbLink = nullptr;
  QLabel* lbMail = nullptr;
  QLabel* Image1 = nullptr;
  QPushButton* btnClose = nullptr;

  // Open the maker's web address and a mail to the maker with the desktop's default programs.
  void lbLinkClick();
  void lbMailClick();

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;
};

// Shows the about window modally and destroys it when it closes. Without a version text the
// version line comes from the program's own version resource; when that cannot be read, no
// window opens and one debug line is written. Never raises.
void ShowAbout(const QString& ProductName, const QString& Year,
               const std::optional<QString>& VersionText = std::nullopt, QWidget* Parent = nullptr);

}  // namespace corvane
