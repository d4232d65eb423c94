// The main window driven as a user drives it, offscreen: opening, selecting, the keys, the wheel
// and the list's scroll bar, the commands, the hooks, the settings and the update check. Each
// test has a settings store of its own; questions and dialogs are answered through the window's
// replaceable functions.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLocale>
#include <QMenuBar>
#include <QScreen>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>
#include <QWheelEvent>
#include <chrono>
#include <functional>
#include <map>

#include "app/CorvaneForm.h"
#include "app/FormSettings.h"
#include "app/FrameListView.h"
#include "app/QtText.h"
#include "app/OverviewStrip.h"
#include "app/StreamCheckWindow.h"
#include "app/StreamOverviewWindow.h"
#include "core/FileStream.h"
#include "hex/HexEditUtil.h"
#include "hex/HexViewUtils_RichEdit.h"
#include "product/HalvernSplash.h"
#include "product/UpdaterUtils.h"
#include "support/QtWait.h"
#include "../product/gui/LoopbackHttpServer.h"
#include "viewer/ViewerTestSupport.h"

namespace corvane {
namespace {

using test::TBytes;
using test::TTempFile;
using test::WaitUntil;

constexpr int64_t SampleFrameSize = 1536;  // samples/sample.ac3: 157 frames of 1536 bytes
constexpr int64_t SampleFrames = 157;

std::filesystem::path SamplePath() {
  return std::filesystem::path(CORVANE_TEST_DATA_DIR).parent_path().parent_path() / "samples" / "sample.ac3";
}

TBytes SampleBytes() { return test::ReadTestFile(SamplePath()); }

QString OffsetColumn(int64_t Offset) { return Q(OffsetText(Offset)); }

struct TAsked {
  TFormPromptKind Kind;
  QString Text;
};

class CorvaneForm : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FSettingsFolder.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, FSettingsFolder.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, FSettingsFolder.path());
    // The update check of the tests that turn it on fails at once (no endpoint); keep its pause short.
    FPause = SetFetchFailurePause(std::chrono::milliseconds(20));
  }

  void TearDown() override {
    if (FForm) FForm->close();
    FForm.reset();
    FreeSplash();
    SetFetchFailurePause(FPause);
  }

  void WriteSetting(const char* Name, const QVariant& Value) {
    const std::unique_ptr<QSettings> Settings = OpenFormSettings();
    Settings->setValue(QString::fromLatin1(Name), Value);
    Settings->sync();
  }

  QVariant StoredSetting(const char* Name) { return OpenFormSettings()->value(QString::fromLatin1(Name)); }

  // Shows a new window, as the program does, on File when one is named. Unless a test stores
  // the setting itself (or asks for a first start), the update check is off.
  TCorvaneForm& Start(const std::filesystem::path& File = {}, bool FirstStart = false) {
    if (!FirstStart && !StoredSetting("CheckForUpdates").isValid()) WriteSetting("CheckForUpdates", 0);
    FForm = std::make_unique<TCorvaneForm>();
    FForm->FExternalInit = true;
    FForm->FPrompt = [this](QWidget*, TFormPromptKind Kind, const QString& Text) {
      FAsked.push_back({Kind, Text});
      return FAnswer;
    };
    FForm->FStartFileName = File;
    FForm->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(FForm.get()));
    QCoreApplication::processEvents();  // the open of the start-up file
    return *FForm;
  }

  QString Cell(int Row, int Column) const { return FForm->ListView1->model()->index(Row, Column).data().toString(); }
  int Rows() const { return FForm->ListView1->model()->rowCount(); }
  bool Shaded(int Row) const {
    return FForm->ListView1->model()->index(Row, 0).data(Qt::BackgroundRole).value<QColor>() == QColor(240, 240, 240);
  }
  QTreeView& Tree() const { return *FForm->TreeView1; }
  QModelIndex TreeRoot() const { return Tree().model()->index(0, 0); }
  QModelIndex TreeChild(const QModelIndex& Parent, const QString& Text) const {
    for (int Row = 0; Row < Tree().model()->rowCount(Parent); ++Row) {
      const QModelIndex Child = Tree().model()->index(Row, 0, Parent);
      const QString Shown = Child.data().toString();
      if (Shown.trimmed() == Text || Shown.startsWith(Text + ' ')) return Child;
    }
    return {};
  }

  void Wheel(QWidget* Over, int Delta, Qt::KeyboardModifiers Modifiers) {
    const QPointF At(Over->width() / 2.0, Over->height() / 2.0);
    QWheelEvent Event(At, Over->mapToGlobal(At), QPoint(), QPoint(0, Delta), Qt::NoButton, Modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(Over, &Event);
  }

  QTemporaryDir FSettingsFolder;
  std::chrono::milliseconds FPause{};
  std::unique_ptr<TCorvaneForm> FForm;
  std::vector<TAsked> FAsked;
  bool FAnswer = true;
};

const QString OpenAnywayText = QStringLiteral("This is not a valid AC3 audio stream.\r\nDo you want to open it anyway?");

// ------------------------------------------------------------------------------------------------
// Opening

TEST_F(CorvaneForm, StartsOnAStreamWithItsFirstFrameSelectedAndShown) {
  TCorvaneForm& Form = Start(SamplePath());

  EXPECT_EQ(Form.windowTitle(), "Corvane(" + PathToQString(SamplePath()) + ")");
  EXPECT_TRUE(FAsked.empty());
  ASSERT_GT(Rows(), 2);
  EXPECT_EQ(Form.ListView1->SelectedRow(), 0);
  EXPECT_EQ(Cell(0, 0), "0x0000000000000000");
  EXPECT_EQ(Cell(1, 1), "1536");
  EXPECT_EQ(Cell(1, 4), "384 kbps");
  EXPECT_EQ(Rows(), Form.ListView1->FullyVisibleRows());
  // The tree shows frame 0 with bsi() collapsed; the hex pane the file from its start.
  EXPECT_EQ(Form.Frames().PackOffset(), 0);
  EXPECT_EQ(TreeRoot().data().toString().trimmed(), "ac3_syncframe()");
  EXPECT_TRUE(Tree().isExpanded(TreeRoot()));
  const QModelIndex Bsi = TreeChild(TreeRoot(), "bsi()");
  ASSERT_TRUE(Bsi.isValid());
  EXPECT_FALSE(Tree().isExpanded(Bsi));
  EXPECT_TRUE(Form.Memo1->toPlainText().startsWith("0x0000000000000000   0B 77"));
  EXPECT_EQ(Form.ScrollBar1->maximum(), 241152 / 100 - 1);
  EXPECT_TRUE(Form.StatusLabel->text().startsWith("AC-3 | 48000 Hz | 241,152 bytes"));
}

TEST_F(CorvaneForm, StartingOnAFileThatIsNoStreamAsksWhetherToOpenItAnyway) {
  const TTempFile Text(TBytes(5000, 'a'), ".txt");
  for (const bool Yes : {false, true}) {
    SCOPED_TRACE(Yes ? "Yes" : "No");
    FAsked.clear();
    FAnswer = Yes;
    TCorvaneForm& Form = Start(Text.Path());
    ASSERT_EQ(FAsked.size(), 1u);
    EXPECT_EQ(FAsked[0].Kind, TFormPromptKind::OpenAnyway);
    EXPECT_EQ(FAsked[0].Text, OpenAnywayText);
    EXPECT_EQ(Form.windowTitle(), Yes ? "Corvane(" + PathToQString(Text.Path()) + ")" : QString("Corvane"));
    EXPECT_EQ(Rows(), 0);
    FForm->close();
  }
}

