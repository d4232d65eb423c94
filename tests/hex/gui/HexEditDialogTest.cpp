#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "analysis/AC3Crc.h"
#include "analysis/AC3PlusUtils.h"
#include "analysis/AC3Utils.h"
#include "core/FileStream.h"
#include "core/ODSUtls.h"
#include "core/SafeWrite.h"
#include "core/StringUtils.h"
#include "hex/HexEditUtil.h"
#include "hex/HexTestFiles.h"
#include "hex/gui/QtPrinters.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace corvane {
namespace {

using test::FiveGiB;
using test::PatternBytes;
using test::TTempFile;

const QString DiscardText = QString::fromStdU16String(std::u16string(DiscardEditsQuestion));
const QString ConfirmText =
    "This action will permanently change the file content. Are you sure you want to save all changes?";

QString Q(const std::u16string& Text) { return QString::fromUtf16(Text.data(), static_cast<qsizetype>(Text.size())); }

QString CellText(const THexEditForm& Form, int Column, int Row) {
  const QTableWidgetItem* Item = Form.StringGrid1->item(Row - 1, Column);
  return Item ? Item->text() : QString("<no item>");
}

THexCell Current(const THexEditForm& Form) {
  return {Form.StringGrid1->currentColumn(), Form.StringGrid1->currentRow() + 1};
}

QRect CellRect(const THexEditForm& Form, int Column, int Row) {
  return Form.StringGrid1->visualRect(Form.StringGrid1->model()->index(Row - 1, Column));
}

// A pixel of the cell away from its text.
QColor CellBackground(const THexEditForm& Form, int Column, int Row) {
  const QImage Image = Form.StringGrid1->viewport()->grab().toImage();
  return Image.pixelColor(CellRect(Form, Column, Row).bottomRight() - QPoint(3, 3));
}

void Click(const THexEditForm& Form, int Column, int Row) {
  QTest::mouseClick(Form.StringGrid1->viewport(), Qt::LeftButton, {}, CellRect(Form, Column, Row).center());
}

// Types into the current cell as a user would (the first key opens the editor), then Enter.
void TypeIntoCurrentCell(const THexEditForm& Form, const QString& Text) {
  QTest::keyClick(Form.StringGrid1, Text.at(0).toLatin1());
  QLineEdit* Editor = nullptr;
  for (QLineEdit* Candidate : Form.StringGrid1->viewport()->findChildren<QLineEdit*>())
    if (Candidate->isVisible()) Editor = Candidate;
  ASSERT_NE(Editor, nullptr);
  EXPECT_EQ(Editor->inputMask(), ">NN");
  for (qsizetype Index = 1; Index < Text.size(); ++Index) QTest::keyClick(Editor, Text.at(Index).toLatin1());
  QTest::keyClick(Editor, Qt::Key_Return);
}

// EditFile with Drive run on the dialog while EditFile shows it modally.
bool RunEditFile(TFileStream* Stream, int64_t Offset, int64_t Size, const std::function<void(THexEditForm&)>& Drive) {
  bool Driven = false;
  QTimer::singleShot(0, [&] {
    THexEditForm* Form = qobject_cast<THexEditForm*>(QApplication::activeModalWidget());
    if (!Form) {
      ADD_FAILURE() << "the dialog is not shown";
      if (QWidget* Modal = QApplication::activeModalWidget()) Modal->close();
      return;
    }
    Driven = true;
    Drive(*Form);
  });
  const bool Result = EditFile(Stream, u" [AC3 Frame @ 0x0000000000001234]", true, Offset, Size);
  EXPECT_TRUE(Driven);
  return Result;
}

class HexEditDialogTest : public testing::Test {
 protected:
  struct TPromptCall {
    THexEditPromptKind Kind;
    QString Text;
    bool operator==(const TPromptCall&) const = default;
  };

  void SetUp() override {
    FPrevious = SetHexEditPrompt([this](QWidget*, THexEditPromptKind Kind, const QString& Text) {
      Prompts.push_back({Kind, Text});
      return Answer;
    });
  }
  void TearDown() override { SetHexEditPrompt(std::move(FPrevious)); }

  // A dialog shown without its modal loop, so the test can drive it step by step.
  std::unique_ptr<THexEditForm> Show(TFileStream& Stream, int64_t Offset, int64_t Size) {
    auto Form = std::make_unique<THexEditForm>();
    Form->SetUp(&Stream, u" [test]", true, Offset, Size);
    Form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    return Form;
  }

