#pragma once
// The analysis functions of each stream kind, gathered so that the window's scan, its detail
// decode and the whole-file walk are written once for both kinds. Internal to the viewer core
// and the command-line program.

#include <cstdint>
#include <cstring>

#include "analysis/AC3PlusUtils.h"
#include "analysis/AC3Utils.h"
#include "core/TreeModel.h"

namespace corvane::viewer_detail {

// A frame start always begins with the syncword; every other position is turned down by the
// frame-start tests without looking further, so scans skip straight to the next 0B 77.
inline bool IsSyncword(const uint8_t* Data) { return Data[0] == 0x0B && Data[1] == 0x77; }

// The first offset from From to Last (inclusive) that holds a syncword, or Last + 1.
// Bytes Last and Last + 1 must be readable.
inline int32_t NextSyncword(const uint8_t* Data, int32_t From, int32_t Last) {
  while (From <= Last) {
    const void* Hit = std::memchr(Data + From, 0x0B, static_cast<size_t>(Last - From) + 1);
    if (!Hit) return Last + 1;
    const int32_t At = static_cast<int32_t>(static_cast<const uint8_t*>(Hit) - Data);
    if (Data[At + 1] == 0x77) return At;
    From = At + 1;
  }
  return Last + 1;
}

struct TAC3Kind {
  using TFrame = TAC3Frame;
  static bool ValidFramePoint(const uint8_t* Data, int32_t Size, int32_t Fscod) {
    return AC3ValidFramePoint(Data, Size, Fscod);
  }
  static bool Parse(const uint8_t* Data, int32_t Size, TFrame& Frame) { return parse_ac3_frame(Data, Size, Frame); }
  static bool PackLength(const uint8_t* Data, int32_t Size, int32_t& Length, int32_t Fscod) {
    return GetAC3ESPackLength(Data, Size, Length, Fscod);
  }
  static void BuildTree(TTreeModel* Tree, const TFrame& Frame) { UpdateTreeView_ac3_frame(Tree, Frame); }
  static int32_t CodedSize(const uint8_t* Data) { return AC3CodedFrameSize(Data); }
};

struct TAC3PlusKind {
  using TFrame = TAC3PlusFrame;
  static bool ValidFramePoint(const uint8_t* Data, int32_t Size, int32_t Fscod) {
    return AC3PlusValidFramePoint(Data, Size, Fscod);
  }
  static bool Parse(const uint8_t* Data, int32_t Size, TFrame& Frame) { return parse_ac3_plus_frame(Data, Size, Frame); }
  static bool PackLength(const uint8_t* Data, int32_t Size, int32_t& Length, int32_t Fscod) {
    return GetAC3PlusESPackLength(Data, Size, Length, Fscod);
  }
  static void BuildTree(TTreeModel* Tree, const TFrame& Frame) { UpdateTreeView_ac3_plus_frame(Tree, Frame); }
  static int32_t CodedSize(const uint8_t* Data) { return AC3PlusCodedFrameSize(Data); }
};

// The syncinfo() fields that the frame list shows sit in byte 4 of both kinds (fscod in its top
// two bits, and for AC-3 frmsizecod in the rest). With this many bytes at hand the decoders
// take them from there; with fewer the walk asks the decoder itself.
inline constexpr int32_t HeaderBytesAtHand = 16;

}  // namespace corvane::viewer_detail
