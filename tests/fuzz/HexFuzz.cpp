// The hex edit dialog's model driven by typed texts and cell moves, with a save into a file in
// memory, and the hex view's arithmetic on any offsets, sizes and heights.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "core/FileStream.h"
#include "fuzz/FuzzSupport.h"
#include "hex/HexEditModel.h"
#include "hex/HexViewLines.h"

namespace {

using namespace corvane;

constexpr int64_t LargestSaneOffset = int64_t{1} << 62;

void FuzzViewArithmetic(FuzzedDataProvider& Input) {
  const int64_t Offset = Input.ConsumeIntegralInRange<int64_t>(-1, LargestSaneOffset);
  const int64_t FileSize = Input.ConsumeIntegralInRange<int64_t>(0, LargestSaneOffset);
  const int32_t Height = Input.ConsumeIntegral<int32_t>();
  const int32_t Thumb = HexViewThumbPosition(Offset, FileSize);
  FUZZ_CHECK(Thumb >= 0 && Thumb <= HexViewScrollMax);
  FUZZ_CHECK(Offset < FileSize || FileSize == 0 || Thumb == HexViewScrollMax);
  const int32_t Lines = HexViewVisibleLines(Height);
  FUZZ_CHECK(Lines >= 1 && Lines <= HexViewMaxLines);
  for (const auto Step : {THexViewStep::LineUp, THexViewStep::LineDown, THexViewStep::PageUp, THexViewStep::PageDown,
                          THexViewStep::Home, THexViewStep::End}) {
    const int64_t Target = HexViewStepTarget(Step, Offset, FileSize, Height);
    FUZZ_CHECK(Target >= 0 && Target <= std::max<int64_t>(FileSize - 1, 0));
  }
  if (FileSize > 0) {
    const int64_t Target = HexViewTrackTarget(Input.ConsumeIntegralInRange<int32_t>(0, HexViewScrollMax), FileSize);
    FUZZ_CHECK(Target >= 0 && Target < FileSize);
  }
  // A highlight covers only the digits and characters of bytes inside both the line and the selection.
  const auto Line = Input.ConsumeIntegralInRange<int32_t>(0, HexViewMaxLines);
  const int64_t LineStart = HexViewAlignedStart(std::max<int64_t>(Offset, 0));
  const int64_t Start = Input.ConsumeIntegralInRange<int64_t>(-1, LargestSaneOffset);
  const int64_t Length = Input.ConsumeIntegralInRange<int64_t>(-1, 1 << 20);
  if (const auto Highlight = HexViewLineHighlight(Line, LineStart, Start, Length)) {
    const int64_t At = int64_t{HexViewLinePitch} * Line;
    FUZZ_CHECK(Highlight->Hex.Start >= At + HexViewHexColumn && Highlight->Hex.Length >= 2);
    FUZZ_CHECK(Highlight->Hex.Start + Highlight->Hex.Length <= At + HexViewHexColumn + 3 * HexViewBytesPerLine - 1);
    FUZZ_CHECK(Highlight->Text.Start >= At + HexViewTextColumn && Highlight->Text.Length >= 1);
    FUZZ_CHECK(Highlight->Text.Start + Highlight->Text.Length <= At + HexViewTextColumn + HexViewBytesPerLine);
    FUZZ_CHECK(Highlight->Hex.Length == 3 * Highlight->Text.Length - 1);
  }
}

void FuzzDumpLines(FuzzedDataProvider& Input) {
  const std::vector<uint8_t> Bytes = Input.ConsumeBytes<uint8_t>(Input.ConsumeIntegralInRange<size_t>(0, 300));
  std::vector<std::u16string> Lines;
  const bool Made = MemToStrLines2(Bytes.data(), static_cast<int32_t>(Bytes.size()), &Lines);
  FUZZ_CHECK(Made == !Bytes.empty());
  FUZZ_CHECK(Lines.size() == (Bytes.size() + HexViewBytesPerLine - 1) / HexViewBytesPerLine);
  for (const std::u16string& Text : Lines)
    FUZZ_CHECK(Text.size() <= static_cast<size_t>(HexViewHexPartWidth + HexViewBytesPerLine));
}

// A cell's text as a user might type it: digits, blanks, letters, or nothing.
std::u16string TypedText(FuzzedDataProvider& Input) {
  static constexpr char16_t Keys[] = u"0123456789abcdefABCDEF g;Z\u00E9";
  std::u16string Text(Input.ConsumeIntegralInRange<size_t>(0, 3), u' ');
  for (char16_t& Key : Text) Key = Keys[Input.ConsumeIntegralInRange<size_t>(0, std::size(Keys) - 2)];
  return Text;
}

void FuzzEditModel(FuzzedDataProvider& Input, fuzz::TFolderFile& File) {
  const auto Offset = Input.ConsumeIntegralInRange<int64_t>(0, int64_t{1} << 32);
  const auto Size = Input.ConsumeIntegralInRange<int64_t>(0, 2048);
  const std::vector<uint8_t> Frame = Input.ConsumeBytes<uint8_t>(static_cast<size_t>(Size));
  THexEditModel Model;
  if (!Model.Layout(Offset, Size)) return;
  Model.Fill(Frame.data(), static_cast<int32_t>(Frame.size()));
  FUZZ_CHECK(Model.LeadingCells() == Offset % 16 && Model.RowCount() == (Size + 15 + Offset % 16) / 16 + 1);

  const auto Steps = Input.ConsumeIntegralInRange<int>(0, 64);
  for (int Step = 0; Step < Steps; ++Step) {
    const auto Column = Input.ConsumeIntegralInRange<int32_t>(-1, THexEditModel::ColumnCount);
    const auto Row = Input.ConsumeIntegralInRange<int32_t>(-1, Model.RowCount());
    switch (Input.ConsumeIntegralInRange<int>(0, 4)) {
      case 0:
        Model.SetEditText(Column, Row, TypedText(Input));
        break;
      case 1:
        Model.SelectCell(Column, Row);
        break;
      case 2: {
        // Enter moves from a byte of the frame to the next byte of the frame.
        uint8_t Byte = 0;
        const auto Next = Model.NextCell(Column, Row);
        if (Next && Model.CanSelect(Column, Row) && Model.GetOriginalValue(Column, Row, Byte))
          FUZZ_CHECK(Model.GetOriginalValue(Next->Column, Next->Row, Byte) &&
                     Model.FilePosition(Next->Column, Next->Row) == Model.FilePosition(Column, Row) + 1);
        break;
      }
      case 3:
        Model.AddChangedCell(Column, Row, Input.ConsumeIntegral<uint8_t>());
        break;
      default:
        Model.UpdateRow(Row);
        break;
    }
  }

  // Each changed cell is a byte of the frame, recorded once, holding a value other than the
  // byte the file had there.
  std::map<int64_t, uint8_t> Expected;
  for (const TChangedCell& Cell : Model.ChangedCells()) {
    const int64_t Position = Model.FilePosition(Cell.Column, Cell.Row);
    FUZZ_CHECK(Position >= Offset && Position < Offset + Size);
    FUZZ_CHECK(Expected.count(Position) == 0);
    uint8_t Original = 0;
    FUZZ_CHECK(Model.GetOriginalValue(Cell.Column, Cell.Row, Original) && Original != Cell.Value);
    Expected[Position] = Cell.Value;
  }

  // The save writes exactly those bytes, each where it belongs, and nothing else.
  if (Expected.empty()) return;
  const int64_t Base = Offset - Model.LeadingCells();
  std::vector<uint8_t> Before(static_cast<size_t>(Model.LeadingCells()), 0x5A);
  Before.insert(Before.end(), Frame.begin(), Frame.end());
  Before.resize(static_cast<size_t>(Model.LeadingCells() + Size), 0);
  File.Set(nullptr, 0);
  File.Resize(Base);
  TFileStream Stream;
  FUZZ_CHECK(Stream.Open(File.Path(), TFileStream::TMode::ReadWrite));
  FUZZ_CHECK(Stream.Seek(Base) == Base && Stream.Write(Before.data(), static_cast<int32_t>(Before.size())) ==
                                              static_cast<int32_t>(Before.size()));
  const THexSaveResult Saved = Model.Save(Stream, false);
  FUZZ_CHECK(Saved.Ok && Saved.Total == static_cast<int32_t>(Expected.size()));
  std::vector<uint8_t> After(Before.size());
  FUZZ_CHECK(Stream.ReadAt(Base, After.data(), static_cast<int32_t>(After.size())) == static_cast<int32_t>(After.size()));
  for (const auto& [Position, Value] : Expected) Before[static_cast<size_t>(Position - Base)] = Value;
  FUZZ_CHECK(After == Before);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static fuzz::TFolderFile File;
  FuzzedDataProvider Input(Data, Size);
  FuzzViewArithmetic(Input);
  FuzzDumpLines(Input);
  FuzzEditModel(Input, File);
  return 0;
}
