// 64-bit file offsets on 32-bit POSIX systems too; must come before any system header.
#if !defined(_WIN32) && !defined(_FILE_OFFSET_BITS)
#define _FILE_OFFSET_BITS 64
#endif

#include "core/FileStream.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#include "core/StringUtils.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace corvane {

TFileStream::~TFileStream() { Close(); }

TFileStream::TFileStream(TFileStream&& Other) noexcept { *this = std::move(Other); }

TFileStream& TFileStream::operator=(TFileStream&& Other) noexcept {
  if (this != &Other) {
    Close();
    // This stream is closed now, so the swap leaves Other closed.
    std::swap(FHandle, Other.FHandle);
    std::swap(FMode, Other.FMode);
    std::swap(FPosition, Other.FPosition);
    std::swap(FFileName, Other.FFileName);
    std::swap(FLastError, Other.FLastError);
  }
  return *this;
}

#ifdef _WIN32

namespace {

// The system's text for an error code as UTF-8, without the period and line end that end it.
std::string SystemErrorText(DWORD Code) {
  wchar_t* Buffer = nullptr;
  const DWORD Length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, Code, 0, reinterpret_cast<wchar_t*>(&Buffer), 0, nullptr);
  std::u16string Text(Buffer, Buffer + (Buffer ? Length : 0));
  if (Buffer) LocalFree(Buffer);
  while (!Text.empty() && (Text.back() == u'\r' || Text.back() == u'\n' || Text.back() == u' ' || Text.back() == u'.'))
    Text.pop_back();
  return Text.empty() ? "error " + std::to_string(Code) : ToUtf8(Text);
}

}  // namespace

void TFileStream::SetError(const char* What) const {
  FLastError = std::string(What) + ": " + SystemErrorText(GetLastError());
}

