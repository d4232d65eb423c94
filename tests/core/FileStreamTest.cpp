// The 64-bit file stream: shared opens, short reads at the end, writes in place, offsets past 4 GiB.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>
#include <string>
#include <vector>

#include "core/FileStream.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace corvane {
namespace {

namespace fs = std::filesystem;

// A fresh temporary directory per test, removed with everything in it.
class FileStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device Seed;
    Dir = fs::temp_directory_path() / ("corvane_fs_" + std::to_string(Seed()));
    fs::create_directories(Dir);
  }
  void TearDown() override {
    std::error_code Ignored;
    fs::remove_all(Dir, Ignored);
  }
  fs::path WriteFile(const std::string& Name, const std::vector<uint8_t>& Bytes) {
    const fs::path Path = Dir / Name;
    std::ofstream Out(Path, std::ios::binary);
    Out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
    return Path;
  }
  static std::vector<uint8_t> Counting(size_t Size) {
    std::vector<uint8_t> Bytes(Size);
    for (size_t I = 0; I < Size; ++I) Bytes[I] = static_cast<uint8_t>(I * 7 + 1);
    return Bytes;
  }
  fs::path Dir;
};

TEST_F(FileStreamTest, ReadsComeBackShortAtTheEnd) {
  const auto Bytes = Counting(100);
  const fs::path Path = WriteFile("s.ac3", Bytes);
  TFileStream Stream;
  ASSERT_TRUE(Stream.Open(Path, TFileStream::TMode::Read)) << Stream.LastError();
  EXPECT_TRUE(Stream.IsOpen());
  EXPECT_EQ(Stream.Size(), 100);

  std::vector<uint8_t> Buffer(64, 0xEE);
  EXPECT_EQ(Stream.Read(Buffer.data(), 64), 64);
  EXPECT_EQ(Stream.Position(), 64);
  std::fill(Buffer.begin(), Buffer.end(), 0xEE);
  EXPECT_EQ(Stream.Read(Buffer.data(), 64), 36);
  EXPECT_TRUE(std::equal(Buffer.begin(), Buffer.begin() + 36, Bytes.begin() + 64));
  EXPECT_EQ(Buffer[36], 0xEE);  // nothing written past what was read
  EXPECT_EQ(Stream.Position(), 100);
  EXPECT_EQ(Stream.Read(Buffer.data(), 64), 0);
  EXPECT_EQ(Stream.Read(Buffer.data(), 0), 0);

  EXPECT_EQ(Stream.Seek(90), 90);
  EXPECT_EQ(Stream.Read(Buffer.data(), 64), 10);
  EXPECT_EQ(Stream.Seek(-1), -1);
  EXPECT_EQ(Stream.Position(), 100);
  EXPECT_EQ(Stream.Seek(1000), 1000);
  EXPECT_EQ(Stream.Read(Buffer.data(), 64), 0);

  // ReadAt leaves the position alone.
  EXPECT_EQ(Stream.ReadAt(3, Buffer.data(), 2), 2);
  EXPECT_EQ(Buffer[0], Bytes[3]);
  EXPECT_EQ(Buffer[1], Bytes[4]);
  EXPECT_EQ(Stream.Position(), 1000);
  EXPECT_EQ(Stream.ReadAt(-1, Buffer.data(), 2), -1);
}

TEST_F(FileStreamTest, OpensAreSharedAndSeeChangesMadeByOthers) {
  const fs::path Path = WriteFile("shared.ac3", Counting(10));
  TFileStream Reader;
  TFileStream Other;
  TFileStream Writer;
  ASSERT_TRUE(Reader.Open(Path, TFileStream::TMode::Read));
  ASSERT_TRUE(Other.Open(Path, TFileStream::TMode::Read));
  ASSERT_TRUE(Writer.Open(Path, TFileStream::TMode::ReadWrite)) << Writer.LastError();

  const uint8_t Patch[] = {0xAA, 0xBB};
  ASSERT_TRUE(Writer.Seek(4) == 4);
  EXPECT_EQ(Writer.Write(Patch, 2), 2);
  EXPECT_EQ(Writer.Position(), 6);
  EXPECT_TRUE(Writer.Flush());
  uint8_t Got[2] = {};
  EXPECT_EQ(Reader.ReadAt(4, Got, 2), 2);
  EXPECT_EQ(Got[0], 0xAA);
  EXPECT_EQ(Got[1], 0xBB);

  // Writing past the end grows the file; the other streams see the new size.
  ASSERT_EQ(Writer.Seek(10), 10);
  EXPECT_EQ(Writer.Write(Patch, 2), 2);
  EXPECT_EQ(Other.Size(), 12);
  EXPECT_EQ(Other.ReadAt(10, Got, 8), 2);
}

