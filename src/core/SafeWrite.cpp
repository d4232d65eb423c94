// 64-bit file offsets on 32-bit POSIX systems too; must come before any system header.
#if !defined(_WIN32) && !defined(_FILE_OFFSET_BITS)
#define _FILE_OFFSET_BITS 64
#endif

#include "core/SafeWrite.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>
#include <random>
#include <system_error>

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
namespace {

// The journal: a header, then per change its offset and length, then the old bytes of every
// change, then the new bytes, then a checksum of all that comes before it. All numbers are
// little-endian.
constexpr std::array<uint8_t, 8> JournalMagic = {'C', 'V', 'N', 'J', 'R', 'N', 'L', 1};
constexpr size_t HeaderBytes = 8 + 3 * 8;  // magic, file size, changes, bytes per side
constexpr size_t RecordBytes = 8 + 4;
constexpr size_t ChecksumBytes = 8;
// No batch journals more; anything larger is not one of ours.
constexpr int64_t MaxJournalBytes = int64_t{1} << 30;

// The output file's bytes are handed to its writing thread this many at a time, and go out in
// writes of 64 KiB: a larger write makes Linux take large page-cache folios for it, which cost
// far more to fill where their memory is fresh (under a hypervisor, measured: a 2 GiB copy in
// 1 MiB writes took 2.3 s of system time, in 64 KiB writes 0.5 s).
constexpr int64_t OutputSlotBytes = int64_t{1} << 20;
constexpr int64_t OutputWriteBytes = int64_t{64} << 10;

// Changes closer than this are written with the bytes between them, in one write.
constexpr int64_t WriteGap = 16 * 1024;
// And no write is larger (unless one change is).
constexpr int64_t WriteSpan = 4 * 1024 * 1024;

constexpr const char* TemporaryTag = ".corvane-";
constexpr const char* TemporaryEnd = ".tmp";
constexpr size_t TemporaryRandom = 6;

uint64_t Fnv1a(const uint8_t* Data, size_t Size, uint64_t Hash = 0xCBF29CE484222325ull) {
  for (size_t Index = 0; Index < Size; ++Index) Hash = (Hash ^ Data[Index]) * 0x100000001B3ull;
  return Hash;
}

void PutNumber(std::vector<uint8_t>& To, uint64_t Value, int Bytes) {
  for (int Byte = 0; Byte < Bytes; ++Byte) To.push_back(static_cast<uint8_t>(Value >> (8 * Byte)));
}

uint64_t GetNumber(const uint8_t* From, int Bytes) {
  uint64_t Value = 0;
  for (int Byte = Bytes - 1; Byte >= 0; --Byte) Value = (Value << 8) | From[Byte];
  return Value;
}

std::string ErrnoText(int Errno) { return std::strerror(Errno); }

std::string Folder(const std::filesystem::path& File) {
  return File.has_parent_path() ? File.parent_path().string() : std::string(".");
}

std::filesystem::path FolderOf(const std::filesystem::path& File) {
  return File.has_parent_path() ? File.parent_path() : std::filesystem::path(".");
}

bool RemoveFile(const std::filesystem::path& File, std::string& Reason) {
  std::error_code Error;
  if (std::filesystem::remove(File, Error) || !Error) return true;
  Reason = Error.message();
  return false;
}

// The journal's parts once its checksum held.
struct TParsedJournal {
  std::vector<TUndoJournal::TChange> Changes;
  const uint8_t* Old = nullptr;
  const uint8_t* New = nullptr;
};

enum class TParse { Complete, Unfinished, Foreign };

TParse ParseJournal(const std::vector<uint8_t>& Bytes, TParsedJournal& Journal) {
  const size_t Magic = std::min(Bytes.size(), JournalMagic.size());
  if (!std::equal(Bytes.begin(), Bytes.begin() + static_cast<std::ptrdiff_t>(Magic), JournalMagic.begin()))
    return TParse::Foreign;
  // A journal is written in one go and synced before its batch begins: one that is short or
  // whose checksum fails was cut off while it was written, and its batch never began.
  if (Bytes.size() < HeaderBytes + ChecksumBytes) return TParse::Unfinished;
  const uint64_t Count = GetNumber(Bytes.data() + 16, 8);
  const uint64_t Side = GetNumber(Bytes.data() + 24, 8);
  if (Count > Bytes.size() / RecordBytes || Side > Bytes.size()) return TParse::Unfinished;
  const size_t Length = HeaderBytes + static_cast<size_t>(Count) * RecordBytes + 2 * static_cast<size_t>(Side);
  if (Length + ChecksumBytes > Bytes.size()) return TParse::Unfinished;
  if (Fnv1a(Bytes.data(), Length) != GetNumber(Bytes.data() + Length, 8)) return TParse::Unfinished;

  const uint8_t* Record = Bytes.data() + HeaderBytes;
  size_t At = 0;
  int64_t End = 0;
  for (uint64_t Index = 0; Index < Count; ++Index, Record += RecordBytes) {
    const auto Offset = static_cast<int64_t>(GetNumber(Record, 8));
    const auto Size = static_cast<int32_t>(GetNumber(Record + 8, 4));
    // A complete journal with changes out of order or past its own bytes is not one of ours.
    if (Offset < End || Size <= 0 || At + static_cast<size_t>(Size) > Side) return TParse::Foreign;
    Journal.Changes.push_back({Offset, Size, At});
    At += static_cast<size_t>(Size);
    End = Offset + Size;
  }
  if (At != Side) return TParse::Foreign;
  Journal.Old = Record;
  Journal.New = Record + Side;
  return TParse::Complete;
}

}  // namespace


