#pragma once
// Writing to a user's file without losing, tearing or silently changing a byte: the rules every
// writer of Corvane follows, kept in one place.
//
// In place (TUndoJournal): before a batch of changes overwrites bytes of the file, the old and
// the new bytes go to an undo journal beside it, ".NAME.corvane-journal", with their offsets and
// a checksum, and the journal is synced; then the batch goes into the file and the file is
// synced; when the run ends, the journal is removed. A run stopped at any moment (killed, a power
// cut, a write error) leaves a journal whose checksum fails, when its batch had not begun, or a
// complete one, whose old bytes the next writer (or a restore on request) puts back before
// anything else. Nothing is written past the file's end: its size is checked before each batch.
//
// A new file in the place of another (TOutputFile): written beside the target under a name only
// Corvane uses, ".NAME.corvane-XXXXXX.tmp", every count checked; synced; given the target's mode
// and owner (a new target the source's mode with the owner's write bit); renamed over the target;
// then the folder is synced. A symlink is followed to its target; anything else that is not a
// regular file, or a file with more than one hard link, is refused.
//
// Every writer holds the file's writer lock (TFileStream's ReadWrite and ReadLocked modes) from
// before its first look at the file to after its last write.

#include <array>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/FileStream.h"

namespace corvane {

// Which file a write goes to: the one being changed (or the new file that replaces it), or the
// undo journal.
enum class TWriteRole : uint8_t { Target, Journal };

// The steps of a write that tests stop at.
enum class TWriteStep : uint8_t {
  JournalSynced,   // a batch's old bytes are in the synced journal; the file is not touched yet
  Wrote,           // one write into the target went out, whole or in part
  TargetSynced,    // a batch, or the whole new file, reached the storage
  JournalRemoved,  // the run's journal is gone: the file is complete
  Renamed,         // the new file took the target's place
};

// Empty in normal runs. Tests put in faults and stops.
struct TWriteHooks {
  // Before each write of Count bytes at Offset: how many of them reach the file before the write
  // fails with Errno. Returning Count lets the write through.
  std::function<int32_t(TWriteRole Role, int64_t Offset, int32_t Count, int& Errno)> Limit;
  std::function<void(TWriteStep Step)> Reached;
};

// Writes all Count bytes at Offset; false, with the system's reason, when any did not go out.
bool WriteFully(TFileStream& Stream, TWriteRole Role, int64_t Offset, const uint8_t* Data, int64_t Count,
                const TWriteHooks* Hooks, std::string& Reason);

// Syncs a folder, so that names created, renamed or removed in it last.
bool SyncFolder(const std::filesystem::path& Folder, std::string& Reason);

// The undo journal of File, beside it.
std::filesystem::path JournalPath(const std::filesystem::path& File);
// Whether File has an unfinished change: its undo journal is there.
bool JournalPresent(const std::filesystem::path& File);
// One line for a reader of File while its journal is there; empty otherwise.
std::string UnfinishedChangeNote(const std::filesystem::path& File);

// What a look at the journal left by an earlier writer came to.
struct TRecovery {
  enum class TOutcome : uint8_t {
    Nothing,     // no journal
    RolledBack,  // its old bytes are back in the file, and it is gone
    Discarded,   // its batch had not reached the file (it was not complete, or the file held the
                 // old bytes still); it is gone
    Failed,      // it could not be used; it is still there and Text says why
  };
  TOutcome Outcome = TOutcome::Nothing;
  int64_t Places = 0;  // stretches of the file given their old bytes back
  int64_t Bytes = 0;   // bytes that differed from the old ones
  std::string Text;    // one line: what was done, or why not
};

class TUndoJournal {
 public:
  // Target is open with TMode::ReadWrite, so it holds the writer lock; it stays the caller's.
  explicit TUndoJournal(TFileStream& Target, const TWriteHooks* Hooks = nullptr);
  // Leaves the journal of a batch that failed and could not be undone for the next writer.
  ~TUndoJournal();
  TUndoJournal(const TUndoJournal&) = delete;
  TUndoJournal& operator=(const TUndoJournal&) = delete;

  // Rolls back what an earlier writer left unfinished: call before anything else.
  TRecovery Recover();

