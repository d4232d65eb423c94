#pragma once
// Test-only composer of AC-3 syncframes: writes syncinfo() and bsi() with chosen field values in
// the A/52 bit layout, so tests can reach every branch of the header syntax.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/AC3Utils.h"
#include "support/BitWriter.h"

namespace corvane::test {

// A header with every element zero except the syncword and bsid 8 (plain A/52 syntax).
inline TAC3Frame AC3Header(uint32_t fscod, uint32_t frmsizecod, uint32_t acmod = 2) {
  TAC3Frame Frame{};
  Frame.syncword = 0x0B77;
  Frame.fscod = fscod;
  Frame.frmsizecod = frmsizecod;
  Frame.bsid = 8;
  Frame.acmod = acmod;
  return Frame;
}

// syncinfo(), bsi() and the start of the first audio block up to its dynamic range words, of
// Frame; the optional elements are written when their conditions hold. The last byte is padded
// with zero bits; HeaderBits, when given, receives the bits written before that padding.
inline std::vector<uint8_t> ComposeAC3Header(const TAC3Frame& F, size_t* HeaderBits = nullptr) {
  TBitWriter W;
  W.Put(F.syncword, 16).Put(F.crc1, 16).Put(F.fscod, 2).Put(F.frmsizecod, 6);
  W.Put(F.bsid, 5).Put(F.bsmod, 3).Put(F.acmod, 3);
  if ((F.acmod & 0x1) && F.acmod != 0x1) W.Put(F.cmixlev, 2);
  if (F.acmod & 0x4) W.Put(F.surmixlev, 2);
  if (F.acmod == 0x2) W.Put(F.dsurmod, 2);
  W.Put(F.lfeon, 1).Put(F.dialnorm, 5);
  W.Put(F.compre, 1);
  if (F.compre) W.Put(F.compr, 8);
  W.Put(F.langcode, 1);
  if (F.langcode) W.Put(F.langcod, 8);
  W.Put(F.audprodie, 1);
  if (F.audprodie) W.Put(F.mixlevel, 5).Put(F.roomtyp, 2);
  if (F.acmod == 0) {
    W.Put(F.dialnorm2, 5).Put(F.compr2e, 1);
    if (F.compr2e) W.Put(F.compr2, 8);
    W.Put(F.langcod2e, 1);
    if (F.langcod2e) W.Put(F.langcod2, 8);
    W.Put(F.audprodi2e, 1);
    if (F.audprodi2e) W.Put(F.mixlevel2, 5).Put(F.roomtyp2, 2);
  }
  W.Put(F.copyrightb, 1).Put(F.origbs, 1);
  W.Put(F.timecod1e, 1);
  if (F.timecod1e) W.Put(F.timecod1, 14);
  W.Put(F.timecod2e, 1);
  if (F.timecod2e) W.Put(F.timecod2, 14);
  W.Put(F.addbsie, 1);
  if (F.addbsie) {
    W.Put(F.addbsil, 6);
    for (uint32_t I = 0; I <= F.addbsil; ++I) W.Put(F.addbsi[I], 8);
  }
  constexpr uint32_t Channels[8] = {2, 1, 2, 3, 3, 4, 4, 5};
  for (uint32_t Ch = 0; Ch < Channels[F.acmod & 7]; ++Ch) W.Put(F.blksw[Ch], 1);
  for (uint32_t Ch = 0; Ch < Channels[F.acmod & 7]; ++Ch) W.Put(F.dithflag[Ch], 1);
  W.Put(F.dynrnge, 1);
  if (F.dynrnge) W.Put(F.dynrng, 8);
  if (F.acmod == 0) {
    W.Put(F.dynrng2e, 1);
    if (F.dynrng2e) W.Put(F.dynrng2, 8);
  }
  if (HeaderBits != nullptr) *HeaderBits = W.BitCount();
  return W.Align().Bytes();
}

// The header followed by zero bytes up to Size bytes in all.
inline std::vector<uint8_t> ComposeAC3Frame(const TAC3Frame& Frame, size_t Size) {
  std::vector<uint8_t> Bytes = ComposeAC3Header(Frame);
  if (Bytes.size() < Size) Bytes.resize(Size, 0);
  return Bytes;
}

inline void Append(std::vector<uint8_t>& To, const std::vector<uint8_t>& Bytes) {
  To.insert(To.end(), Bytes.begin(), Bytes.end());
}

}  // namespace corvane::test
