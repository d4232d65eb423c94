// The safe-write layer every writer stands on: one writer at a time and readers always, an undo
// journal that leaves the file old or new whatever stops a batch, and a new file that takes a
// target's place only when complete, and only where a regular file may be replaced.

#include <gtest/gtest.h>

#include "core/SafeWrite.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#endif

#include <algorithm>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/TempFile.h"
#include "support/WriterFaults.h"

namespace corvane {
namespace {

using TBytes = std::vector<uint8_t>;
using test::TTempFolder;
using test::WriteFile;

TBytes Pattern(size_t Count, uint8_t Seed) {
  TBytes Bytes(Count);
  for (size_t Index = 0; Index < Count; ++Index) Bytes[Index] = static_cast<uint8_t>(Index * 13 + Seed);
  return Bytes;
}

TEST(WriterLock, OneWriterAtATimeAndReadersAlways) {
  using TMode = TFileStream::TMode;
  const test::TTempFile File(TBytes(64, 1));
  const struct {
    TMode First;
    TMode Second;
    bool SecondOpens;
  } Cases[] = {
      {TMode::ReadWrite, TMode::ReadWrite, false},  {TMode::ReadWrite, TMode::ReadLocked, false},
      {TMode::ReadLocked, TMode::ReadWrite, false}, {TMode::ReadWrite, TMode::Read, true},
      {TMode::Read, TMode::ReadWrite, true},        {TMode::Read, TMode::Read, true},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(Case.First) << " then " << static_cast<int>(Case.Second));
    TFileStream First;
    ASSERT_TRUE(First.Open(File.Path(), Case.First));
    TFileStream Second;
    EXPECT_EQ(Second.Open(File.Path(), Case.Second), Case.SecondOpens);
    if (Case.SecondOpens) continue;
    EXPECT_TRUE(Second.LockedOut());
    EXPECT_EQ(Second.LastReason(), "another program is writing it");
    // The lock goes with the stream that held it.
    First.Close();
    EXPECT_TRUE(Second.Open(File.Path(), Case.Second));
  }
}

// A journalled batch of two changes far apart (two writes) over a file of known bytes.
struct TBatchFile {
  TTempFolder Folder;
  std::filesystem::path Path = Folder / "stream.ac3";
  TBytes Old = Pattern(64 * 1024, 1);
  TBytes New = [this] {
    TBytes Bytes = Old;
    for (const size_t At : {size_t{100}, size_t{101}, size_t{102}, size_t{40000}, size_t{40001}})
      Bytes[At] = static_cast<uint8_t>(~Bytes[At]);
    return Bytes;
  }();
  TBatchFile() { WriteFile(Path, Old); }