bool WriteFully(TFileStream& Stream, TWriteRole Role, int64_t Offset, const uint8_t* Data, int64_t Count,
                const TWriteHooks* Hooks, std::string& Reason) {
  constexpr int64_t Chunk = int64_t{1} << 30;
  for (int64_t Done = 0; Done < Count;) {
    auto Part = static_cast<int32_t>(std::min(Count - Done, Chunk));
    int Errno = 0;
    if (Hooks && Hooks->Limit) {
      const int32_t Allowed = std::clamp(Hooks->Limit(Role, Offset + Done, Part, Errno), 0, Part);
      if (Allowed < Part) {
        if (Allowed > 0) Stream.WriteAt(Offset + Done, Data + Done, Allowed);
        if (Role == TWriteRole::Target && Hooks->Reached) Hooks->Reached(TWriteStep::Wrote);
        Reason = ErrnoText(Errno != 0 ? Errno : EIO);
        return false;
      }
    }
    const int32_t Put = Stream.WriteAt(Offset + Done, Data + Done, Part);
    if (Role == TWriteRole::Target && Hooks && Hooks->Reached) Hooks->Reached(TWriteStep::Wrote);
    if (Put != Part) {
      Reason = Stream.LastReason();
      return false;
    }
    Done += Part;
  }
  return true;
}

bool SyncFolder(const std::filesystem::path& Folder, std::string& Reason) {
#ifdef _WIN32
  // Renames go out with MOVEFILE_WRITE_THROUGH; a folder cannot be synced on its own.
  (void)Folder;
  (void)Reason;
  return true;
#else
  const int Handle = ::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Handle < 0) {
    Reason = ErrnoText(errno);
    return false;
  }
  // Some file systems cannot sync a folder and say so; their names need nothing more.
  const bool Synced = ::fsync(Handle) == 0 || errno == EINVAL || errno == EROFS;
  if (!Synced) Reason = ErrnoText(errno);
  ::close(Handle);
  return Synced;
#endif
}

std::filesystem::path JournalPath(const std::filesystem::path& File) {
  std::filesystem::path Name(".");
  Name += File.filename();
  Name += ".corvane-journal";
  return File.has_parent_path() ? File.parent_path() / Name : Name;
}

bool JournalPresent(const std::filesystem::path& File) {
  std::error_code Error;
  return std::filesystem::exists(std::filesystem::symlink_status(JournalPath(File), Error));
}

std::string UnfinishedChangeNote(const std::filesystem::path& File) {
  if (!JournalPresent(File)) return {};
  return PathText(File) + " has an unfinished change: a write to it stopped part-way; the next write or a restore " +
         "rolls it back (undo journal " + PathText(JournalPath(File)) + ")";
}

// ------------------------------------------------------------------------------------------
// The undo journal

TUndoJournal::TUndoJournal(TFileStream& Target, const TWriteHooks* Hooks)
    : FTarget(Target), FHooks(Hooks), FPath(JournalPath(Target.FileName())) {}

