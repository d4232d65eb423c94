#pragma once
// Every frame of a stream file and every stretch of bytes between frames, in file order, with
// each frame's CRC verdicts: the ground the stream check and the dialnorm rewrite stand on.
//
// It follows the whole-file walk of the frame list (TFrameWindow::WalkFrames) on a window of its
// own, taking frames at every sampling rate, and looks closer where that walk has to guess. The
// walk measures a frame up to the next frame start that lies at least that next frame's own size
// away, so a frame start that comes sooner is passed over: the frame after one cut short by a
// splice, or the first frame after a little junk when it is larger than the frame before. Where
// a frame fails its CRC, or bytes follow it before the next frame, the few KiB after its start
// are searched for frames that pass their CRCs; each one found is a frame, and the frame before
// it ends where it starts.

#include <cstdint>
#include <filesystem>
#include <string>

#include "analysis/AC3Crc.h"
#include "viewer/FrameWindow.h"

namespace corvane {

// No frame of either kind is longer: 2048 words of E-AC-3 (AC-3 has at most 1920).
inline constexpr int32_t MaxFrameBytes = 4096;

enum class TFrameFit : uint8_t {
  Whole,        // all its coded bytes lie before the next frame and the end of the file
  CutShort,     // the next frame starts before its coded end
  PastEnd,      // the file ends before its coded end
  SizeUnknown,  // its header codes no size (AC-3 frmsizecod 38 to 63); it runs to the next frame
};

struct TStreamFrame {
  int64_t Offset = 0;
  int32_t CodedSize = 0;  // the size its header codes; 0 when unknown
  int64_t Size = 0;       // the bytes it takes in the file: CodedSize when whole, fewer when not
  TFrameFit Fit = TFrameFit::Whole;
  TFrameCrc Crc;  // checked for a whole frame only
  const uint8_t* Data = nullptr;
  int32_t DataSize = 0;  // bytes at Data: all Size bytes, up to MaxFrameBytes of a frame of unknown size
};

class TStreamVisitor {
 public:
  virtual ~TStreamVisitor() = default;
  // Each returns false to end the walk there.
  virtual bool Frame(const TStreamFrame& Frame) = 0;
  // Bytes that belong to no frame.
  virtual bool Junk(int64_t Offset, int64_t Length) = 0;
};

enum class TStreamWalkEnd { Completed, Stopped, Failed };

// Walks File as a stream of the given kind. Progress is told the position reached now and then.
// On Failed, Error says what could not be done.
TStreamWalkEnd WalkStream(const std::filesystem::path& File, bool EAC3, TStreamVisitor& Visitor,
                          const TFrameWindow::TWalkProgress& Progress, std::string& Error);

}  // namespace corvane