// A stream behind more junk than the first fill's one read fails the stream test; opened anyway,
// it shows its first frame, selected, wherever that lies. A file without any frame shows an empty
// list and says so.
TEST_F(CorvaneForm, AStreamBehindALongRunOfJunkOpensOnItsFirstFrame) {
  constexpr int64_t Junk = 2 << 20;
  TBytes Bytes(static_cast<size_t>(Junk), 0);
  const TBytes Sample = SampleBytes();
  Bytes.insert(Bytes.end(), Sample.begin(), Sample.end());
  const TTempFile JunkFirst(Bytes, ".ac3");
  TCorvaneForm& Form = Start(JunkFirst.Path());
  ASSERT_EQ(FAsked.size(), 1u);
  ASSERT_GT(Rows(), 2);
  EXPECT_EQ(Cell(0, 0), OffsetColumn(Junk));
  EXPECT_EQ(Cell(1, 0), OffsetColumn(Junk + SampleFrameSize));
  EXPECT_EQ(Form.ListView1->SelectedRow(), 0);
  EXPECT_EQ(Form.Frames().PackOffset(), Junk);
  EXPECT_EQ(Form.ScrollBar1->value(), Junk / 100);
  EXPECT_TRUE(Form.StatusLabel->text().contains("first frame at")) << Form.StatusLabel->text().toStdString();
  FForm->close();

  const TTempFile NoFrame(TBytes(static_cast<size_t>(Junk) + 5000, 0), ".ac3");
  Start(NoFrame.Path());
  EXPECT_EQ(Rows(), 0);
  EXPECT_TRUE(FForm->StatusLabel->text().endsWith("no frame in the file")) << FForm->StatusLabel->text().toStdString();
}

#ifndef _WIN32
// A name that is not UTF-8 (any bytes make a Linux file name) opens like any other; the title
// shows its bytes that are not text as U+FFFD.
TEST_F(CorvaneForm, ANameThatIsNotUtf8OpensAndShowsWithReplacementCharacters) {
  const TTempFile Copy(SampleBytes(), "_\xE9t\xE9.ac3");
  TCorvaneForm& Form = Start(Copy.Path());
  const QChar Replaced(0xFFFD);
  const std::string Name = Copy.Path().string();
  EXPECT_EQ(Form.windowTitle(), "Corvane(" + QString::fromUtf8(Name.substr(0, Name.size() - 8)) + "_" + Replaced +
                                    "t" + Replaced + ".ac3)");
  EXPECT_TRUE(FAsked.empty());
  EXPECT_GT(Rows(), 2);
  FForm->close();
}
#endif

TEST_F(CorvaneForm, OpenDialogOffersTheStreamFiltersAndOpensTheChoice) {
  TCorvaneForm& Form = Start();
  QString FilterSeen;
  Form.FChooseFile = [&](QWidget*, const QString& Filter) {
    FilterSeen = Filter;
    return PathToQString(SamplePath());
  };
  Form.Open1->trigger();
  EXPECT_EQ(FilterSeen,
            "AC3/EAC3 ES Files (*.ac3 *.eac3 *.ec3);;AC3 ES Files (*.ac3);;EAC3 ES Files (*.eac3 *.ec3);;All Files (*)");
  EXPECT_EQ(Form.windowTitle(), "Corvane(" + PathToQString(SamplePath()) + ")");
  EXPECT_EQ(Form.ListView1->SelectedRow(), 0);

  // Cancelling the dialog changes nothing.
  Form.FChooseFile = [](QWidget*, const QString&) { return QString(); };
  Form.Open1->trigger();
  EXPECT_EQ(Form.windowTitle(), "Corvane(" + PathToQString(SamplePath()) + ")");
}

TEST_F(CorvaneForm, ThreeDroppedFilesOpenInTurnAndTheLastStays) {
  const TBytes Sample = SampleBytes();
  const TTempFile First(Sample, ".ac3");
  const TTempFile Second(test::ReadTestFile(test::ViewerDataPath("ac3_48k_51_448k.ac3")), ".ac3");
  const TTempFile Third(test::ReadTestFile(test::ViewerDataPath("eac3_44k_stereo.eac3")), ".eac3");
  TCorvaneForm& Form = Start();

  QMimeData Data;
  Data.setUrls({QUrl::fromLocalFile(PathToQString(First.Path())), QUrl::fromLocalFile(PathToQString(Second.Path())),
                QUrl::fromLocalFile(PathToQString(Third.Path()))});
  // A drop follows the drag's entering, which the list accepts for files.
  QWidget* Target = Form.ListView1->viewport();
  QDragEnterEvent Enter(QPoint(10, 10), Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Target, &Enter);
  EXPECT_TRUE(Enter.isAccepted());
  QDropEvent Drop(QPointF(10, 10), Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Target, &Drop);

  EXPECT_EQ(Form.Frames().HexPane().LoadCount, 3);
  EXPECT_TRUE(FAsked.empty());
  EXPECT_EQ(Form.windowTitle(), "Corvane(" + PathToQString(Third.Path()) + ")");
  EXPECT_TRUE(Form.Frames().EAC3());
  EXPECT_EQ(Form.ListView1->SelectedRow(), 0);
  EXPECT_EQ(Cell(0, 3), "44100 Hz");
  EXPECT_EQ(Cell(0, 4), "");
}

TEST_F(CorvaneForm, CloseEmptiesEveryView) {
  TCorvaneForm& Form = Start(SamplePath());
  Form.Close1->trigger();
  EXPECT_EQ(Form.windowTitle(), "Corvane");
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(Tree().model()->rowCount(), 0);
  EXPECT_TRUE(Form.Memo1->toPlainText().isEmpty());
  EXPECT_TRUE(Form.StatusLabel->text().isEmpty());
}

// ------------------------------------------------------------------------------------------------
// Moving through the file

TEST_F(CorvaneForm, DownOnTheLastRowMovesTheWindowByOneFrameAndEachFrameKeepsItsShade) {
  TCorvaneForm& Form = Start(SamplePath());
  const int Count = Rows();
  ASSERT_GE(Count, 3);
  std::map<QString, bool> ShadeBefore;
  for (int Row = 0; Row < Count; ++Row) ShadeBefore[Cell(Row, 0)] = Shaded(Row);

  Form.ListView1->SelectRow(Count - 1);
  QTest::keyClick(Form.ListView1, Qt::Key_Down);

  EXPECT_EQ(Cell(0, 0), OffsetColumn(SampleFrameSize));
  EXPECT_EQ(Cell(Count - 1, 0), OffsetColumn(Count * SampleFrameSize));
  for (int Row = 0; Row + 1 < Count; ++Row) EXPECT_EQ(Shaded(Row), ShadeBefore[Cell(Row, 0)]) << Row;
  EXPECT_EQ(Form.ListView1->SelectedRow(), Count - 1);
  EXPECT_EQ(Form.ScrollBar1->value(), SampleFrameSize / 100);
  // The key's release shows the newly selected frame.
  EXPECT_EQ(Form.Frames().PackOffset(), Count * SampleFrameSize);
}