TUndoJournal::~TUndoJournal() = default;

std::string TUndoJournal::Name() const { return PathText(FTarget.FileName()); }

TRecovery TUndoJournal::Recover() {
  TRecovery Result;
  std::error_code StatusError;
  const std::filesystem::file_status Status = std::filesystem::symlink_status(FPath, StatusError);
  if (!std::filesystem::exists(Status)) return Result;
  const std::string Journal = PathText(FPath);
  const auto Fail = [&](const std::string& Why) {
    Result.Outcome = TRecovery::TOutcome::Failed;
    Result.Text = Why;
    return Result;
  };
  const std::string Foreign =
      Journal + " is not an undo journal of Corvane; move it away before " + Name() + " is written";
  if (!std::filesystem::is_regular_file(Status)) return Fail(Foreign);

  TFileStream Reader;
  const int64_t Size = Reader.Open(FPath, TFileStream::TMode::Read) ? Reader.Size() : -1;
  if (Size < 0) return Fail("cannot read " + Journal + ": " + Reader.LastReason());
  if (Size > MaxJournalBytes) return Fail(Foreign);
  std::vector<uint8_t> Bytes(static_cast<size_t>(Size));
  if (Size > 0 && Reader.ReadAt(0, Bytes.data(), static_cast<int32_t>(Size)) != Size)
    return Fail("cannot read " + Journal + ": " + Reader.LastReason());
  Reader.Close();

  TParsedJournal Parsed;
  switch (ParseJournal(Bytes, Parsed)) {
    case TParse::Foreign:
      return Fail(Foreign);
    case TParse::Unfinished: {
      std::string Reason;
      if (!RemoveFile(FPath, Reason)) return Fail("cannot remove " + Journal + ": " + Reason);
      SyncFolder(FolderOf(FPath), Reason);
      Result.Outcome = TRecovery::TOutcome::Discarded;
      Result.Text =
          "removed the undo journal of an earlier write to " + Name() + " that stopped before it changed the file";
      return Result;
    }
    case TParse::Complete:
      break;
  }

  // The file must hold, byte for byte, the old or the new bytes of every change: anything else
  // means it is no longer the file the journal was written for.
  const int64_t FileSize = FTarget.Size();
  const TChange& Last = Parsed.Changes.empty() ? TChange{0, 0, 0} : Parsed.Changes.back();
  if (FileSize < Last.Offset + Last.Length)
    return Fail(Name() + " is shorter than when " + Journal +
                " was written: it was changed since, so its unfinished change cannot be rolled back");
  std::vector<uint8_t> Now;
  for (const TChange& Change : Parsed.Changes) {
    Now.resize(static_cast<size_t>(Change.Length));
    if (FTarget.ReadAt(Change.Offset, Now.data(), Change.Length) != Change.Length)
      return Fail("cannot read " + Name() + ": " + FTarget.LastReason());
    bool Differs = false;
    for (size_t Byte = 0; Byte < Now.size(); ++Byte) {
      const uint8_t Old = Parsed.Old[Change.At + Byte];
      if (Now[Byte] != Old && Now[Byte] != Parsed.New[Change.At + Byte])
        return Fail(Name() + " was changed since " + Journal + " was written (the bytes at offset " +
                    std::to_string(Change.Offset + static_cast<int64_t>(Byte)) +
                    " are neither the old nor the new ones), so its unfinished change cannot be rolled back");
      if (Now[Byte] != Old) {
        Differs = true;
        ++Result.Bytes;
      }
    }
    if (!Differs) continue;
    ++Result.Places;
    std::string Reason;
    if (!WriteFully(FTarget, TWriteRole::Target, Change.Offset, Parsed.Old + Change.At, Change.Length, FHooks, Reason))
      return Fail("cannot roll back the unfinished change of " + Name() + ": " + Reason);
  }
  std::string Reason;
  if (Result.Places > 0 && !FTarget.FlushData())
    return Fail("cannot roll back the unfinished change of " + Name() + ": " + FTarget.LastReason());
  if (!RemoveFile(FPath, Reason) || !SyncFolder(FolderOf(FPath), Reason))
    return Fail("rolled back the unfinished change of " + Name() + ", but cannot remove " + Journal + ": " + Reason);
  if (Result.Places == 0) {
    Result.Outcome = TRecovery::TOutcome::Discarded;
    Result.Text = "removed the undo journal of an earlier write to " + Name() + " that had not changed the file yet";
  } else {
    Result.Outcome = TRecovery::TOutcome::RolledBack;
    Result.Text = "rolled back the unfinished change of an earlier write to " + Name() + ": " +
                  std::to_string(Result.Bytes) + (Result.Bytes == 1 ? " byte" : " bytes") + " at " +
                  std::to_string(Result.Places) + (Result.Places == 1 ? " place" : " places");
  }
  return Result;
}

