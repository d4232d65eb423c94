#pragma once
// What every fuzz target shares: a check that turns a broken invariant into a finding, a quiet
// debug channel, and a file in memory for the code that reads files by name.

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/ODSUtls.h"

// A broken invariant is a finding like a memory error: the fuzzer keeps the input that broke it.
#define FUZZ_CHECK(Condition)                                                                   \
  do {                                                                                          \
    if (!(Condition)) {                                                                         \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #Condition);   \
      std::abort();                                                                             \
    }                                                                                           \
  } while (false)

namespace corvane::fuzz {

// The analysis reports a short frame on every other input; the lines would only slow the run.
inline void QuietDebugChannel() {
  SetDebugSink([](const std::u16string&) {});
}

// A file that lives in memory (memfd) and has a path like any other, so that the code that
// opens files by name reads it without a temporary file per input. One per target, reused.
class TMemoryFile {
 public:
  TMemoryFile() : FHandle(memfd_create("corvane-fuzz", MFD_CLOEXEC)) {
    if (FHandle < 0) {
      std::perror("memfd_create");
      std::abort();
    }
  }
  ~TMemoryFile() { close(FHandle); }
  TMemoryFile(const TMemoryFile&) = delete;
  TMemoryFile& operator=(const TMemoryFile&) = delete;

  // The file holds exactly these bytes.
  void Set(const uint8_t* Data, size_t Size) {
    FUZZ_CHECK(ftruncate(FHandle, 0) == 0);
    size_t Done = 0;
    while (Done < Size) {
      const ssize_t Put = pwrite(FHandle, Data + Done, Size - Done, static_cast<off_t>(Done));
      FUZZ_CHECK(Put > 0);
      Done += static_cast<size_t>(Put);
    }
  }
  // Cuts the file short (or lengthens it with zeros), as another program might meanwhile.
  void Resize(int64_t Size) { FUZZ_CHECK(ftruncate(FHandle, static_cast<off_t>(Size)) == 0); }
  std::filesystem::path Path() const { return "/proc/self/fd/" + std::to_string(FHandle); }

 private:
  int FHandle;
};

// A regular file in a folder of its own (in memory where /dev/shm is), for the writers: they keep
// an undo journal or a temporary file beside the file they change. One per target, reused.
class TFolderFile {
 public:
  TFolderFile() {
    std::string Pattern = (std::filesystem::exists("/dev/shm") ? std::string("/dev/shm")
                                                               : std::filesystem::temp_directory_path().string()) +
                          "/corvane-fuzz-XXXXXX";
    FUZZ_CHECK(mkdtemp(Pattern.data()) != nullptr);
    FFolder = Pattern;
    FPath = FFolder / "stream.bin";
  }
  ~TFolderFile() {
    std::error_code Ignored;
    std::filesystem::remove_all(FFolder, Ignored);
  }
  TFolderFile(const TFolderFile&) = delete;
  TFolderFile& operator=(const TFolderFile&) = delete;

  // The file holds exactly these bytes.
  void Set(const uint8_t* Data, size_t Size) {
    const int Handle = open(FPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    FUZZ_CHECK(Handle >= 0);
    size_t Done = 0;
    while (Done < Size) {
      const ssize_t Put = pwrite(Handle, Data + Done, Size - Done, static_cast<off_t>(Done));
      FUZZ_CHECK(Put > 0);
      Done += static_cast<size_t>(Put);
    }
    close(Handle);
  }
  void Resize(int64_t Size) { FUZZ_CHECK(truncate(FPath.c_str(), static_cast<off_t>(Size)) == 0); }
  const std::filesystem::path& Path() const { return FPath; }
  const std::filesystem::path& Folder() const { return FFolder; }

 private:
  std::filesystem::path FFolder;
  std::filesystem::path FPath;
};

}  // namespace corvane::fuzz
