#pragma once
// Test-only composer of E-AC-3 syncframes: writes syncinfo() and bsi() of the A/52 Annex E
// syntax from the values of a TAC3PlusFrame, so tests can reach the branches that encoders
// rarely emit (dependent substreams, reduced sampling rates, mixing data blocks, ...).

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "analysis/AC3PlusUtils.h"
#include "support/BitWriter.h"

namespace corvane::test {

struct TAC3PlusComposeOptions {
  // Per-block flags of the mixing configuration when numblkscod is 1 to 3: bit b is block b's
  // blkmixcfginfoe (the record keeps only one flag).
  uint32_t BlockFlags = 0x3F;
  // The byte whose bits fill the rest of a mixing data block after its known sub-fields.
  uint8_t MixDataFill = 0xA5;
  // audfrm(): 0 writes every field that the frame's bsi() and blkswe/dithflage leave open as
  // zero; another value seeds random choices of them (strategies, coupling, AHT, ...).
  uint32_t AudfrmSeed = 0;
};

struct TComposedAC3PlusFrame {
  std::vector<uint8_t> Bytes;     // the whole frame, (frmsiz + 1) * 2 bytes or the header if longer
  size_t MixDataBlockBit = 0;     // first bit of the mixing data block (mixdef 3), from the frame's start
  size_t AudfrmBit = 0;           // first bit of audfrm()
  size_t AudblkBit = 0;           // first bit of the first audio block
  size_t HeaderBits = 0;          // bits of syncinfo(), bsi(), audfrm() and the start of audblk()
};

// A 48 kHz 2/0 independent frame of 1536 bytes with six blocks and no metadata.
inline TAC3PlusFrame PlainAC3PlusFrame() {
  TAC3PlusFrame F;
  std::memset(&F, 0, sizeof F);
  F.syncword = 0x0B77;
  F.frmsiz = 767;
  F.numblkscod = 3;
  F.acmod = 2;
  F.bsid = 16;
  F.dialnorm = 31;
  return F;
}

namespace detail {

inline void PutFlagged(TBitWriter& W, uint32_t Flag, uint32_t Value, int Bits) {
  W.Put(Flag, 1);
  if (Flag) W.Put(Value, Bits);
}

inline void PutMixingDataBlock(TBitWriter& W, const TAC3PlusFrame& F, const TAC3PlusComposeOptions& O,
                               TComposedAC3PlusFrame& Out) {
  W.Put(F.mixdeflen, 5);
  Out.MixDataBlockBit = W.BitCount();
  W.Put(F.mixdata2e, 1);
  if (F.mixdata2e) {
    W.Put(F.premixcmpsel, 1).Put(F.drcsrc, 1).Put(F.premixcmpscl, 3);
    PutFlagged(W, F.extpgmlscle, F.extpgmlscl, 4);
    PutFlagged(W, F.extpgmcscle, F.extpgmcscl, 4);
    PutFlagged(W, F.extpgmrscle, F.extpgmrscl, 4);
    PutFlagged(W, F.extpgmlsscle, F.extpgmlsscl, 4);
    PutFlagged(W, F.extpgmrsscle, F.extpgmrsscl, 4);
    PutFlagged(W, F.extpgmlfescle, F.extpgmlfescl, 4);
    PutFlagged(W, F.dmixscle, F.dmixscl, 4);
    W.Put(F.addche, 1);
    if (F.addche) {
      PutFlagged(W, F.extpgmaux1scle, F.extpgmaux1scl, 4);
      PutFlagged(W, F.extpgmaux2scle, F.extpgmaux2scl, 4);
    }
  }
  W.Put(F.mixdata3e, 1);
  if (F.mixdata3e) {
    W.Put(F.spchdat, 5).Put(F.addspchdate, 1);
    if (F.addspchdate) {
      W.Put(F.spchdat1, 5).Put(F.spchan1att, 2).Put(F.addspchdat1e, 1);
      if (F.addspchdat1e) W.Put(F.spchdat2, 5).Put(F.spchan2att, 3);
    }
  }
  // mixdata and mixdatafill: whatever is left of the block's mixdeflen + 2 bytes.
  const size_t BlockEnd = Out.MixDataBlockBit + 8 * (size_t{F.mixdeflen} + 2);
  for (size_t Bit = W.BitCount(); Bit < BlockEnd; ++Bit) W.Put((O.MixDataFill >> (7 - Bit % 8)) & 1u, 1);
}

inline void PutMixingMetadata(TBitWriter& W, const TAC3PlusFrame& F, const TAC3PlusComposeOptions& O,
                              TComposedAC3PlusFrame& Out) {
  if (F.acmod > 2) W.Put(F.dmixmod, 2);
  if ((F.acmod & 1) && F.acmod > 2) W.Put(F.ltrtcmixlev, 3).Put(F.lorocmixlev, 3);
  if (F.acmod & 4) W.Put(F.ltrtsurmixlev, 3).Put(F.lorosurmixlev, 3);
  if (F.lfeon) PutFlagged(W, F.lfemixlevcode, F.lfemixlevcod, 5);
  if (F.strmtyp != 0) return;
  PutFlagged(W, F.pgmscle, F.pgmscl, 6);
  if (F.acmod == 0) PutFlagged(W, F.pgmscl2e, F.pgmscl2, 6);
  PutFlagged(W, F.extpgmscle, F.extpgmscl, 6);
  W.Put(F.mixdef, 2);
  if (F.mixdef == 1) W.Put(F.premixcmpsel, 1).Put(F.drcsrc, 1).Put(F.premixcmpscl, 3);
  if (F.mixdef == 2) W.Put(F.mixdata, 12);
  if (F.mixdef == 3) PutMixingDataBlock(W, F, O, Out);
  if (F.acmod < 2) {
    W.Put(F.paninfoe, 1);
    if (F.paninfoe) W.Put(F.panmean, 8).Put(F.paninfo, 6);
    if (F.acmod == 0) {
      W.Put(F.paninfo2e, 1);
      if (F.paninfo2e) W.Put(F.panmean2, 8).Put(F.paninfo2, 6);
    }
  }
  W.Put(F.frmmixcfginfoe, 1);
  if (!F.frmmixcfginfoe) return;
  if (F.numblkscod == 0) {
    W.Put(F.blkmixcfginfo[0], 5);
    return;
  }
  const int Blocks = F.numblkscod == 3 ? 6 : static_cast<int>(F.numblkscod) + 1;
  for (int Block = 0; Block < Blocks; ++Block) PutFlagged(W, (O.BlockFlags >> Block) & 1u, F.blkmixcfginfo[Block], 5);
}

inline void PutInformationalMetadata(TBitWriter& W, const TAC3PlusFrame& F) {
  W.Put(F.bsmod, 3).Put(F.copyrightb, 1).Put(F.origbs, 1);
  if (F.acmod == 2) W.Put(F.dsurmod, 2).Put(F.dheadphonmod, 2);
  if (F.acmod >= 6) W.Put(F.dsurexmod, 2);
  W.Put(F.audprodie, 1);
  if (F.audprodie) W.Put(F.mixlevel, 5).Put(F.roomtyp, 2).Put(F.adconvtyp, 1);
  if (F.acmod == 0) {
    W.Put(F.audprodi2e, 1);
    if (F.audprodi2e) W.Put(F.mixlevel2, 5).Put(F.roomtyp2, 2).Put(F.adconvtyp2, 1);
  }
  if (F.fscod < 3) W.Put(F.sourcefscod, 1);
}

// audfrm() as A/52 Annex E writes it, with the choices it leaves open drawn from Seed.
inline void PutAudfrm(TBitWriter& W, const TAC3PlusFrame& F, uint32_t Seed) {
  std::mt19937 Random(Seed);
  const auto Draw = [&](int Bits) { return Seed == 0 ? 0u : static_cast<uint32_t>(Random()) & ((1u << Bits) - 1u); };
  constexpr int ChannelsOf[8] = {2, 1, 2, 3, 3, 4, 4, 5};
  const int Channels = ChannelsOf[F.acmod & 7];
  const int Blocks = F.numblkscod == 3 ? 6 : static_cast<int>(F.numblkscod) + 1;
  uint32_t expstre = 1, ahte = 0;
  if (F.numblkscod == 3) {
    expstre = Draw(1), ahte = Draw(1);
    W.Put(expstre, 1).Put(ahte, 1);
  }
  const uint32_t snroffststr = Draw(2), transproce = Draw(1), spxattene = Draw(1);
  W.Put(snroffststr, 2).Put(transproce, 1).Put(F.blkswe, 1).Put(F.dithflage, 1).Put(Draw(4), 4).Put(spxattene, 1);
  int cplinu[6] = {}, cplstre[6] = {};
  if (F.acmod > 1) {
    cplstre[0] = 1;
    cplinu[0] = static_cast<int>(Draw(1));
    W.Put(static_cast<uint32_t>(cplinu[0]), 1);
    for (int Blk = 1; Blk < Blocks; ++Blk) {
      cplstre[Blk] = static_cast<int>(Draw(1));
      W.Put(static_cast<uint32_t>(cplstre[Blk]), 1);
      cplinu[Blk] = cplstre[Blk] ? static_cast<int>(Draw(1)) : cplinu[Blk - 1];
      if (cplstre[Blk]) W.Put(static_cast<uint32_t>(cplinu[Blk]), 1);
    }
  }
  int ncplblks = 0;
  for (int Blk = 0; Blk < Blocks; ++Blk) ncplblks += cplinu[Blk];
  // Exponent strategies, 0 standing for reuse; with per-frame strategies the 5-bit code's bit
  // 5 - blk says whether block blk sends new exponents.
  uint32_t cplexpstr[6] = {}, chexpstr[6][5] = {}, lfeexpstr[6] = {};
  const auto FromFrameCode = [](uint32_t Code, int Blk) { return Blk == 0 || ((Code >> (5 - Blk)) & 1u) ? 1u : 0u; };
  if (expstre) {
    for (int Blk = 0; Blk < Blocks; ++Blk) {
      if (cplinu[Blk]) W.Put(cplexpstr[Blk] = Draw(2), 2);
      for (int Ch = 0; Ch < Channels; ++Ch) W.Put(chexpstr[Blk][Ch] = Draw(2), 2);
    }
  } else {
    if (F.acmod > 1 && ncplblks > 0) {
      const uint32_t Code = Draw(5);
      W.Put(Code, 5);
      for (int Blk = 0; Blk < 6; ++Blk) cplexpstr[Blk] = FromFrameCode(Code, Blk);
    }
    for (int Ch = 0; Ch < Channels; ++Ch) {
      const uint32_t Code = Draw(5);
      W.Put(Code, 5);
      for (int Blk = 0; Blk < 6; ++Blk) chexpstr[Blk][Ch] = FromFrameCode(Code, Blk);
    }
  }
  if (F.lfeon)
    for (int Blk = 0; Blk < Blocks; ++Blk) W.Put(lfeexpstr[Blk] = Draw(1), 1);
  if (F.strmtyp == 0) {
    uint32_t convexpstre = 1;
    if (F.numblkscod != 3) W.Put(convexpstre = Draw(1), 1);
    if (convexpstre)
      for (int Ch = 0; Ch < Channels; ++Ch) W.Put(Draw(5), 5);
  }
  if (ahte) {
    int ncplregs = 0, nlferegs = 0;
    for (int Blk = 0; Blk < 6; ++Blk) ncplregs += Blk == 0 || cplstre[Blk] || cplexpstr[Blk] != 0;
    if (ncplblks == 6 && ncplregs == 1) W.Put(Draw(1), 1);
    for (int Ch = 0; Ch < Channels; ++Ch) {
      int nchregs = 0;
      for (int Blk = 0; Blk < 6; ++Blk) nchregs += Blk == 0 || chexpstr[Blk][Ch] != 0;
      if (nchregs == 1) W.Put(Draw(1), 1);
    }
    for (int Blk = 0; Blk < 6; ++Blk) nlferegs += Blk == 0 || lfeexpstr[Blk] != 0;
    if (F.lfeon && nlferegs == 1) W.Put(Draw(1), 1);
  }
  if (snroffststr == 0) W.Put(Draw(6), 6).Put(Draw(4), 4);
  if (transproce)
    for (int Ch = 0; Ch < Channels; ++Ch) {
      const uint32_t chintransproc = Draw(1);
      W.Put(chintransproc, 1);
      if (chintransproc) W.Put(Draw(10), 10).Put(Draw(8), 8);
    }
  if (spxattene)
    for (int Ch = 0; Ch < Channels; ++Ch) {
      const uint32_t chinspxatten = Draw(1);
      W.Put(chinspxatten, 1);
      if (chinspxatten) W.Put(Draw(5), 5);
    }
  if (F.numblkscod != 0) {
    const uint32_t blkstrtinfoe = Draw(1);
    W.Put(blkstrtinfoe, 1);
    if (blkstrtinfoe) {
      int Log2Words = 0;
      while ((1u << Log2Words) < F.frmsiz + 1) ++Log2Words;
      for (int Bit = 0; Bit < (Blocks - 1) * (4 + Log2Words); ++Bit) W.Put(Draw(1), 1);
    }
  }
}

// The start of the first audio block, up to its dynamic range words.
inline void PutAudblkStart(TBitWriter& W, const TAC3PlusFrame& F) {
  constexpr uint32_t ChannelsOf[8] = {2, 1, 2, 3, 3, 4, 4, 5};
  if (F.blkswe)
    for (uint32_t Ch = 0; Ch < ChannelsOf[F.acmod & 7]; ++Ch) W.Put(F.blksw[Ch], 1);
  if (F.dithflage)
    for (uint32_t Ch = 0; Ch < ChannelsOf[F.acmod & 7]; ++Ch) W.Put(F.dithflag[Ch], 1);
  PutFlagged(W, F.dynrnge, F.dynrng, 8);
  if (F.acmod == 0) PutFlagged(W, F.dynrng2e, F.dynrng2, 8);
}

}  // namespace detail

// Writes the frame's syncword and bsi() from F (numblkscod is not written when fscod is 3,
// nor blkid when strmtyp is 2 with six blocks), audfrm() and the start of the first audio
// block, then zero bytes up to the frame size.
inline TComposedAC3PlusFrame ComposeAC3PlusFrame(const TAC3PlusFrame& F, const TAC3PlusComposeOptions& O = {}) {
  TComposedAC3PlusFrame Out;
  TBitWriter W;
  W.Put(F.syncword, 16);
  W.Put(F.strmtyp, 2).Put(F.substreamid, 3).Put(F.frmsiz, 11).Put(F.fscod, 2);
  if (F.fscod == 3)
    W.Put(F.fscod2, 2);
  else
    W.Put(F.numblkscod, 2);
  W.Put(F.acmod, 3).Put(F.lfeon, 1).Put(F.bsid, 5).Put(F.dialnorm, 5);
  detail::PutFlagged(W, F.compre, F.compr, 8);
  if (F.acmod == 0) {
    W.Put(F.dialnorm2, 5);
    detail::PutFlagged(W, F.compr2e, F.compr2, 8);
  }
  if (F.strmtyp == 1) detail::PutFlagged(W, F.chanmape, F.chanmap, 16);
  W.Put(F.mixmdate, 1);
  if (F.mixmdate) detail::PutMixingMetadata(W, F, O, Out);
  W.Put(F.infomdate, 1);
  if (F.infomdate) detail::PutInformationalMetadata(W, F);
  if (F.strmtyp == 0 && F.numblkscod != 3) W.Put(F.convsync, 1);
  if (F.strmtyp == 2) {
    if (F.numblkscod != 3) W.Put(F.blkid, 1);
    if (F.blkid) W.Put(F.frmsizecod, 6);
  }
  W.Put(F.addbsie, 1);
  if (F.addbsie) {
    W.Put(F.addbsil, 6);
    for (uint32_t Index = 0; Index <= F.addbsil && Index < 64; ++Index) W.Put(F.addbsi[Index], 8);
  }
  Out.AudfrmBit = W.BitCount();
  detail::PutAudfrm(W, F, O.AudfrmSeed);
  Out.AudblkBit = W.BitCount();
  detail::PutAudblkStart(W, F);
  Out.HeaderBits = W.BitCount();
  W.PadTo((size_t{F.frmsiz} + 1) * 2);
  Out.Bytes = W.Bytes();
  return Out;
}

// Frames back to back.
inline std::vector<uint8_t> ComposeAC3PlusStream(const std::vector<TAC3PlusFrame>& Frames) {
  std::vector<uint8_t> Stream;
  for (const TAC3PlusFrame& F : Frames) {
    const std::vector<uint8_t> Bytes = ComposeAC3PlusFrame(F).Bytes;
    Stream.insert(Stream.end(), Bytes.begin(), Bytes.end());
  }
  return Stream;
}

// Bits [FirstBit, FirstBit + 8 * Count) of Bytes as bytes; zeros past the end.
inline std::vector<uint8_t> ExtractBytes(const std::vector<uint8_t>& Bytes, size_t FirstBit, size_t Count) {
  std::vector<uint8_t> Out(Count, 0);
  for (size_t Bit = 0; Bit < 8 * Count; ++Bit) {
    const size_t From = FirstBit + Bit;
    const uint32_t Value = From / 8 < Bytes.size() ? (static_cast<uint32_t>(Bytes[From / 8]) >> (7 - From % 8)) & 1u : 0;
    if (Value) Out[Bit / 8] = static_cast<uint8_t>(Out[Bit / 8] | (0x80u >> (Bit % 8)));
  }
  return Out;
}

// Every unsigned 32-bit field of TAC3PlusFrame, in record order.
#define CORVANE_AC3PLUS_SCALAR_FIELDS(X) \
  X(syncword) X(strmtyp) X(substreamid) X(frmsiz) X(fscod) X(fscod2) X(numblkscod) X(acmod) X(lfeon) X(bsid) \
  X(dialnorm) X(compre) X(compr) X(dialnorm2) X(compr2e) X(compr2) X(chanmape) X(chanmap) X(mixmdate) \
  X(dmixmod) X(ltrtcmixlev) X(lorocmixlev) X(ltrtsurmixlev) X(lorosurmixlev) X(lfemixlevcode) X(lfemixlevcod) \
  X(pgmscle) X(pgmscl) X(pgmscl2e) X(pgmscl2) X(extpgmscle) X(extpgmscl) X(mixdef) X(premixcmpsel) X(drcsrc) \
  X(premixcmpscl) X(mixdata) X(mixdeflen) X(mixdata2e) X(extpgmlscle) X(extpgmlscl) X(extpgmcscle) \
  X(extpgmcscl) X(extpgmrscle) X(extpgmrscl) X(extpgmlsscle) X(extpgmlsscl) X(extpgmrsscle) X(extpgmrsscl) \
  X(extpgmlfescle) X(extpgmlfescl) X(dmixscle) X(dmixscl) X(addche) X(extpgmaux1scle) X(extpgmaux1scl) \
  X(extpgmaux2scle) X(extpgmaux2scl) X(mixdata3e) X(spchdat) X(addspchdate) X(spchdat1) X(spchan1att) \
  X(addspchdat1e) X(spchdat2) X(spchan2att) X(mixdatafill) X(paninfoe) X(panmean) X(paninfo) X(paninfo2e) \
  X(panmean2) X(paninfo2) X(frmmixcfginfoe) X(blkmixcfginfoe) X(infomdate) X(bsmod) X(copyrightb) X(origbs) \
  X(dsurmod) X(dheadphonmod) X(dsurexmod) X(audprodie) X(mixlevel) X(roomtyp) X(adconvtyp) X(audprodi2e) \
  X(mixlevel2) X(roomtyp2) X(adconvtyp2) X(sourcefscod) X(convsync) X(blkid) X(frmsizecod) X(addbsie) \
  X(addbsil) X(blkswe) X(dithflage) X(dynrnge) X(dynrng) X(dynrng2e) X(dynrng2)

// One line per field that differs ("name: expected E, got A"), arrays included.
inline std::vector<std::string> DiffAC3PlusFrames(const TAC3PlusFrame& Expected, const TAC3PlusFrame& Actual) {
  std::vector<std::string> Diffs;
  const auto Check = [&](const std::string& Name, uint32_t E, uint32_t A) {
    if (E != A) Diffs.push_back(Name + ": expected " + std::to_string(E) + ", got " + std::to_string(A));
  };
#define CORVANE_CHECK_FIELD(Name) Check(#Name, Expected.Name, Actual.Name);
  CORVANE_AC3PLUS_SCALAR_FIELDS(CORVANE_CHECK_FIELD)
#undef CORVANE_CHECK_FIELD
  for (size_t I = 0; I < std::size(Expected.mixdatabytes); ++I)
    Check("mixdatabytes[" + std::to_string(I) + "]", Expected.mixdatabytes[I], Actual.mixdatabytes[I]);
  for (size_t I = 0; I < std::size(Expected.blkmixcfginfo); ++I)
    Check("blkmixcfginfo[" + std::to_string(I) + "]", Expected.blkmixcfginfo[I], Actual.blkmixcfginfo[I]);
  for (size_t I = 0; I < std::size(Expected.addbsi); ++I)
    Check("addbsi[" + std::to_string(I) + "]", Expected.addbsi[I], Actual.addbsi[I]);
  for (size_t I = 0; I < std::size(Expected.blksw); ++I) {
    Check("blksw[" + std::to_string(I) + "]", Expected.blksw[I], Actual.blksw[I]);
    Check("dithflag[" + std::to_string(I) + "]", Expected.dithflag[I], Actual.dithflag[I]);
  }
  return Diffs;
}

}  // namespace corvane::test