void TUndoJournal::Add(int64_t Offset, const uint8_t* Old, const uint8_t* New, int32_t Count) {
  if (Count <= 0) return;
  if (!FChanges.empty() && FChanges.back().Offset + FChanges.back().Length == Offset)
    FChanges.back().Length += Count;
  else
    FChanges.push_back({Offset, Count, FOld.size()});
  FOld.insert(FOld.end(), Old, Old + Count);
  FNew.insert(FNew.end(), New, New + Count);
}

int64_t TUndoJournal::Span() const {
  return FChanges.empty() ? 0 : FChanges.back().Offset + FChanges.back().Length - FChanges.front().Offset;
}

bool TUndoJournal::WriteJournal() {
  FScratch.assign(JournalMagic.begin(), JournalMagic.end());
  PutNumber(FScratch, static_cast<uint64_t>(FTarget.Size()), 8);
  PutNumber(FScratch, FChanges.size(), 8);
  PutNumber(FScratch, FOld.size(), 8);
  for (const TChange& Change : FChanges) {
    PutNumber(FScratch, static_cast<uint64_t>(Change.Offset), 8);
    PutNumber(FScratch, static_cast<uint64_t>(Change.Length), 4);
  }
  FScratch.insert(FScratch.end(), FOld.begin(), FOld.end());
  FScratch.insert(FScratch.end(), FNew.begin(), FNew.end());
  PutNumber(FScratch, Fnv1a(FScratch.data(), FScratch.size()), 8);

  const std::string Journal = PathText(FPath);
  std::string Reason;
  if (!FJournal.IsOpen()) {
    if (!FJournal.CreateNew(FPath)) {
      FError = "cannot create the undo journal " + Journal + ": " + FJournal.LastReason() + "; " + Name() +
               " was not changed by this batch";
      return false;
    }
    // The journal's name must last as long as its bytes.
    if (!SyncFolder(FolderOf(FPath), Reason)) {
      FError =
          "cannot sync the folder of " + Journal + ": " + Reason + "; " + Name() + " was not changed by this batch";
      DropJournal();
      return false;
    }
  }
  if (!WriteFully(FJournal, TWriteRole::Journal, 0, FScratch.data(), static_cast<int64_t>(FScratch.size()), FHooks,
                  Reason) ||
      !FJournal.FlushData()) {
    if (Reason.empty()) Reason = FJournal.LastReason();
    FError =
        "cannot write the undo journal " + Journal + ": " + Reason + "; " + Name() + " was not changed by this batch";
    // The batch before this one is in the file and synced: a journal cut off here undoes nothing.
    DropJournal();
    return false;
  }
  if (FHooks && FHooks->Reached) FHooks->Reached(TWriteStep::JournalSynced);
  return true;
}