TEST_F(FileStreamTest, AFileTruncatedWhileOpenGivesShortReads) {
  const auto Bytes = Counting(4096);
  const fs::path Path = WriteFile("t.ac3", Bytes);
  TFileStream Stream;
  ASSERT_TRUE(Stream.Open(Path, TFileStream::TMode::Read));
  std::vector<uint8_t> Buffer(1024);
  ASSERT_EQ(Stream.Read(Buffer.data(), 1024), 1024);

  fs::resize_file(Path, 1500);
  EXPECT_EQ(Stream.Size(), 1500);
  EXPECT_EQ(Stream.Read(Buffer.data(), 1024), 476);
  EXPECT_TRUE(std::equal(Buffer.begin(), Buffer.begin() + 476, Bytes.begin() + 1024));
  EXPECT_EQ(Stream.Read(Buffer.data(), 1024), 0);
  EXPECT_EQ(Stream.ReadAt(2000, Buffer.data(), 10), 0);
}

TEST_F(FileStreamTest, AReadOnlyStreamRefusesWrites) {
  const fs::path Path = WriteFile("ro.ac3", Counting(8));
  TFileStream Stream;
  ASSERT_TRUE(Stream.Open(Path, TFileStream::TMode::Read));
  const uint8_t Byte = 0;
  EXPECT_EQ(Stream.Write(&Byte, 1), -1);
  EXPECT_FALSE(Stream.LastError().empty());
  EXPECT_EQ(Stream.Position(), 0);
}

TEST_F(FileStreamTest, OffsetsPast4GiBOfASparseFile) {
  const fs::path Path = Dir / "big.eac3";
  const int64_t Far = (int64_t{5} << 30) + 3;  // 5 GiB + 3
  {
    std::ofstream Create(Path, std::ios::binary);
  }
  std::error_code Error;
  fs::resize_file(Path, static_cast<uintmax_t>(Far + 16), Error);
  if (Error) GTEST_SKIP() << "the file system cannot hold a sparse 5 GiB file: " << Error.message();

  TFileStream Writer;
  ASSERT_TRUE(Writer.Open(Path, TFileStream::TMode::ReadWrite)) << Writer.LastError();
  EXPECT_EQ(Writer.Size(), Far + 16);
  const uint8_t Mark[] = {0x0B, 0x77, 0x12, 0x34};
  ASSERT_EQ(Writer.Seek(Far), Far);
  ASSERT_EQ(Writer.Write(Mark, 4), 4);
  EXPECT_EQ(Writer.Position(), Far + 4);
  ASSERT_TRUE(Writer.Flush());

  TFileStream Reader;
  ASSERT_TRUE(Reader.Open(Path, TFileStream::TMode::Read));
  uint8_t Got[8] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(Reader.ReadAt(Far - 2, Got, 8), 8);
  EXPECT_EQ(std::vector<uint8_t>(Got, Got + 8), (std::vector<uint8_t>{0, 0, 0x0B, 0x77, 0x12, 0x34, 0, 0}));
  // The same bytes lie 4 GiB lower in a file that wraps at 32 bits: there must be zeros.
  EXPECT_EQ(Reader.ReadAt(Far - (int64_t{1} << 32), Got, 4), 4);
  EXPECT_EQ(std::vector<uint8_t>(Got, Got + 4), (std::vector<uint8_t>{0, 0, 0, 0}));
  ASSERT_EQ(Reader.Seek(Far + 12), Far + 12);
  EXPECT_EQ(Reader.Read(Got, 8), 4);
  EXPECT_EQ(Reader.Position(), Far + 16);
}

