#pragma once
// A small file stream with 64-bit offsets. A file opened for reading shares it with everyone,
// so a file may change size while it is open: every read asks the system and simply comes back
// short at the current end. A stream that may write holds the file's writer lock (flock on
// POSIX, a share mode that denies other writers on Windows): one writer at a time, readers are
// never kept out.

#include <cstdint>
#include <filesystem>
#include <string>

namespace corvane {

class TFileStream {
 public:
  enum class TMode {
    Read,
    // Reading and writing, with the writer lock.
    ReadWrite,
    // Reading only, with the writer lock: a file about to be replaced as a whole, which need not
    // be writable itself.
    ReadLocked,
  };

  TFileStream() = default;
  ~TFileStream();
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  // The handle moves with the object; the stream moved from is closed.
  TFileStream(TFileStream&& Other) noexcept;
  TFileStream& operator=(TFileStream&& Other) noexcept;

  // Opens the file; on failure returns false and LastError() says why. Only regular files are
  // opened: a directory, FIFO, socket or device is refused at once, without waiting on it. A
  // mode with the writer lock fails at once when another stream holds it (LockedOut() then says so).
  bool Open(const std::filesystem::path& FileName, TMode Mode);
  // Creates a new file for reading and writing, readable and writable by its owner only, with the
  // writer lock; fails when anything exists under the name (a symlink included).
  bool CreateNew(const std::filesystem::path& FileName);
  void Close();
  bool IsOpen() const;
  TMode Mode() const { return FMode; }
  const std::filesystem::path& FileName() const { return FFileName; }

  // Current size of the file in bytes, or -1 on failure.
  int64_t Size() const;
  // Moves the position; negative positions are refused. Returns the new position or -1.
  int64_t Seek(int64_t Position);
  int64_t Position() const { return FPosition; }

  // Reads up to Count bytes at the position and advances by what was read.
  // Returns the bytes read (short or 0 at the end of the file) or -1 on failure.
  int32_t Read(void* Buffer, int32_t Count);
  // Writes Count bytes at the position and advances by what was written.
  // Returns the bytes written or -1 on failure.
  int32_t Write(const void* Buffer, int32_t Count);
  // Pushes written bytes and the file's own data (size, times, mode) to the storage.
  bool Flush();
  // Pushes written bytes to the storage, and the size when it changed (not the times).
  bool FlushData();
  // Starts pushing the written bytes at Offset on to the storage without waiting for them, so
  // that a flush later finds less to do (Linux; elsewhere nothing).
  void StartFlush(int64_t Offset, int64_t Count);

  // Reads at an offset without using the position.
  int32_t ReadAt(int64_t Offset, void* Buffer, int32_t Count) const;
  // Writes at an offset without using the position: the bytes written, short or -1 on failure.
  int32_t WriteAt(int64_t Offset, const void* Buffer, int32_t Count);

  // What identifies the open file and tells whether it changed.
  struct TIdentity {
    uint64_t Device = 0;
    uint64_t Index = 0;  // inode, or the file index on Windows
    int64_t Size = -1;
    int64_t Modified = 0;  // nanoseconds (100 ns steps on Windows)
    uint32_t Links = 0;
    uint32_t Mode = 0;  // permission bits (POSIX)
    uint32_t Owner = 0;
    uint32_t Group = 0;
    bool SameFile(const TIdentity& Other) const { return Device == Other.Device && Index == Other.Index; }
    // The same file with the same size and modification time.
    bool Unchanged(const TIdentity& Other) const {
      return SameFile(Other) && Size == Other.Size && Modified == Other.Modified;
    }
  };
  bool Identity(TIdentity& Identity) const;

  const std::string& LastError() const { return FLastError; }
  // The system's reason for the last failure without the step that failed ("No space left on
  // device"), for messages that name the file themselves.
  std::string LastReason() const;
  // The last open failed because another stream holds the writer lock.
  bool LockedOut() const { return FLockedOut; }

 private:
  void SetError(const char* What) const;

#ifdef _WIN32
  void* FHandle = nullptr;
#else
  int FHandle = -1;
#endif
  TMode FMode = TMode::Read;
  int64_t FPosition = 0;
  std::filesystem::path FFileName;
  mutable std::string FLastError;
  bool FLockedOut = false;
};

// True when the path names an existing regular file.
bool FileExists(const std::filesystem::path& FileName);

}  // namespace corvane