bool TUndoJournal::Commit() {
  if (FChanges.empty()) return true;
  FKept = false;
  const TChange& Last = FChanges.back();
  const int64_t Size = FTarget.Size();
  if (Size < Last.Offset + Last.Length) {
    FError = Size < 0 ? "cannot write " + Name() + ": " + FTarget.LastReason()
                      : Name() + " is shorter now (" + std::to_string(Size) +
                            " bytes) than when it was read: it was cut short meanwhile, and nothing is written "
                            "past its end";
    // The batches before this one are in the file and synced: their journal undoes nothing now.
    FChanges.clear();
    DropJournal();
    return false;
  }
  if (!WriteJournal()) {
    FChanges.clear();
    return false;
  }

  // The changes go out in writes of the bytes from the first change of a group to its last, the
  // bytes between them read again just before (and checked where they change).
  std::string Reason;
  for (size_t First = 0; First < FChanges.size();) {
    size_t End = First + 1;
    const int64_t From = FChanges[First].Offset;
    while (End < FChanges.size() &&
           FChanges[End].Offset - (FChanges[End - 1].Offset + FChanges[End - 1].Length) <= WriteGap &&
           FChanges[End].Offset + FChanges[End].Length - From <= WriteSpan)
      ++End;
    const int64_t To = FChanges[End - 1].Offset + FChanges[End - 1].Length;
    FScratch.resize(static_cast<size_t>(To - From));
    const auto Count = static_cast<int32_t>(To - From);
    if (FTarget.ReadAt(From, FScratch.data(), Count) != Count) {
      FError = Name() + " was cut short while it was written";
      Undo(First);
      return false;
    }
    for (size_t Index = First; Index < End; ++Index) {
      const TChange& Change = FChanges[Index];
      uint8_t* Here = FScratch.data() + (Change.Offset - From);
      if (!std::equal(Here, Here + Change.Length, FOld.begin() + static_cast<std::ptrdiff_t>(Change.At))) {
        FError = Name() + " was changed by another program while it was written (the bytes at offset " +
                 std::to_string(Change.Offset) + " are no longer the ones read before)";
        Undo(First);
        return false;
      }
      std::copy(FNew.begin() + static_cast<std::ptrdiff_t>(Change.At),
                FNew.begin() + static_cast<std::ptrdiff_t>(Change.At + static_cast<size_t>(Change.Length)), Here);
    }
    if (!WriteFully(FTarget, TWriteRole::Target, From, FScratch.data(), Count, FHooks, Reason)) {
      FError = "cannot write " + Name() + " at offset " + std::to_string(From) + ": " + Reason;
      Undo(End);
      return false;
    }
    FTarget.StartFlush(From, Count);
    First = End;
  }
  if (!FTarget.FlushData()) {
    FError = "cannot write " + Name() + ": " + FTarget.LastReason();
    Undo(FChanges.size());
    return false;
  }
  if (FHooks && FHooks->Reached) FHooks->Reached(TWriteStep::TargetSynced);
  FChanges.clear();
  FOld.clear();
  FNew.clear();
  return true;
}

// Puts the old bytes of the first Changes changes back after a failure part-way through a batch.
// When that works, the journal is not needed; when it does not, it stays for the next writer.
void TUndoJournal::Undo(size_t Changes) {
  std::string Reason;
  bool Undone = true;
  bool Wrote = false;
  std::vector<uint8_t> Now;
  for (size_t Index = 0; Index < Changes && Undone; ++Index) {
    const TChange& Change = FChanges[Index];
    // Only what reached the file needs its old bytes back.
    Now.resize(static_cast<size_t>(Change.Length));
    Undone = FTarget.ReadAt(Change.Offset, Now.data(), Change.Length) == Change.Length;
    if (!Undone || std::equal(Now.begin(), Now.end(), FOld.begin() + static_cast<std::ptrdiff_t>(Change.At))) continue;
    Wrote = true;
    Undone =
        WriteFully(FTarget, TWriteRole::Target, Change.Offset, FOld.data() + Change.At, Change.Length, FHooks, Reason);
  }
  Undone = Undone && (!Wrote || FTarget.FlushData());
  FChanges.clear();
  FOld.clear();
  FNew.clear();
  if (Undone) {
    DropJournal();
    FError += "; the batch was undone";
    return;
  }
  FKept = true;
  FJournal.Close();
  FError += "; the old bytes of the batch stay in the undo journal " + PathText(FPath) +
            ", which the next write or a restore puts back";
}

void TUndoJournal::DropJournal() {
  FJournal.Close();
  std::string Reason;
  if (RemoveFile(FPath, Reason)) SyncFolder(FolderOf(FPath), Reason);
}

bool TUndoJournal::Finish() {
  FChanges.clear();
  FOld.clear();
  FNew.clear();
  if (!FJournal.IsOpen()) return true;
  FJournal.Close();
  std::string Reason;
  if (!RemoveFile(FPath, Reason) || !SyncFolder(FolderOf(FPath), Reason)) {
    FError = Name() + " is complete, but its undo journal " + PathText(FPath) + " cannot be removed: " + Reason +
             "; remove it, or the next write undoes the last batch";
    return false;
  }
  if (FHooks && FHooks->Reached) FHooks->Reached(TWriteStep::JournalRemoved);
  return true;
}

