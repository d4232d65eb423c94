#include "product/HalvernAbout.h"

#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>

#include "core/ODSUtls.h"
#include "product/ProductPictures.h"
#include "product/VersionInfo.h"

namespace corvane {
namespace {

QLabel* MakeLabel(QWidget* Parent, int Left, int Top, const QFont& Font, double Scale) {
  auto* Label = new QLabel(Parent);
  Label->setFont(Font);
  Label->move(ScaleDesign(Left, Scale), ScaleDesign(Top, Scale));
  return Label;
}

QLabel* MakeLink(QWidget* Parent, int Top, const QFont& Font, double Scale, const QString& Text) {
  QLabel* Label = MakeLabel(Parent, 33, Top, Font, Scale);
  QPalette Palette = Label->palette();
  Palette.setColor(QPalette::WindowText, Qt::blue);
  Label->setPalette(Palette);
  Label->setCursor(Qt::PointingHandCursor);
  Label->setText(Text);
  Label->adjustSize();
  return Label;
}

}  // namespace

THalvernAboutForm::THalvernAboutForm(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("HalvernAboutForm"));
  const double Scale = DesignScale(this);
  QFont FormFont(QStringLiteral("MS Sans Serif"));
  FormFont.setPixelSize(ScaleDesign(14, Scale));
  setFont(FormFont);
  setFixedSize(ScaleDesign(339, Scale), ScaleDesign(263, Scale));

  Panel1 = new QWidget(this);
  Panel1->setGeometry(0, 0, ScaleDesign(340, Scale), ScaleDesign(191, Scale));
  Panel1->setAutoFillBackground(true);
  QPalette White = Panel1->palette();
  White.setColor(QPalette::Window, Qt::white);
  Panel1->setPalette(White);

  QFont Verdana(QStringLiteral("Verdana"));
  Verdana.setPixelSize(ScaleDesign(11, Scale));
  lbProduct = MakeLabel(Panel1, 33, 20, Verdana, Scale);
  lbVersion = MakeLabel(Panel1, 33, 42, Verdana, Scale);
  lbCopyright = MakeLabel(Panel1, 33, 65, Verdana, Scale);
  Label1 = MakeLabel(Panel1, 33, 87, Verdana, Scale);
  Label1->setText(HalvernRights());
  Label1->adjustSize();
  lbLink = MakeLink(Panel1, 133, Verdana, Scale, HalvernWebAddress());
  lbMail = MakeLink(Panel1, 156, Verdana, Scale, HalvernMailAddress());
  lbLink->installEventFilter(this);
  lbMail->installEventFilter(this);

  Image1 = new QLabel(this);
  Image1->setGeometry(0, ScaleDesign(191, Scale), ScaleDesign(340, Scale), ScaleDesign(72, Scale));
  Image1->setPixmap(PaintAboutPicture(Image1->size()));

  btnClose = new QPushButton(QStringLiteral("OK"), this);
  btnClose->setGeometry(ScaleDesign(236, Scale), ScaleDesign(223, Scale), ScaleDesign(93, Scale), ScaleDesign(31, Scale));
  btnClose->setDefault(true);
  connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
}

void THalvernAboutForm::lbLinkClick() { QDesktopServices::openUrl(QUrl(HalvernWebAddress())); }

void THalvernAboutForm::lbMailClick() { QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + HalvernMailAddress())); }

bool THalvernAboutForm::eventFilter(QObject* Watched, QEvent* Event) {
  if (Event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton) {
    if (Watched == lbLink) {
      lbLinkClick();
      return true;
    }
    if (Watched == lbMail) {
      lbMailClick();
      return true;
    }
  }
  return QDialog::eventFilter(Watched, Event);
}

void ShowAbout(const QString& ProductName, const QString& Year, const std::optional<QString>& VersionText,
               QWidget* Parent) {
  try {
    const QString Version = VersionText ? *VersionText : QString::fromStdU16String(TVersionInfo().FileVersion());
    THalvernAboutForm Form(Parent);
    Form.setWindowTitle(ProductName);
    Form.lbProduct->setText(ProductName);
    Form.lbVersion->setText(Version);
    Form.lbCopyright->setText(HalvernNotice(Year));
    for (QLabel* Label : {Form.lbProduct, Form.lbVersion, Form.lbCopyright}) Label->adjustSize();
    Form.exec();
  } catch (...) {
    ReportCallFailure(u"ShowAbout");
  }
}

}  // namespace corvane