  const std::vector<uint8_t> Original = PatternBytes(0x2000);
  TTempFile File{Original};
  std::vector<TPromptCall> Prompts;
  bool Answer = true;

 private:
  THexEditPrompt FPrevious;
};

TEST_F(HexEditDialogTest, OpensTheFrameLaidOutOnItsSixteenByteLines) {
  const struct {
    int64_t Offset;
    int64_t Size;
    int Rows;
    int FirstColumn;
  } Cases[] = {{0x1234, 20, 2, 5}, {0x1238, 16, 2, 9}};
  TFileStream Stream;
  ASSERT_TRUE(Stream.Open(File.Path(), TFileStream::TMode::ReadWrite));
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Offset);
    auto Form = Show(Stream, Case.Offset, Case.Size);

    EXPECT_EQ(Form->windowTitle(), "Hex Edit [test]");
    ASSERT_EQ(Form->StringGrid1->rowCount(), Case.Rows);
    ASSERT_EQ(Form->StringGrid1->columnCount(), 18);
    EXPECT_EQ(Form->StringGrid1->horizontalHeaderItem(1)->text(), "00");
    EXPECT_EQ(Form->StringGrid1->horizontalHeaderItem(16)->text(), "0F");
    EXPECT_EQ(Form->StringGrid1->columnWidth(0), 180);
    EXPECT_EQ(Form->StringGrid1->columnWidth(8), 24);
    EXPECT_EQ(Form->StringGrid1->columnWidth(17), 120);
    EXPECT_EQ(CellText(*Form, 0, 1), Q(u"0x" + IntToHex(static_cast<uint64_t>(Case.Offset & ~0xF), 16)));
    EXPECT_EQ(CellText(*Form, 0, 2), Q(u"0x" + IntToHex(static_cast<uint64_t>((Case.Offset & ~0xF) + 16), 16)));

    // Empty cells up to the first byte, then the frame's bytes in order.
    QString Row1Text(Case.FirstColumn - 1, ' ');
    QString Row2Text;
    for (int Index = 0; Index < Case.Size; ++Index) {
      const int Position = Case.FirstColumn - 1 + Index;
      const uint8_t Byte = Original[static_cast<size_t>(Case.Offset + Index)];
      EXPECT_EQ(CellText(*Form, Position % 16 + 1, Position / 16 + 1), Q(ByteToHex(Byte)));
      (Position < 16 ? Row1Text : Row2Text) += QChar(PrintableCharTable[Byte]);
    }
    for (int Column = 1; Column < Case.FirstColumn; ++Column) EXPECT_EQ(CellText(*Form, Column, 1), "");
    EXPECT_EQ(CellText(*Form, 17, 1), Row1Text);
    EXPECT_EQ(CellText(*Form, 17, 2), Row2Text);
    EXPECT_EQ(Current(*Form), (THexCell{Case.FirstColumn, 1}));
  }
}

TEST_F(HexEditDialogTest, TypedDigitsGoThroughTheMaskAndTheCellRules) {
  const struct {
    QString Typed;
    QString Shown;
    uint8_t Value;
  } Cases[] = {{"5G", "50", 0x50}, {"G5", "00", 0x00}, {"ab", "AB", 0xAB}, {"a", "A0", 0xA0}};
  TFileStream Stream;
  ASSERT_TRUE(Stream.Open(File.Path(), TFileStream::TMode::ReadWrite));
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Typed.toStdString());
    auto Form = Show(Stream, 0x1234, 20);
    TypeIntoCurrentCell(*Form, Case.Typed);

    EXPECT_EQ(Current(*Form), (THexCell{6, 1}));  // Enter moved on, tidying the cell it left
    EXPECT_EQ(CellText(*Form, 5, 1), Case.Shown);
    ASSERT_EQ(Form->Model().ChangedCells().size(), 1u);
    EXPECT_EQ(Form->Model().ChangedCells()[0].Value, Case.Value);
    EXPECT_EQ(CellText(*Form, 17, 1).at(4), QChar(PrintableCharTable[Case.Value]));
  }
}