  // Writes the batch through a journal; true when every step went through.
  bool Write(const TWriteHooks* Hooks, std::string* Error = nullptr) const {
    TFileStream Target;
    if (!Target.Open(Path, TFileStream::TMode::ReadWrite)) return false;
    TUndoJournal Journal(Target, Hooks);
    Journal.Add(100, Old.data() + 100, New.data() + 100, 3);
    Journal.Add(40000, Old.data() + 40000, New.data() + 40000, 2);
    const bool Done = Journal.Commit() && Journal.Finish();
    if (Error) *Error = Journal.Error();
    return Done;
  }
  TRecovery Recover() const {
    TFileStream Target;
    EXPECT_TRUE(Target.Open(Path, TFileStream::TMode::ReadWrite));
    return TUndoJournal(Target).Recover();
  }
  TBytes Bytes() const { return test::ReadTestFile(Path); }
  bool JournalThere() const { return std::filesystem::exists(JournalPath(Path)); }
};

#ifndef _WIN32
// Killed at each step of a batch, the writer leaves the file old or new, or torn with a journal
// that the next writer rolls back to old.
TEST(UndoJournal, AWriterKilledAtAnyStepLeavesTheFileOldOrNewOnceRolledBack) {
  using TOutcome = TRecovery::TOutcome;
  const struct {
    test::TKillPoint Point;
    bool Torn;  // the file holds neither the old nor the new bytes before the roll-back
    TOutcome Outcome;
    bool NewAfterwards;
  } Cases[] = {
      {{"journal synced", TWriteStep::JournalSynced, 1}, false, TOutcome::Discarded, false},
      {{"first write torn", TWriteStep::Wrote, 1, true}, true, TOutcome::RolledBack, false},
      {{"second write torn", TWriteStep::Wrote, 2, true}, true, TOutcome::RolledBack, false},
      {{"batch synced", TWriteStep::TargetSynced, 1}, false, TOutcome::RolledBack, false},
      {{"journal removed", TWriteStep::JournalRemoved, 1}, false, TOutcome::Nothing, true},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Point.Name);
    const TBatchFile File;
    int Count = 0;
    const TWriteHooks Hooks = test::KillingHooks(Case.Point, Count);
    ASSERT_TRUE(test::Killed(test::RunChild([&] { return File.Write(&Hooks); })));
    const TBytes Before = File.Bytes();
    EXPECT_EQ(Before != File.Old && Before != File.New, Case.Torn);
    EXPECT_EQ(File.JournalThere(), Case.Outcome != TOutcome::Nothing);
    EXPECT_EQ(UnfinishedChangeNote(File.Path).empty(), Case.Outcome == TOutcome::Nothing);

    const TRecovery Recovery = File.Recover();
    EXPECT_EQ(Recovery.Outcome, Case.Outcome) << Recovery.Text;
    EXPECT_EQ(File.Bytes(), Case.NewAfterwards ? File.New : File.Old);
    EXPECT_FALSE(File.JournalThere());
    // And the next writer of the batch completes it.
    if (Case.NewAfterwards) continue;
    EXPECT_TRUE(File.Write(nullptr));
    EXPECT_EQ(File.Bytes(), File.New);
  }
}

#endif  // !_WIN32

// A batch whose second write fails and whose undo fails too: it leaves a complete journal.
TWriteHooks UndoFailing(int& Writes) {
  TWriteHooks Hooks;
  Hooks.Limit = [&Writes](TWriteRole Role, int64_t, int32_t Count, int& Errno) {
    Errno = EIO;
    return Role == TWriteRole::Journal || ++Writes == 1 ? Count : 0;
  };
  return Hooks;
}

