#pragma once
// Temporary files for the hex tests: created with known bytes (sparse when large), read back
// to compare, removed when the test ends.

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace corvane::test {

// Bytes 0..255 scrambled so that neighbouring positions differ.
inline std::vector<uint8_t> PatternBytes(size_t Count) {
  std::vector<uint8_t> Bytes(Count);
  for (size_t Index = 0; Index < Count; ++Index) Bytes[Index] = static_cast<uint8_t>(Index * 37 + 11);
  return Bytes;
}

class TTempFile {
 public:
  explicit TTempFile(const std::vector<uint8_t>& Bytes) : FPath(NewPath()) {
    std::ofstream Out(FPath, std::ios::binary);
    Out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
  }

  // A file of Size bytes that holds Bytes at offset At and zeros (holes) everywhere else.
  TTempFile(int64_t Size, int64_t At, const std::vector<uint8_t>& Bytes) : FPath(NewPath()) {
    { std::ofstream Create(FPath, std::ios::binary); }
    std::filesystem::resize_file(FPath, static_cast<uintmax_t>(Size));
    WriteAt(At, Bytes);
  }

  ~TTempFile() {
    std::error_code Ignored;
    std::filesystem::remove(FPath, Ignored);
  }
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;

  const std::filesystem::path& Path() const { return FPath; }

  int64_t Size() const { return static_cast<int64_t>(std::filesystem::file_size(FPath)); }

  std::vector<uint8_t> ReadAll() const { return ReadAt(0, Size()); }

  std::vector<uint8_t> ReadAt(int64_t Offset, int64_t Count) const {
    std::vector<uint8_t> Bytes(static_cast<size_t>(Count));
    std::ifstream In(FPath, std::ios::binary);
    In.seekg(Offset);
    In.read(reinterpret_cast<char*>(Bytes.data()), static_cast<std::streamsize>(Count));
    Bytes.resize(static_cast<size_t>(In.gcount()));
    return Bytes;
  }

  void WriteAt(int64_t Offset, const std::vector<uint8_t>& Bytes) const {
    std::fstream Out(FPath, std::ios::binary | std::ios::in | std::ios::out);
    Out.seekp(Offset);
    Out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
  }

 private:
  static std::filesystem::path NewPath() {
    static std::atomic<int> Counter{0};
    // Test programs of several build trees may run at once; the random part keeps them apart.
    static const unsigned Run = std::random_device{}();
    const auto* Info = testing::UnitTest::GetInstance()->current_test_info();
    const std::string Name = Info ? std::string(Info->test_suite_name()) + "_" + Info->name() : "hex";
    std::string Safe;
    for (char Ch : Name) Safe += std::isalnum(static_cast<unsigned char>(Ch)) ? Ch : '_';
    return std::filesystem::path(testing::TempDir()) /
           ("corvane_" + Safe + "_" + std::to_string(Run) + "_" + std::to_string(Counter++) + ".bin");
  }

  std::filesystem::path FPath;
};

inline constexpr int64_t FiveGiB = int64_t{5} << 30;

}  // namespace corvane::test
