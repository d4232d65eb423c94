// The viewer core on large files: opening (stream test, first window, first detail) a 4 GiB
// file against a 1 MiB one, End then Home on both, a step over a 256 MiB stretch without a
// frame start, and the whole-file listing's throughput.
//
// The files are built from the committed 448 kb/s 5.1 AC-3 frames in a temporary folder when a
// benchmark first needs them, and removed when the program ends. The 4 GiB file is sparse: real
// frames in its first and last MiB, a hole between. The listing file is real frames throughout,
// CORVANE_BENCH_LIST_MB MiB of them (2048 unless set), written once and then read from the page
// cache.

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

#include "viewer/FrameRowText.h"
#include "viewer/FrameWindow.h"

namespace {

using corvane::TFrameWindow;

constexpr int64_t MiB = 1024 * 1024;

std::vector<uint8_t> CommittedFrames() {
  const auto Path =
      std::filesystem::path(CORVANE_TEST_DATA_DIR).parent_path() / "viewer" / "data" / "ac3_48k_51_448k.ac3";
  std::ifstream In(Path, std::ios::binary);
  if (!In) throw std::runtime_error("cannot open " + Path.string());
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

// Whole frames of the committed stream, as many as fit in Size bytes.
std::vector<uint8_t> FramesOf(int64_t Size) {
  static const std::vector<uint8_t> Stream = CommittedFrames();
  const int64_t FrameSize = 1792;
  std::vector<uint8_t> Bytes;
  Bytes.reserve(static_cast<size_t>(Size));
  while (static_cast<int64_t>(Bytes.size()) + FrameSize <= Size) {
    const size_t At = Bytes.size() % Stream.size();
    Bytes.insert(Bytes.end(), Stream.begin() + static_cast<std::ptrdiff_t>(At),
                 Stream.begin() + static_cast<std::ptrdiff_t>(At + FrameSize));
  }
  return Bytes;
}

// The benchmark files, made on first use and removed with their folder at exit.
class TBenchFiles {
 public:
  TBenchFiles() : FFolder(std::filesystem::temp_directory_path() / ("corvane_viewer_bench_" + std::to_string(std::random_device{}()))) {
    std::filesystem::create_directories(FFolder);
  }
  ~TBenchFiles() {
    std::error_code Ignored;
    std::filesystem::remove_all(FFolder, Ignored);
  }

  const std::filesystem::path& Small() {
    if (FSmall.empty()) FSmall = Write("1mib.ac3", {{0, FramesOf(MiB)}}, MiB);
    return FSmall;
  }
  // 4 GiB: frames in the first and in the last MiB, ending exactly at 4 GiB.
  const std::filesystem::path& Sparse() {
    if (FSparse.empty()) {
      const int64_t Size = 4096 * MiB;
      const std::vector<uint8_t> Tail = FramesOf(MiB);
      FSparse = Write("4gib.ac3", {{0, FramesOf(MiB)}, {Size - static_cast<int64_t>(Tail.size()), Tail}}, Size);
    }
    return FSparse;
  }
  // 258 MiB: frames in the first and in the last MiB, a hole of 256 MiB without a frame start
  // between them.
  const std::filesystem::path& Gap() {
    if (FGap.empty()) {
      const std::vector<uint8_t> Frames = FramesOf(MiB);
      FGap = Write("gap.ac3", {{0, Frames}, {GapBytes + MiB, Frames}}, GapBytes + 2 * MiB);
    }
    return FGap;
  }
  static constexpr int64_t GapBytes = 256 * MiB;
  const std::filesystem::path& Listing() {
    if (FListing.empty()) {
      const char* Setting = std::getenv("CORVANE_BENCH_LIST_MB");
      const int64_t Size = (Setting ? std::atoll(Setting) : 2048) * MiB;
      FListing = FFolder / "listing.ac3";
      std::ofstream Out(FListing, std::ios::binary | std::ios::trunc);
      const std::vector<uint8_t> Block = FramesOf(16 * MiB);  // a whole number of frames
      for (int64_t Written = 0; Written + static_cast<int64_t>(Block.size()) <= Size; Written += Block.size())
        Out.write(reinterpret_cast<const char*>(Block.data()), static_cast<std::streamsize>(Block.size()));
      if (!Out) throw std::runtime_error("cannot write " + FListing.string());
    }
    return FListing;
  }

 private:
  std::filesystem::path Write(const char* Name, const std::vector<std::pair<int64_t, std::vector<uint8_t>>>& Parts,
                              int64_t Size) {
    const std::filesystem::path Path = FFolder / Name;
    {
      std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
      for (const auto& [Offset, Bytes] : Parts) {
        Out.seekp(Offset);
        Out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
      }
      if (!Out) throw std::runtime_error("cannot write " + Path.string());
    }
    std::filesystem::resize_file(Path, static_cast<uintmax_t>(Size));
    return Path;
  }

  std::filesystem::path FFolder;
  std::filesystem::path FSmall;
  std::filesystem::path FSparse;
  std::filesystem::path FGap;
  std::filesystem::path FListing;
};

TBenchFiles& Files() {
  static TBenchFiles Instance;
  return Instance;
}

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

}  // namespace
