// AC-3 detection, frame measuring, header decoding and CRC: IsAC3ES on 1 MiB of real frames and
// of random bytes, GetAC3ESPackLength per frame and over a MiB without a successor, parse_ac3_frame per frame, and the frame CRC
// check over 1 MiB of frames.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/AC3Crc.h"
#include "analysis/AC3Utils.h"

namespace {

using corvane::AC3CodedFrameSize;
using corvane::CheckAC3FrameCrc;
using corvane::GetAC3ESPackLength;
using corvane::IsAC3ES;
using corvane::parse_ac3_frame;
using corvane::TAC3Frame;

constexpr size_t MiB = 1024 * 1024;

std::vector<uint8_t> ReadFile(const std::filesystem::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  if (!In) throw std::runtime_error("cannot open " + Path.string());
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

// 1 MiB of a committed stream repeated end to end (its last frame cut where the MiB ends).
std::vector<uint8_t> RealFrames(const char* Name) {
  const std::vector<uint8_t> Stream = ReadFile(std::filesystem::path(CORVANE_TEST_DATA_DIR) / Name);
  std::vector<uint8_t> Bytes;
  Bytes.reserve(MiB);
  while (Bytes.size() < MiB) Bytes.insert(Bytes.end(), Stream.begin(), Stream.end());
  Bytes.resize(MiB);
  return Bytes;
}

std::vector<uint8_t> RandomBytes() {
  std::mt19937 Generator(20240601);
  std::vector<uint8_t> Bytes(MiB);
  for (auto& Byte : Bytes) Byte = static_cast<uint8_t>(Generator());
  return Bytes;
}

// A file holding the given bytes for the life of the benchmark program.
class TBenchFile {
 public:
  TBenchFile(const std::string& Name, const std::vector<uint8_t>& Bytes)
      : FPath(std::filesystem::temp_directory_path() / Name) {
    std::ofstream Out(FPath, std::ios::binary | std::ios::trunc);
    Out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
  }
  ~TBenchFile() {
    std::error_code Ignored;
    std::filesystem::remove(FPath, Ignored);
  }
  const std::filesystem::path& Path() const { return FPath; }

 private:
  std::filesystem::path FPath;
};

void RunIsAC3ES(benchmark::State& State, const TBenchFile& File) {
  int32_t Fscod = -1;
  bool Answer = false;
  for (auto _ : State) {
    Answer = IsAC3ES(File.Path(), Fscod);
    benchmark::DoNotOptimize(Answer);
  }
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) * static_cast<int64_t>(MiB));
  State.counters["is_ac3"] = Answer ? 1 : 0;
}

void BM_IsAC3ES_RealFrames(benchmark::State& State) {
  static const TBenchFile File("corvane_bench_ac3_real.ac3", RealFrames("ac3_48k_51.ac3"));
  RunIsAC3ES(State, File);
}
BENCHMARK(BM_IsAC3ES_RealFrames)->Unit(benchmark::kMicrosecond);

void BM_IsAC3ES_RandomBytes(benchmark::State& State) {
  static const TBenchFile File("corvane_bench_ac3_random.bin", RandomBytes());
  RunIsAC3ES(State, File);
}
BENCHMARK(BM_IsAC3ES_RandomBytes)->Unit(benchmark::kMicrosecond);

// Measures one frame per iteration, walking the MiB and starting over at its end.
void RunPackLength(benchmark::State& State, const std::vector<uint8_t>& Bytes, int32_t Fscod) {
  const auto Size = static_cast<int32_t>(Bytes.size());
  int32_t Position = 0;
  for (auto _ : State) {
    int32_t Length = 0;
    if (GetAC3ESPackLength(Bytes.data() + Position, Size - Position, Length, Fscod))
      Position += Length;
    else
      Position = 0;
    benchmark::DoNotOptimize(Length);
  }
  State.SetItemsProcessed(static_cast<int64_t>(State.iterations()));
}

