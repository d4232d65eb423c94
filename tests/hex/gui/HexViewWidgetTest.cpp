#include <gtest/gtest.h>

#include <QFontInfo>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <vector>

#include "core/ODSUtls.h"
#include "hex/HexTestFiles.h"
#include "hex/HexViewUtils_RichEdit.h"
#include "hex/gui/QtPrinters.h"

namespace corvane {
namespace {

using test::FiveGiB;
using test::PatternBytes;
using test::TTempFile;

// Positions a..b inclusive.
std::vector<int> Span(int First, int Last) {
  std::vector<int> Positions;
  for (int Position = First; Position <= Last; ++Position) Positions.push_back(Position);
  return Positions;
}

std::vector<int> Join(std::initializer_list<std::vector<int>> Parts) {
  std::vector<int> All;
  for (const auto& Part : Parts) All.insert(All.end(), Part.begin(), Part.end());
  return All;
}

// A pane with room for 10 lines (176 pixels: 176 / 16 - 1) beside its scroll bar.
class HexViewWidgetTest : public testing::Test {
 protected:
  static constexpr int PaneHeight = 176;

  void SetUp() override {
    Host.resize(840, 400);
    Edit = new QPlainTextEdit(&Host);
    Edit->setFrameShape(QFrame::NoFrame);
    Edit->setGeometry(0, 0, 800, PaneHeight);
    Bar = new QScrollBar(Qt::Vertical, &Host);
    Bar->setGeometry(800, 0, 16, PaneHeight);
    Host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Host));
    ASSERT_EQ(View.Init(Edit, Bar), HR_S_OK);
    ASSERT_EQ(Edit->viewport()->height(), PaneHeight);
  }

  QStringList Lines() const { return Edit->toPlainText().split(QLatin1Char('\n')); }
  QString FirstLineOffset() const { return Lines().front().left(18); }

  // Every character position drawn with the highlight, checking its whole appearance.
  std::vector<int> Highlighted() const {
    std::vector<int> Positions;
    for (QTextBlock Block = Edit->document()->begin(); Block.isValid(); Block = Block.next()) {
      for (auto It = Block.begin(); !It.atEnd(); ++It) {
        const QTextFragment Fragment = It.fragment();
        const QTextCharFormat Format = Fragment.charFormat();
        if (!Format.hasProperty(QTextFormat::BackgroundBrush)) continue;
        EXPECT_EQ(Format.background().color(), QColor(255, 255, 160));
        EXPECT_EQ(Format.foreground().color(), QColor(0, 0, 255));
        EXPECT_EQ(Format.fontWeight(), QFont::Bold);
        for (int Offset = 0; Offset < Fragment.length(); ++Offset) Positions.push_back(Fragment.position() + Offset);
      }
    }
    return Positions;
  }

  QWidget Host;
  QPlainTextEdit* Edit = nullptr;
  QScrollBar* Bar = nullptr;
  THexView View;
};

TEST_F(HexViewWidgetTest, ShowsASmallFileFromItsStartInAFaceOfOneAdvance) {
  std::vector<uint8_t> Bytes;
  for (int Index = 0; Index < 20; ++Index) Bytes.push_back(static_cast<uint8_t>('a' + Index));
  TTempFile File(Bytes);

  ASSERT_EQ(View.OpenFile(File.Path()), HR_S_OK);

  const QStringList Expected = {
      "0x0000000000000000   61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F 70   abcdefghijklmnop",
      "0x0000000000000010   71 72 73 74" + QString(39, QLatin1Char(' ')) + "qrst",
  };
  EXPECT_EQ(Lines(), Expected);
  EXPECT_EQ(Expected[0].size(), 87);
  EXPECT_EQ(View.LastRefreshOffset(), 0);
  EXPECT_EQ(Bar->value(), 0);
  EXPECT_TRUE(Edit->isReadOnly());
  // The columns line up: every character a dump uses has one advance, whatever faces the machine
  // has (a fixed-pitch flag is not enough: some faces of one advance lack it).
  EXPECT_TRUE(HasOneAdvance(Edit->font())) << QFontInfo(Edit->font()).family().toStdString();
  EXPECT_EQ(Edit->font().pointSize(), 10);
}

TEST_F(HexViewWidgetTest, HighlightsTheSelectedBytesInHexAndText) {
  TTempFile File(PatternBytes(62));
  ASSERT_EQ(View.OpenFile(File.Path()), HR_S_OK);

  View.SetSelection(5, 3);
  EXPECT_EQ(Highlighted(), Join({Span(36, 43), Span(76, 78)}));

  // Over two lines: the first line's tail, then the second line's head from column 0.
  View.SetSelection(12, 8);
  EXPECT_EQ(Highlighted(), Join({Span(57, 67), Span(83, 86), Span(88 + 21, 88 + 31), Span(88 + 71, 88 + 74)}));

  // Running past the end of the short last line: the text highlight stops at the file's last byte.
  View.SetSelection(60, 100);
  EXPECT_EQ(Highlighted(), Join({Span(3 * 88 + 57, 3 * 88 + 67), Span(3 * 88 + 83, 3 * 88 + 84)}));

  for (int64_t Length : {0, -3}) {
    View.SetSelection(5, Length);
    EXPECT_TRUE(Highlighted().empty()) << Length;
  }
  View.SetSelection(5, 3);
  View.ClearSelection();
  EXPECT_TRUE(Highlighted().empty());
  EXPECT_EQ(View.LastRefreshOffset(), 0);  // the highlight never moves the position
}

