#pragma once
// Test-only file helpers shared by every test program: the committed streams in tests/data, and
// short-lived files in the temporary directory that hold known bytes (sparse when large).

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
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

// A file in the temporary directory, removed when the object dies.
class TTempFile {
 public:
  // A file holding Bytes, its name ending in Suffix.
  explicit TTempFile(const std::vector<uint8_t>& Bytes, const std::string& Suffix = ".bin") : FPath(NewPath(Suffix)) {
    std::ofstream Out(FPath, std::ios::binary | std::ios::trunc);
    Out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
    Out.close();
    if (!Out) {
      Remove();
      throw std::runtime_error("cannot write " + FPath.string());
    }
  }

  // A file of Size bytes that holds Bytes at offset At and zeros (holes) everywhere else.
  // Delegating makes the object whole first, so the file is removed if the rest throws.
  TTempFile(int64_t Size, int64_t At, const std::vector<uint8_t>& Bytes) : TTempFile(std::vector<uint8_t>{}) {
    std::filesystem::resize_file(FPath, static_cast<uintmax_t>(Size));
    WriteAt(At, Bytes);
  }

  ~TTempFile() { Remove(); }
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;

  const std::filesystem::path& Path() const { return FPath; }

  int64_t Size() const { return static_cast<int64_t>(std::filesystem::file_size(FPath)); }

  std::vector<uint8_t> ReadAll() const { return ReadAt(0, Size()); }

  // Count bytes from Offset, fewer where the file ends first.
  std::vector<uint8_t> ReadAt(int64_t Offset, int64_t Count) const {
    std::vector<uint8_t> Bytes(static_cast<size_t>(Count));
    std::ifstream In(FPath, std::ios::binary);
    In.seekg(Offset);
    In.read(reinterpret_cast<char*>(Bytes.data()), static_cast<std::streamsize>(Count));
    Bytes.resize(static_cast<size_t>(In.gcount()));
    return Bytes;
  }

  // Writes Bytes at Offset, leaving what lies between unwritten (a hole in a sparse file).
  void WriteAt(int64_t Offset, const std::vector<uint8_t>& Bytes) const {
    std::fstream Out(FPath, std::ios::binary | std::ios::in | std::ios::out);
    Out.seekp(Offset);
    Out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
    Out.close();
    if (!Out) throw std::runtime_error("cannot write " + FPath.string());
  }

 private:
  // The running test's name tells a leftover file's origin; the random tag, drawn once per
  // test program, keeps test programs that run at the same time (of several build trees too)
  // apart, and the counter the files of one program.
  static std::filesystem::path NewPath(const std::string& Suffix) {
    static const unsigned Tag = std::random_device{}();
    static std::atomic<int> Counter{0};
    const testing::TestInfo* Info = testing::UnitTest::GetInstance()->current_test_info();
    const std::string Name = Info ? std::string(Info->test_suite_name()) + "_" + Info->name() : "test";
    std::string Safe;
    for (char Ch : Name) Safe += std::isalnum(static_cast<unsigned char>(Ch)) ? Ch : '_';
    return std::filesystem::temp_directory_path() /
           ("corvane_" + Safe + "_" + std::to_string(Tag) + "_" + std::to_string(Counter++) + Suffix);
  }

  void Remove() const {
    std::error_code Ignored;
    std::filesystem::remove(FPath, Ignored);
  }

  std::filesystem::path FPath;
};

}  // namespace corvane::test
