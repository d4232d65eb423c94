#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "core/ODSUtls.h"
#include "product/HalvernAbout.h"
#include "product/HalvernSplash.h"
#include "product/ProductPictures.h"
#include "product/VersionInfo.h"
#include "product/VersionResource.h"
#include "support/QtWait.h"

namespace corvane {
namespace {

using test::WaitUntil;

THalvernAboutForm* OpenAboutForm() {
  for (QWidget* W : QApplication::topLevelWidgets())
    if (auto* Form = qobject_cast<THalvernAboutForm*>(W); Form && Form->isVisible()) return Form;
  return nullptr;
}

// Runs ShowAbout; Inspect is called with the open window, which is then closed with its
// OK button. Returns whether a window opened.
bool RunAbout(const std::function<void()>& Show, const std::function<void(THalvernAboutForm&)>& Inspect) {
  bool Opened = false;
  QTimer Poll;
  QElapsedTimer Clock;
  Clock.start();
  QObject::connect(&Poll, &QTimer::timeout, [&] {
    if (THalvernAboutForm* Form = OpenAboutForm()) {
      Opened = true;
      Poll.stop();
      Inspect(*Form);
      QTest::mouseClick(Form->btnClose, Qt::LeftButton);
    } else if (Clock.elapsed() > 5000) {
      Poll.stop();
    }
  });
  Poll.start(10);
  Show();
  return Opened;
}

std::vector<uint8_t> ResourceWithVersion(uint32_t MS, uint32_t LS) {
  TVersionResourceDesc Desc;
  Desc.FileVersionMS = MS;
  Desc.FileVersionLS = LS;
  Desc.Translation = {0x0409, 1252};
  return BuildVersionResource(Desc);
}

// Replaces the program's own version resource for one test.
class TOwnResource {
 public:
  explicit TOwnResource(std::vector<uint8_t> Resource) : FPrevious(TVersionInfo::SetOwnVersionResource(std::move(Resource))) {}
  ~TOwnResource() { TVersionInfo::SetOwnVersionResource(std::move(FPrevious)); }

