#pragma once
// Sets dialnorm (and dialnorm2, where acmod 0 carries it) in every frame of a stream and
// rewrites each changed frame's CRC words, so that the stream keeps passing its checks and no
// other bit changes. A frame that fails its CRC before is left as it is (a new CRC would hide
// the damage), and so is a frame that is not whole (cut short, running past the end of the file,
// or of unknown size): its CRC cannot be made right.
//
// In place, each frame's changed bytes go out in one write; a write that fails is undone by
// writing the frame's old bytes back, and the rewrite stops there, so that every frame is
// either wholly rewritten or as it was. With an output file, the source is copied to a
// temporary file beside the output, the copy is changed, and only a complete copy is renamed
// into place; the source is never written.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "viewer/StreamWalk.h"

namespace corvane {

class TFileStream;

// A frame left as it was.
struct TDialnormSkipped {
  int64_t Offset = 0;
  TFrameFit Fit = TFrameFit::Whole;
  TFrameCrc Crc;  // failed, for a whole frame
};

struct TDialnormRequest {
  std::filesystem::path File;
  bool EAC3 = false;
  uint32_t Dialnorm = 31;  // 1 to 31
  // Without one the file itself is changed.
  std::optional<std::filesystem::path> Output;
  // Told of each frame left as it was.
  std::function<void(const TDialnormSkipped&)> Skipped;
  TFrameWindow::TWalkProgress Progress;
  // Writes Count bytes at Offset of the file being changed and answers how many were written
  // (-1 on failure). Empty: the stream's own write. Tests put a failing one in its place.
  std::function<int32_t(TFileStream& Stream, int64_t Offset, const uint8_t* Bytes, int32_t Count)> WriteBytes;
};

struct TDialnormResult {
  bool Completed = false;  // every frame was looked at and every change reached the file
  int64_t Frames = 0;
  int64_t Rewritten = 0;   // frames changed
  int64_t AlreadySet = 0;  // frames that carried the value already
  int64_t BadCrc = 0;      // left as they were: they failed their CRC
  int64_t NotWhole = 0;    // left as they were: not whole
  std::string Error;       // what failed, when not Completed
  // In place: the frame whose write failed (-1: none), and whether its old bytes are back. The
  // frames before it were rewritten; it and those after it were not changed.
  int64_t FailedAt = -1;
  bool FailedFrameRestored = true;

  // Every frame now carries the value.
  bool AllSet() const { return Completed && BadCrc == 0 && NotWhole == 0; }
};

TDialnormResult RewriteDialnorm(const TDialnormRequest& Request);

enum class TDialnormChange { Changed, AlreadySet, Impossible };

// Sets dialnorm and dialnorm2 of the whole frame in Frame (Size bytes) to Dialnorm and rewrites
// its CRC words. The bytes stay as they were unless the answer is Changed.
TDialnormChange SetFrameDialnorm(uint8_t* Frame, int32_t Size, bool EAC3, uint32_t Dialnorm);

}  // namespace corvane
