#pragma once
// Test-only file helpers for the AC-3 tests: reading the committed streams and writing
// short-lived files for detection.

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvane::test {

inline std::filesystem::path TestDataPath(const std::string& Name) {
  return std::filesystem::path(CORVANE_TEST_DATA_DIR) / Name;
}

inline std::vector<uint8_t> ReadTestFile(const std::filesystem::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  if (!In) throw std::runtime_error("cannot open " + Path.string());
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

// A file in the temporary directory holding the given bytes, removed when the object dies.
class TTempFile {
 public:
  explicit TTempFile(const std::vector<uint8_t>& Bytes) {
    // A random tag keeps test programs that run at the same time apart.
    static const unsigned Tag = std::random_device{}();
    static std::atomic<int> Counter{0};
    FPath = std::filesystem::temp_directory_path() /
            ("corvane_ac3_" + std::to_string(Tag) + "_" + std::to_string(Counter++) + ".ac3");
    std::ofstream Out(FPath, std::ios::binary | std::ios::trunc);
    Out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
    if (!Out) throw std::runtime_error("cannot write " + FPath.string());
  }
  ~TTempFile() {
    std::error_code Ignored;
    std::filesystem::remove(FPath, Ignored);
  }
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;
  const std::filesystem::path& Path() const { return FPath; }

 private:
  std::filesystem::path FPath;
};

}  // namespace corvane::test
