#include "hex/HexViewLines.h"

#include <algorithm>
#include <limits>

#include "core/ODSUtls.h"
#include "core/StringUtils.h"

namespace corvane {

bool MemToStrLines2(const uint8_t* Data, int32_t Count, std::vector<std::u16string>* Lines) {
  if (Count <= 0 || !Data || !Lines) return false;
  try {
    std::u16string HexPart;
    std::u16string TextPart;
    const auto Emit = [&] { Lines->push_back(PadRight(HexPart, HexViewHexPartWidth) + TextPart); };
    for (int32_t Index = 0; Index < Count; ++Index) {
      if (Index > 0 && Index % HexViewBytesPerLine == 0) {
        Emit();
        HexPart.clear();
        TextPart.clear();
      }
      HexPart += ByteToHex(Data[Index]);
      HexPart += u' ';
      TextPart += PrintableCharTable[Data[Index]];
    }
    if (!HexPart.empty()) Emit();
    return true;
  } catch (...) {
    ReportCallFailure(u"MemToStrLines2");
    return false;
  }
}

std::u16string HexDumpCharacters() {
  std::u16string Characters = u"0123456789ABCDEFx ";
  for (const char16_t Char : PrintableCharTable)
    if (Characters.find(Char) == std::u16string::npos) Characters += Char;
  return Characters;
}

std::u16string HexViewLinePrefix(int64_t LineOffset) {
  return u"0x" + IntToHex(static_cast<uint64_t>(LineOffset), 16) + u"   ";
}

int64_t HexViewAlignedStart(int64_t Offset) { return Offset - Offset % HexViewBytesPerLine; }

int32_t HexViewVisibleLines(int32_t ClientHeight) {
  return std::clamp(ClientHeight / HexViewLineHeight - 1, 1, HexViewMaxLines);
}

int64_t HexViewPageBytes(int32_t ClientHeight) {
  return static_cast<int64_t>(ClientHeight / HexViewLineHeight) * HexViewBytesPerLine;
}

std::optional<THexLineHighlight> HexViewLineHighlight(int32_t LineIndex, int64_t LineStart,
                                                      int64_t SelectionStart, int64_t SelectionLength) {
  if (SelectionLength <= 0) return std::nullopt;
  const int64_t LineEnd = LineStart + HexViewBytesPerLine;
  const int64_t SelectionEnd = SelectionStart + SelectionLength;
  if (!(LineStart < SelectionEnd && SelectionStart < LineEnd)) return std::nullopt;
  const int64_t First = std::max(SelectionStart, LineStart);
  const int64_t End = std::min(SelectionEnd, LineEnd);
  const int64_t Column = First - LineStart;
  const int64_t LinePosition = static_cast<int64_t>(HexViewLinePitch) * LineIndex;
  THexLineHighlight Result;
  // The digits and the spaces between them; the space after the last byte stays plain.
  Result.Hex = {LinePosition + HexViewHexColumn + 3 * Column, 3 * (End - First) - 1};
  Result.Text = {LinePosition + HexViewTextColumn + Column, End - First};
  return Result;
}

int64_t HexViewStepTarget(THexViewStep Step, int64_t LastRefreshOffset, int64_t FileSize,
                          int32_t ClientHeight) {
  const int64_t Last = FileSize - 1;
  const int64_t Page = HexViewPageBytes(ClientHeight);
  // Every target lies in the file, also one from an offset past the end of a file that shrank
  // while it was shown; the sums cannot overflow, as offsets and page sizes stay far from 2^63.
  const auto InFile = [Last](int64_t Target) { return std::max<int64_t>(std::min(Target, Last), 0); };
  switch (Step) {
    case THexViewStep::LineUp:
      return InFile(LastRefreshOffset - HexViewBytesPerLine);
    case THexViewStep::LineDown:
      return InFile(LastRefreshOffset + HexViewBytesPerLine);
    case THexViewStep::PageUp:
      return InFile(LastRefreshOffset - Page);
    case THexViewStep::PageDown:
      return InFile(LastRefreshOffset + Page);
    case THexViewStep::Home:
      return 0;
    case THexViewStep::End:
      return std::max<int64_t>(Last, 0);
  }
  return 0;
}

int32_t HexViewThumbPosition(int64_t Offset, int64_t FileSize) {
  if (FileSize <= 0 || Offset <= 0) return 0;
  // An offset at or past the end (the file shrank while shown) puts the thumb at the end; below
  // it the quotient stays below HexViewScrollMax, so it always fits.
  if (Offset >= FileSize) return HexViewScrollMax;
  // Exact in integers while the product fits; beyond that (files of tens of terabytes) the
  // floating-point quotient is as good as the thumb can show.
  if (Offset <= std::numeric_limits<int64_t>::max() / HexViewScrollMax)
    return static_cast<int32_t>(Offset * HexViewScrollMax / FileSize);
  const long double Position = static_cast<long double>(Offset) * HexViewScrollMax / static_cast<long double>(FileSize);
  return static_cast<int32_t>(std::min<long double>(Position, HexViewScrollMax));
}

int64_t HexViewTrackTarget(int32_t ThumbPosition, int64_t FileSize) {
  const auto Target = static_cast<int64_t>(static_cast<long double>(FileSize) *
                                           (static_cast<long double>(ThumbPosition) / HexViewScrollMax));
  return std::min(Target, FileSize - 1);
}

}  // namespace corvane
