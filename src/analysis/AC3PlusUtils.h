#pragma once
// E-AC-3 syncframe headers (ATSC A/52 Annex E): decoding syncinfo()/bsi(), recognising frame
// starts, measuring frames, detecting E-AC-3 elementary streams and building the syntax tree.

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "analysis/AC3Descriptions.h"
#include "analysis/SyntaxFields.h"
#include "core/BitStream4.h"
#include "core/TreeModel.h"

namespace corvane {

// The most fields one E-AC-3 header carries, counting every branch as if all could occur
// together: 1 of syncinfo(), 17 of the core, 8 + 60 of the mixing metadata (the mixing data
// block and six blocks' configuration included), 16 of the informational metadata, 5 after it,
// 64 additional bytes, audfrm() as one, and 5 + 5 + 4 at the start of the first audio block.
inline constexpr size_t AC3PlusMaxFields = 186;

// One decoded E-AC-3 frame header, with the start of its first audio block up to the dynamic
// range words. Offset and Length are written by the caller; the parser writes only the elements
// the frame carries (plus numblkscod, blkid and mixdatafill where they are derived), so owners
// clear a record before decoding into it. Layout says where the last decode found each field.
struct TAC3PlusFrame {
  int64_t Offset;
  int32_t Length;
  // syncinfo()
  uint32_t syncword;
  // bsi()
  uint32_t strmtyp;
  uint32_t substreamid;
  uint32_t frmsiz;
  uint32_t fscod;
  uint32_t fscod2;
  uint32_t numblkscod;
  uint32_t acmod;
  uint32_t lfeon;
  uint32_t bsid;
  uint32_t dialnorm;
  uint32_t compre;
  uint32_t compr;
  uint32_t dialnorm2;
  uint32_t compr2e;
  uint32_t compr2;
  uint32_t chanmape;
  uint32_t chanmap;
  // mixing metadata
  uint32_t mixmdate;
  uint32_t dmixmod;
  uint32_t ltrtcmixlev;
  uint32_t lorocmixlev;
  uint32_t ltrtsurmixlev;
  uint32_t lorosurmixlev;
  uint32_t lfemixlevcode;
  uint32_t lfemixlevcod;
  uint32_t pgmscle;
  uint32_t pgmscl;
  uint32_t pgmscl2e;
  uint32_t pgmscl2;
  uint32_t extpgmscle;
  uint32_t extpgmscl;
  uint32_t mixdef;
  uint32_t premixcmpsel;
  uint32_t drcsrc;
  uint32_t premixcmpscl;
  uint32_t mixdata;
  uint32_t mixdeflen;
  uint32_t mixdata2e;
  uint32_t extpgmlscle;
  uint32_t extpgmlscl;
  uint32_t extpgmcscle;
  uint32_t extpgmcscl;
  uint32_t extpgmrscle;
  uint32_t extpgmrscl;
  uint32_t extpgmlsscle;
  uint32_t extpgmlsscl;
  uint32_t extpgmrsscle;
  uint32_t extpgmrsscl;
  uint32_t extpgmlfescle;
  uint32_t extpgmlfescl;
  uint32_t dmixscle;
  uint32_t dmixscl;
  uint32_t addche;
  uint32_t extpgmaux1scle;
  uint32_t extpgmaux1scl;
  uint32_t extpgmaux2scle;
  uint32_t extpgmaux2scl;
  uint32_t mixdata3e;
  uint32_t spchdat;
  uint32_t addspchdate;
  uint32_t spchdat1;
  uint32_t spchan1att;
  uint32_t addspchdat1e;
  uint32_t spchdat2;
  uint32_t spchan2att;
  uint8_t mixdatabytes[33];  // mixdeflen + 2 bytes of the mixing data block
  uint32_t mixdatafill;
  uint32_t paninfoe;
  uint32_t panmean;
  uint32_t paninfo;
  uint32_t paninfo2e;
  uint32_t panmean2;
  uint32_t paninfo2;
  uint32_t frmmixcfginfoe;
  uint32_t blkmixcfginfo[1001];  // by block; only 0..5 are ever written
  uint32_t blkmixcfginfoe;
  // informational metadata
  uint32_t infomdate;
  uint32_t bsmod;
  uint32_t copyrightb;
  uint32_t origbs;
  uint32_t dsurmod;
  uint32_t dheadphonmod;
  uint32_t dsurexmod;
  uint32_t audprodie;
  uint32_t mixlevel;
  uint32_t roomtyp;
  uint32_t adconvtyp;
  uint32_t audprodi2e;
  uint32_t mixlevel2;
  uint32_t roomtyp2;
  uint32_t adconvtyp2;
  uint32_t sourcefscod;
  // end of bsi()
  uint32_t convsync;
  uint32_t blkid;
  uint32_t frmsizecod;
  uint32_t addbsie;
  uint32_t addbsil;
  uint8_t addbsi[64];
  // audfrm(): only the two flags that steer the start of the audio blocks are kept
  uint32_t blkswe;
  uint32_t dithflage;
  // audblk() of block 0, by full-bandwidth channel, then its dynamic range gain words
  uint8_t blksw[5];
  uint8_t dithflag[5];
  uint32_t dynrnge;
  uint32_t dynrng;
  uint32_t dynrng2e;
  uint32_t dynrng2;
  TFieldLayout<AC3PlusMaxFields> Layout;
};

// Frame size in bytes: (frmsiz + 1) * 2.
inline int32_t AC3PlusFrameSizeBytes(uint32_t frmsiz) { return static_cast<int32_t>((frmsiz + 1) * 2); }
// The size that the frame starting at Data codes in its frmsiz field (the 11 bits after strmtyp
// and substreamid, bits 21 to 31 of the frame). Data must hold at least 4 bytes.
inline int32_t AC3PlusCodedFrameSize(const uint8_t* Data) {
  return AC3PlusFrameSizeBytes((static_cast<uint32_t>(Data[2] & 0x07) << 8) | Data[3]);
}

bool parse_ac3_plus_frame(const uint8_t* Data, int32_t Size, TAC3PlusFrame& Frame);
// The length in bits of the audfrm() that Bits stands at, in a frame whose bsi() Frame holds;
// keeps its blkswe and dithflage in Frame.
int64_t MeasureAudfrm(TAC3PlusFrame& Frame, TBitStream4 Bits);
bool AC3PlusValidFramePoint(const uint8_t* Data, int32_t Size, int32_t RequiredFscod);
bool GetAC3PlusESPackLength(const uint8_t* Data, int32_t Size, int32_t& Length, int32_t RequiredFscod);
bool IsAC3PlusES(const std::filesystem::path& FileName, int32_t& Fscod);
void UpdateTreeView_ac3_plus_frame(TTreeModel* TreeView, const TAC3PlusFrame& Frame);

}  // namespace corvane
