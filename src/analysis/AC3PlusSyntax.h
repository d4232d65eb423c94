#pragma once
// The E-AC-3 header syntax (ATSC A/52 Annex E syncinfo() and bsi()): one description of each
// field, and the order and conditions in which the fields occur, written once. The decoder
// walks it with a TFieldReader, the syntax tree with a TFieldNodes.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

#include "analysis/AC3Descriptions.h"
#include "analysis/AC3PlusUtils.h"
#include "analysis/SyntaxFields.h"
#include "core/StringUtils.h"

namespace corvane {

enum class TAC3PlusFieldId : uint8_t {
  syncword,
  // bsi() core
  strmtyp, substreamid, frmsiz, fscod, fscod2, numblkscod, acmod, lfeon, bsid, dialnorm, compre, compr,
  dialnorm2, compr2e, compr2, chanmape, chanmap,
  // mixing metadata
  mixmdate, dmixmod, ltrtcmixlev, lorocmixlev, ltrtsurmixlev, lorosurmixlev, lfemixlevcode, lfemixlevcod,
  pgmscle, pgmscl, pgmscl2e, pgmscl2, extpgmscle, extpgmscl, mixdef, premixcmpsel, drcsrc, premixcmpscl,
  mixdata, mixdeflen, mixdata2e, extpgmlscle, extpgmlscl, extpgmcscle, extpgmcscl, extpgmrscle, extpgmrscl,
  extpgmlsscle, extpgmlsscl, extpgmrsscle, extpgmrsscl, extpgmlfescle, extpgmlfescl, dmixscle, dmixscl, addche,
  extpgmaux1scle, extpgmaux1scl, extpgmaux2scle, extpgmaux2scl, mixdata3e, spchdat, addspchdate, spchdat1,
  spchan1att, addspchdat1e, spchdat2, spchan2att,
  mixdata_rest,   // the "mixdata" that fills a mixing data block after its known sub-fields
  mixdatafill, paninfoe, panmean, paninfo, paninfo2e, panmean2, paninfo2, frmmixcfginfoe,
  blkmixcfginfo0,  // blkmixcfginfo[0] of a frame of one block
  blkmixcfginfoe, blkmixcfginfo,  // per block of a frame of several blocks
  // informational metadata
  infomdate, bsmod, copyrightb, origbs, dsurmod, dheadphonmod, dsurexmod, audprodie, mixlevel, roomtyp,
  adconvtyp, audprodi2e, mixlevel2, roomtyp2, adconvtyp2, sourcefscod,
  // end of bsi()
  convsync, blkid, frmsizecod, addbsie, addbsil, addbsi,
  // the audio frame, and the start of the first audio block
  audfrm, blksw, dithflag, dynrnge, dynrng, dynrng2e, dynrng2,
  Count
};

namespace ac3plus_syntax_detail {

inline int32_t Signed(uint32_t Value) { return static_cast<int32_t>(Value); }

}  // namespace ac3plus_syntax_detail

// Id, name and record field of a field, for the table below.
#define CORVANE_AC3PLUS_FIELD(N) .Id = static_cast<uint8_t>(TAC3PlusFieldId::N), .Name = #N, .Member = &TAC3PlusFrame::N
#define CORVANE_AC3PLUS_ID(N) .Id = static_cast<uint8_t>(TAC3PlusFieldId::N)

// clang-format off
inline constexpr std::array<TSyntaxField<TAC3PlusFrame>, static_cast<size_t>(TAC3PlusFieldId::Count)> AC3PlusFields = {{
    {CORVANE_AC3PLUS_FIELD(syncword), .Width = 16, .Show = TFieldShow::HexWord},
    {CORVANE_AC3PLUS_FIELD(strmtyp), .Width = 2, .Show = TFieldShow::Meaning,
     .Meaning = [](const TAC3PlusFrame& F) { return StrmtypToStr(ac3plus_syntax_detail::Signed(F.strmtyp)); }},
    {CORVANE_AC3PLUS_FIELD(substreamid), .Width = 3},
    {CORVANE_AC3PLUS_FIELD(frmsiz), .Width = 11, .Show = TFieldShow::Meaning,
     .Meaning = [](const TAC3PlusFrame& F) { return UIntToStr((uint64_t{F.frmsiz} + 1) * 2) + u" bytes"; }},
    {CORVANE_AC3PLUS_FIELD(fscod), .Width = 2, .Show = TFieldShow::Meaning,
     .Meaning = [](const TAC3PlusFrame& F) { return FscodToStr(ac3plus_syntax_detail::Signed(F.fscod)); }},
    {CORVANE_AC3PLUS_FIELD(fscod2), .Width = 2, .Show = TFieldShow::Meaning,
     .Meaning = [](const TAC3PlusFrame& F) { return Fscod2ToStr(ac3plus_syntax_detail::Signed(F.fscod2)); }},
    {CORVANE_AC3PLUS_FIELD(numblkscod), .Width = 2},
    {CORVANE_AC3PLUS_FIELD(acmod), .Width = 3},
    {CORVANE_AC3PLUS_FIELD(lfeon), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(bsid), .Width = 5},
    {CORVANE_AC3PLUS_FIELD(dialnorm), .Width = 5},
    {CORVANE_AC3PLUS_FIELD(compre), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(compr), .Width = 8, .Decibels = ComprToDb},
    {CORVANE_AC3PLUS_FIELD(dialnorm2), .Width = 5},
    {CORVANE_AC3PLUS_FIELD(compr2e), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(compr2), .Width = 8, .Decibels = ComprToDb},
    {CORVANE_AC3PLUS_FIELD(chanmape), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(chanmap), .Width = 16},
    {CORVANE_AC3PLUS_FIELD(mixmdate), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(dmixmod), .Width = 2},
    {CORVANE_AC3PLUS_FIELD(ltrtcmixlev), .Width = 3},
    {CORVANE_AC3PLUS_FIELD(lorocmixlev), .Width = 3},
    {CORVANE_AC3PLUS_FIELD(ltrtsurmixlev), .Width = 3},
    {CORVANE_AC3PLUS_FIELD(lorosurmixlev), .Width = 3},
    {CORVANE_AC3PLUS_FIELD(lfemixlevcode), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(lfemixlevcod), .Width = 5},
    {CORVANE_AC3PLUS_FIELD(pgmscle), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(pgmscl), .Width = 6},
    {CORVANE_AC3PLUS_FIELD(pgmscl2e), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(pgmscl2), .Width = 6},
    {CORVANE_AC3PLUS_FIELD(extpgmscle), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(extpgmscl), .Width = 6},
    {CORVANE_AC3PLUS_FIELD(mixdef), .Width = 2},
    {CORVANE_AC3PLUS_FIELD(premixcmpsel), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(drcsrc), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(premixcmpscl), .Width = 3},
    {CORVANE_AC3PLUS_FIELD(mixdata), .Width = 12},
    {CORVANE_AC3PLUS_FIELD(mixdeflen), .Width = 5},
    {CORVANE_AC3PLUS_FIELD(mixdata2e), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(extpgmlscle), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(extpgmlscl), .Width = 4},
    {CORVANE_AC3PLUS_FIELD(extpgmcscle), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(extpgmcscl), .Width = 4},
    {CORVANE_AC3PLUS_FIELD(extpgmrscle), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(extpgmrscl), .Width = 4},
    {CORVANE_AC3PLUS_FIELD(extpgmlsscle), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(extpgmlsscl), .Width = 4, .Label = "extpgmlscl_2"},
    {CORVANE_AC3PLUS_FIELD(extpgmrsscle), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(extpgmrsscl), .Width = 4},
    {CORVANE_AC3PLUS_FIELD(extpgmlfescle), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(extpgmlfescl), .Width = 4},
    {CORVANE_AC3PLUS_FIELD(dmixscle), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(dmixscl), .Width = 4},
    {CORVANE_AC3PLUS_FIELD(addche), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(extpgmaux1scle), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(extpgmaux1scl), .Width = 4},
    {CORVANE_AC3PLUS_FIELD(extpgmaux2scle), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(extpgmaux2scl), .Width = 4},
    {CORVANE_AC3PLUS_FIELD(mixdata3e), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(spchdat), .Width = 5},
    {CORVANE_AC3PLUS_FIELD(addspchdate), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(spchdat1), .Width = 5},
    {CORVANE_AC3PLUS_FIELD(spchan1att), .Width = 2},
    {CORVANE_AC3PLUS_FIELD(addspchdat1e), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(spchdat2), .Width = 5},
    {CORVANE_AC3PLUS_FIELD(spchan2att), .Width = 3},
    // Its bits are kept only within mixdatabytes, the bytes of the whole block.
    {CORVANE_AC3PLUS_ID(mixdata_rest), .Name = "mixdata", .Show = TFieldShow::LabelOnly},
    {CORVANE_AC3PLUS_FIELD(mixdatafill)},  // always derived: 0
    {CORVANE_AC3PLUS_FIELD(paninfoe), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(panmean), .Width = 8},
    {CORVANE_AC3PLUS_FIELD(paninfo), .Width = 6, .Label = "paninfoe_2"},
    {CORVANE_AC3PLUS_FIELD(paninfo2e), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(panmean2), .Width = 8},
    {CORVANE_AC3PLUS_FIELD(paninfo2), .Width = 6},
    {CORVANE_AC3PLUS_FIELD(frmmixcfginfoe), .Width = 1},
    {CORVANE_AC3PLUS_ID(blkmixcfginfo0), .Name = "blkmixcfginfo", .Width = 5, .Label = "blkmixcfginfo[0]", .Indexed = true},
    // The per-block mixing configuration of a frame of several blocks is decoded but not shown.
    {CORVANE_AC3PLUS_FIELD(blkmixcfginfoe), .Width = 1, .Show = TFieldShow::Hidden, .Indexed = true},
    {CORVANE_AC3PLUS_ID(blkmixcfginfo), .Name = "blkmixcfginfo", .Width = 5, .Show = TFieldShow::Hidden, .Indexed = true},
    {CORVANE_AC3PLUS_FIELD(infomdate), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(bsmod), .Width = 3},
    {CORVANE_AC3PLUS_FIELD(copyrightb), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(origbs), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(dsurmod), .Width = 2},
    {CORVANE_AC3PLUS_FIELD(dheadphonmod), .Width = 2},
    {CORVANE_AC3PLUS_FIELD(dsurexmod), .Width = 2},
    {CORVANE_AC3PLUS_FIELD(audprodie), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(mixlevel), .Width = 5},
    {CORVANE_AC3PLUS_FIELD(roomtyp), .Width = 2},
    {CORVANE_AC3PLUS_FIELD(adconvtyp), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(audprodi2e), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(mixlevel2), .Width = 5},
    {CORVANE_AC3PLUS_FIELD(roomtyp2), .Width = 2},
    {CORVANE_AC3PLUS_FIELD(adconvtyp2), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(sourcefscod), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(convsync), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(blkid), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(frmsizecod), .Width = 6},
    {CORVANE_AC3PLUS_FIELD(addbsie), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(addbsil), .Width = 6},
    // Decoded into the record; this tree, unlike the AC-3 one, does not list them.
    {CORVANE_AC3PLUS_ID(addbsi), .Name = "addbsi", .Width = 8, .Show = TFieldShow::Hidden, .Indexed = true},
    // Its bits are marked on the tree's "audfrm()" node; none of its fields gets a node.
    {CORVANE_AC3PLUS_ID(audfrm), .Name = "audfrm", .Show = TFieldShow::Hidden},
    {CORVANE_AC3PLUS_ID(blksw), .Name = "blksw", .Width = 1, .Indexed = true},
    {CORVANE_AC3PLUS_ID(dithflag), .Name = "dithflag", .Width = 1, .Indexed = true},
    {CORVANE_AC3PLUS_FIELD(dynrnge), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(dynrng), .Width = 8, .Show = TFieldShow::Meaning,
     .Meaning = [](const TAC3PlusFrame& F) { return DecibelsToStr(DynrngToDb(F.dynrng)); }, .Decibels = DynrngToDb},
    {CORVANE_AC3PLUS_FIELD(dynrng2e), .Width = 1},
    {CORVANE_AC3PLUS_FIELD(dynrng2), .Width = 8, .Show = TFieldShow::Meaning,
     .Meaning = [](const TAC3PlusFrame& F) { return DecibelsToStr(DynrngToDb(F.dynrng2)); }, .Decibels = DynrngToDb},
}};
// clang-format on

#undef CORVANE_AC3PLUS_ID
#undef CORVANE_AC3PLUS_FIELD

static_assert(IdsMatchPlaces(AC3PlusFields));

template <>
struct TSyntax<TAC3PlusFrame> {
  using TId = TAC3PlusFieldId;
  static constexpr const auto& Fields = AC3PlusFields;
};

// syncinfo(): the syncword only; E-AC-3 moved the frame size and rate codes into bsi().
template <typename TOp>
CORVANE_SYNTAX_WALK void AC3PlusSyncInfo(TOp& Op) {
  Op.Field(TAC3PlusFieldId::syncword);
}

namespace ac3plus_syntax_detail {

// The mixing data block of mixdef 3: mixdeflen + 2 bytes counted from the bit after mixdeflen.
// Its known sub-fields sit at its start; the rest of it is mixdata, and the fields after it
// follow the block's last bit.
template <typename TOp>
CORVANE_SYNTAX_WALK void MixingDataBlock(TOp& Op) {
  using E = TAC3PlusFieldId;
  auto& F = Op.Record();
  Op.Field(E::mixdeflen);
  const auto Block = Op.Mark();
  Op.Field(E::mixdata2e);
  if (F.mixdata2e) {
    Op.Field(E::premixcmpsel);
    Op.Field(E::drcsrc);
    Op.Field(E::premixcmpscl);
    Op.Field(E::extpgmlscle);
    if (F.extpgmlscle) Op.Field(E::extpgmlscl);
    Op.Field(E::extpgmcscle);
    if (F.extpgmcscle) Op.Field(E::extpgmcscl);
    Op.Field(E::extpgmrscle);
    if (F.extpgmrscle) Op.Field(E::extpgmrscl);
    Op.Field(E::extpgmlsscle);
    if (F.extpgmlsscle) Op.Field(E::extpgmlsscl);
    Op.Field(E::extpgmrsscle);
    if (F.extpgmrsscle) Op.Field(E::extpgmrsscl);
    Op.Field(E::extpgmlfescle);
    if (F.extpgmlfescle) Op.Field(E::extpgmlfescl);
    Op.Field(E::dmixscle);
    if (F.dmixscle) Op.Field(E::dmixscl);
    Op.Field(E::addche);
    if (F.addche) {
      Op.Field(E::extpgmaux1scle);
      if (F.extpgmaux1scle) Op.Field(E::extpgmaux1scl);
      Op.Field(E::extpgmaux2scle);
      if (F.extpgmaux2scle) Op.Field(E::extpgmaux2scl);
    }
  }
  Op.Field(E::mixdata3e);
  if (F.mixdata3e) {
    Op.Field(E::spchdat);
    Op.Field(E::addspchdate);
    if (F.addspchdate) {
      Op.Field(E::spchdat1);
      Op.Field(E::spchan1att);
      Op.Field(E::addspchdat1e);
      if (F.addspchdat1e) {
        Op.Field(E::spchdat2);
        Op.Field(E::spchan2att);
      }
    }
  }
  const uint32_t BlockBytes = F.mixdeflen + 2;
  Op.CopyBytes(Block, F.mixdatabytes, BlockBytes);
  Op.SkipTo(E::mixdata_rest, Block, 8 * int64_t{BlockBytes});
  Op.Derived(E::mixdatafill, 0);
}

// Program mixing information of an independent stream.
template <typename TOp>
CORVANE_SYNTAX_WALK void ProgramMixing(TOp& Op) {
  using E = TAC3PlusFieldId;
  auto& F = Op.Record();
  Op.Field(E::pgmscle);
  if (F.pgmscle) Op.Field(E::pgmscl);
  if (F.acmod == 0) {
    Op.Field(E::pgmscl2e);
    if (F.pgmscl2e) Op.Field(E::pgmscl2);
  }
  Op.Field(E::extpgmscle);
  if (F.extpgmscle) Op.Field(E::extpgmscl);
  Op.Field(E::mixdef);
  if (F.mixdef == 1) {
    Op.Field(E::premixcmpsel);
    Op.Field(E::drcsrc);
    Op.Field(E::premixcmpscl);
  } else if (F.mixdef == 2) {
    Op.Field(E::mixdata);
  } else if (F.mixdef == 3) {
    MixingDataBlock(Op);
  }
  if (F.acmod < 2) {
    Op.Field(E::paninfoe);
    if (F.paninfoe) {
      Op.Field(E::panmean);
      Op.Field(E::paninfo);
    }
    if (F.acmod == 0) {
      Op.Field(E::paninfo2e);
      if (F.paninfo2e) {
        Op.Field(E::panmean2);
        Op.Field(E::paninfo2);
      }
    }
  }
  Op.Field(E::frmmixcfginfoe);
  if (!F.frmmixcfginfoe) return;
  if (F.numblkscod == 0) {
    Op.Field(E::blkmixcfginfo0, F.blkmixcfginfo[0], 0);
    return;
  }
  // Audio blocks per syncframe never exceed six.
  const auto Blocks = static_cast<uint32_t>(std::clamp(NumblkscodToBlocks(Signed(F.numblkscod)), 0, 6));
  for (uint32_t Block = 0; Block < Blocks; ++Block) {
    Op.Field(E::blkmixcfginfoe, F.blkmixcfginfoe, Block);
    if (F.blkmixcfginfoe) Op.Field(E::blkmixcfginfo, F.blkmixcfginfo[Block], Block);
  }
}

template <typename TOp>
CORVANE_SYNTAX_WALK void MixingMetadata(TOp& Op) {
  using E = TAC3PlusFieldId;
  auto& F = Op.Record();
  if (F.acmod > 2) Op.Field(E::dmixmod);
  if ((F.acmod & 1) && F.acmod > 2) {  // three front channels
    Op.Field(E::ltrtcmixlev);
    Op.Field(E::lorocmixlev);
  }
  if (F.acmod & 4) {  // a surround channel
    Op.Field(E::ltrtsurmixlev);
    Op.Field(E::lorosurmixlev);
  }
  if (F.lfeon) {
    Op.Field(E::lfemixlevcode);
    if (F.lfemixlevcode) Op.Field(E::lfemixlevcod);
  }
  if (F.strmtyp == 0) ProgramMixing(Op);
}

template <typename TOp>
CORVANE_SYNTAX_WALK void InformationalMetadata(TOp& Op) {
  using E = TAC3PlusFieldId;
  auto& F = Op.Record();
  Op.Field(E::bsmod);
  Op.Field(E::copyrightb);
  Op.Field(E::origbs);
  if (F.acmod == 2) {
    Op.Field(E::dsurmod);
    Op.Field(E::dheadphonmod);
  }
  if (F.acmod >= 6) Op.Field(E::dsurexmod);
  Op.Field(E::audprodie);
  if (F.audprodie) {
    Op.Field(E::mixlevel);
    Op.Field(E::roomtyp);
    Op.Field(E::adconvtyp);
  }
  if (F.acmod == 0) {
    Op.Field(E::audprodi2e);
    if (F.audprodi2e) {
      Op.Field(E::mixlevel2);
      Op.Field(E::roomtyp2);
      Op.Field(E::adconvtyp2);
    }
  }
  if (F.fscod < 3) Op.Field(E::sourcefscod);
}

}  // namespace ac3plus_syntax_detail

// bsi().
template <typename TOp>
CORVANE_SYNTAX_WALK void AC3PlusBsi(TOp& Op) {
  using E = TAC3PlusFieldId;
  auto& F = Op.Record();
  Op.Field(E::strmtyp);
  Op.Field(E::substreamid);
  Op.Field(E::frmsiz);
  Op.Field(E::fscod);
  if (F.fscod == 3) {
    Op.Field(E::fscod2);
    Op.Derived(E::numblkscod, 3);  // reduced sampling rates always carry six blocks
  } else {
    Op.Field(E::numblkscod);
  }
  Op.Field(E::acmod);
  Op.Field(E::lfeon);
  Op.Field(E::bsid);
  Op.Field(E::dialnorm);
  Op.Field(E::compre);
  if (F.compre) Op.Field(E::compr);
  if (F.acmod == 0) {
    Op.Field(E::dialnorm2);
    Op.Field(E::compr2e);
    if (F.compr2e) Op.Field(E::compr2);
  }
  if (F.strmtyp == 1) {
    Op.Field(E::chanmape);
    if (F.chanmape) Op.Field(E::chanmap);
  }
  Op.Field(E::mixmdate);
  if (F.mixmdate) ac3plus_syntax_detail::MixingMetadata(Op);
  Op.Field(E::infomdate);
  if (F.infomdate) ac3plus_syntax_detail::InformationalMetadata(Op);
  if (F.strmtyp == 0 && F.numblkscod != 3) Op.Field(E::convsync);
  if (F.strmtyp == 2) {
    if (F.numblkscod == 3)
      Op.Derived(E::blkid, 1);  // with six blocks it is 1 without being coded
    else
      Op.Field(E::blkid);
    if (F.blkid) Op.Field(E::frmsizecod);
  }
  Op.Field(E::addbsie);
  if (F.addbsie) {
    Op.Field(E::addbsil);
    const uint32_t Count = std::min<uint32_t>(F.addbsil + 1, static_cast<uint32_t>(std::size(F.addbsi)));
    for (uint32_t Index = 0; Index < Count; ++Index) Op.Field(E::addbsi, F.addbsi[Index], Index);
  }
}

// audfrm(), which follows bsi() without a gap: the frame's strategies for all its audio blocks.
// It is measured rather than listed field by field.
template <typename TOp>
CORVANE_SYNTAX_WALK void AC3PlusAudfrm(TOp& Op) {
  Op.Structure(TAC3PlusFieldId::audfrm, MeasureAudfrm);
}

// The start of the first audio block, right after audfrm(): the block switch and dither flags
// of each full-bandwidth channel where audfrm() says they are sent, then the dynamic range gain
// words (a second one for the second channel of 1+1).
template <typename TOp>
CORVANE_SYNTAX_WALK void AC3PlusAudblkStart(TOp& Op) {
  using E = TAC3PlusFieldId;
  auto& F = Op.Record();
  const auto Channels = static_cast<uint32_t>(AcmodToChannels(ac3plus_syntax_detail::Signed(F.acmod)));
  if (F.blkswe)
    for (uint32_t Channel = 0; Channel < Channels; ++Channel) Op.Field(E::blksw, F.blksw[Channel], Channel);
  if (F.dithflage)
    for (uint32_t Channel = 0; Channel < Channels; ++Channel) Op.Field(E::dithflag, F.dithflag[Channel], Channel);
  Op.Field(E::dynrnge);
  if (F.dynrnge) Op.Field(E::dynrng);
  if (F.acmod == 0) {
    Op.Field(E::dynrng2e);
    if (F.dynrng2e) Op.Field(E::dynrng2);
  }
}

}  // namespace corvane