TEST_F(CorvaneForm, ALeftOrRightClickSelectsARowAndShowsItsFrame) {
  TCorvaneForm& Form = Start(SamplePath());
  for (const auto& [Button, Row] : {std::pair{Qt::RightButton, 2}, std::pair{Qt::LeftButton, 4}}) {
    const QRect Place = Form.ListView1->visualRect(Form.ListView1->model()->index(Row, 1));
    QTest::mouseClick(Form.ListView1->viewport(), Button, {}, Place.center());
    EXPECT_EQ(Form.ListView1->SelectedRow(), Row);
    EXPECT_EQ(Form.Frames().PackOffset(), Row * SampleFrameSize);
    EXPECT_EQ(Form.HexView()->SelectionStartOffset(), Row * SampleFrameSize);
    EXPECT_EQ(Form.HexView()->SelectionLength(), SampleFrameSize);
    EXPECT_TRUE(Form.Memo1->toPlainText().startsWith(OffsetColumn(Row * SampleFrameSize)));
    Form.PopupMenu1->close();
  }
}

TEST_F(CorvaneForm, ASelectedTreeNodeMarksItsBytesInsideTheFramesHighlight) {
  TCorvaneForm& Form = Start(SamplePath());
  const QRect Row1 = Form.ListView1->visualRect(Form.ListView1->model()->index(1, 0));
  QTest::mouseClick(Form.ListView1->viewport(), Qt::LeftButton, {}, Row1.center());
  const QModelIndex Crc1 = TreeChild(TreeChild(TreeRoot(), "syncinfo()"), "crc1");
  ASSERT_TRUE(Crc1.isValid());
  Tree().setCurrentIndex(Crc1);

  EXPECT_EQ(Form.HexView()->FieldSelectionStartOffset(), SampleFrameSize + 2);
  EXPECT_EQ(Form.HexView()->FieldSelectionLength(), 2);
  // The pane shows the frame from its first line: byte 0 is in the frame's colour, bytes 2 and 3
  // (the CRC word) in the stronger one.
  const auto Background = [&](int Byte) {
    QTextCursor Cursor(Form.Memo1->document());
    Cursor.setPosition(21 + 3 * Byte + 1);
    return Cursor.charFormat().background().color();
  };
  EXPECT_EQ(Background(0), QColor(255, 255, 160));
  EXPECT_EQ(Background(2), QColor(255, 190, 40));
  EXPECT_EQ(Background(3), QColor(255, 190, 40));
  EXPECT_EQ(Background(4), QColor(255, 255, 160));
}

TEST_F(CorvaneForm, EndShowsTheLastFramesAndHomeTheFirst) {
  TCorvaneForm& Form = Start(SamplePath());
  const int Count = Rows();

  QTest::keyClick(Form.ListView1, Qt::Key_End);
  EXPECT_EQ(Cell(Count - 1, 0), OffsetColumn((SampleFrames - 1) * SampleFrameSize));
  EXPECT_EQ(Cell(0, 0), OffsetColumn((SampleFrames - Count) * SampleFrameSize));
  EXPECT_EQ(Form.ListView1->SelectedRow(), Count - 1);
  EXPECT_EQ(Form.ScrollBar1->value(), (SampleFrames - Count) * SampleFrameSize / 100);
  EXPECT_EQ(Form.Frames().PackOffset(), (SampleFrames - 1) * SampleFrameSize);

  QTest::keyClick(Form.ListView1, Qt::Key_Home);
  EXPECT_EQ(Cell(0, 0), "0x0000000000000000");
  EXPECT_EQ(Form.ListView1->SelectedRow(), 0);
  EXPECT_EQ(Form.ScrollBar1->value(), 0);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(CorvaneForm, ScrollBarPageClickAndThumbDragMoveTheWindowAndClearTheSelection) {
  TCorvaneForm& Form = Start(SamplePath());
  const int Count = Rows();
  QScrollBar& Bar = *Form.ScrollBar1;

  // A click in the page area below the thumb: the frame after the last one starts the window.
  QStyleOptionSlider Option;
  Option.initFrom(&Bar);
  Option.orientation = Qt::Vertical;
  Option.minimum = Bar.minimum();
  Option.maximum = Bar.maximum();
  Option.sliderPosition = Option.sliderValue = Bar.value();
  Option.singleStep = Bar.singleStep();
  Option.pageStep = Bar.pageStep();
  Option.subControls = QStyle::SC_All;
  const QRect PageBelow = Bar.style()->subControlRect(QStyle::CC_ScrollBar, &Option, QStyle::SC_ScrollBarAddPage, &Bar);
  QTest::mouseClick(&Bar, Qt::LeftButton, {}, PageBelow.center());
  EXPECT_EQ(Cell(0, 0), OffsetColumn(Count * SampleFrameSize));
  EXPECT_EQ(Bar.value(), Count * SampleFrameSize / 100);
  EXPECT_EQ(Form.ListView1->SelectedRow(), -1);
  EXPECT_EQ(Form.Frames().PackOffset(), 0) << "the panes keep the frame selected before";

  // The end of a thumb drag at 500: the first frame start at or after byte 50,000.
  Bar.setValue(500);
  QTest::mouseRelease(&Bar, Qt::LeftButton, {}, Bar.rect().center());
  EXPECT_EQ(Cell(0, 0), OffsetColumn(33 * SampleFrameSize));
  EXPECT_EQ(Form.Frames().CurrentPosition(), 33 * SampleFrameSize);
  EXPECT_EQ(Bar.value(), 33 * SampleFrameSize / 100);
}

TEST_F(CorvaneForm, WheelNotchesAreArrowKeysAndPageKeysWithCtrl) {
  TCorvaneForm& Form = Start(SamplePath());
  const int Count = Rows();
  QWidget* List = Form.ListView1->viewport();

  Wheel(List, -120, Qt::NoModifier);  // towards the user
  EXPECT_EQ(Form.ListView1->SelectedRow(), 1);
  EXPECT_EQ(Form.Frames().PackOffset(), 0) << "no key release, so the panes stay";

  Wheel(List, -120, Qt::ControlModifier);
  EXPECT_EQ(Cell(0, 0), OffsetColumn(Count * SampleFrameSize));
  EXPECT_EQ(Form.ListView1->SelectedRow(), Count - 1);

  Wheel(List, 120, Qt::ControlModifier);
  EXPECT_EQ(Cell(0, 0), "0x0000000000000000");
  EXPECT_EQ(Form.ListView1->SelectedRow(), 0);

  // Over the list's own scroll bar the wheel moves the list, never the bar by itself.
  Wheel(Form.ScrollBar1, -120, Qt::ControlModifier);
  EXPECT_EQ(Cell(0, 0), OffsetColumn(Count * SampleFrameSize));
  EXPECT_EQ(Form.ScrollBar1->value(), Count * SampleFrameSize / 100);
}

TEST_F(CorvaneForm, GoToOffsetStartsTheWindowAtTheFirstFrameFromThereOrSaysWhy) {
  TCorvaneForm& Form = Start(SamplePath());
  struct TCase {
    QString Typed;
    QString Row0;  // empty: the window stays and the user is told
    QString Told;
  };
  const std::vector<TCase> Cases = {
      {"50000", OffsetColumn(33 * SampleFrameSize), ""},
      {" 0x600 ", OffsetColumn(SampleFrameSize), ""},
      {"abc", "", "\"abc\" is not a byte offset. Type a decimal number, or a hexadecimal one after 0x."},
      {"241152", "", "Offset 241,152 is past the end of the file, which has 241,152 bytes."},
  };
  QString Previous;
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Typed.toStdString());
    FAsked.clear();
    const QString Before = Cell(0, 0);
    QString Offered;
    Form.FAskOffset = [&](QWidget*, const QString& Last) -> std::optional<QString> {
      Offered = Last;
      return Case.Typed;
    };
    Form.GoToOffset1->trigger();
    // The question starts with what was typed the time before.
    EXPECT_EQ(Offered, Previous);
    Previous = Case.Typed.trimmed();
    if (Case.Row0.isEmpty()) {
      ASSERT_EQ(FAsked.size(), 1u);
      EXPECT_EQ(FAsked[0].Text, Case.Told);
      EXPECT_EQ(Cell(0, 0), Before);
    } else {
      EXPECT_TRUE(FAsked.empty());
      EXPECT_EQ(Cell(0, 0), Case.Row0);
      EXPECT_EQ(Form.ListView1->SelectedRow(), 0);
      EXPECT_EQ(Q(OffsetText(Form.Frames().PackOffset())), Case.Row0);
    }
  }
}

