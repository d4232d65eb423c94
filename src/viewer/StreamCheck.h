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
  int64_t AtTicks = 0;    // where it lies on the stream's time axis: the duration before its frame

  bool IsProblem() const { return Kind != TFindingKind::Change; }
};

// Gains in dB over a number of frames: the smallest, the largest and their sum, each word's gain
// in millionths of a dB (rounded once per code), so that every build adds them up alike and
// prints the same figures.
struct TGainSummary {
  int64_t Frames = 0;
  int32_t Min = 0;
  int32_t Max = 0;
  int64_t Sum = 0;
  void Add(int32_t MicroDb);
  void Merge(const TGainSummary& Other);
  // The mean in hundredths of a dB, rounded half away from zero; 0 without frames.
  int64_t MeanCentiDb() const;
};

// Broadcast practice: dialnorm should match the measured loudness within 2 dB.
inline constexpr double DialnormTolerance = 2.0;

// The gain of a dynrng or compr word, in millionths of a dB (word 0 is 0 dB).
int32_t DynrngMicroDb(uint32_t dynrng);
int32_t ComprMicroDb(uint32_t compr);

// Millionths of a dB to hundredths, rounded half away from zero.
int64_t MicroToCentiDb(int64_t MicroDb);
// A fixed-point number, Units of 10^-Decimals, without the locale: FixedText(-83, 2) is "-0.83".
std::u16string FixedText(int64_t Units, int Decimals);
// "min -1.23 dB, max 0.00 dB, mean -0.50 dB (" + Counted + "12 frames)", or "in no frame".
std::u16string GainSummaryText(const TGainSummary& Gains, const char16_t* Counted = u"");

// The sampling rates of both kinds by one code: fscod 0 to 2 (48, 44.1, 32 kHz) as themselves,
// E-AC-3's reduced rates (fscod 3 with fscod2 0 to 2: 24, 22.05, 16 kHz) as 3 to 5.
inline constexpr uint32_t SamplingRateCodes = 6;
uint32_t SamplingRateOfCode(uint32_t RateCode);

// What the frames of the whole file held. Frames whose header a failed CRC covers add to the
// counts but not to the values seen: their header may be anything.
struct TStreamSummary {
  bool EAC3 = false;  // the file's kind, as the stream test found it
  int64_t FileSize = 0;
  int64_t Frames = 0;
  int64_t OtherKindFrames = 0;  // frames of the kind the file is not
  int64_t FrameBytes = 0;
  int64_t DurationTicks = 0;           // the samples of the program's frames at their rates, in DurationTicksPerSecond
  uint32_t SamplingRates = 0;          // bit rate code (SamplingRateOfCode)
  std::vector<uint32_t> Kbps;          // every bit rate seen, ascending (at most MaxKbpsValues)
  bool MoreKbps = false;               // more distinct rates were seen than Kbps keeps
  uint32_t AcmodLfeon = 0;             // bit acmod * 2 + lfeon
  uint32_t Bsids = 0;                  // bit bsid
  uint32_t Dialnorms = 0;              // bit dialnorm
  uint32_t Dialnorm2s = 0;             // bit dialnorm2 (acmod 0)
  uint32_t Independent = 0;            // E-AC-3: bit substreamid of the independent substreams
  std::array<uint8_t, 8> Dependent{};  // E-AC-3: by independent substream, bit substreamid of its dependent ones
  // The dynamic range metadata of the program's frames: compr over those that carry it, the
  // first audio block's dynrng over all of them (0 dB where the block sends none); compr2 and
  // dynrng2 of 1+1 frames.
  TGainSummary Compr, Compr2, Dynrng, Dynrng2;

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

// Where the last frame the check was told of lies on the stream's time axis, and the values it
// read from its header.
struct TCheckedFrame {
  int64_t StartTicks = 0;  // the duration before it, in DurationTicksPerSecond
  int64_t Ticks = 0;       // its own share of the duration: 0 for frames of no time of their own
  bool Trusted = false;    // its header lies in what a passing CRC covers: the values below are its own
  bool Timed = false;      // of the program whose time makes up the duration (not a dependent substream
                           // or another program of E-AC-3)
  uint32_t Kbps = 0;       // the rate its size stands for; 0 where it codes none
  uint32_t dialnorm = 0;
  bool HasCompr = false;
  int32_t Compr = 0;   // millionths of a dB
  int32_t Dynrng = 0;  // of its first audio block, millionths of a dB (0 where it sends none)
};

// Told each finding in file order; returns false to end the check there.
using TFindingSink = std::function<bool(const TStreamFinding&)>;
// Told each frame after the check took it, with what the check read from it.
using TCheckedFrameSink = std::function<void(const TStreamFrame&, const TCheckedFrame&)>;

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
  // The frame told last (valid from the first call of Frame on).
  const TCheckedFrame& LastFrame() const { return FLast; }

 private:
  struct TState;
  bool Tell(TStreamFinding Finding);
  template <typename TKind>
  bool Header(const TStreamFrame& Frame);

  TStreamSummary FSummary;
  TCheckedFrame FLast;
  int64_t FNow = 0;  // the time findings are told at
  TFindingSink FSink;
  std::unique_ptr<TState> FState;
};

enum class TCheckEnd { Completed, Cancelled, Failed };

// Checks File as a stream of the given kind on a window of its own (its own stream and buffer),
// so it may run on any thread. Cancel, when given, is looked at after every frame; Progress is
// told the position reached now and then; Frames, when given, each frame checked. On Failed,
// Error says why.
TCheckEnd CheckStream(const std::filesystem::path& File, bool EAC3, const TFindingSink& Sink, TStreamSummary& Summary,
                      const TFrameWindow::TWalkProgress& Progress, const std::atomic<bool>* Cancel, std::string& Error,
                      const TCheckedFrameSink& Frames = {});

// Texts of a finding without its offset, such as "crc1 fails", "120 bytes that belong to no
// frame" or "sampling rate 48000 Hz -> 44100 Hz".
std::u16string FindingText(const TStreamFinding& Finding);
// The summary as lines such as "Frames: 32" or "Sampling rate: 48000 Hz".
std::vector<std::u16string> SummaryLines(const TStreamSummary& Summary);
// The name of a changed parameter in the JSON: "sampling_rate", "acmod", "lfeon", "bit_rate", "dialnorm", "bsid",
// "kind".
const char* ChangeFieldKey(TChangeField Field);

}  // namespace corvane