// ------------------------------------------------------------------------------------------
// The new file in the place of another

bool IsTemporaryName(const std::filesystem::path& Target, const std::filesystem::path& Candidate) {
  using TString = std::filesystem::path::string_type;
  std::filesystem::path Prefix(".");
  Prefix += Target.filename();
  Prefix += TemporaryTag;
  const TString Head = Prefix.native();
  const TString Tail = std::filesystem::path(TemporaryEnd).native();
  const TString Name = Candidate.filename().native();
  if (Name.size() != Head.size() + TemporaryRandom + Tail.size()) return false;
  if (Name.compare(0, Head.size(), Head) != 0 || Name.compare(Name.size() - Tail.size(), Tail.size(), Tail) != 0)
    return false;
  return std::all_of(Name.begin() + static_cast<std::ptrdiff_t>(Head.size()),
                     Name.end() - static_cast<std::ptrdiff_t>(Tail.size()),
                     [](auto Ch) { return (Ch >= 'a' && Ch <= 'z') || (Ch >= '0' && Ch <= '9'); });
}

namespace {

// Why Path, which exists, cannot be replaced by a new file; empty when it can.
std::string NotReplaceable(const std::filesystem::file_status& Status) {
  switch (Status.type()) {
    case std::filesystem::file_type::regular:
      return {};
    case std::filesystem::file_type::directory:
      return "it is a folder, not a regular file";
    case std::filesystem::file_type::fifo:
      return "it is a FIFO, not a regular file";
    case std::filesystem::file_type::block:
    case std::filesystem::file_type::character:
      return "it is a device, not a regular file";
    case std::filesystem::file_type::socket:
      return "it is a socket, not a regular file";
    default:
      return "it is not a regular file";
  }
}

// Target with its symlinks followed: the file a new one is to replace, which need not exist.
bool FollowSymlinks(const std::filesystem::path& Target, std::filesystem::path& Resolved, std::string& Reason) {
  Resolved = Target;
  for (int Hop = 0; Hop < 40; ++Hop) {
    std::error_code Error;
    const std::filesystem::file_status Status = std::filesystem::symlink_status(Resolved, Error);
    if (Error && Error != std::errc::no_such_file_or_directory) {
      Reason = Error.message();
      return false;
    }
    if (!std::filesystem::is_symlink(Status)) return true;
    const std::filesystem::path Link = std::filesystem::read_symlink(Resolved, Error);
    if (Error) {
      Reason = Error.message();
      return false;
    }
    Resolved = Link.is_absolute() ? Link : Resolved.parent_path() / Link;
  }
  Reason = ErrnoText(ELOOP);
  return false;
}

// Removes the temporary files of killed runs beside Target, telling Warn of each. A file that
// another run still writes is kept: that run holds its lock (on Windows, has it open).
void RemoveLeftovers(const std::filesystem::path& Target, const std::function<void(const std::string&)>& Warn) {
  std::error_code Error;
  for (std::filesystem::directory_iterator Entry(FolderOf(Target), Error), End; !Error && Entry != End;
       Entry.increment(Error)) {
    const std::filesystem::path Path = Entry->path();
    if (!IsTemporaryName(Target, Path)) continue;
#ifdef _WIN32
    if (!DeleteFileW(Path.c_str())) continue;
#else
    const int Handle = ::open(Path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (Handle < 0) continue;
    struct stat Info {};
    const bool Ours = ::fstat(Handle, &Info) == 0 && S_ISREG(Info.st_mode) && ::flock(Handle, LOCK_EX | LOCK_NB) == 0;
    const bool Removed = Ours && ::unlink(Path.c_str()) == 0;
    ::close(Handle);
    if (!Removed) continue;
#endif
    if (Warn)
      Warn("removed " + PathText(Path) + ", a temporary file that an earlier run left behind when it was stopped");
  }
}

}  // namespace

TOutputFile::TOutputFile(const TWriteHooks* Hooks) : FHooks(Hooks) {}

TOutputFile::~TOutputFile() {
  StopWriting();
  if (!FCommitted) Discard();
}

bool TOutputFile::Fail(const std::string& Reason) {
  const std::string Shown =
      FResolved.empty() || FResolved == FNamed ? PathText(FNamed) : PathText(FNamed) + " (" + PathText(FResolved) + ")";
  FError = "cannot write " + Shown + ": " + Reason;
  Discard();
  return false;
}

void TOutputFile::Discard() {
  StopWriting();
  FTemp.Close();
  FLock.Close();
  if (FTemporary.empty()) return;
  std::string Reason;
  RemoveFile(FTemporary, Reason);
  FTemporary.clear();
}

bool TOutputFile::Open(const std::filesystem::path& Target, const TFileStream::TIdentity& Source,
                       const std::function<void(const std::string&)>& Warn) {
  FNamed = Target;
  FSource = Source;
  std::string Reason;
  if (!FollowSymlinks(Target, FResolved, Reason)) return Fail(Reason);
  std::error_code Error;
  const std::filesystem::file_status Status = std::filesystem::symlink_status(FResolved, Error);
  FExisted = std::filesystem::exists(Status);
  if (FExisted) {
    if (const std::string Why = NotReplaceable(Status); !Why.empty()) return Fail(Why);
    if (!FLock.Open(FResolved, TFileStream::TMode::ReadLocked)) return Fail(FLock.LastReason());
    if (!FLock.Identity(FTargetIdentity)) return Fail(FLock.LastReason());
    if (FTargetIdentity.Links > 1)
      return Fail("it has " + std::to_string(FTargetIdentity.Links) +
                  " hard links, and a new file in its place would part it from the others");
  }
  RemoveLeftovers(FResolved, Warn);

  static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device Seed;
  std::mt19937 Random(Seed());
  for (int Attempt = 0; Attempt < 100; ++Attempt) {
    std::string Tag;
    for (size_t Letter = 0; Letter < TemporaryRandom; ++Letter) Tag += Letters[Random() % (sizeof(Letters) - 1)];
    std::filesystem::path Name(".");
    Name += FResolved.filename();
    Name += TemporaryTag + Tag + TemporaryEnd;
    const std::filesystem::path Temporary = FolderOf(FResolved) / Name;
    if (FTemp.CreateNew(Temporary)) {
      FTemporary = Temporary;
      return true;
    }
    if (std::filesystem::exists(std::filesystem::symlink_status(Temporary, Error))) continue;
    return Fail("cannot create a temporary file in " + Folder(FResolved) + ": " + FTemp.LastReason());
  }
  return Fail("cannot find a free name for a temporary file in " + Folder(FResolved));
}

bool TOutputFile::Append(const uint8_t* Data, int64_t Count) {
  if (!FError.empty()) return false;
  while (Count > 0) {
    TSlot& Slot = FSlots[FFilling];
    if (!Slot.Bytes) Slot.Bytes = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(OutputSlotBytes));
    if (Slot.Count == 0) Slot.Offset = FWritten;
    const int64_t Part = std::min(Count, OutputSlotBytes - Slot.Count);
    std::memcpy(Slot.Bytes.get() + Slot.Count, Data, static_cast<size_t>(Part));
    Slot.Count += Part;
    Data += Part;
    Count -= Part;
    FWritten += Part;
    if (Slot.Count == OutputSlotBytes && !Hand()) return WriteFailure();
  }
  return true;
}

