#pragma once
// Test-only helpers for the writers' faults: a folder of its own, write hooks that fail for want
// of space and, on POSIX, a child process that a write hook kills at a chosen step and a small
// file system that fills up for real (when the tests run as root).

#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "core/SafeWrite.h"

namespace corvane::test {

inline void WriteFile(const std::filesystem::path& File, const std::vector<uint8_t>& Bytes) {
  std::ofstream Out(File, std::ios::binary | std::ios::trunc);
  Out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
  if (!Out) throw std::runtime_error("cannot write " + File.string());
}

// A fresh folder in the temporary directory, removed with everything in it.
class TTempFolder {
 public:
  TTempFolder() {
    std::random_device Seed;
    for (int Attempt = 0; Attempt < 100 && FPath.empty(); ++Attempt) {
      const std::filesystem::path Path =
          std::filesystem::temp_directory_path() / ("corvane_writer_" + std::to_string(Seed()));
      std::error_code Error;
      if (std::filesystem::create_directory(Path, Error)) FPath = Path;
    }
    if (FPath.empty()) throw std::runtime_error("cannot make a temporary folder");
  }
  ~TTempFolder() {
    std::error_code Ignored;
    std::filesystem::remove_all(FPath, Ignored);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;
  const std::filesystem::path& Path() const { return FPath; }
  std::filesystem::path operator/(const std::string& Name) const { return FPath / Name; }
  // The names in the folder, sorted.
  std::vector<std::string> Names() const {
    std::vector<std::string> Found;
    for (const auto& Entry : std::filesystem::directory_iterator(FPath))
      Found.push_back(Entry.path().filename().string());
    std::sort(Found.begin(), Found.end());
    return Found;
  }

 private:
  std::filesystem::path FPath;
};

// Hooks under which every write into the target fails with Errno once it reaches byte FailAt of
// the file (the bytes before it go out), and every journal write once Journal is set.
inline TWriteHooks FailingHooks(int64_t FailAt, int Errno, bool Journal = false) {
  TWriteHooks Hooks;
  Hooks.Limit = [=](TWriteRole Role, int64_t Offset, int32_t Count, int& Set) {
    Set = Errno;
    if (Role == TWriteRole::Journal) return Journal ? 0 : Count;
    if (FailAt < 0 || Offset + Count <= FailAt) return Count;
    return static_cast<int32_t>(std::max<int64_t>(FailAt - Offset, 0));
  };
  return Hooks;
}

#ifndef _WIN32

// Runs Body in a child process and answers its wait status; the child exits with 0 when Body
// returns true, 1 otherwise.
inline int RunChild(const std::function<bool()>& Body) {
  std::fflush(nullptr);
  const pid_t Child = fork();
  if (Child == 0) _exit(Body() ? 0 : 1);
  int Status = 0;
  waitpid(Child, &Status, 0);
  return Status;
}

inline bool Killed(int Status) { return WIFSIGNALED(Status) && WTERMSIG(Status) == SIGKILL; }

// Where a child is killed: the Nth time it reaches Step (counted from 1). With HalfWrite, the
// Nth write into the target puts out only half its bytes before the kill: a torn write.
struct TKillPoint {
  const char* Name;
  TWriteStep Step;
  int Nth;
  bool HalfWrite = false;
};

// Hooks that kill the process at Point. Count is the hooks' own tally, kept by the caller.
inline TWriteHooks KillingHooks(const TKillPoint& Point, int& Count) {
  TWriteHooks Hooks;
  Hooks.Reached = [&Count, Point](TWriteStep Step) {
    if (Step == Point.Step && ++Count == Point.Nth) raise(SIGKILL);
  };
  if (Point.HalfWrite)
    Hooks.Limit = [&Count, Point](TWriteRole Role, int64_t, int32_t Bytes, int& Errno) {
      Errno = EIO;
      // Count is the writes before this one: the Nth goes out in half.
      return Role == TWriteRole::Target && Count + 1 == Point.Nth ? Bytes / 2 : Bytes;
    };
  return Hooks;
}

// A tmpfs of Bytes bytes mounted on a folder of its own, where the process may mount one (as
// root); Why() says why not otherwise. Unmounted and removed with the object.
class TSmallFileSystem {
 public:
  explicit TSmallFileSystem(size_t Bytes) {
    if (geteuid() != 0) {
      FWhy = "mounting a small tmpfs needs root";
      return;
    }
    const std::string Options = "size=" + std::to_string(Bytes) + ",mode=0777";
    if (::mount("tmpfs", FFolder.Path().c_str(), "tmpfs", 0, Options.c_str()) != 0) {
      FWhy = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
      return;
    }
    FMounted = true;
  }
  ~TSmallFileSystem() {
    if (FMounted) ::umount2(FFolder.Path().c_str(), MNT_DETACH);
  }
  TSmallFileSystem(const TSmallFileSystem&) = delete;
  TSmallFileSystem& operator=(const TSmallFileSystem&) = delete;
  bool Mounted() const { return FMounted; }
  const std::string& Why() const { return FWhy; }
  const std::filesystem::path& Path() const { return FFolder.Path(); }

 private:
  TTempFolder FFolder;
  bool FMounted = false;
  std::string FWhy;
};

#endif  // !_WIN32

}  // namespace corvane::test
