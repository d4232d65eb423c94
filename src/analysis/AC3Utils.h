#pragma once
// AC-3 syncframe headers (ATSC A/52): decoding syncinfo()/bsi(), recognising frame starts,
// measuring frames, detecting AC-3 elementary streams and building the syntax tree.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "analysis/AC3Descriptions.h"
#include "analysis/SyntaxFields.h"
#include "core/TreeModel.h"

namespace corvane {

// The most fields one AC-3 header carries: 4 of syncinfo(), at most 3 + 8 + 9 + 8 of bsi()
// (the acmod 0 block being the longest of the mode-dependent ones), 64 additional bytes, and
// 5 + 5 + 4 at the start of the first audio block.
inline constexpr size_t AC3MaxFields = 110;

// One decoded AC-3 frame header, with the start of its first audio block up to the dynamic range
// words. Offset and Length are written by the caller; the parser writes only the elements the
// frame carries, so owners clear a record before decoding into it. Layout says where the last
// decode found each field.
struct TAC3Frame {
  int64_t Offset;
  int32_t Length;
  uint32_t syncword;
  uint32_t crc1;
  uint32_t fscod;
  uint32_t frmsizecod;
  uint32_t bsid;
  uint32_t bsmod;
  uint32_t acmod;
  uint32_t cmixlev;
  uint32_t surmixlev;
  uint32_t dsurmod;
  uint32_t lfeon;
  uint32_t dialnorm;
  uint32_t compre;
  uint32_t compr;
  uint32_t langcode;
  uint32_t langcod;
  uint32_t audprodie;
  uint32_t mixlevel;
  uint32_t roomtyp;
  uint32_t dialnorm2;
  uint32_t compr2e;
  uint32_t compr2;
  uint32_t langcod2e;
  uint32_t langcod2;
  uint32_t audprodi2e;
  uint32_t mixlevel2;
  uint32_t roomtyp2;
  uint32_t copyrightb;
  uint32_t origbs;
  uint32_t timecod1e;
  uint32_t timecod1;
  uint32_t timecod2e;
  uint32_t timecod2;
  uint32_t addbsie;
  uint32_t addbsil;
  uint8_t addbsi[64];
  // audblk() of block 0, by full-bandwidth channel, then its dynamic range gain words
  uint8_t blksw[5];
  uint8_t dithflag[5];
  uint32_t dynrnge;
  uint32_t dynrng;
  uint32_t dynrng2e;
  uint32_t dynrng2;
  TFieldLayout<AC3MaxFields> Layout;
};

// 16-bit words per syncframe by fscod (48, 44.1, 32 kHz) and frmsizecod 0..37 (A/52 Table 5.18).
extern const std::array<std::array<uint32_t, 38>, 3> AC3FrameSizeTable;
// Nominal bit rate in kbps by frmsizecod 0..37.
extern const std::array<uint32_t, 38> AC3BitrateTable;

// Frame size in bytes, or 0 where the tables have no entry (fscod 3, frmsizecod 38..63).
int32_t AC3FrameSizeBytes(uint32_t fscod, uint32_t frmsizecod);
// The size that the frame starting at Data codes in its syncinfo() (fscod and frmsizecod of
// byte 4), 0 where the tables have none. Data must hold at least 5 bytes.
inline int32_t AC3CodedFrameSize(const uint8_t* Data) {
  return AC3FrameSizeBytes(static_cast<uint32_t>(Data[4] >> 6), static_cast<uint32_t>(Data[4] & 0x3F));
}

bool parse_ac3_frame(const uint8_t* Data, int32_t Size, TAC3Frame& Frame);
bool AC3ValidFramePoint(const uint8_t* Data, int32_t Size, int32_t RequiredFscod);
bool GetAC3ESPackLength(const uint8_t* Data, int32_t Size, int32_t& Length, int32_t RequiredFscod);
bool IsAC3ES(const std::filesystem::path& FileName, int32_t& Fscod);
void UpdateTreeView_ac3_frame(TTreeModel* TreeView, const TAC3Frame& Frame);

}  // namespace corvane
