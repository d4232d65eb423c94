#pragma once
// The true peak of one channel (BS.1770 Annex 2): the largest magnitude of the signal
// oversampled four times, found with a polyphase interpolation filter over the samples.

#include <cstdint>

namespace corvane {

class TTruePeak {
 public:
  // The samples that follow those added before.
  void Add(const float* Samples, int32_t Count);
  // Forgets the samples before: the next ones start a signal of their own, and no value is
  // interpolated between them and the samples before.
  void Restart();
  // The largest magnitude so far, as a linear value (1.0 is full scale).
  double Peak() const { return FPeak; }

  // Taps of each of the three interpolated phases; the fourth phase is the samples themselves.
  static constexpr int32_t Taps = 12;

 private:
  float FHistory[Taps - 1] = {};  // the last samples added, oldest first
  int32_t FFresh = Taps - 1;       // samples still to come before values are interpolated again
  double FPeak = 0.0;
};

}  // namespace corvane
