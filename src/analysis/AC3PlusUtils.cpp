#include "analysis/AC3PlusUtils.h"

#include <algorithm>
#include <type_traits>

#include "core/BitStream4.h"
#include "core/ODSUtls.h"

namespace corvane {
namespace {

// The decoder fills arrays whose sizes the field widths already bound (mixdeflen is 5 bits,
// addbsil 6 bits, numblkscod 2 bits); every write is still clamped to the array, so no
// value of the bits can ever reach past one.
constexpr size_t MixDataBytesCapacity = std::extent_v<decltype(TAC3PlusFrame::mixdatabytes)>;
constexpr size_t AddBsiCapacity = std::extent_v<decltype(TAC3PlusFrame::addbsi)>;
constexpr size_t BlockCapacity = std::extent_v<decltype(TAC3PlusFrame::blkmixcfginfo)>;
static_assert(MixDataBytesCapacity >= 33 && AddBsiCapacity >= 64 && BlockCapacity >= 6);

// Audio blocks per syncframe can never exceed 6.
constexpr int32_t MaxBlocks = 6;

// Reads a 1-bit flag and, when it is set, a value of Width bits.
void ReadFlagged(TBitStream4& Reader, uint32_t& Flag, uint32_t& Value, int32_t Width) {
  Flag = Reader.ReadBitsDW(1);
  if (Flag) Value = Reader.ReadBitsDW(Width);
}

// Moves the reader Bits further on. A skip never goes backwards, and one that reaches beyond
// what the reader admits past the end of its data stops there, so every later field of a
// truncated header reads as zero rather than from bytes inside the skipped block.
void SkipForward(TBitStream4& Reader, int64_t Bits) {
  if (Bits <= 0) return;
  Bits = std::min<int64_t>(Bits, Reader.RemainBits() + 32);
  if (Bits > 0) Reader.DumpBits(static_cast<int32_t>(Bits));
}

void ReadCore(TBitStream4& R, TAC3PlusFrame& F) {
  F.strmtyp = R.ReadBitsDW(2);
  F.substreamid = R.ReadBitsDW(3);
  F.frmsiz = R.ReadBitsDW(11);
  F.fscod = R.ReadBitsDW(2);
  if (F.fscod == 3) {
    F.fscod2 = R.ReadBitsDW(2);
    F.numblkscod = 3;  // reduced sampling rates always carry six blocks
  } else {
    F.numblkscod = R.ReadBitsDW(2);
  }
  F.acmod = R.ReadBitsDW(3);
  F.lfeon = R.ReadBitsDW(1);
  F.bsid = R.ReadBitsDW(5);
  F.dialnorm = R.ReadBitsDW(5);
  ReadFlagged(R, F.compre, F.compr, 8);
  if (F.acmod == 0) {
    F.dialnorm2 = R.ReadBitsDW(5);
    ReadFlagged(R, F.compr2e, F.compr2, 8);
  }
  if (F.strmtyp == 1) ReadFlagged(R, F.chanmape, F.chanmap, 16);
}

// The mixing data block of mixdef 3 (A/52 Annex E): mixdeflen + 2 bytes counted from the bit
// after mixdeflen. Its known sub-fields sit at its start; the rest of it is mixdata and
// mixdatafill, which the decoder keeps only as the raw bytes of the whole block.
void ReadMixingDataBlock(TBitStream4& R, TAC3PlusFrame& F) {
  F.mixdeflen = R.ReadBitsDW(5);
  const TBitStream4 BlockStart = R;
  const int64_t BlockBits = 8 * (int64_t{F.mixdeflen} + 2);

  F.mixdata2e = R.ReadBitsDW(1);
  if (F.mixdata2e) {
    F.premixcmpsel = R.ReadBitsDW(1);
    F.drcsrc = R.ReadBitsDW(1);
    F.premixcmpscl = R.ReadBitsDW(3);
    ReadFlagged(R, F.extpgmlscle, F.extpgmlscl, 4);
    ReadFlagged(R, F.extpgmcscle, F.extpgmcscl, 4);
    ReadFlagged(R, F.extpgmrscle, F.extpgmrscl, 4);
    ReadFlagged(R, F.extpgmlsscle, F.extpgmlsscl, 4);
    ReadFlagged(R, F.extpgmrsscle, F.extpgmrsscl, 4);
    ReadFlagged(R, F.extpgmlfescle, F.extpgmlfescl, 4);
    ReadFlagged(R, F.dmixscle, F.dmixscl, 4);
    F.addche = R.ReadBitsDW(1);
    if (F.addche) {
      ReadFlagged(R, F.extpgmaux1scle, F.extpgmaux1scl, 4);
      ReadFlagged(R, F.extpgmaux2scle, F.extpgmaux2scl, 4);
    }
  }
  F.mixdata3e = R.ReadBitsDW(1);
  if (F.mixdata3e) {
    F.spchdat = R.ReadBitsDW(5);
    F.addspchdate = R.ReadBitsDW(1);
    if (F.addspchdate) {
      F.spchdat1 = R.ReadBitsDW(5);
      F.spchan1att = R.ReadBitsDW(2);
      F.addspchdat1e = R.ReadBitsDW(1);
      if (F.addspchdat1e) {
        F.spchdat2 = R.ReadBitsDW(5);
        F.spchan2att = R.ReadBitsDW(3);
      }
    }
  }

  TBitStream4 Bytes = BlockStart;
  const size_t Count = std::min<size_t>(F.mixdeflen + 2, MixDataBytesCapacity);
  for (size_t Index = 0; Index < Count; ++Index) F.mixdatabytes[Index] = static_cast<uint8_t>(Bytes.ReadBitsDW(8));
  F.mixdatafill = 0;

  const int64_t Used = BlockStart.RemainBits() - R.RemainBits();
  SkipForward(R, BlockBits - Used);
}

void ReadProgramMixing(TBitStream4& R, TAC3PlusFrame& F) {
  ReadFlagged(R, F.pgmscle, F.pgmscl, 6);
  if (F.acmod == 0) ReadFlagged(R, F.pgmscl2e, F.pgmscl2, 6);
  ReadFlagged(R, F.extpgmscle, F.extpgmscl, 6);
  F.mixdef = R.ReadBitsDW(2);
  if (F.mixdef == 1) {
    F.premixcmpsel = R.ReadBitsDW(1);
    F.drcsrc = R.ReadBitsDW(1);
    F.premixcmpscl = R.ReadBitsDW(3);
  } else if (F.mixdef == 2) {
    F.mixdata = R.ReadBitsDW(12);
  } else if (F.mixdef == 3) {
    ReadMixingDataBlock(R, F);
  }
  if (F.acmod < 2) {
    F.paninfoe = R.ReadBitsDW(1);
    if (F.paninfoe) {
      F.panmean = R.ReadBitsDW(8);
      F.paninfo = R.ReadBitsDW(6);
    }
    if (F.acmod == 0) {
      F.paninfo2e = R.ReadBitsDW(1);
      if (F.paninfo2e) {
        F.panmean2 = R.ReadBitsDW(8);
        F.paninfo2 = R.ReadBitsDW(6);
      }
    }
  }
  F.frmmixcfginfoe = R.ReadBitsDW(1);
  if (!F.frmmixcfginfoe) return;
  if (F.numblkscod == 0) {
    F.blkmixcfginfo[0] = R.ReadBitsDW(5);
    return;
  }
  const int32_t Blocks = std::min({NumblkscodToBlocks(static_cast<int32_t>(F.numblkscod)), MaxBlocks,
                                   static_cast<int32_t>(BlockCapacity)});
  for (int32_t Block = 0; Block < Blocks; ++Block) {
    F.blkmixcfginfoe = R.ReadBitsDW(1);
    if (F.blkmixcfginfoe) F.blkmixcfginfo[Block] = R.ReadBitsDW(5);
  }
}

void ReadMixingMetadata(TBitStream4& R, TAC3PlusFrame& F) {
  if (F.acmod > 2) F.dmixmod = R.ReadBitsDW(2);
  if ((F.acmod & 1) && F.acmod > 2) {
    F.ltrtcmixlev = R.ReadBitsDW(3);
    F.lorocmixlev = R.ReadBitsDW(3);
  }
  if (F.acmod & 4) {
    F.ltrtsurmixlev = R.ReadBitsDW(3);
    F.lorosurmixlev = R.ReadBitsDW(3);
  }
  if (F.lfeon) ReadFlagged(R, F.lfemixlevcode, F.lfemixlevcod, 5);
  if (F.strmtyp == 0) ReadProgramMixing(R, F);
}

void ReadInformationalMetadata(TBitStream4& R, TAC3PlusFrame& F) {
  F.bsmod = R.ReadBitsDW(3);
  F.copyrightb = R.ReadBitsDW(1);
  F.origbs = R.ReadBitsDW(1);
  if (F.acmod == 2) {
    F.dsurmod = R.ReadBitsDW(2);
    F.dheadphonmod = R.ReadBitsDW(2);
  }
  if (F.acmod >= 6) F.dsurexmod = R.ReadBitsDW(2);
  F.audprodie = R.ReadBitsDW(1);
  if (F.audprodie) {
    F.mixlevel = R.ReadBitsDW(5);
    F.roomtyp = R.ReadBitsDW(2);
    F.adconvtyp = R.ReadBitsDW(1);
  }
  if (F.acmod == 0) {
    F.audprodi2e = R.ReadBitsDW(1);
    if (F.audprodi2e) {
      F.mixlevel2 = R.ReadBitsDW(5);
      F.roomtyp2 = R.ReadBitsDW(2);
      F.adconvtyp2 = R.ReadBitsDW(1);
    }
  }
  if (F.fscod < 3) F.sourcefscod = R.ReadBitsDW(1);
}

void ReadTail(TBitStream4& R, TAC3PlusFrame& F) {
  if (F.strmtyp == 0 && F.numblkscod != 3) F.convsync = R.ReadBitsDW(1);
  if (F.strmtyp == 2) {
    F.blkid = F.numblkscod == 3 ? 1 : R.ReadBitsDW(1);
    if (F.blkid) F.frmsizecod = R.ReadBitsDW(6);
  }
  F.addbsie = R.ReadBitsDW(1);
  if (F.addbsie) {
    F.addbsil = R.ReadBitsDW(6);
    const size_t Count = std::min<size_t>(F.addbsil + 1, AddBsiCapacity);
    for (size_t Index = 0; Index < Count; ++Index) F.addbsi[Index] = static_cast<uint8_t>(R.ReadBitsDW(8));
  }
}

// The size of the frame at Data from its frmsiz field, or 0 when fewer than 4 bytes are there.
int32_t FrameSizeAt(const uint8_t* Data, int32_t Size) { return Size < 4 ? 0 : AC3PlusCodedFrameSize(Data); }

}  // namespace

bool parse_ac3_plus_frame(const uint8_t* Data, int32_t Size, TAC3PlusFrame& Frame) {
  if (Size < 5) {
    DebugLog(u"nox: Error in parse_ac3_plus_frame - insufficient memory.");
    return false;
  }
  try {
    Frame.syncword = uint32_t{Data[0]} << 8 | Data[1];
    TBitStream4 Reader;
    if (Reader.SetData(Data + 2, Size - 2) != HR_S_OK) return ReportCallFailure(u"parse_ac3_plus_frame");
    ReadCore(Reader, Frame);
    Frame.mixmdate = Reader.ReadBitsDW(1);
    if (Frame.mixmdate) ReadMixingMetadata(Reader, Frame);
    Frame.infomdate = Reader.ReadBitsDW(1);
    if (Frame.infomdate) ReadInformationalMetadata(Reader, Frame);
    ReadTail(Reader, Frame);
    return true;
  } catch (...) {
    DebugLog(u"nox: Error in parse_ac3_plus_frame call...");
    return false;
  }
}

bool AC3PlusValidFramePoint(const uint8_t* Data, int32_t Size, int32_t RequiredFscod) {
  try {
    if (Size < 2 || Data[0] != 0x0B || Data[1] != 0x77) return false;
    TAC3PlusFrame Scratch{};
    parse_ac3_plus_frame(Data, Size, Scratch);
    if (Scratch.bsid != 16) return false;
    if (Scratch.fscod > 2) return false;
    return RequiredFscod < 0 || Scratch.fscod == static_cast<uint32_t>(RequiredFscod);
  } catch (...) {
    DebugLog(u"nox: Error in AC3PlusValidFramePoint call...");
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
    for (int32_t Distance = std::max(1, FrameSize); Size - Distance >= 4; ++Distance) {
      if (AC3PlusValidFramePoint(Data + Distance, Size - Distance, RequiredFscod)) {
        Length = Distance;
        return true;
      }
    }
    return false;
  } catch (...) {
    DebugLog(u"nox: Error in GetAC3PlusESPackLength call...");
    return false;
  }
}

}  // namespace corvane
