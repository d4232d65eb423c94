// E-AC-3 analysis on an encoded 5.1 stream: detection of a file, measuring every frame, and
// decoding every header.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "analysis/AC3PlusUtils.h"

namespace {

using namespace corvane;

const std::string StreamFile = std::string(CORVANE_TEST_DATA_DIR) + "/eac3_51_48k_meta.eac3";

const std::vector<uint8_t>& Stream() {
  static const std::vector<uint8_t> Bytes = [] {
    std::ifstream In(StreamFile, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(In), {});
  }();
  return Bytes;
}

void BM_IsAC3PlusES(benchmark::State& State) {
  for (auto _ : State) {
    int32_t Fscod = -1;
    benchmark::DoNotOptimize(IsAC3PlusES(StreamFile, Fscod));
    benchmark::DoNotOptimize(Fscod);
  }
}
BENCHMARK(BM_IsAC3PlusES)->Unit(benchmark::kMicrosecond);

// Walks the whole stream from frame to frame, as the frame list does.
void BM_GetAC3PlusESPackLength(benchmark::State& State) {
  const std::vector<uint8_t>& Bytes = Stream();
  const int32_t Size = static_cast<int32_t>(Bytes.size());
  int64_t Frames = 0;
  for (auto _ : State) {
    int32_t Offset = 0;
    int32_t Length = 0;
    while (GetAC3PlusESPackLength(Bytes.data() + Offset, Size - Offset, Length, 0)) {
      Offset += Length;
      ++Frames;
    }
    benchmark::DoNotOptimize(Offset);
  }
  State.SetItemsProcessed(Frames);
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) * Size);
}
BENCHMARK(BM_GetAC3PlusESPackLength)->Unit(benchmark::kMicrosecond);

void BM_parse_ac3_plus_frame(benchmark::State& State) {
  const std::vector<uint8_t>& Bytes = Stream();
  const int32_t Size = static_cast<int32_t>(Bytes.size());
  TAC3PlusFrame Frame{};
  for (auto _ : State) {
    benchmark::DoNotOptimize(parse_ac3_plus_frame(Bytes.data(), Size, Frame));
    benchmark::ClobberMemory();
  }
  State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_parse_ac3_plus_frame);

}  // namespace