TEST_F(HexEditDialogTest, ChangedCellIsRedUntilEditedBackToTheFileValue) {
  TFileStream Stream;
  ASSERT_TRUE(Stream.Open(File.Path(), TFileStream::TMode::ReadWrite));
  auto Form = Show(Stream, 0x1234, 20);
  const QColor Plain = CellBackground(*Form, 7, 1);
  ASSERT_NE(Plain, QColor(255, 0, 0));

  TypeIntoCurrentCell(*Form, "00");
  EXPECT_EQ(CellBackground(*Form, 5, 1), QColor(255, 0, 0));
  EXPECT_EQ(CellBackground(*Form, 7, 1), Plain);

  Click(*Form, 5, 1);
  TypeIntoCurrentCell(*Form, Q(ByteToHex(Original[0x1234])));
  EXPECT_TRUE(Form->Model().ChangedCells().empty());
  EXPECT_NE(CellBackground(*Form, 5, 1), QColor(255, 0, 0));
}

TEST_F(HexEditDialogTest, AtItsSmallestTheGridKeepsFourLinesOfBytes) {
  TFileStream Stream;
  ASSERT_TRUE(Stream.Open(File.Path(), TFileStream::TMode::ReadWrite));
  auto Form = Show(Stream, 0x100, 1536);
  Form->resize(1, 1);
  QCoreApplication::processEvents();
  ASSERT_TRUE(Form->StringGrid1->horizontalScrollBar()->isVisible());
  EXPECT_GE(Form->StringGrid1->viewport()->height(), 4 * Form->StringGrid1->rowHeight(0));
}

TEST_F(HexEditDialogTest, OnlyByteCellsCanBecomeCurrentAndEnterStopsAtTheLastByte) {
  TFileStream Stream;
  ASSERT_TRUE(Stream.Open(File.Path(), TFileStream::TMode::ReadWrite));
  auto Form = Show(Stream, 0x1234, 20);
  ASSERT_EQ(Current(*Form), (THexCell{5, 1}));

  // Leading empty cells, the text column, the offsets and the cells after the frame refuse.
  for (const THexCell Cell : {THexCell{2, 1}, THexCell{4, 1}, THexCell{17, 1}, THexCell{0, 2}, THexCell{9, 2}}) {
    Click(*Form, Cell.Column, Cell.Row);
    EXPECT_EQ(Current(*Form), (THexCell{5, 1})) << Cell.Column << "," << Cell.Row;
  }
  QTest::keyClick(Form->StringGrid1, Qt::Key_Left);
  EXPECT_EQ(Current(*Form), (THexCell{5, 1}));

  Click(*Form, 16, 1);
  QTest::keyClick(Form->StringGrid1, Qt::Key_Right);
  EXPECT_EQ(Current(*Form), (THexCell{16, 1}));
  QTest::keyClick(Form->StringGrid1, Qt::Key_Return);
  EXPECT_EQ(Current(*Form), (THexCell{1, 2}));

  Click(*Form, 8, 2);
  ASSERT_EQ(Current(*Form), (THexCell{8, 2}));
  QTest::keyClick(Form->StringGrid1, Qt::Key_Return);
  EXPECT_EQ(Current(*Form), (THexCell{8, 2}));
  TypeIntoCurrentCell(*Form, "7");
  EXPECT_EQ(Current(*Form), (THexCell{8, 2}));
  EXPECT_EQ(CellText(*Form, 8, 2), "7 ");  // tidied only when left
  Click(*Form, 7, 2);
  EXPECT_EQ(CellText(*Form, 8, 2), "70");
}

TEST_F(HexEditDialogTest, EditFileSavesExactlyTheChangedBytes) {
  TFileStream Stream;
  ASSERT_TRUE(Stream.Open(File.Path(), TFileStream::TMode::ReadWrite));
  const bool Saved = RunEditFile(&Stream, 0x1234, 20, [](THexEditForm& Form) {
    EXPECT_EQ(Form.windowTitle(), "Hex Edit [AC3 Frame @ 0x0000000000001234]");
    TypeIntoCurrentCell(Form, "00");  // 0x1234
    Click(Form, 16, 1);
    TypeIntoCurrentCell(Form, "FF");  // 0x123F
    Click(Form, 8, 2);
    TypeIntoCurrentCell(Form, "5A");  // 0x1247, the last byte
    Form.bbtnOK->click();
  });

  EXPECT_TRUE(Saved);
  EXPECT_EQ(Prompts, (std::vector<TPromptCall>{{THexEditPromptKind::Confirm, ConfirmText}}));
  std::vector<uint8_t> Expected = Original;
  Expected[0x1234] = 0x00;
  Expected[0x123F] = 0xFF;
  Expected[0x1247] = 0x5A;
  EXPECT_EQ(File.ReadAll(), Expected);
  EXPECT_TRUE(Stream.IsOpen());  // the caller's stream is left to the caller
}