TEST(UndoJournal, AJournalThatCannotBeUsedIsRemovedWhenUnfinishedAndKeptOtherwise) {
  using TOutcome = TRecovery::TOutcome;
  TBytes Complete;
  {
    const TBatchFile File;
    int Writes = 0;
    const TWriteHooks Hooks = UndoFailing(Writes);
    ASSERT_FALSE(File.Write(&Hooks));
    Complete = test::ReadTestFile(JournalPath(File.Path));
  }
  const auto Cut = [&](size_t Size) { return TBytes(Complete.begin(), Complete.begin() + static_cast<long>(Size)); };
  const struct {
    const char* Name;
    TBytes Journal;
    std::function<void(TBatchFile&)> Change;  // what happened to the file since
    TOutcome Outcome;
    const char* Text;
  } Cases[] = {
      {"empty", {}, {}, TOutcome::Discarded, "stopped before it changed the file"},
      {"cut in its magic", Cut(5), {}, TOutcome::Discarded, "stopped before it changed the file"},
      {"cut in its header", Cut(20), {}, TOutcome::Discarded, "stopped before it changed the file"},
      {"cut before its checksum's last byte",
       Cut(Complete.size() - 1),
       {},
       TOutcome::Discarded,
       "stopped before it changed the file"},
      {"not Corvane's", {'h', 'e', 'l', 'l', 'o'}, {}, TOutcome::Failed, "is not an undo journal of Corvane"},
      {"the file changed since", Complete,
       [](TBatchFile& File) {
         File.New[101] = 0x42;
         WriteFile(File.Path, File.New);
       },
       TOutcome::Failed, "are neither the old nor the new ones"},
      {"the file cut short since", Complete, [](TBatchFile& File) { std::filesystem::resize_file(File.Path, 1000); },
       TOutcome::Failed, "is shorter than when"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TBatchFile File;
    WriteFile(File.Path, File.New);
    WriteFile(JournalPath(File.Path), Case.Journal);
    if (Case.Change) Case.Change(File);
    const TBytes Before = File.Bytes();
    const TRecovery Recovery = File.Recover();
    EXPECT_EQ(Recovery.Outcome, Case.Outcome);
    EXPECT_NE(Recovery.Text.find(Case.Text), std::string::npos) << Recovery.Text;
    EXPECT_EQ(File.Bytes(), Before);
    EXPECT_EQ(File.JournalThere(), Case.Outcome == TOutcome::Failed);
  }
}

TEST(UndoJournal, AFailedBatchIsUndoneOrKeptForTheNextWriterAndNeverWritesPastTheEnd) {
  const struct {
    const char* Name;
    TWriteHooks Hooks;
    std::function<void(const TBatchFile&)> Meanwhile;  // done to the file before the batch
    const char* Error;
    bool JournalKept;
  } Cases[] = {
      {"the second write fails",
       test::FailingHooks(40000, ENOSPC),
       {},
       "at offset 40000: No space left on device; the batch was undone",
       false},
      {"every write fails, the undo too", test::FailingHooks(0, EIO), {}, "Input/output error", false},
      {"the journal cannot be written",
       test::FailingHooks(-1, ENOSPC, true),
       {},
       "cannot write the undo journal",
       false},
      {"the file was cut short",
       {},
       [](const TBatchFile& File) { std::filesystem::resize_file(File.Path, 30000); },
       "is shorter now (30000 bytes) than when it was read",
       false},
      {"another program changed it",
       {},
       [](const TBatchFile& File) {
         TBytes Other = File.Old;
         Other[40001] = 0;
         WriteFile(File.Path, Other);
       },
       "was changed by another program while it was written (the bytes at offset 40000",
       false},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const TBatchFile File;
    if (Case.Meanwhile) Case.Meanwhile(File);
    const TBytes Before = File.Bytes();
    std::string Error;
    EXPECT_FALSE(File.Write(&Case.Hooks, &Error));
    EXPECT_NE(Error.find(Case.Error), std::string::npos) << Error;
    EXPECT_EQ(Error.find('\n'), std::string::npos);
    EXPECT_EQ(File.Bytes(), Before);
    EXPECT_EQ(File.JournalThere(), Case.JournalKept);
  }

  // A batch whose undo fails too leaves its journal, and the next writer puts the old bytes back.
  const TBatchFile File;
  int Writes = 0;
  const TWriteHooks Hooks = UndoFailing(Writes);
  std::string Error;
  EXPECT_FALSE(File.Write(&Hooks, &Error));
  EXPECT_NE(Error.find("stay in the undo journal"), std::string::npos) << Error;
  EXPECT_TRUE(File.JournalThere());
  EXPECT_NE(File.Bytes(), File.Old);
  EXPECT_EQ(File.Recover().Outcome, TRecovery::TOutcome::RolledBack);
  EXPECT_EQ(File.Bytes(), File.Old);
}

#ifndef _WIN32
uint32_t ModeOf(const std::filesystem::path& File) {
  struct stat Info {};
  stat(File.c_str(), &Info);
  return Info.st_mode & 07777;
}

// A new file in the place of each kind of target.
TEST(OutputFile, ReplacesOnlyARegularFileWithOneLinkAndKeepsItsModeAndOwner) {
  const TBytes Content = Pattern(5000, 7);
  const TBytes Earlier = Pattern(300, 9);
  struct TCase {
    const char* Name;
    std::function<std::filesystem::path(const TTempFolder&)> Make;  // the target as named
    const char* Error;                                              // empty: it is replaced
    std::filesystem::path Written;                                  // relative: in the folder
    uint32_t Mode;
  };
  const auto Regular = [&](const TTempFolder& Folder, const char* Name, mode_t Mode) {
    WriteFile(Folder / Name, Earlier);
    chmod((Folder / Name).c_str(), Mode);
    return Folder / Name;
  };
  const TCase Cases[] = {
      {"absent", [](const TTempFolder& Folder) { return Folder / "out.ac3"; }, "", "out.ac3", 0644},
      {"a file of mode 600", [&](const TTempFolder& Folder) { return Regular(Folder, "out.ac3", 0600); }, "", "out.ac3",
       0600},
      {"a symlink to a file",
       [&](const TTempFolder& Folder) {
         Regular(Folder, "real.ac3", 0640);
         std::filesystem::create_symlink("real.ac3", Folder / "out.ac3");
         return Folder / "out.ac3";
       },
       "", "real.ac3", 0640},
      {"a symlink to nothing",
       [](const TTempFolder& Folder) {
         std::filesystem::create_symlink("later.ac3", Folder / "out.ac3");
         return Folder / "out.ac3";
       },
       "", "later.ac3", 0644},
      {"a FIFO",
       [](const TTempFolder& Folder) {
         mkfifo((Folder / "out.ac3").c_str(), 0600);
         return Folder / "out.ac3";
       },
       "it is a FIFO, not a regular file", "", 0},
      {"a symlink to a FIFO",
       [](const TTempFolder& Folder) {
         mkfifo((Folder / "fifo").c_str(), 0600);
         std::filesystem::create_symlink("fifo", Folder / "out.ac3");
         return Folder / "out.ac3";
       },
       "fifo): it is a FIFO, not a regular file", "", 0},
      {"a device", [](const TTempFolder&) { return std::filesystem::path("/dev/null"); },
       "cannot write /dev/null: it is a device, not a regular file", "", 0},
      {"a socket",
       [](const TTempFolder& Folder) {
         sockaddr_un Address{};
         Address.sun_family = AF_UNIX;
         std::strncpy(Address.sun_path, (Folder / "out.ac3").c_str(), sizeof(Address.sun_path) - 1);
         const int Socket = socket(AF_UNIX, SOCK_STREAM, 0);
         bind(Socket, reinterpret_cast<sockaddr*>(&Address), sizeof(Address));
         close(Socket);
         return Folder / "out.ac3";
       },
       "it is a socket, not a regular file", "", 0},
      {"a folder",
       [](const TTempFolder& Folder) {
         std::filesystem::create_directory(Folder / "out.ac3");
         return Folder / "out.ac3";
       },
       "it is a folder, not a regular file", "", 0},
      {"a file with two hard links",
       [&](const TTempFolder& Folder) {
         Regular(Folder, "out.ac3", 0644);
         std::filesystem::create_hard_link(Folder / "out.ac3", Folder / "other.ac3");
         return Folder / "out.ac3";
       },
       "it has 2 hard links, and a new file in its place would part it from the others", "", 0},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const TTempFolder Folder;
    WriteFile(Folder / "source.ac3", Content);
    chmod((Folder / "source.ac3").c_str(), 0444);
    const std::filesystem::path Target = Case.Make(Folder);
    const std::vector<std::string> Before = Folder.Names();
    TFileStream Source;
    TFileStream::TIdentity Identity;
    ASSERT_TRUE(Source.Open(Folder / "source.ac3", TFileStream::TMode::Read) && Source.Identity(Identity));

    TOutputFile Out;
    const bool Written = Out.Open(Target, Identity, {}) && Out.Append(Content.data(), 2000) &&
                         Out.Append(Content.data() + 2000, 3000) && Out.Commit();
    EXPECT_EQ(Written, *Case.Error == 0) << Out.Error();
    if (!Written) {
      EXPECT_NE(Out.Error().find(Case.Error), std::string::npos) << Out.Error();
      EXPECT_EQ(Folder.Names(), Before);
      continue;
    }
    const std::filesystem::path File = Folder / Case.Written;
    EXPECT_EQ(test::ReadTestFile(File), Content);
    EXPECT_EQ(ModeOf(File), Case.Mode);
    // A symlink stays one; nothing but the target changed.
    EXPECT_EQ(std::filesystem::is_symlink(std::filesystem::symlink_status(Folder / "out.ac3")),
              Case.Written != "out.ac3");
    std::vector<std::string> After = Before;
    if (std::find(After.begin(), After.end(), Case.Written.string()) == After.end()) {
      After.push_back(Case.Written.string());
      std::sort(After.begin(), After.end());
    }
    EXPECT_EQ(Folder.Names(), After);
  }
}

TEST(OutputFile, KeepsTheOwnerOfTheFileItReplaces) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a file another owner needs root";
  const TTempFolder Folder;
  WriteFile(Folder / "source.ac3", Pattern(100, 1));
  WriteFile(Folder / "out.ac3", Pattern(50, 2));
  ASSERT_EQ(chown((Folder / "out.ac3").c_str(), 65534, 65534), 0);
  TFileStream Source;
  TFileStream::TIdentity Identity;
  ASSERT_TRUE(Source.Open(Folder / "source.ac3", TFileStream::TMode::Read) && Source.Identity(Identity));
  TOutputFile Out;
  const TBytes Content = Pattern(100, 1);
  ASSERT_TRUE(Out.Open(Folder / "out.ac3", Identity, {}) && Out.Append(Content.data(), 100) && Out.Commit());
  struct stat Info {};
  ASSERT_EQ(stat((Folder / "out.ac3").c_str(), &Info), 0);
  EXPECT_EQ(Info.st_uid, 65534u);
  EXPECT_EQ(Info.st_gid, 65534u);
}

