#include "app/LoudnessRun.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "app/WorkerProgress.h"
#include "core/StringUtils.h"
#include "loudness/LoudnessReport.h"

namespace corvane {
namespace {

// Steps of the short-term series over the stream: about as many as an overview has spans, for a
// value in every column of a wide picture, but never so short that reading the meter's 3-second
// window costs much beside the measurement.
constexpr double SeriesSteps = 4096.0;
constexpr double ShortestStep = 0.1;
constexpr double LongestStep = 10.0;

}  // namespace

TLoudnessOutcome MeasureLoudnessBehindProgress(QWidget* Parent, const std::filesystem::path& File, bool EAC3,
                                               TStreamOverview& Overview, const std::function<void()>& Changed,
                                               const std::function<void(QProgressDialog* Dialog)>& Started) {
  std::mutex Mutex;
  std::vector<std::pair<int64_t, double>> Measured;  // not yet in the overview
  TLoudnessResult Result;
  const double Seconds =
      static_cast<double>(Overview.DurationTicks()) / static_cast<double>(TStreamSummary::DurationTicksPerSecond);
  Overview.ClearLoudness();
  RunBehindProgress(
      Parent, QStringLiteral("Measure Loudness"), QStringLiteral("Measuring the loudness..."),
      [&](TWorkerState& State) {
        TLoudnessRequest Request;
        Request.File = File;
        Request.EAC3 = EAC3;
        Request.SeriesStep = std::clamp(Seconds / SeriesSteps, ShortestStep, LongestStep);
        Request.Series = [&](const TSeriesRow& Row) {
          const std::lock_guard Lock(Mutex);
          Measured.emplace_back(Row.Offset, Row.ShortTerm);
          return true;
        };
        Request.Progress = State.Progress();
        Request.Cancel = &State.Cancel;
        try {
          Result = MeasureLoudness(Request);
        } catch (const std::exception& Failure) {
          Result.Completed = false;
          Result.Error = Failure.what();
        }
      },
      Started,
      [&] {
        std::vector<std::pair<int64_t, double>> Taken;
        {
          const std::lock_guard Lock(Mutex);
          Taken.swap(Measured);
        }
        if (Taken.empty()) return;
        for (const auto& [Offset, ShortTerm] : Taken) Overview.AddLoudness(Offset, ShortTerm);
        Changed();
      });
  TLoudnessOutcome Outcome;
  if (!Result.Completed) {
    Overview.ClearLoudness();
    Changed();
    Outcome.End = Result.Cancelled ? TCheckEnd::Cancelled : TCheckEnd::Failed;
    Outcome.Error = Result.Error;
    return Outcome;
  }
  Outcome.End = TCheckEnd::Completed;
  for (const std::string& Line : VerdictLines(Result)) Outcome.Lines.push_back(FromUtf8(Line));
  Outcome.Status = QString::fromStdString(VerdictStatusText(Result));
  return Outcome;
}

}  // namespace corvane