TEST_F(HexEditDialogTest, EditFileEndingsThatWriteNothing) {
  const struct {
    const char* Name;
    bool Edit;
    bool Answer;
    bool PressSave;
    bool Result;
    std::vector<TPromptCall> Prompts;
  } Cases[] = {
      {"cancel after an edit, discarded", true, true, false, false, {{THexEditPromptKind::Confirm, DiscardText}}},
      {"save without changes", false, true, true, true, {{THexEditPromptKind::Information, "No changes to be saved."}}},
      {"save answered no", true, false, true, true, {{THexEditPromptKind::Confirm, ConfirmText}}},
  };
  TFileStream Stream;
  ASSERT_TRUE(Stream.Open(File.Path(), TFileStream::TMode::ReadWrite));
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Prompts.clear();
    Answer = Case.Answer;
    const bool Result = RunEditFile(&Stream, 0x1234, 20, [&](THexEditForm& Form) {
      if (Case.Edit) TypeIntoCurrentCell(Form, "00");
      (Case.PressSave ? Form.bbtnOK : Form.bbtnCancel)->click();
    });
    EXPECT_EQ(Result, Case.Result);
    EXPECT_EQ(Prompts, Case.Prompts);
    EXPECT_EQ(File.ReadAll(), Original);
  }
}

// Escape, Cancel and the title bar's button all close without saving: with unsaved edits only
// after the user agreed to lose them; without edits at once.
TEST_F(HexEditDialogTest, ClosingWithUnsavedEditsAsksFirst) {
  TFileStream Stream;
  ASSERT_TRUE(Stream.Open(File.Path(), TFileStream::TMode::ReadWrite));
  const std::vector<std::pair<const char*, std::function<void(THexEditForm&)>>> Ways = {
      {"Escape", [](THexEditForm& Form) { QTest::keyClick(&Form, Qt::Key_Escape); }},
      {"Cancel", [](THexEditForm& Form) { Form.bbtnCancel->click(); }},
      {"title bar", [](THexEditForm& Form) { Form.close(); }},
  };
  for (const auto& [Way, Close] : Ways) {
    SCOPED_TRACE(Way);
    const auto Form = Show(Stream, 0x1234, 20);
    Prompts.clear();
    Close(*Form);
    EXPECT_FALSE(Form->isVisible()) << "no edits: closed without a question";
    EXPECT_TRUE(Prompts.empty());

    const auto Edited = Show(Stream, 0x1234, 20);
    TypeIntoCurrentCell(*Edited, "00");
    Answer = false;
    Close(*Edited);
    EXPECT_TRUE(Edited->isVisible()) << "No keeps the dialog and its edits";
    EXPECT_EQ(Prompts, (std::vector<TPromptCall>{{THexEditPromptKind::Confirm, DiscardText}}));
    EXPECT_TRUE(Edited->Model().HasUnsavedEdits());
    Answer = true;
    Close(*Edited);
    EXPECT_FALSE(Edited->isVisible());
    EXPECT_EQ(Edited->result(), QDialog::Rejected);
    EXPECT_EQ(File.ReadAll(), Original);
  }
}

TEST_F(HexEditDialogTest, FailedWriteIsToldToTheUserAndEditFileAnswersFalse) {
  TFileStream Stream;
  ASSERT_TRUE(Stream.Open(File.Path(), TFileStream::TMode::Read));
  TDebugCapture Capture;
  const bool Result = RunEditFile(&Stream, 0x1234, 20, [](THexEditForm& Form) {
    TypeIntoCurrentCell(Form, "00");
    Form.bbtnOK->click();
  });

  EXPECT_FALSE(Result);
  EXPECT_EQ(Prompts, (std::vector<TPromptCall>{
                         {THexEditPromptKind::Confirm, ConfirmText},
                         {THexEditPromptKind::Error,
                          "The changes could not be written to the file: the file is not open for writing."}}));
  EXPECT_EQ(Capture.Lines(), std::vector<std::u16string>{u"nox: Error in THexEditForm.SaveChanges - the file is not "
                                                         u"open for writing"});
  EXPECT_EQ(File.ReadAll(), Original);
}

