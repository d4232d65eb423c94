// The dialnorm rewrite: every rewritten frame passes its CRCs and differs from the original in
// its dialnorm bits and CRC words only, damaged and incomplete frames and junk stay as they were,
// byte for byte; and whatever stops a rewrite (a full disk, a kill, another writer, a source that
// changes) leaves every frame either as it was or rewritten, with one line that says so.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "analysis/AC3Crc.h"
#include "analysis/AC3PlusSyntax.h"
#include "analysis/AC3Syntax.h"
#include "core/FileStream.h"
#include "support/AC3PlusComposer.h"
#include "support/WriterFaults.h"
#include "viewer/DialnormRewrite.h"
#include "viewer/ViewerTestSupport.h"

namespace corvane {
namespace {

using test::AppendBytes;
using test::TBytes;

using test::TTempFolder;

int32_t CodedSize(const uint8_t* Frame, bool EAC3) {
  return EAC3 ? AC3PlusCodedFrameSize(Frame) : AC3CodedFrameSize(Frame);
}

TFrameCrc CheckCrc(const uint8_t* Frame, int32_t Size, bool EAC3) {
  return EAC3 ? CheckAC3PlusFrameCrc(Frame, Size) : CheckAC3FrameCrc(Frame, Size);
}

// Bits of the frame that a rewrite to N may change: the dialnorm fields the header carries and
// the CRC words. Also checks what the header's dialnorm fields hold now.
template <typename TFrame>
std::set<int32_t> DialnormBits(const uint8_t* Frame, int32_t Size, uint8_t Dialnorm, uint8_t Dialnorm2,
                               bool (*Parse)(const uint8_t*, int32_t, TFrame&), std::vector<uint32_t>& Values) {
  auto Decoded = std::make_unique<TFrame>();
  Parse(Frame, Size, *Decoded);
  std::set<int32_t> Bits;
  for (const TFieldPosition& Field : Decoded->Layout.Decoded()) {
    if (Field.Field != Dialnorm && Field.Field != Dialnorm2) continue;
    Values.push_back(Field.Value);
    for (int32_t Bit = 0; Bit < 5; ++Bit) Bits.insert(Field.BitOffset + Bit);
  }
  return Bits;
}

std::set<int32_t> ChangeableBits(const uint8_t* Frame, int32_t Size, bool EAC3, std::vector<uint32_t>& Values) {
  std::set<int32_t> Bits =
      EAC3 ? DialnormBits<TAC3PlusFrame>(Frame, Size, static_cast<uint8_t>(TAC3PlusFieldId::dialnorm),
                                         static_cast<uint8_t>(TAC3PlusFieldId::dialnorm2), parse_ac3_plus_frame, Values)
           : DialnormBits<TAC3Frame>(Frame, Size, static_cast<uint8_t>(TAC3FieldId::dialnorm),
                                     static_cast<uint8_t>(TAC3FieldId::dialnorm2), parse_ac3_frame, Values);
  for (int32_t Bit = (Size - 2) * 8; Bit < Size * 8; ++Bit) Bits.insert(Bit);
  if (!EAC3)
    for (int32_t Bit = 16; Bit < 32; ++Bit) Bits.insert(Bit);
  return Bits;
}

// Compares the stream after a rewrite to N with the one before, frame by frame and bit by bit:
// the frames at Untouched (and bytes after the last whole frame) are unchanged, every other frame
// carries N, passes its CRCs and differs in its changeable bits only.
void ExpectRewritten(const TBytes& Before, const TBytes& After, bool EAC3, uint32_t N,
                     const std::set<size_t>& Untouched) {
  ASSERT_EQ(Before.size(), After.size());
  size_t At = 0;
  for (size_t Index = 0; At + 6 <= Before.size(); ++Index) {
    const int32_t Size = CodedSize(Before.data() + At, EAC3);
    if (At + static_cast<size_t>(Size) > Before.size()) break;
    const uint8_t* Old = Before.data() + At;
    const uint8_t* New = After.data() + At;
    if (Untouched.count(Index)) {
      EXPECT_TRUE(std::equal(Old, Old + Size, New)) << "frame " << Index << " was changed";
    } else {
      EXPECT_TRUE(CheckCrc(New, Size, EAC3).Passed()) << "frame " << Index;
      std::vector<uint32_t> OldValues;
      std::vector<uint32_t> NewValues;
      const std::set<int32_t> Allowed = ChangeableBits(Old, Size, EAC3, OldValues);
      ChangeableBits(New, Size, EAC3, NewValues);
      EXPECT_EQ(NewValues, std::vector<uint32_t>(OldValues.size(), N)) << "frame " << Index;
      for (int32_t Bit = 0; Bit < Size * 8; ++Bit) {
        const bool Differs = ((Old[Bit / 8] ^ New[Bit / 8]) >> (7 - Bit % 8)) & 1;
        if (Differs && !Allowed.count(Bit)) {
          ADD_FAILURE() << "frame " << Index << " bit " << Bit << " changed";
          return;
        }
      }
    }
    At += static_cast<size_t>(Size);
  }
  EXPECT_TRUE(std::equal(Before.begin() + static_cast<std::ptrdiff_t>(At), Before.end(),
                         After.begin() + static_cast<std::ptrdiff_t>(At)));
}

TBytes WithCrcs(TBytes Frame, bool EAC3) {
  const auto Size = static_cast<int32_t>(Frame.size());
  EAC3 ? RepairAC3PlusFrameCrc(Frame.data(), Size) : RepairAC3FrameCrc(Frame.data(), Size);
  return Frame;
}

// Dual mono (acmod 0) carries dialnorm2 as well.
TBytes DualMonoAC3(size_t Count) {
  TAC3Frame Header = test::AC3Header(0, 8, 0);
  Header.dialnorm = 20;
  Header.dialnorm2 = 25;
  TBytes Stream;
  for (size_t Frame = 0; Frame < Count; ++Frame)
    AppendBytes(Stream, WithCrcs(test::ComposeAC3Frame(Header, 256), false));
  return Stream;
}

TBytes DualMonoEAC3(size_t Count) {
  TAC3PlusFrame Frame = test::PlainAC3PlusFrame();
  Frame.frmsiz = 127;
  Frame.acmod = 0;
  Frame.dialnorm = 20;
  Frame.dialnorm2 = 12;
  TBytes Stream;
  for (size_t Index = 0; Index < Count; ++Index)
    AppendBytes(Stream, WithCrcs(test::ComposeAC3PlusFrame(Frame).Bytes, true));
  return Stream;
}

struct TStreamCase {
  const char* Name;
  TBytes Stream;
  bool EAC3;
};

std::vector<TStreamCase> StreamCases() {
  return {{"AC-3 5.1", test::ReadTestFile(test::TestDataPath("ac3_48k_51.ac3")), false},
          {"AC-3 44.1 kHz", test::ReadTestFile(test::TestDataPath("ac3_44k_stereo.ac3")), false},
          {"AC-3 dual mono", DualMonoAC3(12), false},
          {"E-AC-3 5.1", test::ReadTestFile(test::TestDataPath("eac3_51_48k_meta.eac3")), true},
          {"E-AC-3 dual mono", DualMonoEAC3(12), true}};
}

// The stream with one bit of its fourth frame's last byte before crc2 flipped (crc2 fails), and
// the first 100 bytes of a frame after its end (running past the end of the file).
TBytes Damaged(const TBytes& Stream, bool EAC3) {
  TBytes Out = Stream;
  size_t At = 0;
  for (int Frame = 0; Frame < 3; ++Frame) At += static_cast<size_t>(CodedSize(Out.data() + At, EAC3));
  Out[At + static_cast<size_t>(CodedSize(Out.data() + At, EAC3)) - 3] ^= 0x08;
  Out.insert(Out.end(), Stream.begin(), Stream.begin() + 100);
  return Out;
}

TEST(DialnormRewrite, EveryFramePassesAfterwardsAndOnlyItsDialnormAndCrcBitsChange) {
  for (const TStreamCase& Case : StreamCases()) {
    SCOPED_TRACE(Case.Name);
    const TBytes Before = Damaged(Case.Stream, Case.EAC3);
    const test::TTempFile File(Before);
    std::vector<int64_t> Skipped;
    TDialnormRequest Request;
    Request.File = File.Path();
    Request.Dialnorm = 9;
    Request.Skipped = [&](const TDialnormSkipped& Frame) { Skipped.push_back(Frame.Offset); };

    // Into an output file first: the source stays as it was, and nothing else is left behind.
    const TTempFolder Folder;
    Request.Output = Folder.Path() / "out.ac3";
    const TDialnormResult Copied = RewriteDialnorm(Request);
    ASSERT_TRUE(Copied.Completed) << Copied.Error;
    EXPECT_EQ(File.ReadAll(), Before);
    EXPECT_EQ(Folder.Names(), std::vector<std::string>{"out.ac3"});
    const TBytes Output = test::ReadTestFile(*Request.Output);

    // Then in place, which gives the same bytes.
    Request.Output.reset();
    Skipped.clear();
    const TDialnormResult Result = RewriteDialnorm(Request);
    ASSERT_TRUE(Result.Completed) << Result.Error;
    const TBytes After = File.ReadAll();
    EXPECT_EQ(After, Output);
    ExpectRewritten(Before, After, Case.EAC3, 9, {3});
    EXPECT_EQ(Result.BadCrc, 1);
    EXPECT_EQ(Result.NotWhole, 1);
    EXPECT_EQ(Result.Rewritten, Result.Frames - 2);
    EXPECT_FALSE(Result.AllSet());
    ASSERT_EQ(Skipped.size(), 2u);
    EXPECT_EQ(Skipped[1], static_cast<int64_t>(Case.Stream.size()));

    // A second run finds the value set everywhere it could be.
    const TDialnormResult Again = RewriteDialnorm(Request);
    EXPECT_EQ(Again.Rewritten, 0);
    EXPECT_EQ(Again.AlreadySet, Result.Frames - 2);
    EXPECT_EQ(File.ReadAll(), After);
  }
}

// ------------------------------------------------------------------------------------------
// Streams the test builds itself, with the bytes a rewrite must leave

constexpr uint32_t Before20 = 20;
constexpr uint32_t Set = 9;

// A 256-byte AC-3 frame of 48 kHz (dual mono with acmod 0), its CRCs right.
TBytes AC3Frame(uint32_t Dialnorm, uint32_t acmod = 2, uint32_t Dialnorm2 = 0) {
  TAC3Frame Header = test::AC3Header(0, 8, acmod);
  Header.dialnorm = Dialnorm;
  Header.dialnorm2 = Dialnorm2;
  return WithCrcs(test::ComposeAC3Frame(Header, static_cast<size_t>(AC3FrameSizeBytes(0, 8))), false);
}

// A 256-byte E-AC-3 frame, its CRC right.
TBytes EAC3Frame(uint32_t Dialnorm) {
  TAC3PlusFrame Frame = test::PlainAC3PlusFrame();
  Frame.frmsiz = 127;
  Frame.dialnorm = Dialnorm;
  return WithCrcs(test::ComposeAC3PlusFrame(Frame).Bytes, true);
}

enum class TFate { Rewritten, AlreadySet, BadCrc, NotWhole, Junk };

struct TPart {
  const char* Name;
  TBytes Before;
  TBytes After;  // the bytes the rewrite to Set leaves
  TFate Fate;
};

std::vector<TPart> MixedParts() {
  TBytes Damaged = AC3Frame(Before20);
  Damaged[230] ^= 0x01;  // in the last 3/8: crc2 fails
  TBytes Junk = test::JunkWithSyncBytes(333, 5);
  TBytes FalseHeader = AC3Frame(Before20);
  FalseHeader[2] ^= 0xFF;
  std::copy(FalseHeader.begin(), FalseHeader.begin() + 16, Junk.begin() + 100);
  const TBytes Whole = AC3Frame(Before20);
  const TBytes Cut(Whole.begin(), Whole.begin() + 200);  // past crc1's 160 bytes
  TAC3Frame Unsized = test::AC3Header(0, 40);
  Unsized.dialnorm = Before20;
  const TBytes Unknown = test::ComposeAC3Frame(Unsized, 300);
  const TBytes Tail(Whole.begin(), Whole.begin() + 100);
  return {
      {"a frame", AC3Frame(Before20), AC3Frame(Set), TFate::Rewritten},
      {"junk with a false syncword", Junk, Junk, TFate::Junk},
      {"a frame after junk", AC3Frame(Before20), AC3Frame(Set), TFate::Rewritten},
      {"dual mono, dialnorm set, dialnorm2 not", AC3Frame(Set, 0, 25), AC3Frame(Set, 0, Set), TFate::Rewritten},
      {"a frame already set", AC3Frame(Set), AC3Frame(Set), TFate::AlreadySet},
      {"a frame cut short by a splice", Cut, Cut, TFate::NotWhole},
      {"the frame after the splice", AC3Frame(Before20), AC3Frame(Set), TFate::Rewritten},
      {"a frame of unknown size", Unknown, Unknown, TFate::NotWhole},
      {"an E-AC-3 frame", EAC3Frame(Before20), EAC3Frame(Set), TFate::Rewritten},
      {"the AC-3 frame after it", AC3Frame(Before20), AC3Frame(Set), TFate::Rewritten},
      {"a damaged frame", Damaged, Damaged, TFate::BadCrc},
      {"a frame after the damage", AC3Frame(Before20), AC3Frame(Set), TFate::Rewritten},
      {"a frame the file cuts off", Tail, Tail, TFate::NotWhole},
  };
}

TEST(DialnormRewrite, OverJunkASpliceAndFramesOfEveryKindItLeavesTheBytesBuiltForIt) {
  const std::vector<TPart> Parts = MixedParts();
  TBytes Before;
  TBytes Expected;
  TDialnormResult Counts;
  for (const TPart& Part : Parts) {
    AppendBytes(Before, Part.Before);
    AppendBytes(Expected, Part.After);
    Counts.Frames += Part.Fate == TFate::Junk ? 0 : 1;
    Counts.Rewritten += Part.Fate == TFate::Rewritten;
    Counts.AlreadySet += Part.Fate == TFate::AlreadySet;
    Counts.BadCrc += Part.Fate == TFate::BadCrc;
    Counts.NotWhole += Part.Fate == TFate::NotWhole;
  }
  for (const bool InPlace : {false, true}) {
    SCOPED_TRACE(InPlace ? "in place" : "into an output file");
    const TTempFolder Folder;
    const std::filesystem::path Source = Folder / "mixed.ac3";
    test::WriteFile(Source, Before);
    TDialnormRequest Request;
    Request.File = Source;
    Request.Dialnorm = Set;
    if (!InPlace) Request.Output = Folder / "out.ac3";
    const TDialnormResult Result = RewriteDialnorm(Request);
    ASSERT_TRUE(Result.Completed) << Result.Error;
    const TBytes After = test::ReadTestFile(InPlace ? Source : *Request.Output);
    ASSERT_EQ(After.size(), Expected.size());
    size_t At = 0;
    for (const TPart& Part : Parts) {
      EXPECT_TRUE(std::equal(Part.After.begin(), Part.After.end(), After.begin() + static_cast<long>(At))) << Part.Name;
      At += Part.After.size();
    }
    EXPECT_EQ(Result.Frames, Counts.Frames);
    EXPECT_EQ(Result.Rewritten, Counts.Rewritten);
    EXPECT_EQ(Result.AlreadySet, Counts.AlreadySet);
    EXPECT_EQ(Result.BadCrc, Counts.BadCrc);
    EXPECT_EQ(Result.NotWhole, Counts.NotWhole);
  }
}

// ------------------------------------------------------------------------------------------
// Faults: a full disk, a kill, another writer, a source that changes

// A clean stream of 63 frames of 1536 bytes in a folder of its own, and what a rewrite to Set
// makes of it. In place, batches of five frames.
struct TRewriteFile {
  TTempFolder Folder;
  std::filesystem::path Path = Folder / "stream.ac3";
  std::filesystem::path Output = Folder / "out.ac3";
  TBytes Old = test::ReadTestFile(test::TestDataPath("ac3_48k_51.ac3"));
  TBytes New;
  TRewriteFile() {
    std::filesystem::copy_file(test::TestDataPath("ac3_48k_51.ac3"), Path);
    TDialnormRequest Request = InPlace();
    Request.Output = Folder / "new.ac3";
    if (!RewriteDialnorm(Request).AllSet()) throw std::runtime_error("the reference rewrite failed");
    New = test::ReadTestFile(*Request.Output);
    std::filesystem::remove(*Request.Output);
  }
  TDialnormRequest InPlace(const TWriteHooks* Hooks = nullptr) const {
    TDialnormRequest Request;
    Request.File = Path;
    Request.Dialnorm = Set;
    Request.Hooks = Hooks;
    Request.BatchBytes = 4 * 1536;
    return Request;
  }
  TDialnormRequest IntoOutput(const TWriteHooks* Hooks = nullptr) const {
    TDialnormRequest Request = InPlace(Hooks);
    Request.Output = Output;
    return Request;
  }
  // Each frame of File either as it was or as the rewrite makes it.
  void ExpectEveryFrameOldOrNew(const std::filesystem::path& File) const {
    const TBytes Now = test::ReadTestFile(File);
    ASSERT_EQ(Now.size(), Old.size());
    for (size_t At = 0; At < Now.size(); At += 1536) {
      const auto Frame = Now.begin() + static_cast<long>(At);
      EXPECT_TRUE(std::equal(Frame, Frame + 1536, Old.begin() + static_cast<long>(At)) ||
                  std::equal(Frame, Frame + 1536, New.begin() + static_cast<long>(At)))
          << "frame at " << At;
    }
  }
};

TEST(DialnormRewrite, AWriteThatFailsPartWayStopsWithOneLineAndEveryFrameOldOrNew) {
  const struct {
    const char* Name;
    bool Output;
    int64_t FailAt;  // the file byte writes stop at for want of space
    int64_t Rewritten;
  } Cases[] = {
      {"in place, in the third batch", false, 12 * 1536 + 100, 10},
      {"in place, at the first byte", false, 0, 0},
      {"into an output file, at its first byte", true, 0, 0},
      {"into an output file, at its last byte", true, 63 * 1536 - 1, 0},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const TRewriteFile File;
    std::filesystem::copy_file(File.Path, File.Output);
    const TWriteHooks Hooks = test::FailingHooks(Case.FailAt, ENOSPC);
    const TDialnormResult Result = RewriteDialnorm(Case.Output ? File.IntoOutput(&Hooks) : File.InPlace(&Hooks));
    EXPECT_FALSE(Result.Completed);
    EXPECT_NE(Result.Error.find("No space left on device"), std::string::npos) << Result.Error;
    EXPECT_EQ(Result.Error.find('\n'), std::string::npos);
    EXPECT_EQ(File.Folder.Names(), (std::vector<std::string>{"out.ac3", "stream.ac3"}));
    if (Case.Output) {
      EXPECT_EQ(test::ReadTestFile(File.Output), File.Old);
      EXPECT_EQ(test::ReadTestFile(File.Path), File.Old);
      continue;
    }
    const std::string FailedAt = ToUtf8(OffsetText(Case.Rewritten * 1536));
    EXPECT_NE(Result.Error.find("; the batch was undone; stopped at the frame at " + FailedAt + ": the " +
                                std::to_string(Case.Rewritten) +
                                " frames before it carry dialnorm 9, it and the "
                                "frames after it are as they were"),
              std::string::npos)
        << Result.Error;
    EXPECT_EQ(Result.FailedAt, Case.Rewritten * 1536);
    const TBytes After = test::ReadTestFile(File.Path);
    const auto Split = static_cast<long>(Case.Rewritten * 1536);
    EXPECT_TRUE(std::equal(After.begin(), After.begin() + Split, File.New.begin()));
    EXPECT_TRUE(std::equal(After.begin() + Split, After.end(), File.Old.begin() + Split));
  }
}

#ifndef _WIN32
// Killed at a chosen point, a rewrite leaves every frame old or new once the next writer (or a
// restore) has rolled back its unfinished batch, and the next run completes.
TEST(DialnormRewrite, AWriterKilledAtAChosenPointLeavesEveryFrameOldOrNewAndTheNextRunCompletes) {
  const struct {
    test::TKillPoint Point;
    bool Output;
    bool Journal;   // in place: a journal is left behind
    bool Leftover;  // into an output: a temporary file is left behind
  } Cases[] = {
      {{"the second batch's journal synced", TWriteStep::JournalSynced, 2}, false, true, false},
      {{"the second batch torn", TWriteStep::Wrote, 2, true}, false, true, false},
      {{"the second batch synced", TWriteStep::TargetSynced, 2}, false, true, false},
      {{"the last batch synced", TWriteStep::TargetSynced, 13}, false, true, false},
      {{"the journal removed", TWriteStep::JournalRemoved, 1}, false, false, false},
      {{"the copy torn", TWriteStep::Wrote, 1, true}, true, false, true},
      {{"the copy synced", TWriteStep::TargetSynced, 1}, true, false, true},
      {{"the copy renamed", TWriteStep::Renamed, 1}, true, false, false},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Point.Name);
    const TRewriteFile File;
    if (Case.Output) std::filesystem::copy_file(File.Path, File.Output);
    int Count = 0;
    const TWriteHooks Hooks = test::KillingHooks(Case.Point, Count);
    const TDialnormRequest Request = Case.Output ? File.IntoOutput(&Hooks) : File.InPlace(&Hooks);
    ASSERT_TRUE(test::Killed(test::RunChild([&] { return RewriteDialnorm(Request).Completed; })));

    EXPECT_EQ(JournalPresent(File.Path), Case.Journal);
    const std::vector<std::string> Names =
        Case.Output ? std::vector<std::string>{"out.ac3", "stream.ac3"} : std::vector<std::string>{"stream.ac3"};
    EXPECT_EQ(File.Folder.Names().size(), Names.size() + (Case.Journal || Case.Leftover ? 1 : 0));
    if (Case.Journal) {
      EXPECT_NE(RestoreFile(File.Path).Outcome, TRecovery::TOutcome::Failed);
    }
    File.ExpectEveryFrameOldOrNew(Case.Output ? File.Output : File.Path);
    if (Case.Output) {
      EXPECT_EQ(test::ReadTestFile(File.Path), File.Old);
    }

    std::vector<std::string> Notices;
    TDialnormRequest Again = Case.Output ? File.IntoOutput() : File.InPlace();
    Again.Notice = [&](const std::string& Text) { Notices.push_back(Text); };
    const TDialnormResult Result = RewriteDialnorm(Again);
    ASSERT_TRUE(Result.Completed) << Result.Error;
    EXPECT_EQ(test::ReadTestFile(Case.Output ? File.Output : File.Path), File.New);
    ASSERT_EQ(Notices.size(), Case.Leftover ? 1u : 0u);
    if (Case.Leftover) {
      EXPECT_EQ(Notices[0].rfind("removed " + (File.Folder / ".out.ac3.corvane-").string(), 0), 0u) << Notices[0];
    }
    EXPECT_EQ(File.Folder.Names(), Names);
  }
}

// While one rewrite runs, another of the same file (in place, or with the file as its output)
// fails at once with one line; the first one completes.
TEST(DialnormRewrite, ASecondWriterFailsAtOnceWhileTheFirstGoesOn) {
  const TRewriteFile File;
  int Go[2];
  ASSERT_EQ(pipe(Go), 0);
  TWriteHooks Waiting;
  Waiting.Reached = [&](TWriteStep Step) {
    char Byte = 0;
    if (Step == TWriteStep::JournalSynced) (void)!read(Go[0], &Byte, 1);
  };
  std::fflush(nullptr);
  const pid_t First = fork();
  if (First == 0) {
    close(Go[1]);
    _exit(RewriteDialnorm(File.InPlace(&Waiting)).AllSet() ? 0 : 1);
  }
  for (int Wait = 0; Wait < 2000 && !JournalPresent(File.Path); ++Wait) usleep(5000);
  ASSERT_TRUE(JournalPresent(File.Path));

  TDialnormRequest Second = File.InPlace();
  Second.Dialnorm = 27;
  for (const bool Output : {false, true}) {
    if (Output) Second.Output = File.Path;
    const auto Start = std::chrono::steady_clock::now();
    const TDialnormResult Result = RewriteDialnorm(Second);
    EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(2));
    EXPECT_FALSE(Result.Completed);
    EXPECT_EQ(Result.Error, "cannot write " + File.Path.string() + ": another program is writing it");
  }
  // Go on, to the end: the first writer never waits again.
  close(Go[1]);
  int Status = 0;
  waitpid(First, &Status, 0);
  close(Go[0]);
  EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0);
  EXPECT_EQ(test::ReadTestFile(File.Path), File.New);
  EXPECT_EQ(File.Folder.Names(), std::vector<std::string>{"stream.ac3"});
}

