#include "loudness/TruePeak.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>

namespace corvane {
namespace {

constexpr int32_t Phases = 4;
constexpr int32_t History = TTruePeak::Taps - 1;
// Samples worked on at once: the interpolated values of a block stay in the cache.
constexpr int32_t BlockSamples = 1024;

using TPhaseTaps = std::array<std::array<float, TTruePeak::Taps>, Phases - 1>;

// The interpolation filter: a sinc cut off at the input's Nyquist frequency under a Hann
// window, Phases * Taps + 1 taps long, split into its polyphase parts. Phase p gives the
// values p/4 of a sample after each input sample; each part is scaled to pass a constant
// signal unchanged. Phase 0 falls on the samples themselves, where the sinc is 1 and 0.
TPhaseTaps MakePhaseTaps() {
  constexpr int32_t Length = Phases * TTruePeak::Taps + 1;
  constexpr double Middle = (Length - 1) / 2.0;
  TPhaseTaps Taps{};
  for (int32_t Phase = 1; Phase < Phases; ++Phase) {
    double Sum = 0.0;
    std::array<double, TTruePeak::Taps> Part{};
    for (int32_t Tap = 0; Tap < TTruePeak::Taps; ++Tap) {
      const int32_t Index = Phase + Phases * Tap;
      const double X = (Index - Middle) / Phases * std::numbers::pi;
      const double Window = 0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * Index / (Length - 1)));
      Part[static_cast<size_t>(Tap)] = std::sin(X) / X * Window;
      Sum += Part[static_cast<size_t>(Tap)];
    }
    for (int32_t Tap = 0; Tap < TTruePeak::Taps; ++Tap)
      Taps[static_cast<size_t>(Phase - 1)][static_cast<size_t>(Tap)] = static_cast<float>(Part[static_cast<size_t>(Tap)] / Sum);
  }
  return Taps;
}

const TPhaseTaps PhaseTaps = MakePhaseTaps();

// No interpolated value exceeds the largest magnitude of the samples it is made of by more than
// the largest sum of a phase's tap magnitudes; the margin covers the rounding of the float sums.
const float PeakBound = [] {
  double Bound = 1.0;
  for (const auto& Taps : PhaseTaps) {
    double Sum = 0.0;
    for (const float Tap : Taps) Sum += std::fabs(Tap);
    Bound = std::max(Bound, Sum);
  }
  return static_cast<float>(Bound * (1.0 + 1e-5));
}();

// Where the compiler can, one version for processors with AVX2 and FMA beside the plain one;
// the loader picks the one the processor runs.
#if defined(__GNUC__) && defined(__x86_64__) && defined(__linux__)
#define CORVANE_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define CORVANE_VECTOR_CLONES
#endif

// The largest magnitude of the N samples at Buffer + History and of the values interpolated
// between them and the History samples before them, leaving out the values that would need
// samples before Buffer + Fresh. The loops run over samples so that they
// vectorise; magnitudes are compared as the bits of positive floats, which order as integers
// do, because an integer maximum vectorises where a float one may not.
CORVANE_VECTOR_CLONES
float BlockPeak(const float* Buffer, int32_t N, int32_t Fresh) {
  float Values[BlockSamples];
  uint32_t Max = 0;
  for (int32_t Phase = 0; Phase < Phases; ++Phase) {
    if (Phase == 0) {
      std::memcpy(Values, Buffer + History, sizeof(float) * static_cast<size_t>(N));
    } else {
      const auto& Taps = PhaseTaps[static_cast<size_t>(Phase - 1)];
      std::fill(Values, Values + N, 0.0f);
      for (int32_t Tap = 0; Tap < TTruePeak::Taps; ++Tap) {
        const float Coefficient = Taps[static_cast<size_t>(Tap)];
        const float* From = Buffer + History - Tap;
        for (int32_t Sample = 0; Sample < N; ++Sample) Values[Sample] += Coefficient * From[Sample];
      }
    }
    for (int32_t Sample = Phase == 0 ? 0 : Fresh; Sample < N; ++Sample)
      Max = std::max(Max, std::bit_cast<uint32_t>(Values[Sample]) & 0x7FFFFFFFu);
  }
  return std::bit_cast<float>(Max);
}

// The largest magnitude of N samples.
CORVANE_VECTOR_CLONES
float SamplePeak(const float* Samples, int32_t N) {
  uint32_t Max = 0;
  for (int32_t Sample = 0; Sample < N; ++Sample) Max = std::max(Max, std::bit_cast<uint32_t>(Samples[Sample]) & 0x7FFFFFFFu);
  return std::bit_cast<float>(Max);
}

}  // namespace

void TTruePeak::Add(const float* Samples, int32_t Count) {
  float Buffer[History + BlockSamples];
  for (int32_t Start = 0; Start < Count; Start += BlockSamples) {
    const int32_t N = std::min(BlockSamples, Count - Start);
    std::memcpy(Buffer, FHistory, sizeof FHistory);
    std::memcpy(Buffer + History, Samples + Start, sizeof(float) * static_cast<size_t>(N));
    // Most blocks lie too far below the peak so far to reach it between their samples; only
    // the others are interpolated.
    if (static_cast<double>(SamplePeak(Buffer, History + N) * PeakBound) >= FPeak)
      FPeak = std::max(FPeak, static_cast<double>(BlockPeak(Buffer, N, std::min(FFresh, N))));
    FFresh = std::max(FFresh - N, 0);
    std::memcpy(FHistory, Buffer + N, sizeof FHistory);
  }
}

void TTruePeak::Restart() {
  std::fill(std::begin(FHistory), std::end(FHistory), 0.0f);
  FFresh = History;
}

}  // namespace corvane
