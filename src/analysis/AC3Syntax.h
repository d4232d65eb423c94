#pragma once
// The AC-3 header syntax (ATSC A/52 syncinfo() and bsi()): one description of each field, and
// the order and conditions in which the fields occur, written once. The decoder walks it with a
// TFieldReader, the syntax tree with a TFieldNodes.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

#include "analysis/AC3Descriptions.h"
#include "analysis/AC3Utils.h"
#include "analysis/SyntaxFields.h"
#include "core/StringUtils.h"

namespace corvane {

enum class TAC3FieldId : uint8_t {
  syncword, crc1, fscod, frmsizecod,
  bsid, bsmod, acmod, cmixlev, surmixlev, dsurmod, lfeon, dialnorm, compre, compr, langcode, langcod,
  audprodie, mixlevel, roomtyp, dialnorm2, compr2e, compr2, langcod2e, langcod2, audprodi2e, mixlevel2,
  roomtyp2, copyrightb, origbs, timecod1e, timecod1, timecod2e, timecod2, addbsie, addbsil, addbsi,
  // the start of the first audio block
  blksw, dithflag, dynrnge, dynrng, dynrng2e, dynrng2,
  Count
};

namespace ac3_syntax_detail {

inline int32_t Signed(uint32_t Value) { return static_cast<int32_t>(Value); }

// "<n> words" per syncframe, or "reserved" where A/52 codes no size.
inline std::u16string FrameWords(const TAC3Frame& F) {
  const int32_t Bytes = AC3FrameSizeBytes(F.fscod, F.frmsizecod);
  return Bytes == 0 ? std::u16string(u"reserved") : IntToStr(Bytes / 2) + u" words";
}

// The full-bandwidth channels that the block's per-channel flags are read for.
inline uint32_t Channels(const TAC3Frame& F) { return static_cast<uint32_t>(AcmodToChannels(Signed(F.acmod))); }

}  // namespace ac3_syntax_detail

// Id, name and record field of a field, for the table below.
#define CORVANE_AC3_FIELD(N) .Id = static_cast<uint8_t>(TAC3FieldId::N), .Name = #N, .Member = &TAC3Frame::N

// clang-format off
inline constexpr std::array<TSyntaxField<TAC3Frame>, static_cast<size_t>(TAC3FieldId::Count)> AC3Fields = {{
    {CORVANE_AC3_FIELD(syncword), .Width = 16, .Show = TFieldShow::HexWord},
    {CORVANE_AC3_FIELD(crc1), .Width = 16, .Show = TFieldShow::HexWord},
    {CORVANE_AC3_FIELD(fscod), .Width = 2, .Show = TFieldShow::Meaning,
     .Meaning = [](const TAC3Frame& F) { return FscodToStr(ac3_syntax_detail::Signed(F.fscod)); }},
    {CORVANE_AC3_FIELD(frmsizecod), .Width = 6, .Show = TFieldShow::Meaning, .Meaning = ac3_syntax_detail::FrameWords},
    {CORVANE_AC3_FIELD(bsid), .Width = 5},
    {CORVANE_AC3_FIELD(bsmod), .Width = 3, .Show = TFieldShow::Meaning,
     .Meaning = [](const TAC3Frame& F) {
       return BsmodToStr(ac3_syntax_detail::Signed(F.bsmod), ac3_syntax_detail::Signed(F.acmod));
     }},
    {CORVANE_AC3_FIELD(acmod), .Width = 3, .Show = TFieldShow::Meaning,
     .Meaning = [](const TAC3Frame& F) { return AcmodToStr(ac3_syntax_detail::Signed(F.acmod)); }},
    {CORVANE_AC3_FIELD(cmixlev), .Width = 2, .Show = TFieldShow::Meaning,
     .Meaning = [](const TAC3Frame& F) { return CmixlevToStr(ac3_syntax_detail::Signed(F.cmixlev)); }},
    {CORVANE_AC3_FIELD(surmixlev), .Width = 2, .Show = TFieldShow::Meaning,
     .Meaning = [](const TAC3Frame& F) { return SurmixlevToStr(ac3_syntax_detail::Signed(F.surmixlev)); }},
    {CORVANE_AC3_FIELD(dsurmod), .Width = 2, .Show = TFieldShow::Meaning,
     .Meaning = [](const TAC3Frame& F) { return DsurmodToStr(ac3_syntax_detail::Signed(F.dsurmod)); }},
    {CORVANE_AC3_FIELD(lfeon), .Width = 1},
    {CORVANE_AC3_FIELD(dialnorm), .Width = 5},
    {CORVANE_AC3_FIELD(compre), .Width = 1},
    {CORVANE_AC3_FIELD(compr), .Width = 8, .Decibels = ComprToDb},
    {CORVANE_AC3_FIELD(langcode), .Width = 1},
    {CORVANE_AC3_FIELD(langcod), .Width = 8},
    {CORVANE_AC3_FIELD(audprodie), .Width = 1},
    {CORVANE_AC3_FIELD(mixlevel), .Width = 5},
    {CORVANE_AC3_FIELD(roomtyp), .Width = 2, .Show = TFieldShow::Meaning,
     .Meaning = [](const TAC3Frame& F) { return RoomtypToStr(ac3_syntax_detail::Signed(F.roomtyp)); }},
    {CORVANE_AC3_FIELD(dialnorm2), .Width = 5},
    {CORVANE_AC3_FIELD(compr2e), .Width = 1},
    {CORVANE_AC3_FIELD(compr2), .Width = 8, .Decibels = ComprToDb},
    {CORVANE_AC3_FIELD(langcod2e), .Width = 1},
    {CORVANE_AC3_FIELD(langcod2), .Width = 8},
    {CORVANE_AC3_FIELD(audprodi2e), .Width = 1},
    {CORVANE_AC3_FIELD(mixlevel2), .Width = 5},
    {CORVANE_AC3_FIELD(roomtyp2), .Width = 2},  // shown without a meaning, unlike roomtyp
    {CORVANE_AC3_FIELD(copyrightb), .Width = 1},
    {CORVANE_AC3_FIELD(origbs), .Width = 1},
    {CORVANE_AC3_FIELD(timecod1e), .Width = 1},
    {CORVANE_AC3_FIELD(timecod1), .Width = 14},
    {CORVANE_AC3_FIELD(timecod2e), .Width = 1},
    {CORVANE_AC3_FIELD(timecod2), .Width = 14},
    {CORVANE_AC3_FIELD(addbsie), .Width = 1},
    {CORVANE_AC3_FIELD(addbsil), .Width = 6},
    // The tree shows the additional bsi bytes as hex-dump lines rather than a node each.
    {.Id = static_cast<uint8_t>(TAC3FieldId::addbsi), .Name = "addbsi", .Width = 8, .Show = TFieldShow::Hidden,
     .Indexed = true},
    {.Id = static_cast<uint8_t>(TAC3FieldId::blksw), .Name = "blksw", .Width = 1, .Indexed = true},
    {.Id = static_cast<uint8_t>(TAC3FieldId::dithflag), .Name = "dithflag", .Width = 1, .Indexed = true},
    {CORVANE_AC3_FIELD(dynrnge), .Width = 1},
    {CORVANE_AC3_FIELD(dynrng), .Width = 8, .Show = TFieldShow::Meaning,
     .Meaning = [](const TAC3Frame& F) { return DecibelsToStr(DynrngToDb(F.dynrng)); }, .Decibels = DynrngToDb},
    {CORVANE_AC3_FIELD(dynrng2e), .Width = 1},
    {CORVANE_AC3_FIELD(dynrng2), .Width = 8, .Show = TFieldShow::Meaning,
     .Meaning = [](const TAC3Frame& F) { return DecibelsToStr(DynrngToDb(F.dynrng2)); }, .Decibels = DynrngToDb},
}};
// clang-format on

#undef CORVANE_AC3_FIELD

static_assert(IdsMatchPlaces(AC3Fields));

template <>
struct TSyntax<TAC3Frame> {
  using TId = TAC3FieldId;
  static constexpr const auto& Fields = AC3Fields;
};

// syncinfo(): the syncword, crc1 and the codes of sampling rate and frame size.
template <typename TOp>
CORVANE_SYNTAX_WALK void AC3SyncInfo(TOp& Op) {
  using E = TAC3FieldId;
  Op.Field(E::syncword);
  Op.Field(E::crc1);
  Op.Field(E::fscod);
  Op.Field(E::frmsizecod);
}

// bsi(). The time codes are read as timecod1/timecod2 whatever bsid says; bsid is shown but
// never steers the syntax.
template <typename TOp>
CORVANE_SYNTAX_WALK void AC3Bsi(TOp& Op) {
  using E = TAC3FieldId;
  auto& F = Op.Record();
  Op.Field(E::bsid);
  Op.Field(E::bsmod);
  Op.Field(E::acmod);
  if ((F.acmod & 1) != 0 && F.acmod != 1) Op.Field(E::cmixlev);  // three front channels
  if ((F.acmod & 4) != 0) Op.Field(E::surmixlev);               // a surround channel
  if (F.acmod == 2) Op.Field(E::dsurmod);
  Op.Field(E::lfeon);
  Op.Field(E::dialnorm);
  Op.Field(E::compre);
  if (F.compre != 0) Op.Field(E::compr);
  Op.Field(E::langcode);
  if (F.langcode != 0) Op.Field(E::langcod);
  Op.Field(E::audprodie);
  if (F.audprodie != 0) {
    Op.Field(E::mixlevel);
    Op.Field(E::roomtyp);
  }
  if (F.acmod == 0) {
    // 1+1 mode: the second, independent channel has its own set of these elements.
    Op.Field(E::dialnorm2);
    Op.Field(E::compr2e);
    if (F.compr2e != 0) Op.Field(E::compr2);
    Op.Field(E::langcod2e);
    if (F.langcod2e != 0) Op.Field(E::langcod2);
    Op.Field(E::audprodi2e);
    if (F.audprodi2e != 0) {
      Op.Field(E::mixlevel2);
      Op.Field(E::roomtyp2);
    }
  }
  Op.Field(E::copyrightb);
  Op.Field(E::origbs);
  Op.Field(E::timecod1e);
  if (F.timecod1e != 0) Op.Field(E::timecod1);
  Op.Field(E::timecod2e);
  if (F.timecod2e != 0) Op.Field(E::timecod2);
  Op.Field(E::addbsie);
  if (F.addbsie != 0) {
    Op.Field(E::addbsil);
    const uint32_t Count = std::min<uint32_t>(F.addbsil + 1, static_cast<uint32_t>(std::size(F.addbsi)));
    for (uint32_t Index = 0; Index < Count; ++Index) Op.Field(E::addbsi, F.addbsi[Index], Index);
  }
}

// The start of the first audio block, which follows bsi() without a gap: each full-bandwidth
// channel's block switch flag, then each one's dither flag, then the dynamic range gain words
// (a second one for the second channel of 1+1).
template <typename TOp>
CORVANE_SYNTAX_WALK void AC3AudblkStart(TOp& Op) {
  using E = TAC3FieldId;
  auto& F = Op.Record();
  const uint32_t Channels = ac3_syntax_detail::Channels(F);
  for (uint32_t Channel = 0; Channel < Channels; ++Channel) Op.Field(E::blksw, F.blksw[Channel], Channel);
  for (uint32_t Channel = 0; Channel < Channels; ++Channel) Op.Field(E::dithflag, F.dithflag[Channel], Channel);
  Op.Field(E::dynrnge);
  if (F.dynrnge != 0) Op.Field(E::dynrng);
  if (F.acmod == 0) {
    Op.Field(E::dynrng2e);
    if (F.dynrng2e != 0) Op.Field(E::dynrng2);
  }
}

}  // namespace corvane
