#pragma once
// The benchmark files, built from the committed 448 kb/s 5.1 AC-3 frames in a temporary folder
// when a benchmark first needs them, and removed when the program ends: 10 seconds of stream,
// 1 MiB, a sparse 4 GiB file (real frames in its first and last MiB, a hole between), a file
// with a 256 MiB stretch without a frame start, and the listing file: real frames throughout,
// CORVANE_BENCH_LIST_MB MiB of them (2048 unless set), written once and then read from the page
// cache.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace corvane::bench {

inline constexpr int64_t MiB = 1024 * 1024;

inline std::vector<uint8_t> CommittedFrames() {
  const auto Path =
      std::filesystem::path(CORVANE_TEST_DATA_DIR).parent_path() / "viewer" / "data" / "ac3_48k_51_448k.ac3";
  std::ifstream In(Path, std::ios::binary);
  if (!In) throw std::runtime_error("cannot open " + Path.string());
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

// Whole frames of the committed stream, as many as fit in Size bytes.
inline std::vector<uint8_t> FramesOf(int64_t Size) {
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
  TBenchFiles() : FFolder(std::filesystem::temp_directory_path() / ("corvane_bench_" + std::to_string(std::random_device{}()))) {
    std::filesystem::create_directories(FFolder);
  }
  ~TBenchFiles() {
    std::error_code Ignored;
    std::filesystem::remove_all(FFolder, Ignored);
  }

  // 10 seconds of the 448 kb/s stream: 313 frames of 32 ms.
  const std::filesystem::path& TenSeconds() {
    if (FTenSeconds.empty()) FTenSeconds = Write("10s.ac3", {{0, FramesOf(313 * 1792)}}, 313 * 1792);
    return FTenSeconds;
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
      const int64_t BlockSize = static_cast<int64_t>(Block.size());
      for (int64_t Written = 0; Written + BlockSize <= Size; Written += BlockSize)
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
  std::filesystem::path FTenSeconds;
  std::filesystem::path FSmall;
  std::filesystem::path FSparse;
  std::filesystem::path FGap;
  std::filesystem::path FListing;
};

inline TBenchFiles& Files() {
  static TBenchFiles Instance;
  return Instance;
}

}  // namespace corvane::bench