// ------------------------------------------------------------------------------------------------
// Copy and hex edit

TEST_F(CorvaneForm, CopyPutsTheListAndTheWholeTreeOnTheClipboard) {
  const TBytes Sample = SampleBytes();
  const TTempFile Three(TBytes(Sample.begin(), Sample.begin() + 3 * SampleFrameSize), ".ac3");
  TCorvaneForm& Form = Start(Three.Path());

  Form.Copy1->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(),
            "0x0000000000000000, 1536, 1536, 48000 Hz, 384 kbps, \n"
            "0x0000000000000600, 1536, 1536, 48000 Hz, 384 kbps, \n"
            "0x0000000000000C00, 1536, 1536, 48000 Hz, 384 kbps, \n");

  // Every node in tree order, collapsed ones included, without indentation.
  Form.Copy2->trigger();
  const QString Copied = QGuiApplication::clipboard()->text();
  QString Shown;
  const std::function<void(const QModelIndex&)> Walk = [&](const QModelIndex& Parent) {
    for (int Row = 0; Row < Tree().model()->rowCount(Parent); ++Row) {
      const QModelIndex Node = Tree().model()->index(Row, 0, Parent);
      Shown += Node.data().toString() + "\n";
      Walk(Node);
    }
  };
  Walk(QModelIndex());
  EXPECT_EQ(Copied, Shown);
  EXPECT_FALSE(Tree().isExpanded(TreeChild(TreeRoot(), "bsi()")));
  EXPECT_TRUE(Copied.contains("\nbsid                 : 8 (5 bits)\n"));
  EXPECT_TRUE(Copied.startsWith("ac3_syncframe()"));
}

TEST_F(CorvaneForm, HexEditSaysWhenThereIsNoFileOrNoSelectedFrame) {
  TCorvaneForm& Form = Start();
  bool Edited = false;
  Form.FEditFile = [&](TFileStream*, const std::u16string&, bool, int64_t, int64_t, QWidget*) { return Edited = true; };

  Form.HexEditSelectedFrame1->trigger();
  ASSERT_EQ(FAsked.size(), 1u);
  EXPECT_EQ(FAsked[0].Kind, TFormPromptKind::Error);
  EXPECT_EQ(FAsked[0].Text, "There is no file loaded.");

  FAsked.clear();
  Form.FChooseFile = [](QWidget*, const QString&) { return PathToQString(SamplePath()); };
  Form.Open1->trigger();
  Form.ListView1->SelectRow(-1);
  Form.HexEditSelectedFrame2->trigger();  // the list's context menu
  ASSERT_EQ(FAsked.size(), 1u);
  EXPECT_EQ(FAsked[0].Text, "There is no frame selected.");
  EXPECT_FALSE(Edited);
}

TEST_F(CorvaneForm, HexEditOfAFramePastFourGiBWritesItAndReloadsTheFile) {
  const TBytes Sample = SampleBytes();
  const TBytes Frames(Sample.begin(), Sample.begin() + 3 * SampleFrameSize);
  const int64_t Far = (int64_t{1} << 32) + 16;
  const TTempFile Sparse(Far + static_cast<int64_t>(Frames.size()), Far, Frames);
  Sparse.WriteAt(0, Frames);
  TCorvaneForm& Form = Start(Sparse.Path());
  FAsked.clear();

  Form.FAskOffset = [](QWidget*, const QString&) -> std::optional<QString> { return QString("0x100000000"); };
  Form.GoToOffset1->trigger();
  const int Last = Form.ListView1->model()->rowCount() - 1;
  ASSERT_EQ(Last, 2);
  Form.ListView1->SelectRow(Last);
  const int64_t Offset = Far + Last * SampleFrameSize;
  ASSERT_EQ(Cell(Last, 0), OffsetColumn(Offset));

  std::u16string Suffix;
  int64_t EditedOffset = -1;
  int64_t EditedSize = -1;
  Form.FEditFile = [&](TFileStream* Stream, const std::u16string& CaptionSuffix, bool CanModify, int64_t At,
                       int64_t Size, QWidget*) {
    Suffix = CaptionSuffix;
    EditedOffset = At;
    EditedSize = Size;
    const uint8_t Changed = 0x5A;
    return CanModify && Stream->Seek(At + 100) == At + 100 && Stream->Write(&Changed, 1) == 1 && Stream->Flush();
  };
  Form.HexEditSelectedFrame1->trigger();

  EXPECT_EQ(Suffix, u" [AC3 Frame @ 0x" + IntToHex(static_cast<uint64_t>(Offset), 16) + u"]");
  EXPECT_EQ(Suffix, u" [AC3 Frame @ 0x0000000100000C10]");
  EXPECT_EQ(EditedOffset, Offset);
  EXPECT_EQ(EditedSize, SampleFrameSize);
  ASSERT_EQ(FAsked.size(), 1u);
  EXPECT_EQ(FAsked[0].Kind, TFormPromptKind::Confirm);
  EXPECT_EQ(FAsked[0].Text, "Do you want to reload the file with the new changes?");
  EXPECT_EQ(Sparse.ReadAt(Offset + 100, 1), TBytes{0x5A});
  // Reloaded: the window starts at the file's first frame again.
  EXPECT_EQ(Form.Frames().HexPane().LoadCount, 2);
  EXPECT_EQ(Cell(0, 0), "0x0000000000000000");
  EXPECT_EQ(Form.windowTitle(), "Corvane(" + PathToQString(Sparse.Path()) + ")");
}

TEST_F(CorvaneForm, HexEditOpensTheDialogOnTheSelectedFrame) {
  TCorvaneForm& Form = Start(SamplePath());
  Form.ListView1->SelectRow(2);
  QString Title;
  QTimer::singleShot(0, [&] {
    WaitUntil([&] {
      for (QWidget* Window : QApplication::topLevelWidgets())
        if (auto* Dialog = qobject_cast<THexEditForm*>(Window); Dialog && Dialog->isVisible()) {
          Title = Dialog->windowTitle();
          Dialog->bbtnCancel->click();
          return true;
        }
      return false;
    });
  });
  Form.HexEditSelectedFrame1->trigger();
  EXPECT_TRUE(Title.endsWith(" [AC3 Frame @ 0x0000000000000C00]")) << Title.toStdString();
  EXPECT_TRUE(FAsked.empty()) << "cancelled, so no reload is offered";
}