TEST_F(FileStreamTest, OpenFailuresSayWhy) {
  TFileStream Stream;
  EXPECT_FALSE(Stream.Open(Dir / "missing.ac3", TFileStream::TMode::Read));
  EXPECT_FALSE(Stream.IsOpen());
  EXPECT_NE(Stream.LastError().find("open"), std::string::npos);
#ifdef _WIN32
  // The system's own wording, as one line without the period and line end it comes with.
  const std::string Reason = Stream.LastError().substr(Stream.LastError().find(": ") + 2);
  EXPECT_FALSE(Reason.empty());
  EXPECT_EQ(Reason.find_first_of("\r\n"), std::string::npos) << Stream.LastError();
  EXPECT_NE(Reason.back(), '.') << Stream.LastError();
#else
  EXPECT_NE(Stream.LastError().find(std::generic_category().message(ENOENT)), std::string::npos) << Stream.LastError();
#endif
  EXPECT_FALSE(FileExists(Dir / "missing.ac3"));

  EXPECT_FALSE(Stream.Open(Dir, TFileStream::TMode::Read));
  EXPECT_FALSE(Stream.Open(Dir, TFileStream::TMode::ReadWrite));
  EXPECT_FALSE(Stream.IsOpen());
  EXPECT_FALSE(FileExists(Dir));

  // A closed stream fails every operation with a reason.
  uint8_t Byte = 0;
  EXPECT_EQ(Stream.Size(), -1);
  EXPECT_EQ(Stream.Read(&Byte, 1), -1);
  EXPECT_EQ(Stream.Write(&Byte, 1), -1);
  EXPECT_FALSE(Stream.Flush());
  EXPECT_FALSE(Stream.LastError().empty());
}

#ifndef _WIN32
// Only regular files are opened; a FIFO (which an open would otherwise wait on until a writer
// comes) and devices are refused at once with a reason.
TEST_F(FileStreamTest, WhatIsNotARegularFileIsRefusedAtOnce) {
  const fs::path Fifo = Dir / "pipe.ac3";
  ASSERT_EQ(mkfifo(Fifo.c_str(), 0600), 0);
  // Held open read-write, the FIFO has a writer, so a regression fails here instead of hanging.
  const int Writer = open(Fifo.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(Writer, 0);
  for (const fs::path& Path : {Fifo, fs::path("/dev/zero"), fs::path("/dev/null")}) {
    for (const auto Mode : {TFileStream::TMode::Read, TFileStream::TMode::ReadWrite}) {
      TFileStream Stream;
      EXPECT_FALSE(Stream.Open(Path, Mode)) << Path;
      EXPECT_FALSE(Stream.IsOpen());
      EXPECT_EQ(Stream.LastError(), "open: not a regular file") << Path;
    }
  }
  close(Writer);
  // A regular file opened the same way reads as before: the open's non-blocking flag is gone.
  TFileStream Stream;
  ASSERT_TRUE(Stream.Open(WriteFile("r.ac3", Counting(10)), TFileStream::TMode::Read));
  uint8_t Bytes[16] = {};
  EXPECT_EQ(Stream.ReadAt(0, Bytes, 16), 10);
}
#endif

TEST_F(FileStreamTest, ReopeningClosesTheFormerFile) {
  const fs::path First = WriteFile("a.ac3", Counting(3));
  const fs::path Second = WriteFile("b.ac3", Counting(5));
  TFileStream Stream;
  ASSERT_TRUE(Stream.Open(First, TFileStream::TMode::Read));
  ASSERT_EQ(Stream.Seek(2), 2);
  ASSERT_TRUE(Stream.Open(Second, TFileStream::TMode::Read));
  EXPECT_EQ(Stream.Size(), 5);
  EXPECT_EQ(Stream.Position(), 0);
  EXPECT_EQ(Stream.FileName(), Second);
  EXPECT_TRUE(FileExists(Second));
  Stream.Close();
  EXPECT_FALSE(Stream.IsOpen());
  Stream.Close();
}

TEST_F(FileStreamTest, AMovedStreamTakesTheFileAlongAndTheOneAssignedToClosesItsOwn) {
  const fs::path First = WriteFile("a.ac3", Counting(3));
  const fs::path Second = WriteFile("b.ac3", Counting(5));
  TFileStream Taken;
  ASSERT_TRUE(Taken.Open(First, TFileStream::TMode::Read));
  ASSERT_EQ(Taken.Seek(1), 1);
  TFileStream Target;
  ASSERT_TRUE(Target.Open(Second, TFileStream::TMode::Read));

  Target = std::move(Taken);
  EXPECT_FALSE(Taken.IsOpen());
  EXPECT_EQ(Target.FileName(), First);
  EXPECT_EQ(Target.Size(), 3);
  uint8_t Byte = 0;
  EXPECT_EQ(Target.Read(&Byte, 1), 1);
  EXPECT_EQ(Byte, Counting(3)[1]);

  const TFileStream Built(std::move(Target));
  EXPECT_FALSE(Target.IsOpen());
  EXPECT_EQ(Built.Size(), 3);
}

}  // namespace
}  // namespace corvane