bool TOutputFile::WriteSlot(const TSlot& Slot, std::string& Reason) {
  for (int64_t Done = 0; Done < Slot.Count; Done += OutputWriteBytes) {
    const int64_t Part = std::min(OutputWriteBytes, Slot.Count - Done);
    if (!WriteFully(FTemp, TWriteRole::Target, Slot.Offset + Done, Slot.Bytes.get() + Done, Part, FHooks, Reason))
      return false;
  }
  // Writeback starts at once, so that the sync at the end has little left to wait for.
  FTemp.StartFlush(Slot.Offset, Slot.Count);
  return true;
}

bool TOutputFile::Hand() {
  TSlot& Slot = FSlots[FFilling];
  if (!FWriter.joinable() && !FInline) {
    try {
      FStop = false;
      FWriter = std::thread([this] { WriteSlots(); });
    } catch (const std::system_error&) {
      FInline = true;
    }
  }
  if (FInline) {
    // No thread to be had: the bytes go out here and now.
    std::string Reason;
    if (!WriteSlot(Slot, Reason)) {
      FFailed = true;
      FFailure = Reason;
      return false;
    }
    Slot.Count = 0;
    return true;
  }
  std::unique_lock Lock(FLockState);
  FChanged.wait(Lock, [this] { return FQueued < 0; });
  if (FFailed) return false;
  FQueued = static_cast<int>(FFilling);
  FFilling = 1 - FFilling;
  FSlots[FFilling].Count = 0;
  FChanged.notify_all();
  return true;
}