// A frame among other bytes at 0x1234, edited in its byte At to Value and saved with the repair
// box as the case leaves it.
TEST_F(HexEditDialogTest, RepairOnSaveWritesTheFrameCrcWordsAfterTheEditedBytes) {
  const auto FirstFrame = [](const char* Name, bool EAC3) {
    const std::vector<uint8_t> Stream = test::ReadTestFile(test::TestDataPath(Name));
    const int32_t Size = EAC3 ? AC3PlusCodedFrameSize(Stream.data()) : AC3CodedFrameSize(Stream.data());
    return std::vector<uint8_t>(Stream.begin(), Stream.begin() + Size);
  };
  const std::vector<uint8_t> AC3 = FirstFrame("ac3_48k_51.ac3", false);
  const std::vector<uint8_t> EAC3 = FirstFrame("eac3_stereo_48k.eac3", true);
  const QString NoWholeFrame = "The frame's CRC was not repaired: the edited bytes no longer hold a whole frame.";
  const struct {
    const char* Name;
    const std::vector<uint8_t>& Frame;
    size_t At;
    uint8_t Value;
    bool Untick;
    bool Passes;  // the frame passes its CRCs after the save
    std::vector<TPromptCall> Prompts;
  } Cases[] = {
      {"AC-3 dialnorm", AC3, 6, 0x3C, false, true, {{THexEditPromptKind::Confirm, ConfirmText}}},
      {"AC-3 with the box unticked", AC3, 6, 0x3C, true, false, {{THexEditPromptKind::Confirm, ConfirmText}}},
      {"E-AC-3 payload", EAC3, 100, 0x00, false, true, {{THexEditPromptKind::Confirm, ConfirmText}}},
      {"AC-3 size code edited to a reserved one", AC3, 4, 0x3F, false, false,
       {{THexEditPromptKind::Confirm, ConfirmText}, {THexEditPromptKind::Information, NoWholeFrame}}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Prompts.clear();
    std::vector<uint8_t> Before = Original;
    std::copy(Case.Frame.begin(), Case.Frame.end(), Before.begin() + 0x1234);
    const TTempFile FrameFile(Before);
    TFileStream Stream;
    ASSERT_TRUE(Stream.Open(FrameFile.Path(), TFileStream::TMode::ReadWrite));
    // The row's length may take in bytes after the frame; the frame is whole all the same.
    const auto Size = static_cast<int64_t>(Case.Frame.size()) + 10;
    const bool Saved = RunEditFile(&Stream, 0x1234, Size, [&](THexEditForm& Form) {
      EXPECT_TRUE(Form.cbRepairCrc->isEnabled());
      EXPECT_TRUE(Form.cbRepairCrc->isChecked());
      if (Case.Untick) Form.cbRepairCrc->click();
      const int Position = 4 + static_cast<int>(Case.At);
      Click(Form, Position % 16 + 1, Position / 16 + 1);
      TypeIntoCurrentCell(Form, QString("%1").arg(Case.Value, 2, 16, QChar('0')).toUpper());
      Form.bbtnOK->click();
    });
    EXPECT_TRUE(Saved);
    EXPECT_EQ(Prompts, Case.Prompts);

    const std::vector<uint8_t> After = FrameFile.ReadAll();
    std::vector<uint8_t> Edited = Before;
    Edited[0x1234 + Case.At] = Case.Value;
    const uint8_t* Frame = After.data() + 0x1234;
    const auto FrameSize = static_cast<int32_t>(Case.Frame.size());
    EXPECT_EQ(CheckAnyFrameCrc(Frame, FrameSize).Passed(), Case.Passes);
    // Besides the edited byte, only the CRC words may differ, and only when repaired.
    const bool Repaired = Case.Passes;
    const bool Plus = &Case.Frame == &EAC3;
    for (size_t Byte = 0; Byte < After.size(); ++Byte) {
      const size_t InFrame = Byte - 0x1234;
      const bool CrcWord = Byte >= 0x1234 && InFrame < Case.Frame.size() &&
                           (InFrame + 2 >= Case.Frame.size() || (!Plus && (InFrame == 2 || InFrame == 3)));
      if (!(Repaired && CrcWord)) {
        ASSERT_EQ(After[Byte], Edited[Byte]) << "byte " << Byte;
      }
    }
  }

  // Bytes that hold no frame leave the box unticked, and it cannot be ticked.
  TFileStream Stream;
  ASSERT_TRUE(Stream.Open(File.Path(), TFileStream::TMode::ReadWrite));
  const auto Form = Show(Stream, 0x1234, 20);
  EXPECT_FALSE(Form->cbRepairCrc->isEnabled());
  EXPECT_FALSE(Form->cbRepairCrc->isChecked());
}

#ifndef _WIN32
// A save that was stopped while its batch went out (a torn write, its journal beside the file)
// is rolled back before the dialog reads the bytes, and the user is told.
TEST_F(HexEditDialogTest, AnUnfinishedSaveIsRolledBackBeforeTheBytesAreShown) {
  std::fflush(nullptr);
  const pid_t Child = fork();
  if (Child == 0) {
    THexEditModel Model;
    Model.Layout(0x1234, 20);
    Model.Fill(Original.data() + 0x1234, 20);
    Model.SetEditText(5, 1, u"00");
    Model.SetEditText(5, 2, u"00");
    TFileStream Stream;
    TWriteHooks Hooks;
    Hooks.Limit = [](TWriteRole Role, int64_t, int32_t Count, int&) {
      return Role == TWriteRole::Target ? Count / 2 : Count;
    };
    Hooks.Reached = [](TWriteStep Step) {
      if (Step == TWriteStep::Wrote) _exit(0);  // killed, as far as the file can tell
    };
    _exit(Stream.Open(File.Path(), TFileStream::TMode::ReadWrite) && Model.Save(Stream, false, &Hooks).Ok ? 1 : 2);
  }
  int Status = 0;
  waitpid(Child, &Status, 0);
  ASSERT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0);
  ASSERT_NE(File.ReadAll(), Original);

  TFileStream Stream;
  ASSERT_TRUE(Stream.Open(File.Path(), TFileStream::TMode::ReadWrite));
  QString Shown;
  RunEditFile(&Stream, 0x1234, 20, [&](THexEditForm& Form) {
    Shown = CellText(Form, 5, 1);
    Form.bbtnCancel->click();
  });
  EXPECT_EQ(Shown, Q(ByteToHex(Original[0x1234])));
  ASSERT_EQ(Prompts.size(), 1u);
  EXPECT_EQ(Prompts[0].Kind, THexEditPromptKind::Information);
  EXPECT_TRUE(Prompts[0].Text.startsWith("rolled back the unfinished change of an earlier write to "))
      << Prompts[0].Text.toStdString();
  EXPECT_EQ(File.ReadAll(), Original);
  EXPECT_FALSE(JournalPresent(File.Path()));
}
#endif

