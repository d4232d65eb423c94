#pragma once
// Widget-free half of the hex edit dialog: the grid of cell texts over one frame's bytes, the
// rules that tidy what the user types, the list of changed cells, the save that writes exactly
// those bytes back, and the frame CRC repair that may follow it. The Qt dialog (HexEditUtil.h)
// mirrors the cells and forwards events.
//
// Grid coordinates are (column, row) with row 0 the header and column 0 the line offsets.
// With k = Offset mod 16 and A = Offset rounded down to 16, frame byte j sits at column
// (k + j) mod 16 + 1, row (k + j) div 16 + 1, and at file position A + k + j. Column 17 is the
// text column; the k cells before the first byte stay empty.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

class TFileStream;

struct THexCell {
  int32_t Column = 0;
  int32_t Row = 0;
  bool operator==(const THexCell&) const = default;
};

struct TChangedCell {
  int32_t Column = 0;
  int32_t Row = 0;
  uint8_t Value = 0;
};

struct TWriteHooks;

// How a save went: all Total changed bytes (and CrcBytes bytes of CRC words) reached the file,
// or none did and Error says why.
struct THexSaveResult {
  bool Ok = false;
  int32_t Total = 0;
  int32_t CrcBytes = 0;
  // The repair was asked for, but the edited bytes hold no whole frame (a size code edited to one
  // that no longer fits, say): the changed bytes alone were written.
  bool CrcSkipped = false;
  // The failed save could not be undone: its old bytes wait in the file's undo journal.
  bool JournalKept = false;
  std::u16string Error;
};

// Reads a byte cell's text as its value. A blank beside one digit reads as "0" ("A " is 0xA0,
// " A" is 0x0A), which is also how the cell is shown once tidied. False for anything else.
bool HexCellValue(const std::u16string& Text, uint8_t& Value);

// Asked before a dialog with unsaved edits closes without saving; Yes closes it.
inline constexpr std::u16string_view DiscardEditsQuestion =
    u"The changed bytes have not been saved. Do you want to discard the changes?";

class THexEditModel {
 public:
  static constexpr int32_t ColumnCount = 18;
  static constexpr int32_t FirstByteColumn = 1;
  static constexpr int32_t LastByteColumn = 16;
  static constexpr int32_t TextColumn = 17;

  // Forgets everything: no cells, no originals, no changes.
  void Clear();

  // Lays the grid out for Size bytes at file offset Offset: header row, offset column, empty
  // byte cells. False (grid left empty) when Offset or Size is negative or Size exceeds 32 bits.
  bool Layout(int64_t Offset, int64_t Size);
  // Keeps the Count bytes read from the file as the originals and shows them (Count <= Size).
  void Fill(const uint8_t* Bytes, int32_t Count);

  int64_t Offset() const { return FOffset; }
  int64_t Size() const { return FSize; }
  // Empty cells before the first byte (k) and the file offset of row 1 (A).
  int32_t LeadingCells() const { return FLeading; }
  int64_t LineStart() const { return FOffset - FLeading; }
  // Byte rows plus the header row.
  int32_t RowCount() const { return FRowCount; }
  int64_t FilePosition(int32_t Column, int32_t Row) const;

  const std::u16string& Cell(int32_t Column, int32_t Row) const;
  void SetCell(int32_t Column, int32_t Row, const std::u16string& Text);

  // Records that the cell now holds Value; a cell edited back to its original loses its record.
  bool AddChangedCell(int32_t Column, int32_t Row, uint8_t Value);
  // Index of the cell's record in ChangedCells(), or -1.
  int32_t GetChangedCellIndex(int32_t Column, int32_t Row) const;
  // The byte the file held under the cell when the dialog opened.
  bool GetOriginalValue(int32_t Column, int32_t Row, uint8_t& Value) const;
  // Rebuilds the row's text column from its byte cells.
  bool UpdateRow(int32_t Row);
  const std::vector<TChangedCell>& ChangedCells() const { return FChangedCells; }
  // Some byte differs from the file: closing without saving (Escape, Cancel, the title bar's
  // close button) would lose it, so the dialog asks first.
  bool HasUnsavedEdits() const { return !FChangedCells.empty(); }

  // The grid reports new text for a cell: tidy it, record its value, refresh the row's text.
  void SetEditText(int32_t Column, int32_t Row, const std::u16string& Text);
  // Asked before the current cell moves to (Column, Row): tidies the cell being left and
  // answers whether the move is allowed (only byte cells holding a value may become current).
  bool SelectCell(int32_t Column, int32_t Row);
  // The same answer without tidying anything.
  bool CanSelect(int32_t Column, int32_t Row) const;
  // The cell Enter moves to from (Column, Row); nothing at the frame's last byte.
  std::optional<THexCell> NextCell(int32_t Column, int32_t Row) const;
  // The byte cell that was current last, if any (the one the next move tidies).
  std::optional<THexCell> LastSelected() const { return FLastSelected; }

  // Writes the changed bytes at their file positions and, with RepairCrc, the CRC words that make
  // the frame as edited pass its checks, as one journalled batch (core/SafeWrite.h) through
  // Stream, which is open for reading and writing and so holds the writer lock. A failure is
  // reported on the debug channel too.
  THexSaveResult Save(TFileStream& Stream, bool RepairCrc, const TWriteHooks* Hooks = nullptr) const;

  // The bytes as read with every changed cell's value in place.
  std::vector<uint8_t> EditedBytes() const;
  // The size of the syncframe that the bytes as read hold whole from their first byte on (AC-3
  // or E-AC-3, told apart by bsid); 0 when they hold none.
  int32_t WholeFrameSize() const;

 private:
  bool IsByteCell(int32_t Column, int32_t Row) const;
  bool IsFixedOrLeading(int32_t Column, int32_t Row) const;
  bool InGrid(int32_t Column, int32_t Row) const;
  size_t CellIndex(int32_t Column, int32_t Row) const;
  void TidyCell(int32_t Column, int32_t Row);

  int64_t FOffset = 0;
  int64_t FSize = 0;
  int32_t FLeading = 0;
  int32_t FRowCount = 0;
  std::vector<std::u16string> FCells;
  std::vector<uint8_t> FBuffer;
  int32_t FFilled = 0;  // bytes of FBuffer read from the file
  std::vector<TChangedCell> FChangedCells;
  std::optional<THexCell> FLastSelected;
};

}  // namespace corvane