#endif  // !_WIN32

// A target another writer holds is refused at once; the temporary files of killed runs beside
// it are removed and named, those of a run still going and any other name are not.
TEST(OutputFile, LeftoversOfKilledRunsAreRemovedAndNamedAndALockedTargetIsRefused) {
  const TTempFolder Folder;
  const TBytes Content = Pattern(100, 1);
  WriteFile(Folder / "source.ac3", Content);
  WriteFile(Folder / "out.ac3", Pattern(10, 3));
  for (const char* Name : {".out.ac3.corvane-abc123.tmp", ".out.ac3.corvane-live99.tmp", ".out.ac3.corvane-abc_12.tmp",
                           ".other.ac3.corvane-abc123.tmp", ".out.ac3.corvane-abc1234.tmp"})
    WriteFile(Folder / Name, Pattern(10, 4));
  TFileStream Live;
  ASSERT_TRUE(Live.Open(Folder / ".out.ac3.corvane-live99.tmp", TFileStream::TMode::ReadWrite));
  TFileStream Source;
  TFileStream::TIdentity Identity;
  ASSERT_TRUE(Source.Open(Folder / "source.ac3", TFileStream::TMode::Read) && Source.Identity(Identity));

  {
    TFileStream Other;
    ASSERT_TRUE(Other.Open(Folder / "out.ac3", TFileStream::TMode::ReadWrite));
    TOutputFile Out;
    EXPECT_FALSE(Out.Open(Folder / "out.ac3", Identity, {}));
    EXPECT_EQ(Out.Error(), "cannot write " + (Folder / "out.ac3").string() + ": another program is writing it");
  }
  std::vector<std::string> Warnings;
  TOutputFile Out;
  ASSERT_TRUE(Out.Open(Folder / "out.ac3", Identity, [&](const std::string& Text) { Warnings.push_back(Text); }));
  ASSERT_TRUE(Out.Append(Content.data(), 100) && Out.Commit());
  EXPECT_EQ(Warnings, std::vector<std::string>{"removed " + (Folder / ".out.ac3.corvane-abc123.tmp").string() +
                                               ", a temporary file that an earlier run left behind when it was "
                                               "stopped"});
  EXPECT_EQ(Folder.Names(), (std::vector<std::string>{".other.ac3.corvane-abc123.tmp", ".out.ac3.corvane-abc1234.tmp",
                                                      ".out.ac3.corvane-abc_12.tmp", ".out.ac3.corvane-live99.tmp",
                                                      "out.ac3", "source.ac3"}));
}

