#pragma once
// The loudness of a whole stream file: every whole frame of the programme, as the stream walk
// finds them, decoded without its dynamic range gains and measured to BS.1770 (integrated
// loudness, loudness range, true peak per channel, a momentary and short-term series), beside
// what the frames' metadata claims (dialnorm, compr, dynrng). Decoding and measuring run on two
// threads; memory stays the same however large the file is.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "loudness/FrameDecoder.h"
#include "viewer/FrameWindow.h"

namespace corvane {

// Minimum, maximum and mean of gains in dB.
struct TGainStats {
  int64_t Count = 0;
  double Min = 0.0;
  double Max = 0.0;
  double Sum = 0.0;
  void Add(double Db);
  double Mean() const { return Count > 0 ? Sum / static_cast<double>(Count) : 0.0; }
};

struct TValueCount {
  uint32_t Value = 0;
  int64_t Frames = 0;
};

// Something at a frame that kept it out of the measurement.
struct TLoudnessFinding {
  int64_t Offset = 0;
  std::string Text;
};

// One step of the series, ending at Time seconds of the measured audio.
struct TSeriesRow {
  double Time = 0.0;
  double Momentary = 0.0;  // LKFS; minus infinity where the audio is too short or silent
  double ShortTerm = 0.0;
  double Kbps = 0.0;       // the step's frames' bytes over the step's duration
  int32_t Dialnorm = -1;   // of the step's last frame; -1 when no frame ended in the step
  int64_t ComprFrames = 0;  // frames of the step that carry compr
  double Compr = 0.0;      // their mean compr in dB
  int64_t DynrngFrames = 0;  // frames of the step
  double Dynrng = 0.0;     // their mean first-block dynrng in dB (0 dB where a frame sends none)
};

struct TLoudnessResult {
  bool Completed = false;  // measured to the end of the file
  bool Cancelled = false;
  std::string Error;       // why it failed, when it neither completed nor was cancelled

  double Integrated = 0.0;  // LKFS; minus infinity when nothing rose above the gates
  double Range = 0.0;       // LU
  double TruePeak = 0.0;    // dBTP over all channels; minus infinity without audio
  std::vector<std::pair<TChannelRole, double>> ChannelPeaks;  // dBTP of each channel seen, by role

  int64_t Frames = 0;           // frames of the programme handed to the decoder
  int64_t DecodedSamples = 0;   // samples of each channel the decoder gave
  double Seconds = 0.0;         // their duration
  int64_t OtherProgrammes = 0;  // E-AC-3 frames of independent substreams 1 to 7, not measured
  std::vector<TValueCount> Dialnorms;   // dialnorm values and how many frames carry each
  std::vector<TValueCount> Dialnorm2s;  // the second channel's, in 1+1 frames
  TGainStats Compr, Compr2;             // over the frames that carry them
  TGainStats Dynrng, Dynrng2;           // of each frame's first audio block
  int64_t FindingCount = 0;
  std::vector<TLoudnessFinding> Findings;  // the first MaxFindings of them, in file order
};

struct TLoudnessRequest {
  std::filesystem::path File;
  bool EAC3 = false;
  // Seconds per step of the series; 0 for none. Series is called on the measuring thread, in
  // order, and ends the measurement when it returns false.
  double SeriesStep = 0.0;
  std::function<bool(const TSeriesRow&)> Series;
  TFrameWindow::TWalkProgress Progress;  // on the calling thread
  const std::atomic<bool>* Cancel = nullptr;
  size_t MaxFindings = 1000;
  double DrcScale = 0.0;  // how much of the dynamic range gains the decoder applies
};

TLoudnessResult MeasureLoudness(const TLoudnessRequest& Request);

// Broadcast practice: dialnorm should match the measured loudness within 2 dB.
inline constexpr double DialnormTolerance = 2.0;

struct TDialnormVerdict {
  bool Measured = false;     // the integrated loudness rose above the gates
  bool HasDialnorm = false;  // a frame carried dialnorm
  uint32_t Dialnorm = 0;     // the value most frames carry
  double Claimed = 0.0;      // the dialogue level it claims, -dialnorm LKFS (dialnorm 0 as 31)
  double Difference = 0.0;   // measured minus claimed, to 0.1 dB
  bool Agrees = false;       // both known and the difference within the tolerance
};

TDialnormVerdict JudgeDialnorm(const TLoudnessResult& Result);

}  // namespace corvane
