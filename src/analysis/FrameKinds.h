#pragma once
// The analysis functions of each stream kind side by side, so that the code that works on
// frames of either kind (the stream tests, the viewer's frame window and detail, the whole-file
// listing) is written once and instantiated for both.

#include <cstdint>
#include <cstring>
#include <memory>

#include "analysis/AC3Crc.h"
#include "analysis/AC3PlusUtils.h"
#include "analysis/AC3Utils.h"
#include "analysis/Syncword.h"
#include "core/TreeModel.h"

namespace corvane {

// 16 are enough: the frame-start tests and size codes read only a frame's first 6 bytes (sizes, fscod, bsid).
inline constexpr int32_t HeaderBytesAtHand = 16;

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
  // Needs the frame's first 5 bytes.
  static int32_t CodedSize(const uint8_t* Data) { return AC3CodedFrameSize(Data); }
  // One candidate of GetAC3ESPackLength's search, for a search that goes on past the buffer the
  // frame was found in: does the frame start at Candidate (Left bytes at hand) follow a frame of
  // OwnSize coded bytes that lies Distance bytes before it? A frame of unknown size is followed
  // only by a frame that fits in the distance.
  static bool FollowsAt(const uint8_t* Candidate, int32_t Left, int64_t Distance, int32_t OwnSize, int32_t Fscod) {
    return Left >= 5 && AC3ValidFramePoint(Candidate, Left, Fscod) &&
           (OwnSize != 0 || Distance >= AC3CodedFrameSize(Candidate));
  }
  static TFrameCrc CheckCrc(const uint8_t* Data, int32_t Size) { return CheckAC3FrameCrc(Data, Size); }
  static bool RepairCrc(uint8_t* Data, int32_t Size) { return RepairAC3FrameCrc(Data, Size); }
  static bool UpdateCrc(uint8_t* Data, int32_t Size, int32_t From, int32_t To, const uint8_t* Old) {
    return UpdateAC3FrameCrc(Data, Size, From, To, Old);
  }
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
  // Needs the frame's first 4 bytes.
  static int32_t CodedSize(const uint8_t* Data) { return AC3PlusCodedFrameSize(Data); }
  // One candidate of GetAC3PlusESPackLength's search, as for AC-3.
  static bool FollowsAt(const uint8_t* Candidate, int32_t Left, int64_t, int32_t, int32_t Fscod) {
    return Left >= 4 && AC3PlusValidFramePoint(Candidate, Left, Fscod);
  }
  static TFrameCrc CheckCrc(const uint8_t* Data, int32_t Size) { return CheckAC3PlusFrameCrc(Data, Size); }
  static bool RepairCrc(uint8_t* Data, int32_t Size) { return RepairAC3PlusFrameCrc(Data, Size); }
  static bool UpdateCrc(uint8_t* Data, int32_t Size, int32_t From, int32_t To, const uint8_t* Old) {
    return UpdateAC3PlusFrameCrc(Data, Size, From, To, Old);
  }
};

// A record of the kind decoded from the frame at Data (Size bytes at hand): cleared, given its
// file offset, and filled by the kind's decoder. Length is left to the caller.
template <typename TKind>
void DecodeFrame(typename TKind::TFrame& Frame, const uint8_t* Data, int32_t Size, int64_t Offset) {
  std::memset(&Frame, 0, sizeof(Frame));
  Frame.Offset = Offset;
  TKind::Parse(Data, Size, Frame);
}

// The same on the heap: an E-AC-3 record takes several KiB.
template <typename TKind>
std::unique_ptr<typename TKind::TFrame> NewDecodedFrame(const uint8_t* Data, int32_t Size, int64_t Offset) {
  auto Frame = std::make_unique_for_overwrite<typename TKind::TFrame>();
  DecodeFrame<TKind>(*Frame, Data, Size, Offset);
  return Frame;
}

}  // namespace corvane
