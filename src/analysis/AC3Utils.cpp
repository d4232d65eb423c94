#include "analysis/AC3Utils.h"

#include <algorithm>
#include <string>

#include "core/BitStream4.h"
#include "core/ODSUtls.h"
#include "core/SwapVar.h"

namespace corvane {
namespace {

// The size of the syncinfo() fields read directly from the bytes: syncword, crc1, fscod/frmsizecod.
constexpr int32_t SyncInfoBytes = 5;

void ReadBsi(TBitStream4& Bits, TAC3Frame& Frame) {
  Frame.bsid = Bits.ReadBitsDW(5);
  Frame.bsmod = Bits.ReadBitsDW(3);
  Frame.acmod = Bits.ReadBitsDW(3);
  if ((Frame.acmod & 1) != 0 && Frame.acmod != 1) Frame.cmixlev = Bits.ReadBitsDW(2);
  if ((Frame.acmod & 4) != 0) Frame.surmixlev = Bits.ReadBitsDW(2);
  if (Frame.acmod == 2) Frame.dsurmod = Bits.ReadBitsDW(2);
  Frame.lfeon = Bits.ReadBitsDW(1);
  Frame.dialnorm = Bits.ReadBitsDW(5);
  Frame.compre = Bits.ReadBitsDW(1);
  if (Frame.compre == 1) Frame.compr = Bits.ReadBitsDW(8);
  Frame.langcode = Bits.ReadBitsDW(1);
  if (Frame.langcode == 1) Frame.langcod = Bits.ReadBitsDW(8);
  Frame.audprodie = Bits.ReadBitsDW(1);
  if (Frame.audprodie == 1) {
    Frame.mixlevel = Bits.ReadBitsDW(5);
    Frame.roomtyp = Bits.ReadBitsDW(2);
  }
  if (Frame.acmod == 0) {
    // 1+1 mode: the second, independent channel has its own set of these elements.
    Frame.dialnorm2 = Bits.ReadBitsDW(5);
    Frame.compr2e = Bits.ReadBitsDW(1);
    if (Frame.compr2e == 1) Frame.compr2 = Bits.ReadBitsDW(8);
    Frame.langcod2e = Bits.ReadBitsDW(1);
    if (Frame.langcod2e == 1) Frame.langcod2 = Bits.ReadBitsDW(8);
    Frame.audprodi2e = Bits.ReadBitsDW(1);
    if (Frame.audprodi2e == 1) {
      Frame.mixlevel2 = Bits.ReadBitsDW(5);
      Frame.roomtyp2 = Bits.ReadBitsDW(2);
    }
  }
  Frame.copyrightb = Bits.ReadBitsDW(1);
  Frame.origbs = Bits.ReadBitsDW(1);
  // Read as time codes whatever bsid says; bsid is shown but never steers the parse.
  Frame.timecod1e = Bits.ReadBitsDW(1);
  if (Frame.timecod1e == 1) Frame.timecod1 = Bits.ReadBitsDW(14);
  Frame.timecod2e = Bits.ReadBitsDW(1);
  if (Frame.timecod2e == 1) Frame.timecod2 = Bits.ReadBitsDW(14);
  Frame.addbsie = Bits.ReadBitsDW(1);
  if (Frame.addbsie == 1) {
    Frame.addbsil = Bits.ReadBitsDW(6);
    const uint32_t Count = std::min<uint32_t>(Frame.addbsil + 1, sizeof(Frame.addbsi));
    for (uint32_t Index = 0; Index < Count; ++Index) Frame.addbsi[Index] = static_cast<uint8_t>(Bits.ReadBitsDW(8));
  }
}

}  // namespace

// clang-format off
const std::array<std::array<uint32_t, 38>, 3> AC3FrameSizeTable = {{
    // 48 kHz
    {64, 64, 80, 80, 96, 96, 112, 112, 128, 128, 160, 160, 192, 192, 224, 224, 256, 256, 320, 320,
     384, 384, 448, 448, 512, 512, 640, 640, 768, 768, 896, 896, 1024, 1024, 1152, 1152, 1280, 1280},
    // 44.1 kHz: the odd code of each pair carries one word more to keep the average rate
    {69, 70, 87, 88, 104, 105, 121, 122, 139, 140, 174, 175, 208, 209, 243, 244, 278, 279, 348, 349,
     417, 418, 487, 488, 557, 558, 696, 697, 835, 836, 975, 976, 1114, 1115, 1253, 1254, 1393, 1394},
    // 32 kHz
    {96, 96, 120, 120, 144, 144, 168, 168, 192, 192, 240, 240, 288, 288, 336, 336, 384, 384, 480, 480,
     576, 576, 672, 672, 768, 768, 960, 960, 1152, 1152, 1344, 1344, 1536, 1536, 1728, 1728, 1920, 1920},
}};

const std::array<uint32_t, 38> AC3BitrateTable = {
    32,  32,  40,  40,  48,  48,  56,  56,  64,  64,  80,  80,  96,  96,  112, 112, 128, 128, 160,
    160, 192, 192, 224, 224, 256, 256, 320, 320, 384, 384, 448, 448, 512, 512, 576, 576, 640, 640};
// clang-format on

int32_t AC3FrameSizeBytes(uint32_t fscod, uint32_t frmsizecod) {
  if (fscod >= AC3FrameSizeTable.size() || frmsizecod >= AC3FrameSizeTable[0].size()) return 0;
  return static_cast<int32_t>(2 * AC3FrameSizeTable[fscod][frmsizecod]);
}

bool parse_ac3_frame(const uint8_t* Data, int32_t Size, TAC3Frame& Frame) {
  try {
    if (Size < SyncInfoBytes) {
      DebugLog(u"nox: Error in parse_ac3_frame - insufficient memory.");
      return false;
    }
    if (Data == nullptr) return ReportCallFailure(u"parse_ac3_frame");
    Frame.syncword = LoadBE16(Data);
    Frame.crc1 = LoadBE16(Data + 2);
    Frame.fscod = Data[4] >> 6;
    Frame.frmsizecod = Data[4] & 0x3Fu;

    // A header cut short by Size still decodes: the reader returns zeros for what is missing.
    TBitStream4 Bits;
    if (Bits.SetData(Data + SyncInfoBytes, Size - SyncInfoBytes) != HR_S_OK) return ReportCallFailure(u"parse_ac3_frame");
    ReadBsi(Bits, Frame);
    return true;
  } catch (...) {
    return ReportCallFailure(u"parse_ac3_frame");
  }
}

bool AC3ValidFramePoint(const uint8_t* Data, int32_t Size, int32_t RequiredFscod) {
  try {
    if (Size < 2) return false;
    if (Data == nullptr) return ReportCallFailure(u"AC3ValidFramePoint");
    if (Data[0] != 0x0B || Data[1] != 0x77) return false;
    uint32_t fscod = 0;
    if (Size > SyncInfoBytes) {
      fscod = Data[4] >> 6;
    } else {
      // Too short for a header: the parse reports it and the zeroed record counts as fscod 0.
      TAC3Frame Scratch{};
      parse_ac3_frame(Data, Size, Scratch);
      fscod = Scratch.fscod;
    }
    return fscod <= 2 && (RequiredFscod < 0 || static_cast<uint32_t>(RequiredFscod) == fscod);
  } catch (...) {
    return ReportCallFailure(u"AC3ValidFramePoint");
  }
}

bool GetAC3ESPackLength(const uint8_t* Data, int32_t Size, int32_t& Length, int32_t RequiredFscod) {
  try {
    if (Size <= SyncInfoBytes) return false;
    if (Data == nullptr) return ReportCallFailure(u"GetAC3ESPackLength");
    // A syncword inside the frame's own coded size is payload, not a frame start, so the search
    // begins there. Where the size is unknown (reserved codes) every candidate is weighed by the
    // size it codes itself instead.
    const int32_t OwnSize = AC3CodedFrameSize(Data);
    // A candidate needs its five syncinfo bytes in the buffer to count.
    for (int32_t Distance = std::max(OwnSize, 1); Size - Distance >= SyncInfoBytes; ++Distance) {
      const uint8_t* Candidate = Data + Distance;
      if (!AC3ValidFramePoint(Candidate, Size - Distance, RequiredFscod)) continue;
      if (OwnSize == 0 && Distance < AC3CodedFrameSize(Candidate)) continue;
      Length = Distance;
      return true;
    }
    return false;
  } catch (...) {
    return ReportCallFailure(u"GetAC3ESPackLength");
  }
}

}  // namespace corvane
