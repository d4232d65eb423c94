#include "hex/HexEditModel.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "analysis/AC3Crc.h"
#include "core/FileStream.h"
#include "core/ODSUtls.h"
#include "core/SafeWrite.h"
#include "core/StringUtils.h"

namespace corvane {
namespace {

bool IsHexDigit(char16_t Ch) { return (Ch >= u'0' && Ch <= u'9') || (Ch >= u'A' && Ch <= u'F'); }

int HexDigitValue(char16_t Ch) { return Ch <= u'9' ? Ch - u'0' : Ch - u'A' + 10; }

char16_t ToUpper(char16_t Ch) { return (Ch >= u'a' && Ch <= u'z') ? static_cast<char16_t>(Ch - u'a' + u'A') : Ch; }

const std::u16string& EmptyText() {
  static const std::u16string Empty;
  return Empty;
}

}  // namespace

bool HexCellValue(const std::u16string& Text, uint8_t& Value) {
  if (Text.empty() || Text.size() > 2 || Text == u"  ") return false;
  int Result = 0;
  for (char16_t Ch : Text) {
    Ch = ToUpper(Ch);
    if (Ch == u' ') Ch = u'0';
    if (!IsHexDigit(Ch)) return false;
    Result = Result * 16 + HexDigitValue(Ch);
  }
  Value = static_cast<uint8_t>(Result);
  return true;
}

void THexEditModel::Clear() {
  FCells.clear();
  FBuffer.clear();
  FFilled = 0;
  FChangedCells.clear();
  FLastSelected.reset();
  FOffset = 0;
  FSize = 0;
  FLeading = 0;
  FRowCount = 0;
}

bool THexEditModel::Layout(int64_t Offset, int64_t Size) {
  Clear();
  if (Offset < 0 || Size < 0 || Size > std::numeric_limits<int32_t>::max()) return false;

  FOffset = Offset;
  FSize = Size;
  FLeading = static_cast<int32_t>(Offset % 16);
  FRowCount = static_cast<int32_t>((Size + 15 + FLeading) / 16) + 1;
  FCells.assign(static_cast<size_t>(FRowCount) * ColumnCount, std::u16string());
  FBuffer.assign(static_cast<size_t>(Size), 0);

  for (int32_t Column = FirstByteColumn; Column <= LastByteColumn; ++Column)
    FCells[CellIndex(Column, 0)] = ByteToHex(static_cast<uint8_t>(Column - 1));
  for (int32_t Row = 1; Row < FRowCount; ++Row)
    FCells[CellIndex(0, Row)] = u"0x" + IntToHex(static_cast<uint64_t>(LineStart() + 16 * int64_t{Row - 1}), 16);
  return true;
}

void THexEditModel::Fill(const uint8_t* Bytes, int32_t Count) {
  Count = std::clamp<int32_t>(Count, 0, static_cast<int32_t>(FSize));
  if (Count > 0) std::memcpy(FBuffer.data(), Bytes, static_cast<size_t>(Count));
  FFilled = Count;
  for (int32_t Index = 0; Index < Count; ++Index) {
    const int32_t Position = FLeading + Index;
    FCells[CellIndex(Position % 16 + 1, Position / 16 + 1)] = ByteToHex(Bytes[Index]);
  }
  for (int32_t Row = 1; Row < FRowCount; ++Row) UpdateRow(Row);
}

int64_t THexEditModel::FilePosition(int32_t Column, int32_t Row) const {
  return LineStart() + 16 * int64_t{Row - 1} + (Column - 1);
}

bool THexEditModel::InGrid(int32_t Column, int32_t Row) const {
  return Column >= 0 && Column < ColumnCount && Row >= 0 && Row < FRowCount;
}

bool THexEditModel::IsByteCell(int32_t Column, int32_t Row) const {
  if (Column < FirstByteColumn || Column > LastByteColumn || Row < 1 || Row >= FRowCount) return false;
  const int64_t Index = FilePosition(Column, Row) - FOffset;
  return Index >= 0 && Index < FSize;
}

size_t THexEditModel::CellIndex(int32_t Column, int32_t Row) const {
  return static_cast<size_t>(Row) * ColumnCount + static_cast<size_t>(Column);
}

const std::u16string& THexEditModel::Cell(int32_t Column, int32_t Row) const {
  return InGrid(Column, Row) ? FCells[CellIndex(Column, Row)] : EmptyText();
}

void THexEditModel::SetCell(int32_t Column, int32_t Row, const std::u16string& Text) {
  if (InGrid(Column, Row)) FCells[CellIndex(Column, Row)] = Text;
}

int32_t THexEditModel::GetChangedCellIndex(int32_t Column, int32_t Row) const {
  for (size_t Index = 0; Index < FChangedCells.size(); ++Index)
    if (FChangedCells[Index].Column == Column && FChangedCells[Index].Row == Row) return static_cast<int32_t>(Index);
  return -1;
}

bool THexEditModel::GetOriginalValue(int32_t Column, int32_t Row, uint8_t& Value) const {
  if (!IsByteCell(Column, Row)) return false;
  Value = FBuffer[static_cast<size_t>(FilePosition(Column, Row) - FOffset)];
  return true;
}

bool THexEditModel::AddChangedCell(int32_t Column, int32_t Row, uint8_t Value) {
  try {
    uint8_t Original = 0;
    if (!GetOriginalValue(Column, Row, Original)) return false;
    const int32_t Index = GetChangedCellIndex(Column, Row);
    if (Index >= 0) {
      if (Value == Original)
        FChangedCells.erase(FChangedCells.begin() + Index);
      else
        FChangedCells[static_cast<size_t>(Index)].Value = Value;
    } else if (Value != Original) {
      FChangedCells.push_back({Column, Row, Value});
    }
    return true;
  } catch (...) {
    ReportCallFailure(u"THexEditForm.AddChangedCell");
    return false;
  }
}

bool THexEditModel::UpdateRow(int32_t Row) {
  if (Row < 1 || Row >= FRowCount) return false;
  try {
    std::u16string Text(Row == 1 ? static_cast<size_t>(FLeading) : 0, u' ');
    bool Readable = true;
    for (int32_t Column = FirstByteColumn; Column <= LastByteColumn; ++Column) {
      const std::u16string& CellText = FCells[CellIndex(Column, Row)];
      if (CellText.empty()) continue;
      uint8_t Value = 0;
      if (!HexCellValue(CellText, Value)) {
        Readable = false;
        break;
      }
      Text += PrintableCharTable[Value];
    }
    if (!Readable) {
      ReportCallFailure(u"THexEditForm.UpdateRow");
      return false;
    }
    FCells[CellIndex(TextColumn, Row)] = std::move(Text);
    return true;
  } catch (...) {
    ReportCallFailure(u"THexEditForm.UpdateRow");
    return false;
  }
}

void THexEditModel::SetEditText(int32_t Column, int32_t Row, const std::u16string& Text) {
  if (!IsByteCell(Column, Row)) return;
  try {
    std::u16string Tidy;
    if (Text.empty() || Text == u"  " || Text == u" ") {
      // A cleared cell means zero, recorded like any other value.
      Tidy = u"00";
    } else {
      std::u16string Upper = Text.substr(0, 2);
      for (char16_t& Ch : Upper) Ch = ToUpper(Ch);
      if (Upper.size() == 1) Upper += u' ';
      const auto Usable = [](char16_t Ch) { return IsHexDigit(Ch) || Ch == u' '; };
      Tidy = Upper;
      if (!Usable(Upper[0])) Tidy = u"00";
      if (!Usable(Upper[1])) Tidy = std::u16string{Tidy[0], u'0'};
    }
    uint8_t Value = 0;
    HexCellValue(Tidy, Value);  // always readable after the rules above
    SetCell(Column, Row, Tidy);
    AddChangedCell(Column, Row, Value);
    UpdateRow(Row);
  } catch (...) {
    SetCell(Column, Row, u"00");
  }
}

void THexEditModel::TidyCell(int32_t Column, int32_t Row) {
  if (!InGrid(Column, Row)) return;
  std::u16string& Text = FCells[CellIndex(Column, Row)];
  if (Text.empty() || Text == u"  ") return;
  if (Text[0] == u' ') Text[0] = u'0';
  if (Text.size() > 1 && Text[1] == u' ') Text[1] = u'0';
}

bool THexEditModel::IsFixedOrLeading(int32_t Column, int32_t Row) const {
  // The header row and the offset column are fixed; they never take the current cell.
  return (Row == 1 && Column < FLeading) || !InGrid(Column, Row) || Column == 0 || Row == 0;
}

bool THexEditModel::CanSelect(int32_t Column, int32_t Row) const {
  if (IsFixedOrLeading(Column, Row) || Column == TextColumn) return false;
  const std::u16string& Text = Cell(Column, Row);
  return !Text.empty() && Text != u"  ";
}

bool THexEditModel::SelectCell(int32_t Column, int32_t Row) {
  if (IsFixedOrLeading(Column, Row)) return false;
  if (FLastSelected) TidyCell(FLastSelected->Column, FLastSelected->Row);
  if (!CanSelect(Column, Row)) return false;
  FLastSelected = THexCell{Column, Row};
  return true;
}

std::optional<THexCell> THexEditModel::NextCell(int32_t Column, int32_t Row) const {
  const int32_t LastRow = FRowCount - 1;
  if (Row < 1 || Row > LastRow) return std::nullopt;
  if (Row < LastRow) {
    if (Column < LastByteColumn) return THexCell{Column + 1, Row};
    return THexCell{FirstByteColumn, Row + 1};
  }
  int32_t AfterLast = static_cast<int32_t>((FOffset + FSize) % 16);
  if (AfterLast == 0) AfterLast = 16;
  if (Column < AfterLast) return THexCell{Column + 1, Row};
  return std::nullopt;
}

std::vector<uint8_t> THexEditModel::EditedBytes() const {
  std::vector<uint8_t> Bytes(FBuffer.begin(), FBuffer.begin() + FFilled);
  for (const TChangedCell& Change : FChangedCells) {
    const int64_t Index = FilePosition(Change.Column, Change.Row) - FOffset;
    if (Index >= 0 && Index < FFilled) Bytes[static_cast<size_t>(Index)] = Change.Value;
  }
  return Bytes;
}

namespace {

// The size of the frame that starts at the first of Bytes when all of it is there, else 0.
int32_t WholeFrame(const std::vector<uint8_t>& Bytes) {
  if (Bytes.size() < 6 || Bytes[0] != 0x0B || Bytes[1] != 0x77) return 0;
  const auto Size = static_cast<int32_t>(Bytes.size());
  const int32_t FrameSize = AnyFrameCodedSize(Bytes.data(), Size);
  return FrameSize > 0 && FrameSize <= Size ? FrameSize : 0;
}

}  // namespace

int32_t THexEditModel::WholeFrameSize() const {
  return WholeFrame(std::vector<uint8_t>(FBuffer.begin(), FBuffer.begin() + FFilled));
}

THexSaveResult THexEditModel::Save(TFileStream& Stream, bool RepairCrc, const TWriteHooks* Hooks) const {
  THexSaveResult Result;
  Result.Total = static_cast<int32_t>(FChangedCells.size());
  const auto Failed = [&](const std::u16string& Why) {
    Result.Error = Why;
    ReportFailure(u"THexEditForm.SaveChanges", Why);
    return Result;
  };
  try {
    if (!Stream.IsOpen() || Stream.Mode() != TFileStream::TMode::ReadWrite)
      return Failed(u"the file is not open for writing");
    // The new bytes of the frame as edited, its CRC words repaired when asked; those that differ
    // from the bytes as read are the batch.
    std::vector<uint8_t> Edited = EditedBytes();
    if (RepairCrc) {
      const int32_t FrameSize = WholeFrame(Edited);
      Result.CrcSkipped = FrameSize == 0 || !RepairAnyFrameCrc(Edited.data(), FrameSize);
    }
    TUndoJournal Journal(Stream, Hooks);
    for (size_t Index = 0; Index < Edited.size(); ++Index) {
      if (Edited[Index] == FBuffer[Index]) continue;
      if (!std::any_of(FChangedCells.begin(), FChangedCells.end(), [&](const TChangedCell& Change) {
            return FilePosition(Change.Column, Change.Row) - FOffset == static_cast<int64_t>(Index);
          }))
        ++Result.CrcBytes;
      Journal.Add(FOffset + static_cast<int64_t>(Index), &FBuffer[Index], &Edited[Index], 1);
    }
    if (!Journal.Commit() || !Journal.Finish()) {
      Result.JournalKept = Journal.JournalKept();
      return Failed(FromUtf8(Journal.Error()));
    }
    Result.Ok = true;
  } catch (...) {
    ReportCallFailure(u"THexEditForm.SaveChanges");
  }
  return Result;
}

}  // namespace corvane
