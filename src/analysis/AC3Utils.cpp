#include "analysis/AC3Utils.h"

#include <algorithm>
#include <memory>
#include <string>

#include "analysis/AC3Syntax.h"
#include "analysis/FieldReader.h"
#include "analysis/Syncword.h"
#include "core/BitStream4.h"
#include "core/ODSUtls.h"
#include "core/Status.h"

namespace corvane {
namespace {

// The bytes of syncinfo(): syncword, crc1, and fscod with frmsizecod.
constexpr int32_t SyncInfoBytes = 5;

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
      ReportFailure(u"parse_ac3_frame", u"insufficient memory.");
      return false;
    }
    if (Data == nullptr) return ReportCallFailure(u"parse_ac3_frame");
    // A header cut short by Size still decodes: the reader returns zeros for what is missing.
    TBitStream4 Bits;
    if (Bits.SetData(Data, Size) != HR_S_OK) return ReportCallFailure(u"parse_ac3_frame");
    TFieldReader<TAC3Frame> Reader(Frame, Bits);
    AC3SyncInfo(Reader);
    // bsi() begins after the five syncinfo() bytes; a buffer that ends there holds none of it.
    if (Size == SyncInfoBytes) return ReportCallFailure(u"parse_ac3_frame");
    AC3Bsi(Reader);
    AC3AudblkStart(Reader);
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
      // The record lives on the heap so that this rare case leaves the test itself small
      // enough to be inlined into the length search's loop.
      const auto Scratch = std::make_unique<TAC3Frame>();
      parse_ac3_frame(Data, Size, *Scratch);
      fscod = Scratch->fscod;
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
    // A candidate needs its five syncinfo bytes in the buffer to count; only syncwords can be
    // candidates.
    const int32_t Last = Size - SyncInfoBytes;
    for (int32_t Distance = NextSyncword(Data, std::max(OwnSize, 1), Last); Distance <= Last;
         Distance = NextSyncword(Data, Distance + 1, Last)) {
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