 private:
  std::optional<std::vector<uint8_t>> FPrevious;
};

class TUrlRecorder : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> Opened;
 public slots:
  void Open(const QUrl& Url) { Opened.push_back(Url); }
};

TEST(SplashTest, ShowsTheProductOverTheMainWindowWithoutWaiting) {
  QWidget Main;
  Main.setGeometry(100, 80, 800, 600);
  Main.show();
  ASSERT_TRUE(ShowSplash(QStringLiteral("Corvane"), &Main));
  TSplashForm* Splash = SplashForm();
  ASSERT_NE(Splash, nullptr);
  EXPECT_TRUE(Splash->isVisible());
  EXPECT_TRUE(Splash->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(Splash->windowFlags() & Qt::WindowStaysOnTopHint);
  const double Scale = DesignScale(Splash);
  EXPECT_EQ(Splash->size(), QSize(ScaleDesign(484, Scale), ScaleDesign(238, Scale)));
  const QRect M = Main.frameGeometry();
  EXPECT_EQ(Splash->pos(), QPoint(M.left() + M.width() / 2 - Splash->width() / 2,
                                  M.top() + M.height() / 2 - Splash->height() / 2));
  EXPECT_EQ(Splash->lbProductName->text(), "Corvane");
  EXPECT_EQ(Splash->lbProductNameShadow->text(), "Corvane");
  EXPECT_EQ(Splash->lbCopyRight->text(), QString::fromUtf8("Copyright \u00A9 " CORVANE_NOTICE_YEAR " Halvern"));
  EXPECT_FALSE(Splash->Image1->pixmap().isNull());
  FreeSplash();
  EXPECT_EQ(SplashForm(), nullptr);
}

TEST(SplashTest, AClickOnThePictureNameOrNoticeClosesItAtOnce) {
  for (const char* Target : {"Image1", "lbProductName", "lbCopyRight"}) {
    ASSERT_TRUE(ShowSplash(QStringLiteral("Corvane"), nullptr));
    TSplashForm* Splash = SplashForm();
    QLabel* Label = std::string(Target) == "Image1"          ? Splash->Image1
                    : std::string(Target) == "lbProductName" ? Splash->lbProductName
                                                             : Splash->lbCopyRight;
    QTest::mouseClick(Label, Qt::LeftButton);
    EXPECT_FALSE(Splash->isVisible()) << Target;
    EXPECT_EQ(SplashForm(), Splash) << "closing hides the window; it stays until freed";
  }
  FreeSplash();
}

TEST(SplashTest, ClosesItselfOnceItsTimeIsUp) {
  ASSERT_TRUE(ShowSplash(QStringLiteral("Corvane"), nullptr));
  EXPECT_EQ(SplashForm()->Timer1->interval(), 3000) << "three seconds unless told otherwise";
  FreeSplash();

  const int Before = TSplashForm::SetDisplayTimeMs(150);
  ASSERT_TRUE(ShowSplash(QStringLiteral("Corvane"), nullptr));
  TSplashForm* Splash = SplashForm();
  QElapsedTimer Clock;
  Clock.start();
  EXPECT_TRUE(Splash->Timer1->isActive());
  ASSERT_TRUE(WaitUntil([&] { return !Splash->isVisible(); }, 3000));
  EXPECT_GE(Clock.elapsed(), 140);
  FreeSplash();
  TSplashForm::SetDisplayTimeMs(Before);
}

TEST(AboutTest, ShowsTheVersionLineOfTheOwnResource) {
  const struct {
    uint32_t MS, LS;
    const char* Line;
  } Cases[] = {{0x00010002, 0x0003002D, "Version 1.2.3 (build 45)"}, {0x00010002, 0x0000002D, "Version 1.2 (build 45)"}};
  for (const auto& C : Cases) {
    TOwnResource Own(ResourceWithVersion(C.MS, C.LS));
    const bool Opened = RunAbout([] { ShowAbout(QStringLiteral("Corvane"), QStringLiteral("2026")); },
                                 [&](THalvernAboutForm& Form) {
                                   EXPECT_TRUE(Form.isModal());
                                   EXPECT_EQ(Form.windowTitle(), "Corvane");
                                   EXPECT_EQ(Form.lbProduct->text(), "Corvane");
                                   EXPECT_EQ(Form.lbVersion->text(), C.Line);
                                   EXPECT_EQ(Form.lbCopyright->text(), QString::fromUtf8("Copyright \u00A9 2026 Halvern"));
                                   EXPECT_EQ(Form.Label1->text(), "All rights reserved.");
                                 });
    EXPECT_TRUE(Opened) << C.Line;
  }
}

TEST(AboutTest, AGivenVersionTextNeedsNoResource) {
  TOwnResource None({});
  QString Shown;
  EXPECT_TRUE(RunAbout([] { ShowAbout(QStringLiteral("Corvane"), QStringLiteral("2026"), QStringLiteral("Version 9.9")); },
                       [&](THalvernAboutForm& Form) { Shown = Form.lbVersion->text(); }));
  EXPECT_EQ(Shown, "Version 9.9");
}

TEST(AboutTest, WithoutAVersionResourceNothingOpensAndOneLineIsWritten) {
  const std::vector<uint8_t> ShortFixed = [] {
    TVersionResourceDesc Desc;
    Desc.FixedInfoSize = 20;
    return BuildVersionResource(Desc);
  }();
  for (const auto& Resource : {std::vector<uint8_t>(), ShortFixed}) {
    TOwnResource Own(Resource);
    TDebugCapture Capture;
    EXPECT_FALSE(RunAbout([] { ShowAbout(QStringLiteral("Corvane"), QStringLiteral("2026")); },
                          [](THalvernAboutForm&) {}));
    EXPECT_EQ(Capture.Lines(), std::vector<std::u16string>{u"nox: Error in ShowAbout call..."});
  }
}

TEST(AboutTest, LinkLabelsOpenTheWebPageAndAMail) {
  TUrlRecorder Recorder;
  QDesktopServices::setUrlHandler(QStringLiteral("https"), &Recorder, "Open");
  QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &Recorder, "Open");
  THalvernAboutForm Form;
  Form.show();
  EXPECT_EQ(Form.lbLink->cursor().shape(), Qt::PointingHandCursor);
  QTest::mouseClick(Form.lbLink, Qt::LeftButton);
  QTest::mouseClick(Form.lbMail, Qt::LeftButton);
  QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
  QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
  ASSERT_EQ(Recorder.Opened.size(), 2);
  EXPECT_EQ(Recorder.Opened[0], QUrl(HalvernWebAddress()));
  EXPECT_EQ(Recorder.Opened[1], QUrl(QStringLiteral("mailto:") + HalvernMailAddress()));
  EXPECT_EQ(Form.lbLink->text(), HalvernWebAddress());
  EXPECT_EQ(Form.lbMail->text(), HalvernMailAddress());
}

}  // namespace
}  // namespace corvane

#include "ProductWindowsTest.moc"
