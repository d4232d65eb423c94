// The loudness measurement of the listing file (CORVANE_BENCH_LIST_MB MiB of 448 kb/s 5.1, 2 GiB
// unless set), side by side with ffmpeg's ebur128 filter on the same file where ffmpeg is
// installed: wall time, throughput and CPU time of each, and the figures both measure. On a
// machine shared with other work the two are best compared in BM_LoudnessBesideFfmpeg, which
// runs them by turns in each iteration (which goes first alternates) and reports the load
// average around them. The true-peak meter on its own, in samples per second.

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include "BenchFiles.h"
#include "loudness/LoudnessScan.h"
#include "loudness/TruePeak.h"

namespace {

using corvane::bench::Files;

double CpuSeconds(int Who) {
  rusage Usage{};
  getrusage(Who, &Usage);
  return static_cast<double>(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
         static_cast<double>(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
}

void Throughput(benchmark::State& State, double Seconds, double Cpu) {
  const double Bytes = static_cast<double>(std::filesystem::file_size(Files().Listing()));
  State.counters["MB/s"] = Bytes / 1e6 / Seconds;
  State.counters["cpu_s"] = Cpu;
}

void BM_MeasureLoudness(benchmark::State& State) {
  const std::filesystem::path& File = Files().Listing();
  corvane::TLoudnessResult Result;
  for (auto _ : State) {
    const double Cpu = CpuSeconds(RUSAGE_SELF);
    const auto Start = std::chrono::steady_clock::now();
    corvane::TLoudnessRequest Request;
    Request.File = File;
    Result = corvane::MeasureLoudness(Request);
    const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    if (!Result.Completed) State.SkipWithError(Result.Error.c_str());
    Throughput(State, Seconds, CpuSeconds(RUSAGE_SELF) - Cpu);
    State.counters["x_realtime"] = Result.Seconds / Seconds;
  }
  State.counters["I_LKFS"] = Result.Integrated;
  State.counters["TP_dBTP"] = Result.TruePeak;
  State.counters["LRA_LU"] = Result.Range;
}
BENCHMARK(BM_MeasureLoudness)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// The figure after Label (as "I:" or "Peak:") in the ebur128 filter's summary; NaN without it.
double SummaryFigure(const std::string& Summary, const std::string& Label) {
  const size_t At = Summary.rfind(Label);
  return At == std::string::npos ? std::nan("") : std::atof(Summary.c_str() + At + Label.size());
}

// Argument 0: `ffmpeg -i FILE -af ebur128 -f null -` as the comparison names it (dynamic range
// gains applied, no true peak); 1: the same measurement as Corvane's (no gains, true peak).
void BM_FfmpegEbur128(benchmark::State& State) {
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) {
    State.SkipWithError("ffmpeg is not installed");
    return;
  }
  const bool Same = State.range(0) == 1;
  const std::string Command = std::string("ffmpeg -nostdin -hide_banner -nostats ") + (Same ? "-drc_scale 0 " : "") +
                              "-i '" + Files().Listing().string() + "' -af ebur128" + (Same ? "=peak=true" : "") +
                              " -f null - 2>&1 | grep -A20 Summary";
  std::string Summary;
  for (auto _ : State) {
    const double Cpu = CpuSeconds(RUSAGE_CHILDREN);
    const auto Start = std::chrono::steady_clock::now();
    std::FILE* Pipe = popen(Command.c_str(), "r");
    char Line[512];
    while (Pipe != nullptr && std::fgets(Line, sizeof Line, Pipe) != nullptr) Summary += Line;
    if (Pipe == nullptr || pclose(Pipe) != 0) State.SkipWithError("ffmpeg failed");
    const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    Throughput(State, Seconds, CpuSeconds(RUSAGE_CHILDREN) - Cpu);
  }
  State.counters["I_LKFS"] = SummaryFigure(Summary, "I:");
  if (Same) State.counters["TP_dBTP"] = SummaryFigure(Summary, "Peak:");
  State.counters["LRA_LU"] = SummaryFigure(Summary, "LRA:");
  State.SetLabel(Same ? "no DRC, true peak" : "as in the comparison");
}
BENCHMARK(BM_FfmpegEbur128)->Arg(0)->Arg(1)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

double LoadAverage() {
  double Load = 0.0;
  return getloadavg(&Load, 1) == 1 ? Load : std::nan("");
}

// Ours and `ffmpeg -i FILE -af ebur128 -f null -` by turns: the wall and CPU seconds of each
// summed over the iterations, their ratio, the load average (1 minute) before the first run and
// after the last, and the peak memory of each process.
void BM_LoudnessBesideFfmpeg(benchmark::State& State) {
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) {
    State.SkipWithError("ffmpeg is not installed");
    return;
  }
  const std::filesystem::path& File = Files().Listing();
  const std::string Ffmpeg =
      "ffmpeg -nostdin -hide_banner -nostats -i '" + File.string() + "' -af ebur128 -f null - >/dev/null 2>&1";
  double Ours = 0.0, OursCpu = 0.0, Theirs = 0.0, TheirsCpu = 0.0;
  const double LoadBefore = LoadAverage();
  int64_t Round = 0;
  for (auto _ : State) {
    const auto RunOurs = [&] {
      const double Cpu = CpuSeconds(RUSAGE_SELF);
      const auto Start = std::chrono::steady_clock::now();
      corvane::TLoudnessRequest Request;
      Request.File = File;
      if (!corvane::MeasureLoudness(Request).Completed) State.SkipWithError("the measurement failed");
      Ours += std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
      OursCpu += CpuSeconds(RUSAGE_SELF) - Cpu;
    };
    const auto RunTheirs = [&] {
      const double Cpu = CpuSeconds(RUSAGE_CHILDREN);
      const auto Start = std::chrono::steady_clock::now();
      if (std::system(Ffmpeg.c_str()) != 0) State.SkipWithError("ffmpeg failed");
      Theirs += std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
      TheirsCpu += CpuSeconds(RUSAGE_CHILDREN) - Cpu;
    };
    if (Round++ % 2 == 0) {
      RunOurs();
      RunTheirs();
    } else {
      RunTheirs();
      RunOurs();
    }
  }
  rusage Self{};
  rusage Children{};
  getrusage(RUSAGE_SELF, &Self);
  getrusage(RUSAGE_CHILDREN, &Children);
  const double Bytes = static_cast<double>(std::filesystem::file_size(File)) * static_cast<double>(Round);
  State.counters["ours_s"] = Ours;
  State.counters["ours_cpu_s"] = OursCpu;
  State.counters["ours_MB/s"] = Bytes / 1e6 / Ours;
  State.counters["ffmpeg_s"] = Theirs;
  State.counters["ffmpeg_cpu_s"] = TheirsCpu;
  State.counters["ffmpeg_MB/s"] = Bytes / 1e6 / Theirs;
  State.counters["x_ffmpeg"] = Theirs / Ours;
  State.counters["load_before"] = LoadBefore;
  State.counters["load_after"] = LoadAverage();
  State.counters["ours_maxrss_MiB"] = static_cast<double>(Self.ru_maxrss) / 1024.0;
  State.counters["ffmpeg_maxrss_MiB"] = static_cast<double>(Children.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_LoudnessBesideFfmpeg)->Unit(benchmark::kSecond)->Iterations(4)->UseRealTime();

void BM_TruePeak(benchmark::State& State) {
  std::vector<float> Samples(1536);
  for (size_t Index = 0; Index < Samples.size(); ++Index)
    Samples[Index] = static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * 997.0 / 48000.0 * static_cast<double>(Index)));
  corvane::TTruePeak Meter;
  for (auto _ : State) {
    Meter.Add(Samples.data(), static_cast<int32_t>(Samples.size()));
    benchmark::DoNotOptimize(Meter.Peak());
  }
  State.counters["samples/s"] =
      benchmark::Counter(static_cast<double>(Samples.size()) * static_cast<double>(State.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TruePeak);

}  // namespace
