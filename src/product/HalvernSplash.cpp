#include "product/HalvernSplash.h"

#include <utility>
#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>

#include "core/ODSUtls.h"
#include "product/ProductPictures.h"

namespace corvane {
namespace {

QPointer<TSplashForm> Splash;

QLabel* MakeLabel(QWidget* Parent, const QRect& Design, double Scale) {
  auto* Label = new QLabel(Parent);
  Label->setGeometry(ScaleDesign(Design.x(), Scale), ScaleDesign(Design.y(), Scale),
                     ScaleDesign(Design.width(), Scale), ScaleDesign(Design.height(), Scale));
  Label->setAlignment(Qt::AlignCenter);
  return Label;
}

void SetTextColour(QLabel* Label, const QColor& Colour) {
  QPalette Palette = Label->palette();
  Palette.setColor(QPalette::WindowText, Colour);
  Label->setPalette(Palette);
}

}  // namespace

namespace {

int& DisplayTimeMs() {
  static int Ms = TSplashForm::DefaultDisplayTimeMs;
  return Ms;
}

}  // namespace

int TSplashForm::SetDisplayTimeMs(int Ms) { return std::exchange(DisplayTimeMs(), Ms); }

TSplashForm::TSplashForm(QWidget* Parent)
    : QWidget(Parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("SplashForm"));
  // Closing the splash must never end the program, even before the main window is shown.
  setAttribute(Qt::WA_QuitOnClose, false);
  const double Scale = DesignScale(this);
  setFixedSize(ScaleDesign(484, Scale), ScaleDesign(238, Scale));

  Image1 = MakeLabel(this, QRect(-1, -3, 484, 242), Scale);
  Image1->setPixmap(PaintSplashPicture(Image1->size()));

  const QFont NameFont = FontForCellHeight(QStringLiteral("Arial"), ScaleDesign(47, Scale), true);
  lbProductNameShadow = MakeLabel(this, QRect(1, 59, 484, 147), Scale);
  lbProductNameShadow->setWordWrap(true);
  lbProductNameShadow->setFont(NameFont);
  SetTextColour(lbProductNameShadow, QColor(0, 0, 0x80));
  // Clicks on the shadow reach the picture below it, which closes the window.
  lbProductNameShadow->setAttribute(Qt::WA_TransparentForMouseEvents);

  lbProductName = MakeLabel(this, QRect(-1, 71, 484, 118), Scale);
  lbProductName->setWordWrap(true);
  lbProductName->setFont(NameFont);
  SetTextColour(lbProductName, Qt::white);

  lbCopyRight = MakeLabel(this, QRect(-80, 202, 634, 21), Scale);
  lbCopyRight->setFont(FontForCellHeight(QStringLiteral("Tahoma"), ScaleDesign(17, Scale), false));
  SetTextColour(lbCopyRight, Qt::white);

  for (QLabel* Clickable : {Image1, lbProductName, lbCopyRight}) Clickable->installEventFilter(this);

  Timer1 = new QTimer(this);
  Timer1->setInterval(DisplayTimeMs());
  Timer1->setTimerType(Qt::PreciseTimer);  // never earlier than the full three seconds
  connect(Timer1, &QTimer::timeout, this, &TSplashForm::Timer1Timer);
}

void TSplashForm::showEvent(QShowEvent* Event) {
  QWidget::showEvent(Event);
  FormShow();
}

void TSplashForm::FormShow() {
  try {
    Timer1->start();
  } catch (...) {
    // The window then stays until it is clicked; nothing worth reporting.
  }
}

void TSplashForm::Timer1Timer() {
  Timer1->stop();
  close();
}

void TSplashForm::Image1Click() {
  Timer1->stop();
  close();
}

bool TSplashForm::eventFilter(QObject* Watched, QEvent* Event) {
  if (Event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton) {
    Image1Click();
    return true;
  }
  return QWidget::eventFilter(Watched, Event);
}

bool ShowSplash(const QString& ProductName, QWidget* MainWindow) {
  try {
    FreeSplash();
    auto* Form = new TSplashForm();
    Splash = Form;
    static const bool FreedAtQuit = [] {
      return static_cast<bool>(QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &FreeSplash));
    }();
    (void)FreedAtQuit;
    if (MainWindow) {
      const QRect Main = MainWindow->frameGeometry();
      Form->move(Main.left() + Main.width() / 2 - Form->width() / 2, Main.top() + Main.height() / 2 - Form->height() / 2);
    }
    Form->lbProductNameShadow->setText(ProductName);
    Form->lbProductName->setText(ProductName);
    Form->lbCopyRight->setText(HalvernNotice(QStringLiteral(CORVANE_NOTICE_YEAR)));
    Form->show();
    return true;
  } catch (...) {
    DebugLog(u"Error in ShowSplash call...");
    return false;
  }
}

TSplashForm* SplashForm() { return Splash.data(); }

void FreeSplash() { delete Splash.data(); }

}  // namespace corvane