// ------------------------------------------------------------------------------------------------
// Hooks, settings and the update check

TEST_F(CorvaneForm, HostHooksReplaceOrPrecedeTheirCommands) {
  TCorvaneForm& Form = Start(SamplePath());
  std::vector<std::string> Calls;
  Form.FChooseFile = [&](QWidget*, const QString&) {
    Calls.push_back("dialog");
    return QString();
  };
  Form.FOpenFileCallback = [&] { return Calls.push_back("open"), true; };
  Form.FCloseFileCallback = [&] { return Calls.push_back(Form.Frames().IsOpen() ? "close, file open" : "close"), true; };
  Form.FAboutCallback = [&] { return Calls.push_back("about"), true; };
  Form.FExitCallback = [&] { return Calls.push_back(Form.isVisible() ? "exit, window shown" : "exit"), true; };

  Form.Open1->trigger();
  Form.Close1->trigger();
  Form.About1->trigger();
  Form.Exit1->trigger();
  EXPECT_EQ(Calls, (std::vector<std::string>{"open", "close", "about", "exit, window shown"}));
  EXPECT_FALSE(Form.isVisible());
}

TEST_F(CorvaneForm, SplashShowsAtStartUnlessAHostCreatedTheWindow) {
  WriteSetting("CheckForUpdates", 0);
  for (const bool External : {true, false}) {
    FreeSplash();
    TCorvaneForm Form;
    Form.FExternalInit = External;
    Form.show();
    EXPECT_EQ(SplashForm() != nullptr && SplashForm()->isVisible(), !External);
    Form.close();
  }
}

TEST_F(CorvaneForm, FirstStartUsesTheDesignValuesAndWritesAllTwelveSettingsAsIntegers) {
  TCorvaneForm& Form = Start({}, true);
  // At 111, 77 as far as the screen allows (the offscreen one is 800 x 600).
  const QRect Screen = QGuiApplication::primaryScreen()->availableGeometry();
  const QRect Frame = Form.frameGeometry();
  EXPECT_EQ(Form.pos(), QPoint(std::clamp(111, Screen.left(), Screen.right() + 1 - Frame.width()),
                               std::clamp(77, Screen.top(), Screen.bottom() + 1 - Frame.height())));
  EXPECT_TRUE(Screen.contains(Frame));
  EXPECT_TRUE(Form.CheckForUpdates1->isChecked());
  const QPoint Placed = Form.pos();
  Form.close();

  const std::unique_ptr<QSettings> Settings = OpenFormSettings();
  QStringList Expected;
  for (const char* Name : SettingNames) Expected << QString::fromLatin1(Name);
  QStringList Stored = Settings->allKeys();
  Stored.sort();
  Expected.sort();
  EXPECT_EQ(Stored, Expected);
  for (const char* Name : SettingNames) EXPECT_TRUE(ReadSettingValue(*Settings, Name).has_value()) << Name;
  EXPECT_EQ(*ReadSettingValue(*Settings, "FormLeft"), Placed.x());
  EXPECT_EQ(*ReadSettingValue(*Settings, "FormTop"), Placed.y());
  EXPECT_EQ(*ReadSettingValue(*Settings, "WindowState"), 0);
  EXPECT_EQ(*ReadSettingValue(*Settings, "CheckForUpdates"), 1);
  EXPECT_EQ(*ReadSettingValue(*Settings, "OffsetColWidth"), Form.ListView1->columnWidth(0));
}

TEST_F(CorvaneForm, EachSettingIsReadOnItsOwnAndWrittenBackAsAnInteger) {
  WriteSetting("FormTop", "abc");  // text: skipped alone
  WriteSetting("FormLeft", 100);
  WriteSetting("FormWidth", 700);
  WriteSetting("FormHeight", 500);
  WriteSetting("OffsetColWidth", 150);
  WriteSetting("Panel2Width", 500);
  WriteSetting("WindowState", 7);  // names no state: normal
  WriteSetting("CheckForUpdates", 5);
  TCorvaneForm& Form = Start();

  EXPECT_EQ(Form.pos(), QPoint(100, 77));
  EXPECT_EQ(Form.ListView1->columnWidth(0), 150);
  EXPECT_EQ(Form.Panel2->width(), 500);
  EXPECT_FALSE(Form.isMaximized() || Form.isMinimized());
  EXPECT_TRUE(Form.CheckForUpdates());
  EXPECT_TRUE(Form.CheckForUpdates1->isChecked());
  Form.close();

  EXPECT_EQ(StoredSetting("CheckForUpdates").toString(), "1");
  EXPECT_EQ(StoredSetting("FormTop").toString(), "77");
  EXPECT_EQ(StoredSetting("Panel2Width").toString(), "500");
}

TEST_F(CorvaneForm, AMaximizedWindowIsStoredAsTwoAndStartsMaximized) {
  TCorvaneForm& Form = Start();
  Form.setWindowState(Qt::WindowMaximized);
  QCoreApplication::processEvents();
  Form.close();
  EXPECT_EQ(StoredSetting("WindowState").toString(), "2");

  TCorvaneForm& Again = Start();
  EXPECT_TRUE(Again.isMaximized());
}

TEST_F(CorvaneForm, UpdateCheckRunsOnlyWhileWantedAndEndsWithTheWindow) {
  WriteSetting("CheckForUpdates", 0);
  TCorvaneForm& Form = Start();
  QTest::qWait(50);
  EXPECT_FALSE(Form.UpdateCheckStarted());
  EXPECT_FALSE(Form.tmUpdate->isActive());

  Form.CheckForUpdates1->trigger();  // on
  EXPECT_TRUE(Form.CheckForUpdates1->isChecked());
  EXPECT_TRUE(WaitUntil([&] { return Form.UpdateCheckStarted(); }));
  Form.close();
  EXPECT_EQ(StoredSetting("CheckForUpdates").toString(), "1");
}

// ------------------------------------------------------------------------------------------------
// Stream check and CRC verdicts

// The sample with its frame 5 damaged in the last 3/8 (crc2 fails) and 30 bytes of junk after
// frame 10.
TBytes DamagedSample() {
  TBytes Bytes = SampleBytes();
  Bytes[5 * SampleFrameSize + 1400] ^= 0x04;
  const TBytes Junk = test::Garbage(30);
  Bytes.insert(Bytes.begin() + 11 * SampleFrameSize, Junk.begin(), Junk.end());
  return Bytes;
}

TEST_F(CorvaneForm, TheStatusBarNamesTheShownFramesCrcVerdict) {
  const TTempFile File(DamagedSample(), ".ac3");
  TCorvaneForm& Form = Start(File.Path());
  EXPECT_EQ(Form.CrcLabel->text(), "CRC ok");
  for (const auto& [Row, Verdict] : {std::pair{5, "crc2 fails"}, std::pair{4, "CRC ok"}}) {
    const QRect Place = Form.ListView1->visualRect(Form.ListView1->model()->index(Row, 1));
    QTest::mouseClick(Form.ListView1->viewport(), Qt::LeftButton, {}, Place.center());
    EXPECT_EQ(Form.CrcLabel->text(), Verdict) << Row;
  }
  Form.Close1->trigger();
  EXPECT_EQ(Form.CrcLabel->text(), "");
}