// Content written through a TOutputFile over an existing out.ac3, Piece bytes per Append, with
// writes failing for want of space from byte FailAt on (never when it is negative).
struct TOutputRun {
  bool Committed = false;
  std::string Error;
  std::string Target;  // the path of out.ac3
  TBytes After;        // out.ac3 after the run
  std::vector<std::string> Names;
};

TOutputRun WriteThroughOutput(const TBytes& Content, int64_t Piece, int64_t FailAt) {
  const TTempFolder Folder;
  WriteFile(Folder / "source.ac3", Content);
  WriteFile(Folder / "out.ac3", Pattern(20, 6));
  TOutputRun Run;
  Run.Target = (Folder / "out.ac3").string();
  TFileStream Source;
  TFileStream::TIdentity Identity;
  EXPECT_TRUE(Source.Open(Folder / "source.ac3", TFileStream::TMode::Read) && Source.Identity(Identity));
  const TWriteHooks Hooks = test::FailingHooks(FailAt, ENOSPC);
  {
    TOutputFile Out(&Hooks);
    EXPECT_TRUE(Out.Open(Folder / "out.ac3", Identity, {}));
    const auto Size = static_cast<int64_t>(Content.size());
    bool Taken = true;
    for (int64_t At = 0; At < Size && Taken; At += Piece)
      Taken = Out.Append(Content.data() + At, std::min(Piece, Size - At));
    Run.Committed = Taken && Out.Commit();
    Run.Error = Out.Error();
    // Looked at while the output file is still there: a failure cleans up at once.
    Run.After = test::ReadTestFile(Folder / "out.ac3");
    Run.Names = Folder.Names();
  }
  return Run;
}