TEST_F(HexEditDialogTest, EditFileWithoutAStreamShowsNothing) {
  TDebugCapture Capture;
  EXPECT_FALSE(EditFile(nullptr, u"", true, 0, 16));
  TFileStream Closed;
  EXPECT_FALSE(EditFile(&Closed, u"", true, 0, 16));
  EXPECT_EQ(Capture.Lines(), (std::vector<std::u16string>{u"nox: Error in EditFile - invalid filestream.",
                                                          u"nox: Error in EditFile - invalid filestream."}));
  EXPECT_TRUE(Prompts.empty());
}

TEST(HexEditDialogLargeFileTest, FramePastFourGiBIsEditedInPlace) {
  const int64_t Offset = FiveGiB + 8;
  const auto Frame = PatternBytes(24);
  TTempFile File(FiveGiB + 0x1000, Offset, Frame);
  const THexEditPrompt Previous = SetHexEditPrompt([](QWidget*, THexEditPromptKind, const QString&) { return true; });

  TFileStream Stream;
  ASSERT_TRUE(Stream.Open(File.Path(), TFileStream::TMode::ReadWrite));
  const bool Saved = RunEditFile(&Stream, Offset, 24, [&](THexEditForm& Form) {
    EXPECT_EQ(CellText(Form, 0, 1), "0x0000000140000000");
    EXPECT_EQ(CellText(Form, 0, 2), "0x0000000140000010");
    EXPECT_EQ(CellText(Form, 9, 1), Q(ByteToHex(Frame[0])));
    Click(Form, 1, 2);
    TypeIntoCurrentCell(Form, "C3");
    Form.bbtnOK->click();
  });
  EXPECT_TRUE(Saved);
  SetHexEditPrompt(Previous);

  std::vector<uint8_t> Expected(0x30, 0);
  std::copy(Frame.begin(), Frame.end(), Expected.begin() + 8);
  Expected[0x10] = 0xC3;
  EXPECT_EQ(File.ReadAt(FiveGiB, 0x30), Expected);
  EXPECT_EQ(File.Size(), FiveGiB + 0x1000);
}

}  // namespace
}  // namespace corvane