TEST_F(CorvaneForm, CheckStreamShowsTheFindingsAndAFindingLeadsToItsFrame) {
  TCorvaneForm& Form = Start();
  Form.CheckStream1->trigger();
  ASSERT_EQ(FAsked.size(), 1u);
  EXPECT_EQ(FAsked[0].Text, "There is no file loaded.");
  EXPECT_EQ(Form.CheckWindow(), nullptr);

  const TTempFile File(DamagedSample(), ".ac3");
  ASSERT_TRUE(Form.OpenFile(File.Path()));
  QProgressDialog* Shown = nullptr;
  Form.FCheckStarted = [&](QProgressDialog* Dialog) {
    Shown = Dialog;
    EXPECT_TRUE(Dialog->isVisible());
  };
  Form.CheckStream1->trigger();
  EXPECT_NE(Shown, nullptr);
  TStreamCheckWindow* Window = Form.CheckWindow();
  ASSERT_NE(Window, nullptr);
  EXPECT_TRUE(Window->isVisible());
  // The findings list has the focus at once, on its first finding: Enter leads there.
  EXPECT_TRUE(QTest::qWaitForWindowActive(Window));
  EXPECT_TRUE(Window->ListView1->hasFocus());
  EXPECT_EQ(Window->ListView1->currentItem(), Window->ListView1->topLevelItem(0));
  EXPECT_TRUE(Window->Memo1->toPlainText().contains("\nFrames: 157\n")) << Window->Memo1->toPlainText().toStdString();
  EXPECT_TRUE(Window->Memo1->toPlainText().contains("Problems: 2 (1 frame fails its CRC, 1 stretch of junk, 30 bytes)"));
  ASSERT_EQ(Window->ListView1->topLevelItemCount(), 2);
  const QTreeWidgetItem* Crc = Window->ListView1->topLevelItem(0);
  EXPECT_EQ(Crc->text(0), OffsetColumn(5 * SampleFrameSize));
  EXPECT_EQ(Crc->text(1), "problem");
  EXPECT_EQ(Crc->text(2), "crc2 fails");
  EXPECT_EQ(Window->ListView1->topLevelItem(1)->text(2), "30 bytes that belong to no frame");

  // Enter on the first finding: the frame window starts at its frame, selected and shown.
  QTest::keyClick(Window->ListView1, Qt::Key_Return);
  EXPECT_EQ(Cell(0, 0), OffsetColumn(5 * SampleFrameSize));
  EXPECT_EQ(Form.ListView1->SelectedRow(), 0);
  EXPECT_EQ(Form.Frames().PackOffset(), 5 * SampleFrameSize);
  EXPECT_EQ(Form.CrcLabel->text(), "crc2 fails");
  // The junk's finding leads to the frame after it.
  Window->ListView1->setCurrentItem(Window->ListView1->topLevelItem(1));
  QTest::keyClick(Window->ListView1, Qt::Key_Return);
  EXPECT_EQ(Cell(0, 0), OffsetColumn(11 * SampleFrameSize + 30));
}

TEST_F(CorvaneForm, ACancelledCheckShowsNothing) {
  TCorvaneForm& Form = Start(SamplePath());
  Form.FCheckStarted = [](QProgressDialog* Dialog) {
    QPushButton* Cancel = Dialog->findChild<QPushButton*>();
    ASSERT_NE(Cancel, nullptr);
    EXPECT_EQ(Cancel->text(), "Cancel");
    Cancel->click();
  };
  Form.CheckStream1->trigger();
  EXPECT_EQ(Form.CheckWindow(), nullptr);
  EXPECT_TRUE(FAsked.empty());
  EXPECT_EQ(Form.statusBar()->currentMessage(), "The stream check was cancelled.");
}

// The overview of the damaged sample: its problems marked where they lie, a click on a mark
// leads to the problem's frame, a click elsewhere to the frame at that time; another open drops it.
TEST_F(CorvaneForm, TheStreamOverviewShowsTheWholeFileAndLeadsToItsFrames) {
  TCorvaneForm& Form = Start();
  Form.StreamOverview1->trigger();
  ASSERT_EQ(FAsked.size(), 1u);
  EXPECT_EQ(FAsked[0].Text, "There is no file loaded.");

  const TTempFile File(DamagedSample(), ".ac3");
  ASSERT_TRUE(Form.OpenFile(File.Path()));
  int Dialogs = 0;
  Form.FCheckStarted = [&](QProgressDialog*) { ++Dialogs; };
  Form.StreamOverview1->trigger();
  TStreamOverviewWindow* Window = Form.OverviewWindow();
  ASSERT_NE(Window, nullptr);
  EXPECT_EQ(Dialogs, 1);
  EXPECT_TRUE(QTest::qWaitForWindowExposed(Window));
  EXPECT_TRUE(Window->lbHead->text().contains("Duration: 5.024 s")) << Window->lbHead->text().toStdString();
  EXPECT_TRUE(Window->lbHead->text().contains("Problems: 2")) << Window->lbHead->text().toStdString();
  Window->Strip->resize(Window->Strip->width(), 400);

  // One column with a problem for each: the frame failing crc2 (the sixth) and the junk after
  // the eleventh frame.
  const std::vector<TOverviewSpan>& Columns = Window->Strip->Columns();
  const auto Width = static_cast<int64_t>(Columns.size());
  ASSERT_GT(Width, 300);
  std::vector<int64_t> Marked;
  for (int64_t Column = 0; Column < Width; ++Column)
    if (Columns[static_cast<size_t>(Column)].Problems > 0) Marked.push_back(Column);
  EXPECT_EQ(Marked, (std::vector<int64_t>{5 * Width / SampleFrames, 11 * Width / SampleFrames}));

  const QRect Problems = Window->Strip->LaneRect(TOverviewStrip::TLane::Problems);
  const auto ClickAt = [&](int64_t Column, int Y) {
    QTest::mouseClick(Window->Strip, Qt::LeftButton, {}, QPoint(Problems.left() + static_cast<int>(Column), Y));
  };
  ClickAt(Marked[0] + 2, Problems.center().y());  // near enough
  EXPECT_EQ(Cell(0, 0), OffsetColumn(5 * SampleFrameSize));
  EXPECT_EQ(Form.CrcLabel->text(), "crc2 fails");
  ClickAt(Width - 1, Window->Strip->LaneRect(TOverviewStrip::TLane::BitRate).center().y());
  EXPECT_EQ(Form.Frames().PackOffset(), (SampleFrames - 1) * SampleFrameSize + 30);

  ASSERT_TRUE(Form.OpenFile(SamplePath()));
  EXPECT_TRUE(Window->Strip->Columns().empty());
  EXPECT_FALSE(Window->Holds(File.Path()));
}

