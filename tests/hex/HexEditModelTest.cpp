#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/AC3Crc.h"
#include "core/FileStream.h"
#include "core/ODSUtls.h"
#include "core/SafeWrite.h"
#include "core/StringUtils.h"
#include "hex/HexEditModel.h"
#include "hex/HexTestFiles.h"

namespace corvane {
namespace {

using test::FiveGiB;
using test::PatternBytes;
using test::TTempFile;

// A model over Size bytes at Offset, filled from Bytes (the frame's own bytes).
THexEditModel Loaded(int64_t Offset, const std::vector<uint8_t>& Bytes) {
  THexEditModel Model;
  EXPECT_TRUE(Model.Layout(Offset, static_cast<int64_t>(Bytes.size())));
  Model.Fill(Bytes.data(), static_cast<int32_t>(Bytes.size()));
  return Model;
}

std::u16string TextOf(const std::vector<uint8_t>& Bytes, size_t From, size_t Count) {
  std::u16string Text;
  for (size_t Index = From; Index < From + Count; ++Index) Text += PrintableCharTable[Bytes[Index]];
  return Text;
}

TEST(HexEditModelTest, FrameInsideALineStartsAfterEmptyLeadingCells) {
  const auto Bytes = PatternBytes(20);
  const THexEditModel Model = Loaded(0x1234, Bytes);

  EXPECT_EQ(Model.LeadingCells(), 4);
  EXPECT_EQ(Model.LineStart(), 0x1230);
  ASSERT_EQ(Model.RowCount(), 3);
  EXPECT_EQ(Model.Cell(0, 1), u"0x0000000000001230");
  EXPECT_EQ(Model.Cell(0, 2), u"0x0000000000001240");
  EXPECT_EQ(Model.Cell(1, 0), u"00");
  EXPECT_EQ(Model.Cell(16, 0), u"0F");
  for (int Column = 1; Column <= 4; ++Column) EXPECT_EQ(Model.Cell(Column, 1), u"") << Column;
  EXPECT_EQ(Model.Cell(5, 1), ByteToHex(Bytes[0]));
  EXPECT_EQ(Model.Cell(16, 1), ByteToHex(Bytes[11]));
  EXPECT_EQ(Model.Cell(1, 2), ByteToHex(Bytes[12]));
  EXPECT_EQ(Model.Cell(8, 2), ByteToHex(Bytes[19]));
  EXPECT_EQ(Model.Cell(9, 2), u"");
  EXPECT_EQ(Model.Cell(17, 1), u"    " + TextOf(Bytes, 0, 12));
  EXPECT_EQ(Model.Cell(17, 2), TextOf(Bytes, 12, 8));
  EXPECT_EQ(Model.FilePosition(5, 1), 0x1234);
  EXPECT_EQ(Model.FilePosition(8, 2), 0x1247);
}

TEST(HexEditModelTest, FrameOfOneLineSplitAcrossTwoRows) {
  const auto Bytes = PatternBytes(16);
  const THexEditModel Model = Loaded(0x1238, Bytes);

  ASSERT_EQ(Model.RowCount(), 3);
  EXPECT_EQ(Model.Cell(8, 1), u"");
  EXPECT_EQ(Model.Cell(9, 1), ByteToHex(Bytes[0]));
  EXPECT_EQ(Model.Cell(16, 1), ByteToHex(Bytes[7]));
  EXPECT_EQ(Model.Cell(1, 2), ByteToHex(Bytes[8]));
  EXPECT_EQ(Model.Cell(8, 2), ByteToHex(Bytes[15]));
  EXPECT_EQ(Model.Cell(17, 1), std::u16string(8, u' ') + TextOf(Bytes, 0, 8));
  EXPECT_EQ(Model.Cell(17, 2), TextOf(Bytes, 8, 8));
}

TEST(HexEditModelTest, ShortReadLeavesTheMissingCellsEmptyAndLayoutRefusesBadRanges) {
  const auto Bytes = PatternBytes(20);
  THexEditModel Model;
  ASSERT_TRUE(Model.Layout(0x10, 20));
  Model.Fill(Bytes.data(), 5);  // the file ended early
  EXPECT_EQ(Model.Cell(5, 1), ByteToHex(Bytes[4]));
  EXPECT_EQ(Model.Cell(6, 1), u"");
  EXPECT_FALSE(Model.SelectCell(6, 1));
  EXPECT_EQ(Model.Cell(17, 1), TextOf(Bytes, 0, 5));

  EXPECT_FALSE(Model.Layout(-1, 4));
  EXPECT_FALSE(Model.Layout(0, -4));
  EXPECT_FALSE(Model.Layout(0, int64_t{1} << 32));
  EXPECT_EQ(Model.RowCount(), 0);
}

TEST(HexEditModelTest, TypedTextIsTidiedAndRecordedAsTheValueShown) {
  const struct {
    std::u16string Typed;
    std::u16string Cell;
    uint8_t Value;
    std::u16string CellAfterLeaving;
  } Cases[] = {
      {u"5G", u"50", 0x50, u"50"},  // a non-hex second letter becomes 0
      {u"G5", u"00", 0x00, u"00"},  // a non-hex first letter zeroes the cell
      {u"ZZ", u"00", 0x00, u"00"},
      {u"ab", u"AB", 0xAB, u"AB"},
      {u"A ", u"A ", 0xA0, u"A0"},  // the blank reads as the 0 the cell shows once left
      {u" A", u" A", 0x0A, u"0A"},
      {u"", u"00", 0x00, u"00"},  // a cleared cell is zero, recorded like any edit
      {u"  ", u"00", 0x00, u"00"},
      {u" ", u"00", 0x00, u"00"},  // a lone blank is a cleared cell too, not an unselectable "  "
  };
  std::vector<uint8_t> Bytes(4, 0x11);
  for (const auto& Case : Cases) {
    SCOPED_TRACE(ToUtf8(Case.Typed));
    THexEditModel Model = Loaded(0, Bytes);
    ASSERT_TRUE(Model.SelectCell(2, 1));
    Model.SetEditText(2, 1, Case.Typed);

    EXPECT_EQ(Model.Cell(2, 1), Case.Cell);
    ASSERT_EQ(Model.ChangedCells().size(), 1u);
    EXPECT_EQ(Model.ChangedCells()[0].Value, Case.Value);
    EXPECT_EQ(Model.Cell(17, 1)[1], PrintableCharTable[Case.Value]);

    ASSERT_TRUE(Model.SelectCell(3, 1));
    EXPECT_EQ(Model.Cell(2, 1), Case.CellAfterLeaving);
  }
}

TEST(HexEditModelTest, ChangeListHoldsExactlyTheCellsThatDifferFromTheFile) {
  const auto Bytes = PatternBytes(20);
  THexEditModel Model = Loaded(0x1234, Bytes);
  const std::u16string Original = ByteToHex(Bytes[0]);

  Model.SetEditText(5, 1, u"FF");
  Model.SetEditText(1, 2, u"00");
  Model.SetEditText(5, 1, u"EE");  // a second edit updates the record in place
  ASSERT_EQ(Model.ChangedCells().size(), 2u);
  EXPECT_EQ(Model.GetChangedCellIndex(5, 1), 0);
  EXPECT_EQ(Model.ChangedCells()[0].Value, 0xEE);
  EXPECT_EQ(Model.GetChangedCellIndex(1, 2), 1);

  Model.SetEditText(5, 1, Original);  // back to what the file holds: no longer changed
  EXPECT_EQ(Model.GetChangedCellIndex(5, 1), -1);
  ASSERT_EQ(Model.ChangedCells().size(), 1u);
  EXPECT_EQ(Model.ChangedCells()[0].Row, 2);

  Model.SetEditText(6, 1, ByteToHex(Bytes[1]));  // typing the same value records nothing
  EXPECT_EQ(Model.ChangedCells().size(), 1u);

  uint8_t Value = 0;
  EXPECT_TRUE(Model.GetOriginalValue(8, 2, Value));
  EXPECT_EQ(Value, Bytes[19]);
  EXPECT_FALSE(Model.GetOriginalValue(4, 1, Value));   // leading empty cell
  EXPECT_FALSE(Model.GetOriginalValue(9, 2, Value));   // after the last byte
  EXPECT_FALSE(Model.GetOriginalValue(17, 1, Value));  // text column
  Model.SetEditText(4, 1, u"12");                      // not a byte: ignored
  EXPECT_EQ(Model.Cell(4, 1), u"");
}

TEST(HexEditModelTest, OnlyByteCellsHoldingAValueMayBecomeCurrent) {
  THexEditModel Model = Loaded(0x1234, PatternBytes(20));
  const struct {
    int32_t Column;
    int32_t Row;
    bool Allowed;
  } Cases[] = {{5, 1, true}, {16, 1, true}, {8, 2, true}, {1, 1, false}, {4, 1, false},
               {9, 2, false}, {17, 1, false}, {0, 1, false}, {5, 0, false}, {5, 3, false}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(testing::Message() << Case.Column << "," << Case.Row);
    EXPECT_EQ(Model.CanSelect(Case.Column, Case.Row), Case.Allowed);
    EXPECT_EQ(Model.SelectCell(Case.Column, Case.Row), Case.Allowed);
  }
}

TEST(HexEditModelTest, EnterMovesToTheNextByteAndStopsAtTheLast) {
  const THexEditModel Model = Loaded(0x1234, PatternBytes(20));
  const THexEditModel LineEnd = Loaded(0x10, PatternBytes(16));
  const struct {
    const THexEditModel* Grid;
    int32_t Column;
    int32_t Row;
    std::optional<THexCell> Next;
  } Cases[] = {
      {&Model, 4, 1, THexCell{5, 1}},  // where the dialog starts: the first byte
      {&Model, 5, 1, THexCell{6, 1}},
      {&Model, 16, 1, THexCell{1, 2}},
      {&Model, 7, 2, THexCell{8, 2}},
      {&Model, 8, 2, std::nullopt},  // the frame's last byte
      {&LineEnd, 0, 1, THexCell{1, 1}},
      {&LineEnd, 16, 1, std::nullopt},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(testing::Message() << Case.Column << "," << Case.Row);
    EXPECT_EQ(Case.Grid->NextCell(Case.Column, Case.Row), Case.Next);
  }
}

class HexEditSaveTest : public testing::Test {
 protected:
  const std::vector<uint8_t> Original = PatternBytes(0x100);
  TTempFile File{Original};
};

TEST_F(HexEditSaveTest, WritesExactlyTheChangedBytes) {
  THexEditModel Model = Loaded(0x34, std::vector<uint8_t>(Original.begin() + 0x34, Original.begin() + 0x5C));
  Model.SetEditText(5, 1, u"00");   // 0x34
  Model.SetEditText(16, 2, u"AB");  // 0x4F
  Model.SetEditText(12, 3, u"C ");  // 0x5B, the frame's last byte, written as shown: C0
  Model.SetEditText(6, 1, ByteToHex(Original[0x35]));

  TFileStream Stream;
  ASSERT_TRUE(Stream.Open(File.Path(), TFileStream::TMode::ReadWrite));
  const THexSaveResult Result = Model.Save(Stream, false);
  EXPECT_TRUE(Result.Ok);
  EXPECT_EQ(Result.Total, 3);
  EXPECT_EQ(Result.CrcBytes, 0);
  EXPECT_FALSE(std::filesystem::exists(JournalPath(File.Path())));

  std::vector<uint8_t> Expected = Original;
  Expected[0x34] = 0x00;
  Expected[0x4F] = 0xAB;
  Expected[0x5B] = 0xC0;
  EXPECT_EQ(File.ReadAll(), Expected);
}

TEST_F(HexEditSaveTest, ReadOnlyStreamFailsReportsAndChangesNothing) {
  THexEditModel Model = Loaded(0x40, std::vector<uint8_t>(Original.begin() + 0x40, Original.begin() + 0x50));
  Model.SetEditText(3, 1, u"00");
  Model.SetEditText(4, 1, u"00");

  TFileStream Stream;
  ASSERT_TRUE(Stream.Open(File.Path(), TFileStream::TMode::Read));
  TDebugCapture Capture;
  const THexSaveResult Result = Model.Save(Stream, false);

  EXPECT_FALSE(Result.Ok);
  EXPECT_EQ(Result.Total, 2);
  EXPECT_EQ(Capture.Lines(), std::vector<std::u16string>{u"nox: Error in THexEditForm.SaveChanges - the file is "
                                                         u"not open for writing"});
  EXPECT_EQ(File.ReadAll(), Original);
}

// The edited bytes and the frame's CRC words go out as one journalled batch: a write that fails
// at any of them leaves the file as it was, with no journal behind.
TEST_F(HexEditSaveTest, TheChangedBytesAndTheCrcWordsReachTheFileTogetherOrNotAtAll) {
  const std::vector<uint8_t> Stream = test::ReadTestFile(test::TestDataPath("ac3_48k_51.ac3"));
  const std::vector<uint8_t> Frame(Stream.begin(), Stream.begin() + 1536);
  constexpr int64_t At = 0x20;
  std::vector<uint8_t> Before = Original;
  Before.insert(Before.begin() + At, Frame.begin(), Frame.end());
  const struct {
    const char* Name;
    int64_t FailAt;  // the first file offset a write may not reach; -1: none fails
  } Cases[] = {{"every write goes out", -1}, {"the first write fails", At + 1000}, {"crc2 fails", At + 1534}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const TTempFile FrameFile(Before);
    THexEditModel Model = Loaded(At, Frame);
    Model.SetEditText(9, 63, u"3C");  // the frame's byte 1000, under crc2
    TWriteHooks Hooks;
    Hooks.Limit = [&](TWriteRole Role, int64_t Offset, int32_t Count, int& Errno) {
      Errno = ENOSPC;
      if (Role != TWriteRole::Target || Case.FailAt < 0 || Offset + Count <= Case.FailAt) return Count;
      return static_cast<int32_t>(std::max<int64_t>(Case.FailAt - Offset, 0));
    };
    TFileStream Writer;
    ASSERT_TRUE(Writer.Open(FrameFile.Path(), TFileStream::TMode::ReadWrite));
    TDebugCapture Capture;
    const THexSaveResult Result = Model.Save(Writer, true, &Hooks);
    Writer.Close();
    const std::vector<uint8_t> After = FrameFile.ReadAll();
    EXPECT_FALSE(std::filesystem::exists(JournalPath(FrameFile.Path())));
    if (Case.FailAt < 0) {
      EXPECT_TRUE(Result.Ok);
      EXPECT_EQ(Result.CrcBytes, 2);
      EXPECT_EQ(After[At + 1000], 0x3C);
      EXPECT_TRUE(CheckAC3FrameCrc(After.data() + At, 1536).Passed());
    } else {
      EXPECT_FALSE(Result.Ok);
      EXPECT_NE(Result.Error.find(u"No space left on device"), std::u16string::npos) << ToUtf8(Result.Error);
      EXPECT_NE(Result.Error.find(u"the batch was undone"), std::u16string::npos) << ToUtf8(Result.Error);
      EXPECT_EQ(After, Before);
    }
  }
}

TEST(HexEditModelLargeFileTest, FramePastFourGiBIsShownAndSavedAtItsOwnOffsets) {
  const int64_t Offset = FiveGiB + 0x18;
  const auto Frame = PatternBytes(24);
  TTempFile File(FiveGiB + 0x100, Offset, Frame);

  THexEditModel Model = Loaded(Offset, Frame);
  EXPECT_EQ(Model.Cell(0, 1), u"0x0000000140000010");
  EXPECT_EQ(Model.Cell(0, 2), u"0x0000000140000020");
  EXPECT_EQ(Model.Cell(9, 1), ByteToHex(Frame[0]));
  Model.SetEditText(1, 2, u"5A");

  TFileStream Stream;
  ASSERT_TRUE(Stream.Open(File.Path(), TFileStream::TMode::ReadWrite));
  EXPECT_TRUE(Model.Save(Stream, false).Ok);
  Stream.Close();

  std::vector<uint8_t> Expected(0x40, 0);
  std::copy(Frame.begin(), Frame.end(), Expected.begin() + 0x18);
  Expected[0x20] = 0x5A;
  EXPECT_EQ(File.ReadAt(FiveGiB, 0x40), Expected);
  EXPECT_EQ(File.Size(), FiveGiB + 0x100);
}

}  // namespace
}  // namespace corvane