bool TOutputFile::Drain() {
  if (FSlots[FFilling].Count > 0 && !Hand()) return false;
  if (!FWriter.joinable()) return !FFailed;
  std::unique_lock Lock(FLockState);
  FChanged.wait(Lock, [this] { return FQueued < 0; });
  return !FFailed;
}

void TOutputFile::WriteSlots() {
  for (;;) {
    std::unique_lock Lock(FLockState);
    FChanged.wait(Lock, [this] { return FQueued >= 0 || FStop; });
    if (FStop) return;
    const TSlot& Slot = FSlots[static_cast<size_t>(FQueued)];
    Lock.unlock();
    std::string Reason;
    const bool Written = WriteSlot(Slot, Reason);
    Lock.lock();
    FQueued = -1;
    if (!Written) {
      FFailed = true;
      FFailure = Reason;
    }
    FChanged.notify_all();
    if (!Written) return;
  }
}

void TOutputFile::StopWriting() {
  if (!FWriter.joinable()) return;
  {
    const std::lock_guard Lock(FLockState);
    FStop = true;
  }
  FChanged.notify_all();
  FWriter.join();
}

bool TOutputFile::WriteFailure() {
  std::string Reason;
  {
    const std::lock_guard Lock(FLockState);
    Reason = FFailure;
  }
  return Fail(Reason + " (while writing the temporary file " + PathText(FTemporary) + "); it was left as it was");
}

bool TOutputFile::Commit() {
  if (!FError.empty()) return false;
  if (!Drain()) return WriteFailure();
  StopWriting();
  const std::string Kept = "; it was left as it was";
#ifndef _WIN32
  const int Handle = ::open(FTemporary.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  bool Moded = Handle >= 0;
  if (Moded && FExisted) {
    // The owner where the process may set it; the mode always.
    if (FTargetIdentity.Owner != static_cast<uint32_t>(::geteuid()) ||
        FTargetIdentity.Group != static_cast<uint32_t>(::getegid()))
      (void)::fchown(Handle, FTargetIdentity.Owner, FTargetIdentity.Group);
    Moded = ::fchmod(Handle, static_cast<mode_t>(FTargetIdentity.Mode)) == 0;
  } else if (Moded) {
    Moded = ::fchmod(Handle, static_cast<mode_t>((FSource.Mode & 0777) | S_IWUSR)) == 0;
  }
  const int ModeErrno = errno;
  if (Handle >= 0) ::close(Handle);
  if (!Moded) return Fail("cannot set the mode of " + PathText(FTemporary) + ": " + ErrnoText(ModeErrno) + Kept);
#endif
  if (!FTemp.Flush()) return Fail(FTemp.LastReason() + " (while syncing " + PathText(FTemporary) + ")" + Kept);
  if (FHooks && FHooks->Reached) FHooks->Reached(TWriteStep::TargetSynced);
#ifdef _WIN32
  // Windows renames only a file nobody has open.
  FTemp.Close();
  FLock.Close();
  if (!MoveFileExW(FTemporary.c_str(), FResolved.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD Code = GetLastError();
    return Fail("cannot rename " + PathText(FTemporary) +
                " to it: " + std::system_category().message(static_cast<int>(Code)) + Kept);
  }
#else
  if (::rename(FTemporary.c_str(), FResolved.c_str()) != 0)
    return Fail("cannot rename " + PathText(FTemporary) + " to it: " + ErrnoText(errno) + Kept);
#endif
  FCommitted = true;
  FTemporary.clear();
  if (FHooks && FHooks->Reached) FHooks->Reached(TWriteStep::Renamed);
  std::string Reason;
  const bool Synced = SyncFolder(FolderOf(FResolved), Reason);
  FTemp.Close();
  FLock.Close();
  if (!Synced) {
    FError = PathText(FResolved) + " was written, but its folder cannot be synced: " + Reason;
    return false;
  }
  return true;
}

}  // namespace corvane
