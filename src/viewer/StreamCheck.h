#pragma once
// The whole-file check of a stream: what the stream holds (kind, sampling rates, frames,
// duration, bit rates, channel modes, bsid and dialnorm values, E-AC-3 substreams), its problems
// (frames that fail a CRC, bytes that belong to no frame, frames cut short or running past the
// end of the file, reserved codes) and where its coding parameters change, each with its byte
// offset. Findings are handed on in file order as they are found, so the check runs in constant
// memory whatever the file holds.

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/AC3Crc.h"
#include "viewer/StreamWalk.h"

namespace corvane {

enum class TFindingKind : uint8_t {
  CrcFailed,  // a whole frame fails crc1, crc2 or both
  Junk,       // bytes that belong to no frame
  CutShort,   // a frame whose coded end lies past the start of the next frame
  PastEnd,    // a frame whose coded end lies past the end of the file
  Reserved,   // the first frame of a run of frames that carry a reserved code in a field
  NoFrames,   // not one frame in the file
  Change,     // the first frame with a new value of a coding parameter
};

// Kind: a frame of the other kind (an E-AC-3 frame in an AC-3 file, or the other way round);
// its values are 0 for AC-3 and 1 for E-AC-3.
enum class TChangeField : uint8_t { SamplingRate, Acmod, Lfeon, BitRate, Dialnorm, Bsid, Kind };

// An E-AC-3 frame's place in the program: its independent substream, and its dependent
// substream within that one (-1 for the independent substream's own frames). AC-3 frames have
// neither.
struct TSubstream {
  int8_t Independent = -1;
  int8_t Dependent = -1;
};

struct TStreamFinding {
  TFindingKind Kind = TFindingKind::Junk;
  int64_t Offset = 0;
  int64_t Length = 0;           // Junk: its bytes; CutShort, PastEnd: the frame's bytes in the file
  int32_t CodedSize = 0;        // CutShort, PastEnd: the bytes its header codes
  TFrameCrc Crc;                // CrcFailed
  const char* Field = nullptr;  // Reserved: the field's name
  TChangeField Changed = TChangeField::SamplingRate;
  uint32_t Value = 0;     // Reserved: the code; Change: the new value (Hz, kbps or the code)
  uint32_t Previous = 0;  // Change: the value before
  TSubstream Substream;   // Reserved, Change: whose value it is

  bool IsProblem() const { return Kind != TFindingKind::Change; }
};

// What the frames of the whole file held. Frames whose header a failed CRC covers add to the
// counts but not to the values seen: their header may be anything.
struct TStreamSummary {
  bool EAC3 = false;  // the file's kind, as the stream test found it
  int64_t FileSize = 0;
  int64_t Frames = 0;
  int64_t OtherKindFrames = 0;  // frames of the kind the file is not
  int64_t FrameBytes = 0;
  int64_t DurationTicks = 0;           // the samples of the program's frames at their rates, in DurationTicksPerSecond
  uint32_t SamplingRates = 0;          // bit fscod
  std::vector<uint32_t> Kbps;          // every bit rate seen, ascending (at most MaxKbpsValues)
  bool MoreKbps = false;               // more distinct rates were seen than Kbps keeps
  uint32_t AcmodLfeon = 0;             // bit acmod * 2 + lfeon
  uint32_t Bsids = 0;                  // bit bsid
  uint32_t Dialnorms = 0;              // bit dialnorm
  uint32_t Dialnorm2s = 0;             // bit dialnorm2 (acmod 0)
  uint32_t Independent = 0;            // E-AC-3: bit substreamid of the independent substreams
  std::array<uint8_t, 8> Dependent{};  // E-AC-3: by independent substream, bit substreamid of its dependent ones

  int64_t Problems = 0;
  int64_t CrcFailures = 0;
  int64_t JunkRegions = 0;
  int64_t JunkBytes = 0;
  int64_t Truncated = 0;       // frames cut short or running past the end of the file
  int64_t ReservedFrames = 0;  // frames that carry a reserved code
  int64_t Changes = 0;

  static constexpr size_t MaxKbpsValues = 32;
  // A sample at any sampling rate of AC-3 or E-AC-3 (48, 44.1, 32, 24, 22.05 or 16 kHz) lasts a
  // whole number of these ticks, so durations add up exactly, in integers, on every platform.
  static constexpr int64_t DurationTicksPerSecond = 14112000;
  // The duration rounded to whole microseconds.
  int64_t DurationMicroseconds() const;
  // The average bit rate over the duration rounded to whole bits per second (0.001 kbps); 0
  // without a duration.
  int64_t AverageBitsPerSecond() const;
};

// Told each finding in file order; returns false to end the check there.
using TFindingSink = std::function<bool(const TStreamFinding&)>;

// The check's bookkeeping, fed by the stream walk (or by a test) frame by frame.
class TStreamChecker final : public TStreamVisitor {
 public:
  TStreamChecker(bool EAC3, int64_t FileSize, TFindingSink Sink);
  ~TStreamChecker() override;

  bool Frame(const TStreamFrame& Frame) override;
  bool Junk(int64_t Offset, int64_t Length) override;
  // After the last frame: a file without frames is a problem.
  bool Finish();
  const TStreamSummary& Summary() const { return FSummary; }

 private:
  struct TState;
  bool Tell(const TStreamFinding& Finding);
  template <typename TKind>
  bool Header(const TStreamFrame& Frame);

  TStreamSummary FSummary;
  TFindingSink FSink;
  std::unique_ptr<TState> FState;
};

enum class TCheckEnd { Completed, Cancelled, Failed };

// Checks File as a stream of the given kind on a window of its own (its own stream and buffer),
// so it may run on any thread. Cancel, when given, is looked at after every frame; Progress is
// told the position reached now and then. On Failed, Error says why.
TCheckEnd CheckStream(const std::filesystem::path& File, bool EAC3, const TFindingSink& Sink, TStreamSummary& Summary,
                      const TFrameWindow::TWalkProgress& Progress, const std::atomic<bool>* Cancel, std::string& Error);

// Texts of a finding without its offset, such as "crc1 fails", "120 bytes that belong to no
// frame" or "sampling rate 48000 Hz -> 44100 Hz".
std::u16string FindingText(const TStreamFinding& Finding);
// The summary as lines such as "Frames: 32" or "Sampling rate: 48000 Hz".
std::vector<std::u16string> SummaryLines(const TStreamSummary& Summary);
// The name of a changed parameter in the JSON: "sampling_rate", "acmod", "lfeon", "bit_rate", "dialnorm", "bsid",
// "kind".
const char* ChangeFieldKey(TChangeField Field);

}  // namespace corvane
