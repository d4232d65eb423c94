#pragma once
// Every frame of a stream file and every stretch of bytes between frames, in file order, with
// each frame's kind and CRC verdicts: the ground the stream check and the dialnorm rewrite stand
// on. Frames and junk together cover every byte of the file exactly once.
//
// The walk reads the file once, front to back, and looks at every syncword. A syncword starts a
// frame candidate when the header after it is one of a kind: fscod 0 to 2 and bsid up to 8
// (AC-3), or bsid 11 to 16 and any rate but the reserved fscod2 3 (E-AC-3, whose fscod 3 stands
// for the reduced rates), each candidate measured by its own kind, so an E-AC-3 frame in an AC-3
// file is one frame of the other kind. A candidate is a frame when
//   - its CRCs pass;
//   - it is AC-3 and one of its two CRCs passes (crc1 vouches for the header, crc2 for the size);
//   - its CRCs fail, and a syncword (or the end of the file) lies where its size ends;
//   - a frame that passes its CRCs starts inside it, and its crc1 (over the first 5/8, all before
//     that frame) vouches for its header: a frame cut short by a splice;
//   - it runs past the end of the file, and what is there of its crc1's stretch passes or is too
//     short to tell;
//   - its size is unknown (AC-3 frmsizecod 38 to 63) and a frame that passes its CRCs follows it
//     past its header and within the longest frame's size, or the file ends there.
// Anything else, a false syncword in junk among it, is junk.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "analysis/AC3Crc.h"
#include "core/FileStream.h"
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
  TFrameCrc Crc;      // both words for a whole frame; crc1 alone where only it could be checked
  bool EAC3 = false;  // its kind, by its own bsid
  // All Size bytes (up to MaxFrameBytes of a frame of unknown size). A visitor may change a
  // frame's bytes here: the bytes handed on as passed are the changed ones.
  uint8_t* Data = nullptr;
  int32_t DataSize = 0;
};

class TStreamVisitor {
 public:
  virtual ~TStreamVisitor() = default;
  // Each returns false to end the walk there.
  virtual bool Frame(const TStreamFrame& Frame) = 0;
  // Bytes that belong to no frame.
  virtual bool Junk(int64_t Offset, int64_t Length) = 0;
};

// Told the file's bytes that the walk is done with, in file order, each byte once, after the
// visitor was told of the frames among them; false ends the walk.
using TPassedBytes = std::function<bool(int64_t Offset, const uint8_t* Data, int32_t Count)>;

enum class TStreamWalkEnd { Completed, Stopped, Failed };

// Walks the first Size bytes of the open File (fewer when it is cut short meanwhile: the walk
// ends at the end it finds). Progress is told the position reached now and then; Passed, when
// given, every byte walked. On Failed, Error says what could not be done.
TStreamWalkEnd WalkStream(const TFileStream& File, int64_t Size, TStreamVisitor& Visitor,
                          const TFrameWindow::TWalkProgress& Progress, const TPassedBytes& Passed, std::string& Error);
// The same over a whole file by name.
TStreamWalkEnd WalkStream(const std::filesystem::path& File, TStreamVisitor& Visitor,
                          const TFrameWindow::TWalkProgress& Progress, std::string& Error);

}  // namespace corvane