// Writes that stop at a chosen byte for want of space: the reason is the real one, and the
// target and its folder are as they were.
TEST(OutputFile, AWriteThatFailsPartWayLeavesTheTargetAsItWas) {
  const TBytes Content = Pattern(10000, 5);
  for (const int64_t FailAt : {int64_t{0}, int64_t{1}, int64_t{4095}, int64_t{9999}}) {
    SCOPED_TRACE(FailAt);
    const TOutputRun Run = WriteThroughOutput(Content, 4096, FailAt);
    EXPECT_FALSE(Run.Committed);
    EXPECT_NE(Run.Error.find("cannot write " + Run.Target + ": No space left on device"), std::string::npos)
        << Run.Error;
    EXPECT_EQ(Run.After, Pattern(20, 6));
    EXPECT_EQ(Run.Names, (std::vector<std::string>{"out.ac3", "source.ac3"}));
  }
}

// The bytes go out on a thread of their own, a slot at a time, while the caller goes on: bytes
// given in pieces that straddle the slots arrive whole and in order, and a write that fails in
// any slot fails the file and leaves the target as it was.
TEST(OutputFile, BytesGivenInPiecesArriveInOrderAndAFailedWriteInAnySlotFailsTheFile) {
  TBytes Content(5 * 1024 * 1024 + 77);
  std::mt19937 Random(17);
  for (uint8_t& Byte : Content) Byte = static_cast<uint8_t>(Random());
  const auto Size = static_cast<int64_t>(Content.size());
  for (const int64_t FailAt : {int64_t{-1}, int64_t{0}, int64_t{(1 << 20) + 3}, int64_t{3 << 20}, Size - 1}) {
    SCOPED_TRACE(FailAt);
    const TOutputRun Run = WriteThroughOutput(Content, 700001, FailAt);
    EXPECT_EQ(Run.Committed, FailAt < 0) << Run.Error;
    if (Run.Committed) {
      EXPECT_EQ(Run.After, Content);
      continue;
    }
    EXPECT_NE(Run.Error.find("No space left on device"), std::string::npos) << Run.Error;
    EXPECT_EQ(Run.After, Pattern(20, 6));
    EXPECT_EQ(Run.Names, (std::vector<std::string>{"out.ac3", "source.ac3"}));
  }
}

}  // namespace
}  // namespace corvane