void BM_GetAC3ESPackLength_48k51(benchmark::State& State) {
  static const std::vector<uint8_t> Bytes = RealFrames("ac3_48k_51.ac3");
  RunPackLength(State, Bytes, 0);
}
BENCHMARK(BM_GetAC3ESPackLength_48k51);

void BM_GetAC3ESPackLength_44kStereo(benchmark::State& State) {
  static const std::vector<uint8_t> Bytes = RealFrames("ac3_44k_stereo.ac3");
  RunPackLength(State, Bytes, 1);
}
BENCHMARK(BM_GetAC3ESPackLength_44kStereo);

// One frame followed by a MiB without another frame start (the last frame before a long gap or
// the end of a read): the search runs over the whole MiB and finds nothing.
void BM_GetAC3ESPackLength_NoSuccessor(benchmark::State& State) {
  static const std::vector<uint8_t> Bytes = [] {
    std::vector<uint8_t> Frame = RealFrames("ac3_48k_51.ac3");
    Frame.resize(static_cast<size_t>(AC3CodedFrameSize(Frame.data())));
    Frame.resize(MiB, 0);
    return Frame;
  }();
  for (auto _ : State) {
    int32_t Length = 0;
    benchmark::DoNotOptimize(GetAC3ESPackLength(Bytes.data(), static_cast<int32_t>(Bytes.size()), Length, 0));
  }
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) * static_cast<int64_t>(MiB));
}
BENCHMARK(BM_GetAC3ESPackLength_NoSuccessor)->Unit(benchmark::kMicrosecond);

// Decodes one header per iteration, walking the MiB frame by frame by the sizes the frames code.
void RunParse(benchmark::State& State, const std::vector<uint8_t>& Bytes) {
  const auto Size = static_cast<int32_t>(Bytes.size());
  int32_t Position = 0;
  TAC3Frame Frame{};
  for (auto _ : State) {
    benchmark::DoNotOptimize(parse_ac3_frame(Bytes.data() + Position, Size - Position, Frame));
    benchmark::ClobberMemory();
    const int32_t FrameSize = AC3CodedFrameSize(Bytes.data() + Position);
    Position = FrameSize > 0 && Size - Position - FrameSize >= 16 ? Position + FrameSize : 0;
  }
  State.SetItemsProcessed(static_cast<int64_t>(State.iterations()));
}

void BM_parse_ac3_frame_48k51(benchmark::State& State) {
  static const std::vector<uint8_t> Bytes = RealFrames("ac3_48k_51.ac3");
  RunParse(State, Bytes);
}
BENCHMARK(BM_parse_ac3_frame_48k51);

void BM_parse_ac3_frame_32kMono(benchmark::State& State) {
  static const std::vector<uint8_t> Bytes = RealFrames("ac3_32k_mono.ac3");
  RunParse(State, Bytes);
}
BENCHMARK(BM_parse_ac3_frame_32kMono);

// Checks both CRC words of every frame of the MiB; the figure is bytes checked per second.
void BM_CheckAC3FrameCrc_48k51(benchmark::State& State) {
  static const std::vector<uint8_t> Bytes = RealFrames("ac3_48k_51.ac3");
  const auto Size = static_cast<int32_t>(Bytes.size());
  int64_t Checked = 0;
  for (auto _ : State) {
    for (int32_t Position = 0; Size - Position >= 5;) {
      const int32_t FrameSize = AC3CodedFrameSize(Bytes.data() + Position);
      if (FrameSize == 0 || FrameSize > Size - Position) break;
      benchmark::DoNotOptimize(CheckAC3FrameCrc(Bytes.data() + Position, Size - Position));
      Position += FrameSize;
      Checked += FrameSize;
    }
  }
  State.SetBytesProcessed(Checked);
}
BENCHMARK(BM_CheckAC3FrameCrc_48k51);

}  // namespace