// A source that grows, shrinks, is replaced or written while it is read fails the rewrite into
// an output, which is left as it was; in place, a file cut short gets nothing written past its
// end, and one that grows is not called complete. A file that changes while the value to set is
// chosen (measured) gets nothing written at all.
TEST(DialnormRewrite, ASourceThatChangesWhileItIsReadFailsTheRewrite) {
  const TBytes Extra = test::ReadTestFile(test::TestDataPath("ac3_48k_51.ac3"));
  const auto Append = [&](const std::filesystem::path& File) {
    std::ofstream(File, std::ios::binary | std::ios::app).write(reinterpret_cast<const char*>(Extra.data()), 1536);
  };
  // The change happens when the value is chosen, or once the walk has read its first bytes.
  constexpr auto Choosing = static_cast<TWriteStep>(255);
  constexpr auto Reading = static_cast<TWriteStep>(254);
  const struct {
    const char* Name;
    bool Output;
    TWriteStep Step;  // the change happens when the rewrite first reaches it
    std::function<void(const TRewriteFile&)> Change;
    const char* Error;
    int64_t SizeAfter;
  } Cases[] = {
      {"grows", true, Reading, [&](const TRewriteFile& File) { Append(File.Path); },
       "changed while it was read", 64 * 1536},
      {"shrinks", true, Reading,
       [](const TRewriteFile& File) { std::filesystem::resize_file(File.Path, 30 * 1536); },
       "changed while it was read", 30 * 1536},
      {"is written", true, Reading,
       [](const TRewriteFile& File) {
         std::this_thread::sleep_for(std::chrono::milliseconds(20));
         std::fstream(File.Path, std::ios::binary | std::ios::in | std::ios::out).write("\x0B", 1);
       },
       "changed while it was read", 63 * 1536},
      {"is replaced", true, Reading,
       [](const TRewriteFile& File) {
         std::filesystem::copy_file(File.Path, File.Folder / "other");
         std::filesystem::rename(File.Folder / "other", File.Path);
       },
       "changed while it was read", 63 * 1536},
      {"is cut to nothing in place", false, TWriteStep::TargetSynced,
       [](const TRewriteFile& File) { std::filesystem::resize_file(File.Path, 0); },
       "is shorter now (0 bytes) than when it was read: it was cut short meanwhile, and nothing is written past its "
       "end",
       0},
      {"grows in place", false, TWriteStep::TargetSynced, [&](const TRewriteFile& File) { Append(File.Path); },
       "changed size while it was rewritten (96768 bytes at the start, 98304 now)", 64 * 1536},
      {"grows while chosen, in place", false, Choosing, [&](const TRewriteFile& File) { Append(File.Path); },
       "changed while its dialnorm was chosen (its size, modification time or the file under its name); nothing was "
       "written",
       64 * 1536},
      {"grows while chosen", true, Choosing, [&](const TRewriteFile& File) { Append(File.Path); },
       "changed while it was read", 64 * 1536},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const TRewriteFile File;
    if (Case.Output) std::filesystem::copy_file(test::TestDataPath("ac3_32k_mono.ac3"), File.Output);
    TWriteHooks Hooks;
    bool Changed = false;
    Hooks.Reached = [&](TWriteStep Step) {
      if (Step == Case.Step && !Changed) Case.Change(File);
      Changed = Changed || Step == Case.Step;
    };
    TDialnormRequest Request = Case.Output ? File.IntoOutput(&Hooks) : File.InPlace(&Hooks);
    if (Case.Step == Reading) {
      Request.Progress = [&](int64_t, int64_t) {
        if (!std::exchange(Changed, true)) Case.Change(File);
      };
    }
    if (Case.Step == Choosing) {
      Request.Choose = [&](uint32_t& Dialnorm, std::string&) {
        Case.Change(File);
        Dialnorm = 12;
        return true;
      };
    }
    const TDialnormResult Result = RewriteDialnorm(Request);
    EXPECT_FALSE(Result.Completed);
    EXPECT_NE(Result.Error.find(Case.Error), std::string::npos) << Result.Error;
    EXPECT_EQ(static_cast<int64_t>(std::filesystem::file_size(File.Path)), Case.SizeAfter);
    if (Case.Step == Choosing) {
      const TBytes Now = test::ReadTestFile(File.Path);
      EXPECT_TRUE(std::equal(File.Old.begin(), File.Old.end(), Now.begin()));
    }
    EXPECT_FALSE(JournalPresent(File.Path));
    if (Case.Output) {
      EXPECT_EQ(test::ReadTestFile(File.Output), test::ReadTestFile(test::TestDataPath("ac3_32k_mono.ac3")));
      EXPECT_EQ(File.Folder.Names(), (std::vector<std::string>{"out.ac3", "stream.ac3"}));
    }
  }

  // A choice without a value, or with one out of range, ends the run with its reason before
  // anything is written.
  const TRewriteFile File;
  for (const bool Output : {false, true}) {
    for (const uint32_t Chosen : {0u, 32u}) {
      TDialnormRequest Request = Output ? File.IntoOutput() : File.InPlace();
      Request.Choose = [Chosen](uint32_t& Dialnorm, std::string& Error) {
        Dialnorm = Chosen;
        Error = "no verdict";
        return Chosen != 0;
      };
      const TDialnormResult Result = RewriteDialnorm(Request);
      EXPECT_FALSE(Result.Completed);
      EXPECT_EQ(Result.Error, Chosen == 0 ? "no verdict" : "dialnorm must be 1 to 31, not 32");
      EXPECT_EQ(test::ReadTestFile(File.Path), File.Old);
      EXPECT_EQ(File.Folder.Names(), std::vector<std::string>{"stream.ac3"});
    }
  }
}