namespace {

// The writer lock is the share mode: a stream that holds it lets others read, never write.
HANDLE OpenHandle(const std::filesystem::path& FileName, DWORD Access, DWORD Share, DWORD Disposition) {
  return CreateFileW(FileName.c_str(), Access, Share, nullptr, Disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

bool TFileStream::Open(const std::filesystem::path& FileName, TMode Mode) {
  Close();
  FLockedOut = false;
  const DWORD Access = Mode == TMode::ReadWrite ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
  const DWORD Share = Mode == TMode::Read ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
  HANDLE Handle = OpenHandle(FileName, Access, Share, OPEN_EXISTING);
  if (Handle == INVALID_HANDLE_VALUE) {
    if (Mode != TMode::Read && GetLastError() == ERROR_SHARING_VIOLATION) {
      FLockedOut = true;
      FLastError = "lock: another program is writing it";
    } else {
      SetError("open");
    }
    return false;
  }
  // Pipes, consoles and other devices are no files to browse.
  if (GetFileType(Handle) != FILE_TYPE_DISK) {
    CloseHandle(Handle);
    FLastError = "open: not a regular file";
    return false;
  }
  FHandle = Handle;
  FMode = Mode;
  FPosition = 0;
  FFileName = FileName;
  return true;
}

bool TFileStream::CreateNew(const std::filesystem::path& FileName) {
  Close();
  FLockedOut = false;
  HANDLE Handle = OpenHandle(FileName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW);
  if (Handle == INVALID_HANDLE_VALUE) {
    SetError("create");
    return false;
  }
  FHandle = Handle;
  FMode = TMode::ReadWrite;
  FPosition = 0;
  FFileName = FileName;
  return true;
}

void TFileStream::Close() {
  if (FHandle) CloseHandle(static_cast<HANDLE>(FHandle));
  FHandle = nullptr;
}

bool TFileStream::IsOpen() const { return FHandle != nullptr; }

int64_t TFileStream::Size() const {
  LARGE_INTEGER Size;
  if (!FHandle) SetLastError(ERROR_INVALID_HANDLE);
  if (!FHandle || !GetFileSizeEx(static_cast<HANDLE>(FHandle), &Size)) {
    SetError("size");
    return -1;
  }
  return Size.QuadPart;
}

int32_t TFileStream::ReadAt(int64_t Offset, void* Buffer, int32_t Count) const {
  if (!FHandle || Offset < 0 || Count < 0) {
    SetLastError(FHandle ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    SetError("read");
    return -1;
  }
  OVERLAPPED Where{};
  Where.Offset = static_cast<DWORD>(Offset);
  Where.OffsetHigh = static_cast<DWORD>(Offset >> 32);
  DWORD Done = 0;
  if (!ReadFile(static_cast<HANDLE>(FHandle), Buffer, static_cast<DWORD>(Count), &Done, &Where)) {
    if (GetLastError() == ERROR_HANDLE_EOF) return 0;
    SetError("read");
    return -1;
  }
  return static_cast<int32_t>(Done);
}

int32_t TFileStream::WriteAt(int64_t Offset, const void* Buffer, int32_t Count) {
  if (!FHandle || Offset < 0 || Count < 0) {
    SetLastError(FHandle ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    SetError("write");
    return -1;
  }
  const auto* In = static_cast<const char*>(Buffer);
  int32_t Done = 0;
  while (Done < Count) {
    OVERLAPPED Where{};
    Where.Offset = static_cast<DWORD>(Offset + Done);
    Where.OffsetHigh = static_cast<DWORD>((Offset + Done) >> 32);
    DWORD Put = 0;
    if (!WriteFile(static_cast<HANDLE>(FHandle), In + Done, static_cast<DWORD>(Count - Done), &Put, &Where) ||
        Put == 0) {
      SetError("write");
      return Done > 0 ? Done : -1;
    }
    Done += static_cast<int32_t>(Put);
  }
  return Done;
}

bool TFileStream::Flush() {
  if (!FHandle) SetLastError(ERROR_INVALID_HANDLE);
  if (!FHandle || !FlushFileBuffers(static_cast<HANDLE>(FHandle))) {
    SetError("flush");
    return false;
  }
  return true;
}

bool TFileStream::FlushData() { return Flush(); }

void TFileStream::StartFlush(int64_t, int64_t) {}

bool TFileStream::Identity(TIdentity& Identity) const {
  BY_HANDLE_FILE_INFORMATION Info{};
  if (!FHandle) SetLastError(ERROR_INVALID_HANDLE);
  if (!FHandle || !GetFileInformationByHandle(static_cast<HANDLE>(FHandle), &Info)) {
    SetError("stat");
    return false;
  }
  Identity.Device = Info.dwVolumeSerialNumber;
  Identity.Index = (uint64_t{Info.nFileIndexHigh} << 32) | Info.nFileIndexLow;
  Identity.Size = static_cast<int64_t>((uint64_t{Info.nFileSizeHigh} << 32) | Info.nFileSizeLow);
  Identity.Modified =
      static_cast<int64_t>((uint64_t{Info.ftLastWriteTime.dwHighDateTime} << 32) | Info.ftLastWriteTime.dwLowDateTime);
  Identity.Links = Info.nNumberOfLinks;
  Identity.Mode = Info.dwFileAttributes;
  Identity.Owner = 0;
  Identity.Group = 0;
  return true;
}

bool FileExists(const std::filesystem::path& FileName) {
  const DWORD Attributes = GetFileAttributesW(FileName.c_str());
  return Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

#else

void TFileStream::SetError(const char* What) const {
  FLastError = std::string(What) + ": " + std::strerror(errno);
}

namespace {

// The writer lock: an exclusive flock on the open file, which stops other writers (they take the
// same lock) and no reader (readers take none). A file system without locks leaves the writer
// unlocked rather than unable to write.
bool TakeWriterLock(int Handle, bool& LockedOut) {
  LockedOut = false;
  if (::flock(Handle, LOCK_EX | LOCK_NB) == 0) return true;
  if (errno == EWOULDBLOCK) {
    LockedOut = true;
    return false;
  }
  return errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL;
}

}  // namespace

bool TFileStream::Open(const std::filesystem::path& FileName, TMode Mode) {
  Close();
  FLockedOut = false;
  // Non-blocking, so that a FIFO without a writer (or a device that waits) cannot hang the open;
  // only regular files are kept, and for them the flag changes nothing and is taken off again.
  const int Flags = (Mode == TMode::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK;
  const int Handle = ::open(FileName.c_str(), Flags);
  if (Handle < 0) {
    SetError("open");
    return false;
  }
  struct stat Info {};
  const bool Stated = ::fstat(Handle, &Info) == 0;
  if (!Stated || !S_ISREG(Info.st_mode) || ::fcntl(Handle, F_SETFL, ::fcntl(Handle, F_GETFL) & ~O_NONBLOCK) != 0) {
    if (Stated && S_ISDIR(Info.st_mode))
      errno = EISDIR;
    if (Stated && !S_ISREG(Info.st_mode) && !S_ISDIR(Info.st_mode))
      FLastError = "open: not a regular file";
    else
      SetError("open");
    ::close(Handle);
    return false;
  }
  if (Mode != TMode::Read && !TakeWriterLock(Handle, FLockedOut)) {
    if (FLockedOut)
      FLastError = "lock: another program is writing it";
    else
      SetError("lock");
    ::close(Handle);
    return false;
  }
  FHandle = Handle;
  FMode = Mode;
  FPosition = 0;
  FFileName = FileName;
  return true;
}

bool TFileStream::CreateNew(const std::filesystem::path& FileName) {
  Close();
  FLockedOut = false;
  const int Handle = ::open(FileName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (Handle < 0) {
    SetError("create");
    return false;
  }
  bool LockedOut = false;
  TakeWriterLock(Handle, LockedOut);  // a name nobody had a moment ago: nobody else holds its lock
  FHandle = Handle;
  FMode = TMode::ReadWrite;
  FPosition = 0;
  FFileName = FileName;
  return true;
}

void TFileStream::Close() {
  if (FHandle >= 0) ::close(FHandle);
  FHandle = -1;
}

bool TFileStream::IsOpen() const { return FHandle >= 0; }

int64_t TFileStream::Size() const {
  struct stat Info {};
  if (FHandle < 0) errno = EBADF;
  if (FHandle < 0 || ::fstat(FHandle, &Info) != 0) {
    SetError("size");
    return -1;
  }
  return static_cast<int64_t>(Info.st_size);
}

int32_t TFileStream::ReadAt(int64_t Offset, void* Buffer, int32_t Count) const {
  if (FHandle < 0 || Offset < 0 || Count < 0) {
    errno = FHandle < 0 ? EBADF : EINVAL;
    SetError("read");
    return -1;
  }
  auto* Out = static_cast<char*>(Buffer);
  int32_t Done = 0;
  while (Done < Count) {
    const ssize_t Got = ::pread(FHandle, Out + Done, static_cast<size_t>(Count - Done), Offset + Done);
    if (Got < 0) {
      if (errno == EINTR) continue;
      SetError("read");
      return Done > 0 ? Done : -1;
    }
    if (Got == 0) break;  // end of file
    Done += static_cast<int32_t>(Got);
  }
  return Done;
}

int32_t TFileStream::WriteAt(int64_t Offset, const void* Buffer, int32_t Count) {
  if (FHandle < 0 || Offset < 0 || Count < 0) {
    errno = FHandle < 0 ? EBADF : EINVAL;
    SetError("write");
    return -1;
  }
  const auto* In = static_cast<const char*>(Buffer);
  int32_t Done = 0;
  while (Done < Count) {
    const ssize_t Put = ::pwrite(FHandle, In + Done, static_cast<size_t>(Count - Done), Offset + Done);
    if (Put < 0 && errno == EINTR) continue;
    if (Put <= 0) {
      // A write that makes no progress without an error code: the storage is full.
      if (Put == 0) errno = ENOSPC;
      SetError("write");
      return Done > 0 ? Done : -1;
    }
    Done += static_cast<int32_t>(Put);
  }
  return Done;
}

bool TFileStream::Flush() {
  if (FHandle < 0) errno = EBADF;
  if (FHandle < 0 || ::fsync(FHandle) != 0) {
    SetError("flush");
    return false;
  }
  return true;
}

bool TFileStream::FlushData() {
  if (FHandle < 0) errno = EBADF;
#ifdef __linux__
  const bool Synced = FHandle >= 0 && ::fdatasync(FHandle) == 0;
#else
  const bool Synced = FHandle >= 0 && ::fsync(FHandle) == 0;
#endif
  if (!Synced) SetError("flush");
  return Synced;
}

void TFileStream::StartFlush(int64_t Offset, int64_t Count) {
#ifdef __linux__
  if (FHandle >= 0 && Count > 0) ::sync_file_range(FHandle, Offset, Count, SYNC_FILE_RANGE_WRITE);
#else
  (void)Offset;
  (void)Count;
#endif
}

bool TFileStream::Identity(TIdentity& Identity) const {
  struct stat Info {};
  if (FHandle < 0) errno = EBADF;
  if (FHandle < 0 || ::fstat(FHandle, &Info) != 0) {
    SetError("stat");
    return false;
  }
  Identity.Device = static_cast<uint64_t>(Info.st_dev);
  Identity.Index = static_cast<uint64_t>(Info.st_ino);
  Identity.Size = static_cast<int64_t>(Info.st_size);
  Identity.Modified = static_cast<int64_t>(Info.st_mtim.tv_sec) * 1'000'000'000 + Info.st_mtim.tv_nsec;
  Identity.Links = static_cast<uint32_t>(Info.st_nlink);
  Identity.Mode = static_cast<uint32_t>(Info.st_mode & 07777);
  Identity.Owner = static_cast<uint32_t>(Info.st_uid);
  Identity.Group = static_cast<uint32_t>(Info.st_gid);
  return true;
}

bool FileExists(const std::filesystem::path& FileName) {
  std::error_code Error;
  return std::filesystem::is_regular_file(FileName, Error);
}

#endif

int64_t TFileStream::Seek(int64_t Position) {
  if (Position < 0) return -1;
  FPosition = Position;
  return FPosition;
}

int32_t TFileStream::Read(void* Buffer, int32_t Count) {
  const int32_t Done = ReadAt(FPosition, Buffer, Count);
  if (Done > 0) FPosition += Done;
  return Done;
}

int32_t TFileStream::Write(const void* Buffer, int32_t Count) {
  const int32_t Done = WriteAt(FPosition, Buffer, Count);
  if (Done > 0) FPosition += Done;
  return Done;
}

std::string TFileStream::LastReason() const {
  const size_t Colon = FLastError.find(": ");
  return Colon == std::string::npos ? FLastError : FLastError.substr(Colon + 2);
}

}  // namespace corvane
