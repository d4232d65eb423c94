#include "analysis/AC3PlusUtils.h"

#include <algorithm>
#include <memory>

#include "analysis/AC3PlusSyntax.h"
#include "analysis/FieldReader.h"
#include "analysis/Syncword.h"
#include "core/BitStream4.h"
#include "core/ODSUtls.h"
#include "core/Status.h"

namespace corvane {
namespace {

// The byte whose top five bits are bsid (bits 40 to 44 of the frame).
constexpr int32_t BsidByte = 5;

// The size of the frame at Data from its frmsiz field, or 0 when fewer than 4 bytes are there.
int32_t FrameSizeAt(const uint8_t* Data, int32_t Size) { return Size < 4 ? 0 : AC3PlusCodedFrameSize(Data); }

}  // namespace

bool parse_ac3_plus_frame(const uint8_t* Data, int32_t Size, TAC3PlusFrame& Frame) {
  if (Size < 5) {
    ReportFailure(u"parse_ac3_plus_frame", u"insufficient memory.");
    return false;
  }
  try {
    TBitStream4 Bits;
    if (Bits.SetData(Data, Size) != HR_S_OK) return ReportCallFailure(u"parse_ac3_plus_frame");
    TFieldReader<TAC3PlusFrame> Reader(Frame, Bits);
    AC3PlusSyncInfo(Reader);
    AC3PlusBsi(Reader);
    return true;
  } catch (...) {
    ReportCallFailure(u"parse_ac3_plus_frame");
    return false;
  }
}

bool AC3PlusValidFramePoint(const uint8_t* Data, int32_t Size, int32_t RequiredFscod) {
  try {
    if (Size < 2 || Data[0] != 0x0B || Data[1] != 0x77) return false;
    uint32_t fscod = 0;
    uint32_t bsid = 0;
    if (Size > BsidByte) {
      // Whatever else a frame carries, the decoder finds fscod in bits 32 and 33 and bsid in
      // bits 40 to 44, so they are taken from there without decoding the whole header.
      fscod = Data[4] >> 6;
      bsid = Data[BsidByte] >> 3;
    } else {
      // Too short to hold bsid: the decoder reports a buffer of fewer than 5 bytes and leaves
      // the cleared record's bsid 0; in one of 5 bytes it reads bsid from the zeros past the end.
      // The record lives on the heap so that the test itself stays small.
      const auto Scratch = std::make_unique<TAC3PlusFrame>();
      parse_ac3_plus_frame(Data, Size, *Scratch);
      fscod = Scratch->fscod;
      bsid = Scratch->bsid;
    }
    if (bsid != 16) return false;
    if (fscod > 2) return false;
    return RequiredFscod < 0 || fscod == static_cast<uint32_t>(RequiredFscod);
  } catch (...) {
    ReportCallFailure(u"AC3PlusValidFramePoint");
    return false;
  }
}

// The next frame starts at the first acceptable frame start that lies at least the size of the
// frame at Data away. Frames of different sizes follow each other in real streams (an
// independent frame and its dependent substream), so the size that counts is the current
// frame's own, never the candidate's.
bool GetAC3PlusESPackLength(const uint8_t* Data, int32_t Size, int32_t& Length, int32_t RequiredFscod) {
  try {
    const int32_t FrameSize = FrameSizeAt(Data, Size);
    // Only syncwords can be candidates, and each needs 4 bytes in the buffer.
    const int32_t Last = Size - 4;
    for (int32_t Distance = NextSyncword(Data, std::max(1, FrameSize), Last); Distance <= Last;
         Distance = NextSyncword(Data, Distance + 1, Last)) {
      if (AC3PlusValidFramePoint(Data + Distance, Size - Distance, RequiredFscod)) {
        Length = Distance;
        return true;
      }
    }
    return false;
  } catch (...) {
    ReportCallFailure(u"GetAC3PlusESPackLength");
    return false;
  }
}

}  // namespace corvane