#ifdef CORVANE_HAVE_LOUDNESS
// The loudness goes into the overview, the status bar and the check report; a cancelled
// measurement leaves none of it.
TEST_F(CorvaneForm, MeasureLoudnessShowsTheVerdictOnDialnorm) {
  TCorvaneForm& Form = Start(test::TestDataPath("loudness/sine_1_0.ac3"));  // -23.1 LKFS, dialnorm 27
  Form.StreamOverview1->trigger();
  Form.FCheckStarted = [](QProgressDialog* Dialog) { Dialog->findChild<QPushButton*>()->click(); };
  Form.MeasureLoudness1->trigger();
  EXPECT_EQ(Form.statusBar()->currentMessage(), "The loudness measurement was cancelled.");
  EXPECT_EQ(Form.LoudnessLabel->text(), "");
  EXPECT_FALSE(Form.OverviewWindow()->Overview().HasLoudness());

  Form.FCheckStarted = nullptr;
  Form.MeasureLoudness1->trigger();
  const QString Verdict =
      "Loudness -23.1 LKFS: dialnorm does not agree with the measured loudness (3.9 dB apart, more than \u00B12 dB)";
  EXPECT_EQ(Form.LoudnessLabel->text(), Verdict);
  EXPECT_EQ(Form.OverviewWindow()->lbVerdict->text(), Verdict);
  const TOverviewSpan Whole = Form.OverviewWindow()->Overview().Whole();
  ASSERT_GT(Whole.LoudnessCount, 0);
  EXPECT_NEAR(Whole.LoudnessMax, -23.0, 0.2);  // the sine's short-term loudness once 3 s are in

  Form.CheckStream1->trigger();
  ASSERT_NE(Form.CheckWindow(), nullptr);
  const QString Summary = Form.CheckWindow()->Memo1->toPlainText();
  EXPECT_TRUE(Summary.contains("\nIntegrated loudness: -23.1 LKFS\nDifference: +3.9 dB")) << Summary.toStdString();
  EXPECT_TRUE(Summary.contains("\nVerdict: dialnorm does not agree")) << Summary.toStdString();
  // The saved report is what corvane-cli check prints: no loudness in it.
  EXPECT_EQ(Form.CheckWindow()->Report().Saved(TReportFormat::Text).find("Verdict:"), std::string::npos);
}
#endif

// ------------------------------------------------------------------------------------------------
// What issue-free use needs: the report's copy and save, placement, recent files, keys

TEST_F(CorvaneForm, TheCheckReportIsCopiedAndSavedAndMarkedWhenItsFileCloses) {
  const TTempFile File(DamagedSample(), ".ac3");
  TCorvaneForm& Form = Start(File.Path());
  Form.CheckStream1->trigger();
  TStreamCheckWindow& Window = *Form.CheckWindow();
  const TCheckReport& Report = Window.Report();
  ASSERT_EQ(Report.Findings().size(), 2u);

  // A long finding is shown whole: its tooltip holds the text, and the list never cuts it.
  EXPECT_EQ(Window.ListView1->topLevelItem(1)->toolTip(2), "30 bytes that belong to no frame");
  EXPECT_EQ(Window.ListView1->textElideMode(), Qt::ElideNone);

  // Ctrl+C with the second finding selected, then with none.
  Window.ListView1->clearSelection();
  Window.ListView1->topLevelItem(1)->setSelected(true);
  QTest::keyClick(Window.ListView1, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), Q(Report.CopyText({1}, u"\n")));
  Window.ListView1->clearSelection();
  Window.btnCopy->click();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), Q(Report.CopyText({}, u"\n")));
  EXPECT_TRUE(QGuiApplication::clipboard()->text().contains("\nFrames: 157\n"));

  // Saved as text and as JSON: what corvane-cli check prints, with and without --json.
  QTemporaryDir Folder;
  for (const auto& [Name, Format] : {std::pair{"report.txt", TReportFormat::Text}, {"report.json", TReportFormat::Json}}) {
    const QString Path = Folder.filePath(QString::fromLatin1(Name));
    Window.FChooseSaveFile = [&](QWidget*, const QString&) { return Path; };
    Window.btnSave->click();
    QFile Saved(Path);
    ASSERT_TRUE(Saved.open(QIODevice::ReadOnly)) << Name;
    EXPECT_EQ(Saved.readAll().toStdString(), Report.Saved(Format)) << Name;
  }

  // Another file opened: the report says it is not of the open file, and leads nowhere.
  EXPECT_TRUE(Window.FileOpen());
  Form.Close1->trigger();
  EXPECT_FALSE(Window.FileOpen());
  EXPECT_FALSE(Window.lbClosed->isHidden());
  EXPECT_TRUE(Window.windowTitle().endsWith("(not open)"));
  FAsked.clear();
  QTest::keyClick(Window.ListView1, Qt::Key_Return);
  ASSERT_EQ(FAsked.size(), 1u);
  EXPECT_EQ(FAsked[0].Text, "The checked file is no longer open.");
  ASSERT_TRUE(Form.OpenFile(File.Path()));
  EXPECT_TRUE(Window.FileOpen());
  EXPECT_TRUE(Window.lbClosed->isHidden());
}

TEST_F(CorvaneForm, AMissingFileNamedAtStartIsToldWhyItCannotBeOpened) {
  const TTempFile Present(TBytes{}, ".ac3");
  const std::filesystem::path Missing = Present.Path().string() + ".missing";
  TCorvaneForm& Form = Start(Missing);
  ASSERT_EQ(FAsked.size(), 1u);
  EXPECT_EQ(FAsked[0].Kind, TFormPromptKind::Error);
  EXPECT_EQ(FAsked[0].Text, "Cannot open " + PathToQString(Missing) + ": No such file or directory.");
  EXPECT_EQ(Form.windowTitle(), "Corvane");
}

TEST_F(CorvaneForm, PlacementComesBackAndStoredValuesAreKeptUsable) {
  TCorvaneForm& Form = Start();
  Form.setGeometry(100, 50, 650, 480);
  Form.Splitter2->setSizes({300, 120});
  const QRect Placed = Form.frameGeometry();
  const int HexHeight = Form.Panel1->height();
  Form.close();
  EXPECT_EQ(StoredSetting("FormLeft").toString(), QString::number(Placed.x()));
  EXPECT_EQ(StoredSetting("FormHeight").toString(), QString::number(Placed.height()));
  EXPECT_EQ(StoredSetting("HexPaneHeight").toString(), QString::number(HexHeight));

  TCorvaneForm& Again = Start();
  EXPECT_EQ(Again.frameGeometry(), Placed);
  EXPECT_EQ(Again.Panel1->height(), HexHeight);

  // Maximized, the normal frame is stored, not the screen's.
  Again.setWindowState(Qt::WindowMaximized);
  QCoreApplication::processEvents();
  Again.close();
  EXPECT_EQ(StoredSetting("WindowState").toString(), "2");
  EXPECT_EQ(StoredSetting("FormTop").toString(), QString::number(Placed.y()));
  EXPECT_EQ(StoredSetting("FormWidth").toString(), QString::number(Placed.width()));

  // Off every screen, a column of width 0 and a pane larger than the window: brought back.
  WriteSetting("WindowState", 0);
  WriteSetting("FormLeft", -5000);
  WriteSetting("OffsetColWidth", 0);
  WriteSetting("HexPaneHeight", 5000);
  TCorvaneForm& Mended = Start();
  const QRect Screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_TRUE(Screen.contains(Mended.frameGeometry())) << Mended.frameGeometry().x();
  EXPECT_GT(Mended.ListView1->columnWidth(0), 40);
  EXPECT_GE(Mended.ListView1->height(), Mended.ListView1->minimumHeight());
  EXPECT_LT(Mended.Panel1->height(), Mended.height());
}