TEST_F(HexViewWidgetTest, KeysMoveThroughTheFileAndShiftIsLeftToTheControl) {
  TTempFile File(PatternBytes(1000));
  ASSERT_EQ(View.OpenFile(File.Path()), HR_S_OK);
  View.RefreshFileData(0x25);
  EXPECT_EQ(FirstLineOffset(), "0x0000000000000020");

  const struct {
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
    int64_t Offset;
    const char* FirstLine;
  } Steps[] = {
      {Qt::Key_Down, Qt::NoModifier, 0x35, "0x0000000000000030"},
      {Qt::Key_Down, Qt::ShiftModifier, 0x35, "0x0000000000000030"},
      {Qt::Key_Up, Qt::NoModifier, 0x25, "0x0000000000000020"},
      {Qt::Key_Up, Qt::NoModifier, 0x15, "0x0000000000000010"},
      {Qt::Key_Up, Qt::NoModifier, 0x05, "0x0000000000000000"},
      {Qt::Key_Up, Qt::NoModifier, 0, "0x0000000000000000"},
      {Qt::Key_PageDown, Qt::NoModifier, 176, "0x00000000000000B0"},
      {Qt::Key_End, Qt::NoModifier, 999, "0x00000000000003E0"},
      {Qt::Key_Down, Qt::NoModifier, 999, "0x00000000000003E0"},
      {Qt::Key_PageUp, Qt::NoModifier, 823, "0x0000000000000330"},
      {Qt::Key_Home, Qt::NoModifier, 0, "0x0000000000000000"},
  };
  for (const auto& Step : Steps) {
    SCOPED_TRACE(Step.FirstLine);
    QTest::keyClick(Edit, Step.Key, Step.Modifiers);
    EXPECT_EQ(View.LastRefreshOffset(), Step.Offset);
    EXPECT_EQ(FirstLineOffset(), Step.FirstLine);
    EXPECT_EQ(Bar->value(), static_cast<int>(Step.Offset * 100000 / 1000));
    EXPECT_EQ(Edit->verticalScrollBar()->value(), 0);  // the dump stays at the top of the pane
  }

  QTest::keyClick(Edit, Qt::Key_End);
  EXPECT_EQ(Lines().size(), 1);  // the last line stands alone at the top
}

TEST_F(HexViewWidgetTest, DumpStaysAtTheTopOfThePaneWhenItsLinesAreTallerThanAssumed) {
  TTempFile File(PatternBytes(1000));
  ASSERT_EQ(View.OpenFile(File.Path()), HR_S_OK);
  QFont Large = Edit->font();
  Large.setPointSize(24);  // ten lines no longer fit in the pane
  Edit->setFont(Large);
  View.RefreshFileData(16);

  for (Qt::Key Key : {Qt::Key_PageDown, Qt::Key_Down, Qt::Key_PageDown}) {
    QTest::keyClick(Edit, Key);
    EXPECT_EQ(Edit->verticalScrollBar()->value(), 0) << Key;  // the first shown line
  }
  EXPECT_EQ(View.LastRefreshOffset(), 16 + 176 + 16 + 176);
}

TEST_F(HexViewWidgetTest, ScrollBarActionsMoveTheViewAndTheThumb) {
  TTempFile File(PatternBytes(1000));
  ASSERT_EQ(View.OpenFile(File.Path()), HR_S_OK);

  const struct {
    QAbstractSlider::SliderAction Action;
    int64_t Offset;
    int Thumb;
  } Steps[] = {
      {QAbstractSlider::SliderSingleStepAdd, 16, 1600},
      {QAbstractSlider::SliderPageStepAdd, 192, 19200},
      {QAbstractSlider::SliderSingleStepSub, 176, 17600},
      {QAbstractSlider::SliderPageStepSub, 0, 0},
      {QAbstractSlider::SliderPageStepSub, 0, 0},
      {QAbstractSlider::SliderPageStepAdd, 176, 17600},
      {QAbstractSlider::SliderToMinimum, 0, 0},
  };
  for (const auto& Step : Steps) {
    SCOPED_TRACE(Step.Action);
    Bar->triggerAction(Step.Action);
    EXPECT_EQ(View.LastRefreshOffset(), Step.Offset);
    EXPECT_EQ(Bar->value(), Step.Thumb);
  }

  // Dragging shows the offset under the thumb and leaves the thumb where it was dragged.
  Bar->setSliderPosition(50001);
  EXPECT_EQ(View.LastRefreshOffset(), 500);
  EXPECT_EQ(FirstLineOffset(), "0x00000000000001F0");
  EXPECT_EQ(Bar->value(), 50001);
  Bar->setSliderPosition(100000);
  EXPECT_EQ(View.LastRefreshOffset(), 999);
  EXPECT_EQ(Bar->value(), 100000);
}

