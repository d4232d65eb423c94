// The true-peak meter: peaks between samples, against libebur128's own meter, and no value
// interpolated across a restart.

#include <gtest/gtest.h>

#include <ebur128.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "loudness/TruePeak.h"

namespace corvane {
namespace {

// Count samples of a sine of Amplitude at Frequency (in cycles per sample), starting at Phase.
std::vector<float> Sine(double Amplitude, double Frequency, double Phase, size_t Count) {
  std::vector<float> Samples(Count);
  for (size_t Index = 0; Index < Count; ++Index)
    Samples[Index] = static_cast<float>(Amplitude * std::sin(2.0 * std::numbers::pi * Frequency * static_cast<double>(Index) + Phase));
  return Samples;
}

double Db(double Linear) { return 20.0 * std::log10(Linear); }

double Ebur128TruePeak(const std::vector<float>& Samples) {
  ebur128_state* State = ebur128_init(1, 48000, EBUR128_MODE_TRUE_PEAK);
  ebur128_add_frames_float(State, Samples.data(), Samples.size());
  double Peak = 0.0;
  ebur128_true_peak(State, 0, &Peak);
  ebur128_destroy(&State);
  return Peak;
}

// Sines whose samples miss their crests by up to 3 dB: the meter finds the crests, as
// libebur128's meter does, in blocks of any size.
TEST(TruePeak, FindsThePeaksBetweenTheSamples) {
  struct TCase {
    double Frequency;  // cycles per sample
    double Phase;
    double Tolerance;  // dB from the crest: the interpolation falls off towards half the rate
  };
  const TCase Cases[] = {{1000.0 / 48000, 0.3, 0.01}, {0.125, std::numbers::pi / 8, 0.05},
                         {0.25, std::numbers::pi / 4, 0.1}, {0.4, 0.1, 0.25}};
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Frequency);
    const std::vector<float> Samples = Sine(0.5, Case.Frequency, Case.Phase, 48000);
    for (int32_t Block : {1536, 77, 48000}) {
      TTruePeak Meter;
      for (size_t Start = 0; Start < Samples.size(); Start += static_cast<size_t>(Block))
        Meter.Add(Samples.data() + Start, static_cast<int32_t>(std::min<size_t>(static_cast<size_t>(Block), Samples.size() - Start)));
      EXPECT_NEAR(Db(Meter.Peak()), Db(0.5), Case.Tolerance) << "block " << Block;
      EXPECT_NEAR(Db(Meter.Peak()), Db(Ebur128TruePeak(Samples)), 0.2) << "block " << Block;
    }
  }
  // The sine at a quarter of the rate with its samples at 45 degrees: they are 3 dB down.
  const std::vector<float> Quarter = Sine(0.5, 0.25, std::numbers::pi / 4, 64);
  EXPECT_NEAR(Db(std::fabs(Quarter[1])), Db(0.5) - 3.01, 0.01);
}

// A block whose samples stay below the peak so far may still rise above it between them: the
// meter looks at it (a block too low to reach the peak it may pass over).
TEST(TruePeak, AQuieterBlockStillRaisesThePeakBetweenItsSamples) {
  const std::vector<float> Loud = Sine(0.5, 1000.0 / 48000, 0.0, 4800);
  // Samples at 0.52 * 0.707 = 0.368, crests at 0.52 between them.
  const std::vector<float> Between = Sine(0.52, 0.25, std::numbers::pi / 4, 4800);
  const std::vector<float> Quiet = Sine(0.1, 0.25, std::numbers::pi / 4, 4800);
  TTruePeak Meter;
  Meter.Add(Loud.data(), 4800);
  EXPECT_NEAR(Meter.Peak(), 0.5, 0.001);
  Meter.Add(Quiet.data(), 4800);
  EXPECT_NEAR(Meter.Peak(), 0.5, 0.001);
  Meter.Add(Between.data(), 4800);
  EXPECT_NEAR(Db(Meter.Peak()), Db(0.52), 0.1);  // 0.34 dB above the peak before
}

// After a restart nothing is interpolated between the samples before it and after it, so a
// jump there is no overshoot; the jump inside one signal is.
TEST(TruePeak, ARestartJoinsNothing) {
  const std::vector<float> Low(100, -0.5f);
  const std::vector<float> High(100, 0.5f);
  TTruePeak Joined;
  Joined.Add(Low.data(), 100);
  Joined.Add(High.data(), 100);
  EXPECT_GT(Joined.Peak(), 0.52);  // the step rings above its levels

  TTruePeak Restarted;
  Restarted.Add(Low.data(), 100);
  Restarted.Restart();
  Restarted.Add(High.data(), 100);
  EXPECT_NEAR(Restarted.Peak(), 0.5, 1e-6);
}

}  // namespace
}  // namespace corvane
