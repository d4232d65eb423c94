#pragma once
// BS.1770 loudness of interleaved float audio with libebur128: integrated loudness (gated),
// loudness range, and the momentary (400 ms) and short-term (3 s) loudness of the audio added
// last. Its memory stays the same however long the audio is.

#include <cstdint>
#include <memory>
#include <vector>

#include "loudness/FrameDecoder.h"

namespace corvane {

class TLoudnessMeter {
 public:
  TLoudnessMeter();
  ~TLoudnessMeter();
  TLoudnessMeter(const TLoudnessMeter&) = delete;
  TLoudnessMeter& operator=(const TLoudnessMeter&) = delete;

  // Frames frames of audio, one sample of each channel after the other, each channel weighed by
  // its role (the LFE channel not at all). A change of sampling rate or channels keeps what was
  // measured before. False when libebur128 failed.
  bool Add(const float* Interleaved, int32_t Frames, int32_t SampleRate, const std::vector<TChannelRole>& Roles);

  // In LKFS (LUFS) and LU; minus infinity where nothing was measured or all of it is gated out.
  double Integrated() const;
  double Range() const;
  double Momentary() const;
  double ShortTerm() const;

 private:
  bool Configure(int32_t SampleRate, const std::vector<TChannelRole>& Roles);

  struct TState;  // libebur128's state, whose type has no name to declare here
  std::unique_ptr<TState> FState;
  int32_t FSampleRate = 0;
  std::vector<TChannelRole> FRoles;
};

}  // namespace corvane
