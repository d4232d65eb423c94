#pragma once
// A small file stream with 64-bit offsets. Files are opened with shared access (other readers
// and writers are not locked out), so a file may change size while it is open: every read
// asks the system and simply comes back short at the current end.

#include <cstdint>
#include <filesystem>
#include <string>

namespace corvane {

class TFileStream {
 public:
  enum class TMode { Read, ReadWrite };

  TFileStream() = default;
  ~TFileStream();
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  // The handle moves with the object; the stream moved from is closed.
  TFileStream(TFileStream&& Other) noexcept;
  TFileStream& operator=(TFileStream&& Other) noexcept;

  // Opens the file; on failure returns false and LastError() says why. Only regular files are
  // opened: a directory, FIFO, socket or device is refused at once, without waiting on it.
  bool Open(const std::filesystem::path& FileName, TMode Mode);
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
  // Pushes written bytes to the file system.
  bool Flush();

  // Reads at an offset without using the position.
  int32_t ReadAt(int64_t Offset, void* Buffer, int32_t Count) const;

  const std::string& LastError() const { return FLastError; }

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
};

// True when the path names an existing regular file.
bool FileExists(const std::filesystem::path& FileName);

}  // namespace corvane