// The copy of a read-only source is written by its owner, who need not be able to write the
// source: the new file gets the source's mode with the owner's write bit.
TEST(DialnormRewrite, AReadOnlySourceIsRewrittenIntoAnOutputByAnOrdinaryUser) {
  const TRewriteFile File;
  std::filesystem::permissions(File.Folder.Path(), std::filesystem::perms::all);
  ASSERT_EQ(chmod(File.Path.c_str(), 0444), 0);
  constexpr uid_t Nobody = 65534;
  const bool Root = geteuid() == 0;
  if (Root) {
    ASSERT_EQ(chown(File.Path.c_str(), Nobody, Nobody), 0);
  }
  const int Status = test::RunChild([&] {
    // As root, the run is an ordinary user's: root may write anything.
    if (Root && (setgid(Nobody) != 0 || setuid(Nobody) != 0)) return false;
    return RewriteDialnorm(File.IntoOutput()).AllSet();
  });
  ASSERT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0);
  EXPECT_EQ(test::ReadTestFile(File.Output), File.New);
  struct stat Info {};
  ASSERT_EQ(stat(File.Output.c_str(), &Info), 0);
  EXPECT_EQ(Info.st_mode & 07777, 0644u);
  if (Root) {
    EXPECT_EQ(Info.st_uid, Nobody);
  }
}

#endif  // !_WIN32

}  // namespace
}  // namespace corvane
