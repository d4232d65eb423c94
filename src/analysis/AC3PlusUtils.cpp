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
    AC3PlusAudfrm(Reader);
    AC3PlusAudblkStart(Reader);
    return true;
  } catch (...) {
    ReportCallFailure(u"parse_ac3_plus_frame");
    return false;
  }
}

// audfrm() holds, for all blocks of the frame at once, which blocks use coupling and the
// exponent strategies of every channel, the converter and AHT flags, SNR offsets, transient and
// spectral extension data, and where each block starts. Only the lengths and flags that decide
// which of its fields are there are kept; the strategies themselves count only as new or reused.
int64_t MeasureAudfrm(TAC3PlusFrame& F, TBitStream4 Bits) {
  const int64_t Start = Bits.RemainBits();
  const auto Read = [&Bits](int32_t Width) { return Bits.ReadBitsDW(Width); };
  constexpr int32_t MaxBlocks = 6;
  const int32_t Blocks = std::clamp(NumblkscodToBlocks(static_cast<int32_t>(F.numblkscod)), 1, MaxBlocks);
  const int32_t Channels = std::clamp(AcmodToChannels(static_cast<int32_t>(F.acmod)), 0, 5);

  // Per-frame exponent strategies and adaptive hybrid transform are for frames of six blocks only.
  uint32_t expstre = 1;
  uint32_t ahte = 0;
  if (F.numblkscod == 3) {
    expstre = Read(1);
    ahte = Read(1);
  }
  const uint32_t snroffststr = Read(2);
  const uint32_t transproce = Read(1);
  F.blkswe = Read(1);
  F.dithflage = Read(1);
  Read(4);  // bamode, frmfgaincode, dbaflde, skipflde
  const uint32_t spxattene = Read(1);

  // Coupling in use per block; block 0 always sends its coupling strategy.
  bool cplinu[MaxBlocks] = {};
  bool cplstre[MaxBlocks] = {};
  if (F.acmod > 1) {
    cplstre[0] = true;
    cplinu[0] = Read(1) != 0;
    for (int32_t Block = 1; Block < Blocks; ++Block) {
      cplstre[Block] = Read(1) != 0;
      cplinu[Block] = cplstre[Block] ? Read(1) != 0 : cplinu[Block - 1];
    }
  }
  const auto ncplblks = static_cast<int32_t>(std::count(cplinu, cplinu + Blocks, true));

  // Which blocks send new exponents (a strategy other than reuse), per channel. The 5-bit frame
  // strategies stand for the 32 patterns of new and reused exponents over blocks 1 to 5, block
  // 1 in the code's top bit.
  bool cplnew[MaxBlocks] = {};
  bool chnew[5][MaxBlocks] = {};
  bool lfenew[MaxBlocks] = {};
  const auto FramePattern = [&](bool (&New)[MaxBlocks], uint32_t Code) {
    New[0] = true;
    for (int32_t Block = 1; Block < MaxBlocks; ++Block) New[Block] = ((Code >> (5 - Block)) & 1u) != 0;
  };
  if (expstre) {
    for (int32_t Block = 0; Block < Blocks; ++Block) {
      if (cplinu[Block]) cplnew[Block] = Read(2) != 0;
      for (int32_t Channel = 0; Channel < Channels; ++Channel) chnew[Channel][Block] = Read(2) != 0;
    }
  } else {
    if (F.acmod > 1 && ncplblks > 0) FramePattern(cplnew, Read(5));
    for (int32_t Channel = 0; Channel < Channels; ++Channel) FramePattern(chnew[Channel], Read(5));
  }
  if (F.lfeon)
    for (int32_t Block = 0; Block < Blocks; ++Block) lfenew[Block] = Read(1) != 0;
  if (F.strmtyp == 0) {
    const uint32_t convexpstre = F.numblkscod != 3 ? Read(1) : 1;
    if (convexpstre)
      for (int32_t Channel = 0; Channel < Channels; ++Channel) Read(5);  // convexpstr
  }

  if (ahte) {
    // A channel can use AHT only when it sends exponents once, in block 0; the coupling channel
    // only when it is in use in every block and sends neither its strategy nor exponents again.
    const auto SentOnce = [Blocks](const bool (&New)[MaxBlocks], const bool* Again) {
      for (int32_t Block = 1; Block < Blocks; ++Block)
        if (New[Block] || (Again != nullptr && Again[Block])) return false;
      return true;
    };
    if (ncplblks == MaxBlocks && SentOnce(cplnew, cplstre)) Read(1);  // cplahtinu
    for (int32_t Channel = 0; Channel < Channels; ++Channel)
      if (SentOnce(chnew[Channel], nullptr)) Read(1);  // chahtinu
    if (F.lfeon && SentOnce(lfenew, nullptr)) Read(1);  // lfeahtinu
  }
  if (snroffststr == 0) Read(10);  // frmcsnroffst, frmfsnroffst
  if (transproce)
    for (int32_t Channel = 0; Channel < Channels; ++Channel)
      if (Read(1)) Read(18);  // transprocloc, transproclen
  if (spxattene)
    for (int32_t Channel = 0; Channel < Channels; ++Channel)
      if (Read(1)) Read(5);  // spxattencod
  int64_t BlockStartBits = 0;
  if (F.numblkscod != 0 && Read(1)) {
    // blkstrtinfo: 4 + ceil(log2(words per syncframe)) bits for each block after the first.
    int32_t WordBits = 0;
    while ((int64_t{1} << WordBits) < int64_t{F.frmsiz} + 1) ++WordBits;
    BlockStartBits = int64_t{Blocks - 1} * (4 + WordBits);
  }
  return Start - Bits.RemainBits() + BlockStartBits;
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
