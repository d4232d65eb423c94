// The viewer core on large files: opening (stream test, first window, first detail) a 4 GiB
// file against a 1 MiB one, End then Home on both, a step over a 256 MiB stretch without a
// frame start, the throughput of the whole-file listing and of the stream check, and the stream
// overview: gathered from the whole file, and its columns for a picture's width.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchFiles.h"
#include "viewer/FrameRowText.h"
#include "viewer/FrameWindow.h"
#include "viewer/StreamCheck.h"
#include "viewer/StreamOverview.h"

namespace {

using corvane::TFrameWindow;
using corvane::bench::Files;
using corvane::bench::MiB;
using corvane::bench::TBenchFiles;

const std::filesystem::path& FileFor(const benchmark::State& State) {
  return State.range(0) == 0 ? Files().Small() : Files().Sparse();
}

// The load of a file: both stream tests' reads, the first window of 25 rows, the first frame's
// tree. Argument 0 is the 1 MiB file, 1 the 4 GiB one.
void BM_Open(benchmark::State& State) {
  const std::filesystem::path& File = FileFor(State);
  auto Window = std::make_unique<TFrameWindow>();
  Window->SetVisibleRows(25);
  const int64_t ReadsBefore = Window->ReadCount();
  for (auto _ : State) {
    if (!Window->LoadFile(File, false)) State.SkipWithError("load failed");
    benchmark::DoNotOptimize(Window->AC3FramesCount());
  }
  // Reads through the window's own stream per open.
  State.counters["reads"] = static_cast<double>(Window->ReadCount() - ReadsBefore) / static_cast<double>(State.iterations());
  State.SetLabel(State.range(0) == 0 ? "1 MiB" : "4 GiB");
}
BENCHMARK(BM_Open)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// End, then Home, on the loaded file.
void BM_EndHome(benchmark::State& State) {
  const std::filesystem::path& File = FileFor(State);
  auto Window = std::make_unique<TFrameWindow>();
  Window->SetVisibleRows(25);
  if (!Window->LoadFile(File, false)) State.SkipWithError("load failed");
  for (auto _ : State) {
    Window->ListView1KeyDown(corvane::KeyEnd, 0);
    benchmark::DoNotOptimize(Window->FrameOffset(0));
    Window->ListView1KeyDown(corvane::KeyHome, 24);
    benchmark::DoNotOptimize(Window->FrameOffset(0));
  }
  State.SetLabel(State.range(0) == 0 ? "1 MiB" : "4 GiB");
}
BENCHMARK(BM_EndHome)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A step over a stretch without a frame start: Page Down from the last window before the hole
// of the gap file, whose search reads on over the hole. The figure is the search's speed.
void BM_PageDownOverGap(benchmark::State& State) {
  const std::filesystem::path& File = Files().Gap();
  auto Window = std::make_unique<TFrameWindow>();
  Window->SetVisibleRows(25);
  if (!Window->LoadFile(File, false)) State.SkipWithError("load failed");
  const int64_t LastBefore = (MiB / 1792 - 1) * 1792;
  for (auto _ : State) {
    Window->RefreshPosition(LastBefore);
    Window->ListView1KeyDown(corvane::KeyPageDown, 0);
    if (Window->FrameOffset(0) != TBenchFiles::GapBytes + MiB) State.SkipWithError("did not get over the gap");
  }
  State.counters["MB/s"] = benchmark::Counter(static_cast<double>(TBenchFiles::GapBytes) / 1e6 *
                                                  static_cast<double>(State.iterations()),
                                              benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PageDownOverGap)->Unit(benchmark::kMillisecond);

// The whole-file listing as the command-line program writes it, into /dev/null.
void BM_ListAll(benchmark::State& State) {
  const std::filesystem::path& File = Files().Listing();
  auto Window = std::make_unique<TFrameWindow>();
  Window->SetVisibleRows(corvane::MaxFrameRows);
  if (!Window->LoadFile(File, false)) State.SkipWithError("load failed");
#ifdef _WIN32
  std::FILE* Sink = std::fopen("NUL", "wb");
#else
  std::FILE* Sink = std::fopen("/dev/null", "wb");
#endif
  const corvane::TRowFormatter Formatter(Window->EAC3());
  std::vector<char> Block(1 << 20);
  int64_t Frames = 0;
  for (auto _ : State) {
    size_t Used = 0;
    Window->WalkFrames(0, [&](const corvane::TWalkFrame& Frame) {
      if (Block.size() - Used < corvane::TRowFormatter::MaxLineSize) {
        std::fwrite(Block.data(), 1, Used, Sink);
        Used = 0;
      }
      Used += Formatter.Format(Frame, Block.data() + Used);
      ++Frames;
      return true;
    });
    std::fwrite(Block.data(), 1, Used, Sink);
  }
  std::fclose(Sink);
  const double Bytes = static_cast<double>(std::filesystem::file_size(File)) * static_cast<double>(State.iterations());
  State.counters["MB/s"] = benchmark::Counter(Bytes / 1e6, benchmark::Counter::kIsRate);
  State.counters["frames/s"] = benchmark::Counter(static_cast<double>(Frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ListAll)->Unit(benchmark::kMillisecond)->Iterations(3);

// The whole-file check of the listing file, every byte of it under a CRC.
void BM_CheckStream(benchmark::State& State) {
  const std::filesystem::path& File = Files().Listing();
  corvane::TStreamSummary Summary;
  for (auto _ : State) {
    std::string Error;
    const corvane::TCheckEnd End = corvane::CheckStream(File, false, {}, Summary, {}, nullptr, Error);
    if (End != corvane::TCheckEnd::Completed || Summary.Problems != 0) State.SkipWithError("the check failed");
  }
  const double Bytes = static_cast<double>(std::filesystem::file_size(File)) * static_cast<double>(State.iterations());
  State.counters["MB/s"] = benchmark::Counter(Bytes / 1e6, benchmark::Counter::kIsRate);
  State.counters["frames"] = static_cast<double>(Summary.Frames);
}
BENCHMARK(BM_CheckStream)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The overview of the listing file, as the window gathers it before it shows it.
corvane::TStreamOverview ListingOverview() {
  corvane::TStreamOverview Overview;
  corvane::TStreamSummary Summary;
  std::string Error;
  corvane::CollectOverview(Files().Listing(), false, Overview, Summary, {}, nullptr, Error);
  return Overview;
}

void BM_CollectOverview(benchmark::State& State) {
  const std::filesystem::path& File = Files().Listing();
  size_t Spans = 0;
  for (auto _ : State) Spans = ListingOverview().Spans().size();
  const double Bytes = static_cast<double>(std::filesystem::file_size(File)) * static_cast<double>(State.iterations());
  State.counters["MB/s"] = benchmark::Counter(Bytes / 1e6, benchmark::Counter::kIsRate);
  State.counters["spans"] = static_cast<double>(Spans);
}
BENCHMARK(BM_CollectOverview)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The columns of a picture State.range(0) pixels wide, gathered again as a resize does.
void BM_OverviewColumns(benchmark::State& State) {
  static const corvane::TStreamOverview Overview = ListingOverview();
  for (auto _ : State) benchmark::DoNotOptimize(Overview.Columns(static_cast<int32_t>(State.range(0))));
}
BENCHMARK(BM_OverviewColumns)->Arg(1000)->Arg(1920)->Arg(3840)->Unit(benchmark::kMicrosecond);

}  // namespace