TEST_F(HexViewWidgetTest, FileLargerThanFourGiBIsShownAtItsEnd) {
  const int64_t Size = FiveGiB + 20;
  std::vector<uint8_t> Tail;
  for (int Index = 0; Index < 36; ++Index) Tail.push_back(static_cast<uint8_t>('A' + Index % 26));
  TTempFile File(Size, Size - 36, Tail);
  ASSERT_EQ(View.OpenFile(File.Path()), HR_S_OK);

  QTest::keyClick(Edit, Qt::Key_End);
  EXPECT_EQ(View.LastRefreshOffset(), Size - 1);
  EXPECT_EQ(Lines(), QStringList{"0x0000000140000010   47 48 49 4A" + QString(39, QLatin1Char(' ')) + "GHIJ"});
  EXPECT_EQ(Bar->value(), 99999);

  QTest::keyClick(Edit, Qt::Key_PageUp);
  EXPECT_EQ(View.LastRefreshOffset(), Size - 1 - 176);
  ASSERT_EQ(Lines().size(), 10);
  EXPECT_EQ(Lines().front().left(18), "0x000000013FFFFF60");
  EXPECT_EQ(Lines().back().left(18), "0x000000013FFFFFF0");
}

TEST_F(HexViewWidgetTest, EmptyFileOpensButNothingIsEverDrawn) {
  TTempFile File(std::vector<uint8_t>{});
  TDebugCapture Capture;
  ASSERT_EQ(View.OpenFile(File.Path()), HR_S_OK);
  EXPECT_TRUE(View.IsFileOpen());

  QTest::keyClick(Edit, Qt::Key_End);
  QTest::keyClick(Edit, Qt::Key_Down);
  Bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  Bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  View.SetSelection(0, 10);

  EXPECT_EQ(Edit->toPlainText(), "");
  EXPECT_EQ(Bar->value(), 0);
  EXPECT_TRUE(Capture.Lines().empty());
}

TEST_F(HexViewWidgetTest, TheOffsetAlreadyShownIsNotReadAgainButASelectionRedraws) {
  TTempFile File(PatternBytes(1000));
  ASSERT_EQ(View.OpenFile(File.Path()), HR_S_OK);
  View.RefreshFileData(0x25);
  const QString Shown = Edit->toPlainText();

  Edit->setPlainText("stale");
  View.RefreshFileData(0x25);
  EXPECT_EQ(Edit->toPlainText(), "stale");
  View.RefreshFileData(1000);  // at the end: no change either
  EXPECT_EQ(Edit->toPlainText(), "stale");

  View.SetSelection(0x25, 1);
  EXPECT_EQ(Edit->toPlainText(), Shown);
  EXPECT_EQ(View.LastRefreshOffset(), 0x25);
}

TEST_F(HexViewWidgetTest, LinesShownFollowThePaneHeight) {
  TTempFile File(PatternBytes(20000));
  ASSERT_EQ(View.OpenFile(File.Path()), HR_S_OK);
  EXPECT_EQ(Lines().size(), 10);

  Edit->setGeometry(0, 0, 800, 20);  // less than two lines high still shows one
  View.RefreshFileData(16);
  EXPECT_EQ(Lines().size(), 1);
}

TEST_F(HexViewWidgetTest, ClosedOrMissingFileLeavesThePaneEmptyAndIgnoresInput) {
  TTempFile File(PatternBytes(100));
  ASSERT_EQ(View.OpenFile(File.Path()), HR_S_OK);
  ASSERT_EQ(View.CloseFile(), HR_S_OK);
  EXPECT_EQ(Edit->toPlainText(), "");
  QTest::keyClick(Edit, Qt::Key_Down);
  Bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(Edit->toPlainText(), "");
  EXPECT_EQ(View.GoOneLineDown(), 0);

  EXPECT_EQ(View.OpenFile(File.Path().string() + ".missing"), HR_S_OK);
  EXPECT_FALSE(View.IsFileOpen());
  EXPECT_EQ(Edit->toPlainText(), "");
}

TEST_F(HexViewWidgetTest, ANewViewOnTheSameControlsReplacesTheOldOnesHandlers) {
  TTempFile File(PatternBytes(1000));
  ASSERT_EQ(View.OpenFile(File.Path()), HR_S_OK);

  THexView Second;
  ASSERT_EQ(Second.Init(Edit, Bar), HR_S_OK);
  ASSERT_EQ(Second.OpenFile(File.Path()), HR_S_OK);
  QTest::keyClick(Edit, Qt::Key_Down);
  Bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);

  EXPECT_EQ(Second.LastRefreshOffset(), 32);
  EXPECT_EQ(View.LastRefreshOffset(), 0);
}

}  // namespace
}  // namespace corvane