  // Queues Count bytes at Offset that hold Old and are to hold New. Changes come in file order,
  // each after the one before.
  void Add(int64_t Offset, const uint8_t* Old, const uint8_t* New, int32_t Count);
  bool Empty() const { return FChanges.empty(); }
  // File bytes from the first queued byte to the last.
  int64_t Span() const;
  // Journals the queued changes, writes them and syncs the file: afterwards all of them are in the
  // file, or none is and Error() says why (JournalKept() when the batch could not be undone).
  bool Commit();
  // The run ends: removes the journal. Changes queued since the last Commit are dropped.
  bool Finish();

  const std::string& Error() const { return FError; }
  // A failed batch could not be undone: its old bytes wait in the journal for the next writer.
  bool JournalKept() const { return FKept; }

  struct TChange {
    int64_t Offset;
    int32_t Length;
    size_t At;  // of its bytes in the old and new buffers
  };

 private:
  bool WriteJournal();
  void Undo(size_t Changes);
  void DropJournal();
  std::string Name() const;

  TFileStream& FTarget;
  const TWriteHooks* FHooks;
  std::filesystem::path FPath;
  TFileStream FJournal;
  std::vector<TChange> FChanges;
  std::vector<uint8_t> FOld;
  std::vector<uint8_t> FNew;
  std::vector<uint8_t> FScratch;
  std::string FError;
  bool FKept = false;
};

// The new file that takes the place of a target once complete.
class TOutputFile {
 public:
  explicit TOutputFile(const TWriteHooks* Hooks = nullptr);
  // Removes the temporary file unless it took the target's place.
  ~TOutputFile();
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  // Gets ready to replace Target: follows symlinks, refuses what cannot be replaced, locks an
  // existing target, removes what killed runs left behind (telling Warn of each), and creates the
  // temporary file beside the target. Source is the file the bytes come from (a new target gets
  // its mode).
  bool Open(const std::filesystem::path& Target, const TFileStream::TIdentity& Source,
            const std::function<void(const std::string&)>& Warn);
  // The file that is replaced: Target with its symlinks followed.
  const std::filesystem::path& Resolved() const { return FResolved; }
  // Whether the target is there already, and what it is.
  bool Existed() const { return FExisted; }
  const TFileStream::TIdentity& TargetIdentity() const { return FTargetIdentity; }

  // Takes the next Count bytes. They go out on a thread of the file's own while the caller goes
  // on, so a write that fails shows in a later call of Append or in Commit.
  bool Append(const uint8_t* Data, int64_t Count);
  // The bytes taken.
  int64_t Written() const { return FWritten; }
  // Waits for every byte taken to be written, syncs the new file, gives it its mode and owner,
  // puts it in the target's place and syncs the folder.
  bool Commit();

  const std::string& Error() const { return FError; }

 private:
  // Bytes taken, waiting for their write.
  struct TSlot {
    std::unique_ptr<uint8_t[]> Bytes;
    int64_t Offset = 0;
    int64_t Count = 0;
  };

  bool Fail(const std::string& Reason);
  void Discard();
  // Hands the slot being filled to the writing thread and takes the other one, once that is
  // written; false when a write failed.
  bool Hand();
  // Waits until every slot handed on is written; false when a write failed.
  bool Drain();
  void WriteSlots();
  bool WriteSlot(const TSlot& Slot, std::string& Reason);
  void StopWriting();
  bool WriteFailure();

  const TWriteHooks* FHooks;
  std::filesystem::path FNamed;
  std::filesystem::path FResolved;
  std::filesystem::path FTemporary;
  TFileStream FLock;  // the existing target, for its writer lock
  TFileStream FTemp;
  TFileStream::TIdentity FSource;
  TFileStream::TIdentity FTargetIdentity;
  bool FExisted = false;
  bool FCommitted = false;
  int64_t FWritten = 0;
  std::string FError;

  // Two slots: the caller fills one while the thread writes the other.
  std::array<TSlot, 2> FSlots;
  size_t FFilling = 0;
  std::thread FWriter;
  bool FInline = false;  // no thread could be started: Append writes itself
  std::mutex FLockState;  // guards the four below
  std::condition_variable FChanged;
  int FQueued = -1;      // the slot handed on and not yet written; -1 when none is
  bool FStop = false;    // the thread is to end
  bool FFailed = false;  // a write failed; FFailure says why
  std::string FFailure;
};

// The temporary files a killed run may have left beside Target: ".NAME.corvane-XXXXXX.tmp".
bool IsTemporaryName(const std::filesystem::path& Target, const std::filesystem::path& Candidate);

}  // namespace corvane
