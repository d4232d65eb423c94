// What the main window's commands need from the open file beyond the frame list itself: the
// frame range of a row for the hex editor, Go to Offset, and the status line.

#include <algorithm>
#include <charconv>
#include <limits>
#include <vector>

#include "analysis/AC3Descriptions.h"
#include "core/SafeWrite.h"
#include "core/StringUtils.h"
#include "viewer/FrameWindow.h"
#include "viewer/ViewerTexts.h"

namespace corvane {
namespace {

// A decimal number that fits a signed 32-bit value, as the Length column writes it.
bool ParseLengthText(const std::u16string& Text, int32_t& Value) {
  if (Text.empty() || Text.size() > 11) return false;
  char Ascii[12] = {};
  for (size_t Index = 0; Index < Text.size(); ++Index) {
    if (Text[Index] > 0x7F) return false;
    Ascii[Index] = static_cast<char>(Text[Index]);
  }
  const char* const End = Ascii + Text.size();
  const auto [Stop, Error] = std::from_chars(Ascii, End, Value);
  return Error == std::errc() && Stop == End;
}

// Per mille of Part in Whole as "12.3 %", without floating point, so a 64-bit file never rounds
// to a wrong last digit.
std::u16string PercentText(int64_t Part, int64_t Whole) {
  if (Whole <= 0) return u"0.0 %";
  Part = std::clamp<int64_t>(Part, 0, Whole);
  // Part * 1000 overflows for files over 9 PB; scale both down first there.
  while (Part > std::numeric_limits<int64_t>::max() / 1000) {
    Part /= 2;
    Whole /= 2;
  }
  const int64_t PerMille = Part * 1000 / Whole;
  return IntToStr(PerMille / 10) + u"." + IntToStr(PerMille % 10) + u" %";
}

}  // namespace

bool TFrameWindow::RowFrameRange(int32_t Row, int64_t& Offset, int64_t& Size) {
  const TRowTexts Texts = ListView1Data(Row);
  const std::u16string& OffsetColumn = Texts[0];
  if (OffsetColumn.size() < 3 || OffsetColumn[0] != u'0' || (OffsetColumn[1] != u'x' && OffsetColumn[1] != u'X'))
    return false;
  const std::optional<int64_t> RowOffset = ParsePosition(OffsetColumn);
  int32_t RowLength = 0;
  if (!RowOffset || !ParseLengthText(Texts[1], RowLength)) return false;
  Offset = *RowOffset;
  Size = RowLength;
  return true;
}

std::u16string TFrameWindow::HexEditCaptionSuffix(int64_t Offset) {
  return u" [AC3 Frame @ 0x" + IntToHex(static_cast<uint64_t>(Offset), 16) + u"]";
}

TGoToResult TFrameWindow::GoToOffset(int64_t Offset) {
  if (!IsOpen()) return TGoToResult::NoFile;
  if (Offset < 0 || Offset >= FileSize()) return TGoToResult::PastEnd;
  PlaceWindowAt(Offset);
  if (FListRowCount > 0) ShowRow(0);
  return TGoToResult::Moved;
}

bool TFrameWindow::SelectTreeNode(TTreeModel::TNodeId Node) {
  // The first and the end bit of every coded element at or under Node.
  int64_t FirstBit = std::numeric_limits<int64_t>::max();
  int64_t EndBit = -1;
  std::vector<TTreeModel::TNodeId> Pending;
  if (FTree.IsValid(Node)) Pending.push_back(Node);
  while (!Pending.empty()) {
    const TTreeModel::TNode& Element = FTree.Node(Pending.back());
    Pending.pop_back();
    if (Element.BitOffset >= 0 && Element.BitWidth > 0) {
      FirstBit = std::min<int64_t>(FirstBit, Element.BitOffset);
      EndBit = std::max<int64_t>(EndBit, int64_t{Element.BitOffset} + Element.BitWidth);
    }
    Pending.insert(Pending.end(), Element.Children.begin(), Element.Children.end());
  }
  FHexPane.FieldStart = FPackOffset;
  FHexPane.FieldLength = 0;
  if (EndBit < 0) return false;
  FHexPane.FieldStart = FPackOffset + FirstBit / 8;
  FHexPane.FieldLength = (EndBit + 7) / 8 - FirstBit / 8;
  return true;
}

std::u16string TFrameWindow::StatusText() const {
  if (!IsOpen()) return {};
  std::u16string Text = EAC3() ? u"E-AC-3" : u"AC-3";
  Text += u" | " + FscodToStr(Ffscod);
  const int64_t Size = FileSize();
  Text += u" | " + GroupedDigits(Size) + (Size == 1 ? u" byte" : u" bytes");
  if (FAC3FramesCount > 0)
    Text += u" | first frame at " + PercentText(FrameOffset(0), Size);
  else if (NoFrameAhead() && FCurrentPosition == 0)
    Text += u" | no frame in the file";
  else
    Text += u" | no frame in view";
  return Text;
}

std::u16string TFrameWindow::UnfinishedChangeNote() const {
  return IsOpen() ? FromUtf8(corvane::UnfinishedChangeNote(FFileName)) : std::u16string();
}

}  // namespace corvane
