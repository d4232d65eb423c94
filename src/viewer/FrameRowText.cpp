#include "viewer/FrameRowText.h"

#include <cstring>

#include "analysis/FrameKinds.h"
#include "core/StringUtils.h"

namespace corvane {
namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";

char* PutText(char* Out, const std::string& Text) {
  std::memcpy(Out, Text.data(), Text.size());
  return Out + Text.size();
}

char* PutSeparator(char* Out) {
  Out[0] = ',';
  Out[1] = ' ';
  return Out + 2;
}

char* PutDecimal(char* Out, int64_t Value) {
  if (Value < 0) {
    *Out++ = '-';
    Value = -Value;
  }
  char Digits[20];
  int Count = 0;
  uint64_t Rest = static_cast<uint64_t>(Value);
  do {
    Digits[Count++] = static_cast<char>('0' + Rest % 10);
    Rest /= 10;
  } while (Rest != 0);
  while (Count > 0) *Out++ = Digits[--Count];
  return Out;
}

char* PutOffset(char* Out, int64_t Offset) {
  Out[0] = '0';
  Out[1] = 'x';
  const uint64_t Value = static_cast<uint64_t>(Offset);
  for (int Digit = 0; Digit < 16; ++Digit) Out[2 + Digit] = HexDigits[(Value >> (60 - 4 * Digit)) & 0xF];
  return Out + 18;
}

// fscod and frmsizecod as the window's record holds them after decoding Data.
template <typename TKind>
void HeaderCodes(const TWalkFrame& Frame, uint32_t& fscod, uint32_t& frmsizecod) {
  if (Frame.Size >= HeaderBytesAtHand) {
    fscod = static_cast<uint32_t>(Frame.Data[4] >> 6);
    frmsizecod = static_cast<uint32_t>(Frame.Data[4] & 0x3F);
    return;
  }
  const auto Record = NewDecodedFrame<TKind>(Frame.Data, Frame.Size, Frame.Offset);
  fscod = Record->fscod;
  frmsizecod = Record->frmsizecod;
}

}  // namespace

std::u16string OffsetText(int64_t Offset) { return u"0x" + IntToHex(static_cast<uint64_t>(Offset), 16); }

std::u16string AC3FrameSizeText(uint32_t fscod, uint32_t frmsizecod) {
  const int32_t Bytes = AC3FrameSizeBytes(fscod, frmsizecod);
  return Bytes > 0 ? IntToStr(Bytes) : std::u16string(ReservedText);
}

std::u16string AC3BitrateText(uint32_t fscod, uint32_t frmsizecod) {
  if (fscod > 2 || frmsizecod >= AC3BitrateTable.size()) return std::u16string(ReservedText);
  return IntToStr(AC3BitrateTable[frmsizecod]) + u" kbps";
}

TRowTexts FrameRowTexts(const TAC3Frame& Frame) {
  return {OffsetText(Frame.Offset), IntToStr(Frame.Length), AC3FrameSizeText(Frame.fscod, Frame.frmsizecod),
          FscodToStr(static_cast<int32_t>(Frame.fscod)), AC3BitrateText(Frame.fscod, Frame.frmsizecod)};
}

TRowTexts FrameRowTexts(const TAC3PlusFrame& Frame) {
  return {OffsetText(Frame.Offset), IntToStr(Frame.Length), IntToStr(Frame.Length),
          FscodToStr(static_cast<int32_t>(Frame.fscod)), std::u16string()};
}

TRowFormatter::TRowFormatter(bool EAC3) : FEAC3(EAC3) {
  for (uint32_t Code = 0; Code < FRates.size(); ++Code) FRates[Code] = ToUtf8(FscodToStr(static_cast<int32_t>(Code)));
  for (uint32_t Code = 0; Code < FBitrates.size(); ++Code) FBitrates[Code] = ToUtf8(AC3BitrateText(0, Code));
}

size_t TRowFormatter::Format(const TWalkFrame& Frame, char* Out) const {
  char* const Start = Out;
  uint32_t fscod = 0;
  uint32_t frmsizecod = 0;
  if (FEAC3)
    HeaderCodes<TAC3PlusKind>(Frame, fscod, frmsizecod);
  else
    HeaderCodes<TAC3Kind>(Frame, fscod, frmsizecod);

  Out = PutSeparator(PutOffset(Out, Frame.Offset));
  Out = PutSeparator(PutDecimal(Out, Frame.Length));
  if (FEAC3) {
    Out = PutSeparator(PutDecimal(Out, Frame.Length));
    Out = PutSeparator(PutText(Out, FRates[fscod & 3]));
  } else {
    const int32_t Bytes = AC3FrameSizeBytes(fscod, frmsizecod);
    Out = PutSeparator(Bytes > 0 ? PutDecimal(Out, Bytes) : PutText(Out, "reserved"));
    Out = PutSeparator(PutText(Out, FRates[fscod & 3]));
    Out = PutText(Out, fscod > 2 ? std::string("reserved") : FBitrates[frmsizecod & 63]);
  }
  Out = PutSeparator(Out);
  *Out++ = '\n';
  return static_cast<size_t>(Out - Start);
}

}  // namespace corvane