TEST_F(CorvaneForm, AtTheirSmallestTheWindowAndTheCheckReportKeepFourLinesAndWholeNodes) {
  const TTempFile File(DamagedSample(), ".ac3");
  TCorvaneForm& Form = Start(File.Path());
  Form.resize(1, 1);
  QCoreApplication::processEvents();
  // The columns are wider than the pane then: the list's sideways scroll bar takes no row.
  ASSERT_TRUE(Form.ListView1->horizontalScrollBar()->isVisible());
  EXPECT_GE(Form.ListView1->FullyVisibleRows(), 4);
  EXPECT_GE(Rows(), 4);
  // The tree's nodes are whole, the pane scrolling sideways to their values.
  const QString Syncword = TreeChild(TreeChild(TreeRoot(), "syncinfo()"), "syncword").data().toString();
  EXPECT_GE(Form.TreeView1->columnWidth(0), QFontMetrics(Form.TreeView1->font()).horizontalAdvance(Syncword));
  EXPECT_TRUE(Form.TreeView1->horizontalScrollBar()->isVisible());

  Form.CheckStream1->trigger();
  TStreamCheckWindow& Window = *Form.CheckWindow();
  Window.resize(1, 1);
  QCoreApplication::processEvents();
  ASSERT_TRUE(Window.ListView1->horizontalScrollBar()->isVisible());
  EXPECT_GE(Window.ListView1->viewport()->height(), 4 * Window.ListView1->sizeHintForRow(0));
  EXPECT_GE(Window.Memo1->viewport()->height(), 4 * Window.Memo1->fontMetrics().lineSpacing());
}

TEST_F(CorvaneForm, RecentFilesAreKeptAndAMissingOneIsTakenOffWhenChosen) {
  const TTempFile First(SampleBytes(), ".ac3");
  auto Second = std::make_unique<TTempFile>(SampleBytes(), ".ec3");
  TCorvaneForm& Form = Start();
  ASSERT_TRUE(Form.OpenFile(First.Path()));
  ASSERT_TRUE(Form.OpenFile(Second->Path()));
  ASSERT_EQ(Form.RecentFiles1->actions().size(), 2);
  EXPECT_EQ(Form.RecentFiles1->actions()[0]->text(), "&1 " + PathToQString(Second->Path()));
  Form.close();

  const std::filesystem::path Gone = Second->Path();
  Second.reset();
  TCorvaneForm& Again = Start();
  ASSERT_EQ(Again.RecentFiles1->actions().size(), 2);
  Again.RecentFiles1->actions()[1]->trigger();
  EXPECT_EQ(Again.windowTitle(), "Corvane(" + PathToQString(First.Path()) + ")");
  EXPECT_EQ(Again.RecentFiles1->actions()[0]->text(), "&1 " + PathToQString(First.Path()));
  FAsked.clear();
  Again.RecentFiles1->actions()[1]->trigger();
  ASSERT_EQ(FAsked.size(), 1u);
  EXPECT_EQ(FAsked[0].Text, "The file " + PathToQString(Gone) + " no longer exists. It was taken off the recent files.");
  EXPECT_EQ(Again.RecentFiles1->actions().size(), 1);
}

TEST_F(CorvaneForm, CtrlCCopiesTheSelectedRowAndCtrlWheelOverTheHexPaneStaysThere) {
  TCorvaneForm& Form = Start(SamplePath());
  Form.ListView1->SelectRow(1);
  QTest::keyClick(Form.ListView1, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "0x0000000000000600, 1536, 1536, 48000 Hz, 384 kbps, \n");
  // In the tree, the selected node with the nodes under it.
  const QModelIndex Syncinfo = Form.TreeView1->model()->index(0, 0, Form.TreeView1->model()->index(0, 0));
  Form.TreeView1->setCurrentIndex(Syncinfo);
  QTest::keyClick(Form.TreeView1, Qt::Key_C, Qt::ControlModifier);
  const QStringList Copied = QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(Copied.size(), 5);
  EXPECT_EQ(Copied[0].trimmed(), "syncinfo()");
  EXPECT_TRUE(Copied[1].contains("syncword")) << Copied[1].toStdString();

  // Ctrl+wheel over the hex pane pages it down; releasing Ctrl in the list leaves it there.
  QTest::mouseClick(Form.ListView1->viewport(), Qt::LeftButton, {},
                    Form.ListView1->visualRect(Form.ListView1->model()->index(0, 0)).center());
  const int64_t Shown = Form.HexView()->LastRefreshOffset();
  Wheel(Form.Memo1->viewport(), -120, Qt::ControlModifier);
  const int64_t Paged = Form.HexView()->LastRefreshOffset();
  EXPECT_GT(Paged, Shown);
  Form.ListView1->setFocus();
  QTest::keyRelease(Form.ListView1, Qt::Key_Control);
  EXPECT_EQ(Form.HexView()->LastRefreshOffset(), Paged);
}

TEST_F(CorvaneForm, ADraggedThumbMovesTheListLive) {
  TCorvaneForm& Form = Start(SamplePath());
  QScrollBar& Bar = *Form.ScrollBar1;
  Bar.setSliderDown(true);
  Bar.setSliderPosition(500);  // byte 50,000, as a drag reports it
  EXPECT_TRUE(WaitUntil([&] { return Cell(0, 0) == OffsetColumn(33 * SampleFrameSize); }));
  EXPECT_EQ(Bar.sliderPosition(), 500) << "the thumb stays under the mouse";
  Bar.setSliderDown(false);
}

TEST_F(CorvaneForm, MenusHaveAccessKeysAndTheToolsShortcuts) {
  TCorvaneForm& Form = Start();
  for (QAction* Menu : Form.menuBar()->actions()) EXPECT_TRUE(Menu->text().contains('&')) << Menu->text().toStdString();
  EXPECT_EQ(Form.HexEditSelectedFrame1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
  EXPECT_EQ(Form.CheckStream1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_K));
}

// Under a locale with a decimal comma the window's numbers read as everywhere else.
TEST_F(CorvaneForm, NumbersDoNotFollowACommaLocale) {
  const QLocale Previous;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  TCorvaneForm& Form = Start(SamplePath());
  EXPECT_TRUE(Form.StatusLabel->text().startsWith("AC-3 | 48000 Hz | 241,152 bytes | first frame at 0.0 %"))
      << Form.StatusLabel->text().toStdString();
  Form.FAskOffset = [](QWidget*, const QString&) -> std::optional<QString> { return QString("2150400000"); };
  Form.GoToOffset1->trigger();
  ASSERT_EQ(FAsked.size(), 1u);
  EXPECT_EQ(FAsked[0].Text, "Offset 2,150,400,000 is past the end of the file, which has 241,152 bytes.");
  QLocale::setDefault(Previous);
}

// A server that takes the update request and never answers: closing returns at once.
TEST_F(CorvaneForm, QuitNeverWaitsForAHangingUpdateRequest) {
  TLoopbackHttpServer Silent({}, /*Silent=*/true);
  const std::u16string Before = SetUpdateServerAddress(Silent.Address().toStdU16String());
  WriteSetting("CheckForUpdates", 1);
  TCorvaneForm& Form = Start();
  ASSERT_TRUE(WaitUntil([&] { return !Silent.Requests().isEmpty(); }));
  QElapsedTimer Closing;
  Closing.start();
  Form.close();
  const qint64 Took = Closing.elapsed();
  // The worker sees the stop within milliseconds; the bound leaves room for the sanitizers.
  EXPECT_LT(Took, 500);
  std::printf("closing with a hanging update request took %lld ms\n", static_cast<long long>(Took));
  SetUpdateServerAddress(Before);
}

}  // namespace
}  // namespace corvane
