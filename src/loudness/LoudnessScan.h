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
#include "viewer/StreamCheck.h"

namespace corvane {

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
  int64_t Offset = -1;     // the file offset of the frame whose audio the step ends in
  double Momentary = 0.0;  // LKFS; minus infinity where the audio is too short or silent
  double ShortTerm = 0.0;
  double Kbps = 0.0;       // the step's frames' bytes over the step's duration
  int32_t Dialnorm = -1;   // of the step's last frame; -1 when no frame ended in the step
  TGainSummary Compr;      // of the step's frames that carry it
  TGainSummary Dynrng;     // of the step's frames' first blocks (0 dB where a frame sends none)
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
  TGainSummary Compr, Compr2;           // over the frames that carry them
  TGainSummary Dynrng, Dynrng2;         // of each frame's first audio block
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

struct TDialnormVerdict {
  bool Measured = false;     // the integrated loudness rose above the gates
  bool HasDialnorm = false;  // a frame carried dialnorm
  uint32_t Dialnorm = 0;     // the value most frames carry
  double Claimed = 0.0;      // the dialogue level it claims, -dialnorm LKFS (dialnorm 0 as 31)
  double Difference = 0.0;   // measured minus claimed, to 0.1 dB
  bool Agrees = false;       // both known and the difference within the tolerance
};

TDialnormVerdict JudgeDialnorm(const TLoudnessResult& Result);

// The dialnorm that claims Integrated LKFS: the level in whole dB, as near as 1 to 31 come.
uint32_t MatchingDialnorm(double Integrated);

}  // namespace corvane
