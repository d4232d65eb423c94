#include "viewer/DialnormRewrite.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <system_error>

#include "analysis/AC3PlusSyntax.h"
#include "analysis/AC3Syntax.h"
#include "analysis/FrameKinds.h"
#include "core/StringUtils.h"
#include "viewer/FrameRowText.h"

namespace corvane {
namespace {

constexpr int32_t DialnormBits = 5;
// dialnorm and dialnorm2 lie within this many bytes of each other in any header.
constexpr int32_t MaxHeaderBytes = 64;
// Changed bytes this close together go into the journal as one stretch.
constexpr int32_t JoinGap = 8;

// Value into the Width bits at BitOffset of Data, most significant bit first.
void PutBits(uint8_t* Data, int32_t BitOffset, int32_t Width, uint32_t Value) {
  for (int32_t Bit = 0; Bit < Width; ++Bit) {
    const int32_t At = BitOffset + Bit;
    const auto Mask = static_cast<uint8_t>(0x80u >> (At % 8));
    uint8_t& Byte = Data[At / 8];
    Byte = ((Value >> (Width - 1 - Bit)) & 1) ? static_cast<uint8_t>(Byte | Mask) : static_cast<uint8_t>(Byte & ~Mask);
  }
}

template <typename TKind>
struct TDialnormIds;
template <>
struct TDialnormIds<TAC3Kind> {
  static constexpr auto Dialnorm = static_cast<uint8_t>(TAC3FieldId::dialnorm);
  static constexpr auto Dialnorm2 = static_cast<uint8_t>(TAC3FieldId::dialnorm2);
};
template <>
struct TDialnormIds<TAC3PlusKind> {
  static constexpr auto Dialnorm = static_cast<uint8_t>(TAC3PlusFieldId::dialnorm);
  static constexpr auto Dialnorm2 = static_cast<uint8_t>(TAC3PlusFieldId::dialnorm2);
};

// The stretches of a frame a rewrite may change: its dialnorm fields and its CRC words, first
// byte and last byte of each.
struct TEditedBytes {
  std::array<std::array<int32_t, 2>, 4> Stretches{};
  size_t Count = 0;
  // Kept in order of their first bytes.
  void Add(int32_t First, int32_t Last) {
    size_t At = Count++;
    for (; At > 0 && Stretches[At - 1][0] > First; --At) Stretches[At] = Stretches[At - 1];
    Stretches[At] = {First, Last};
  }
};

// Decoded is scratch for the header, so that a whole file is rewritten without a record per
// frame. Checked: the caller found the frame passing its CRCs already.
template <typename TKind>
TDialnormChange SetDialnorm(uint8_t* Frame, int32_t Size, uint32_t Dialnorm, typename TKind::TFrame& Decoded,
                            bool Checked, TEditedBytes* Edited) {
  if (Size < HeaderBytesAtHand || TKind::CodedSize(Frame) != Size) return TDialnormChange::Impossible;
  if (!Checked && !TKind::CheckCrc(Frame, Size).Passed()) return TDialnormChange::Impossible;
  TKind::Parse(Frame, Size, Decoded);
  // The fields lie in the header, clear of the CRC words at either end of the frame.
  constexpr int32_t FirstBit = 32;
  const int32_t LastBit = (Size - 2) * 8 - DialnormBits;
  bool Found = false;
  bool Differs = false;
  for (const TFieldPosition& Field : Decoded.Layout.Decoded()) {
    if (Field.Field != TDialnormIds<TKind>::Dialnorm && Field.Field != TDialnormIds<TKind>::Dialnorm2) continue;
    if (Field.BitOffset < FirstBit || Field.BitOffset > LastBit) return TDialnormChange::Impossible;
    Found = true;
    Differs = Differs || Field.Value != Dialnorm;
  }
  if (!Found) return TDialnormChange::Impossible;
  if (!Differs) return TDialnormChange::AlreadySet;
  // The header's bytes as they were, for a CRC update from the changed bytes alone.
  std::array<uint8_t, MaxHeaderBytes> Old{};
  int32_t From = Size;
  int32_t To = 0;
  for (const TFieldPosition& Field : Decoded.Layout.Decoded()) {
    if (Field.Field != TDialnormIds<TKind>::Dialnorm && Field.Field != TDialnormIds<TKind>::Dialnorm2) continue;
    const int32_t First = Field.BitOffset / 8;
    const int32_t Last = (Field.BitOffset + DialnormBits - 1) / 8;
    From = std::min(From, First);
    To = std::max(To, Last + 1);
    if (Edited) Edited->Add(First, Last);
  }
  const bool Updatable = Checked && To - From <= MaxHeaderBytes;
  if (Updatable) std::memcpy(Old.data(), Frame + From, static_cast<size_t>(To - From));
  for (const TFieldPosition& Field : Decoded.Layout.Decoded())
    if (Field.Field == TDialnormIds<TKind>::Dialnorm || Field.Field == TDialnormIds<TKind>::Dialnorm2)
      PutBits(Frame, Field.BitOffset, DialnormBits, Dialnorm);
  if (!Updatable || !TKind::UpdateCrc(Frame, Size, From, To, Old.data())) TKind::RepairCrc(Frame, Size);
  if (Edited) {
    if constexpr (std::is_same_v<TKind, TAC3Kind>) Edited->Add(2, 3);
    Edited->Add(Size - 2, Size - 1);
  }
  return TDialnormChange::Changed;
}

std::string FramesText(int64_t Count) { return std::to_string(Count) + (Count == 1 ? " frame" : " frames"); }

// Rewrites the frames the walk hands it: into the walk's own bytes for an output file, through
// the journal in place.
class TRewriter final : public TStreamVisitor {
 public:
  TRewriter(const TDialnormRequest& Request, TDialnormResult& Result, TUndoJournal* Journal)
      : FRequest(Request), FResult(Result), FJournal(Journal) {}

  bool Junk(int64_t, int64_t) override { return true; }

  bool Frame(const TStreamFrame& Frame) override {
    ++FResult.Frames;
    if (Frame.Fit != TFrameFit::Whole || !Frame.Crc.Passed()) {
      ++(Frame.Fit == TFrameFit::Whole && Frame.Crc.Failed() ? FResult.BadCrc : FResult.NotWhole);
      if (FRequest.Skipped) FRequest.Skipped({Frame.Offset, Frame.Fit, Frame.Crc});
      return true;
    }
    const int32_t Size = Frame.CodedSize;
    std::memcpy(FNew.data(), Frame.Data, static_cast<size_t>(Size));
    TEditedBytes Edited;
    const TDialnormChange Change =
        Frame.EAC3 ? SetDialnorm<TAC3PlusKind>(FNew.data(), Size, FResult.Dialnorm, *FPlus, true, &Edited)
                   : SetDialnorm<TAC3Kind>(FNew.data(), Size, FResult.Dialnorm, *FAC3, true, &Edited);
    switch (Change) {
      case TDialnormChange::AlreadySet:
        ++FResult.AlreadySet;
        return true;
      case TDialnormChange::Impossible:
        ++FResult.NotWhole;
        if (FRequest.Skipped) FRequest.Skipped({Frame.Offset, Frame.Fit, Frame.Crc});
        return true;
      case TDialnormChange::Changed:
        break;
    }
    if (!FJournal) {
      // Into an output file: the walk hands on its bytes with the frame's new ones in place.
      std::memcpy(Frame.Data, FNew.data(), static_cast<size_t>(Size));
      ++FResult.Rewritten;
      return true;
    }
    if (FPending == 0) FBatchStart = Frame.Offset;
    Journal(Frame, Edited);
    ++FPending;
    return FJournal->Span() < FRequest.BatchBytes || Commit();
  }

  // The queued frames into the file. False, with the result's error, when they could not be.
  bool Commit() {
    if (FPending == 0) return true;
    if (FJournal->Commit()) {
      FResult.Rewritten += FPending;
      FPending = 0;
      return true;
    }
    FResult.FailedAt = FBatchStart;
    FResult.JournalKept = FJournal->JournalKept();
    const std::string At = ToUtf8(OffsetText(FBatchStart));
    FResult.Error = FJournal->Error() + "; stopped at the frame at " + At + ": the " + FramesText(FResult.Rewritten) +
                    " before it carry dialnorm " + std::to_string(FResult.Dialnorm) + ", it and the frames after it " +
                    (FResult.JournalKept ? "get their old bytes back from the journal" : "are as they were");
    FPending = 0;
    return false;
  }

 private:
  // The frame's changed stretches, those close together joined, into the journal.
  void Journal(const TStreamFrame& Frame, const TEditedBytes& Edited) {
    const auto& Stretches = Edited.Stretches;
    for (size_t Index = 0; Index < Edited.Count;) {
      const int32_t First = Stretches[Index][0];
      int32_t Last = Stretches[Index][1];
      for (++Index; Index < Edited.Count && Stretches[Index][0] <= Last + JoinGap; ++Index)
        Last = std::max(Last, Stretches[Index][1]);
      const auto Count = static_cast<size_t>(Last - First + 1);
      if (std::memcmp(Frame.Data + First, FNew.data() + First, Count) != 0)
        FJournal->Add(Frame.Offset + First, Frame.Data + First, FNew.data() + First, Last - First + 1);
    }
  }

  const TDialnormRequest& FRequest;
  TDialnormResult& FResult;
  TUndoJournal* FJournal;
  int64_t FPending = 0;  // frames queued in the journal
  int64_t FBatchStart = -1;
  std::array<uint8_t, MaxFrameBytes> FNew{};
  std::unique_ptr<TAC3Frame> FAC3 = std::make_unique<TAC3Frame>();
  std::unique_ptr<TAC3PlusFrame> FPlus = std::make_unique<TAC3PlusFrame>();
};

// Opens the file for writing, with its writer lock, and rolls back what an earlier writer left
// unfinished, telling what it did; false, with the result's error, when either fails.
bool OpenAndRecover(const TDialnormRequest& Request, TFileStream& Writer, TDialnormResult& Result) {
  if (!Writer.Open(Request.File, TFileStream::TMode::ReadWrite)) {
    Result.Error = "cannot write " + PathText(Request.File) + ": " + Writer.LastReason();
    return false;
  }
  const TRecovery Recovery = TUndoJournal(Writer, Request.Hooks).Recover();
  if (Recovery.Outcome == TRecovery::TOutcome::Failed) {
    Result.Error = Recovery.Text;
    return false;
  }
  if (Recovery.Outcome != TRecovery::TOutcome::Nothing && Request.Notice) Request.Notice(Recovery.Text);
  return true;
}

// The value to set: the request's, or the one its Choose gives. False, with the result's error,
// when there is none to set.
bool ChooseDialnorm(const TDialnormRequest& Request, TDialnormResult& Result) {
  Result.Dialnorm = Request.Dialnorm;
  if (Request.Choose && !Request.Choose(Result.Dialnorm, Result.Error)) return false;
  if (Result.Dialnorm >= 1 && Result.Dialnorm <= 31) return true;
  Result.Error = "dialnorm must be 1 to 31, not " + std::to_string(Result.Dialnorm);
  return false;
}

// Whether Stream, which had the identity Start, is still that file, unchanged and under its name.
bool StillTheSame(const TFileStream& Stream, const TFileStream::TIdentity& Start, const std::filesystem::path& File) {
  TFileStream::TIdentity Now;
  TFileStream::TIdentity Named;
  TFileStream Again;
  return Stream.Identity(Now) && Start.Unchanged(Now) && Again.Open(File, TFileStream::TMode::Read) &&
         Again.Identity(Named) && Named.SameFile(Start);
}

// Chooses the value while the file is as it was at Start; false, with the result's error, when
// there is none or the file changed meanwhile.
bool ChooseWhileUnchanged(const TDialnormRequest& Request, const TFileStream& Stream,
                          const TFileStream::TIdentity& Start, TDialnormResult& Result) {
  if (!ChooseDialnorm(Request, Result)) return false;
  if (!Request.Choose || StillTheSame(Stream, Start, Request.File)) return true;
  Result.Error = PathText(Request.File) +
                 " changed while its dialnorm was chosen (its size, modification time or the file under its name); "
                 "nothing was written";
  return false;
}

TDialnormResult RewriteInPlace(const TDialnormRequest& Request) {
  TDialnormResult Result;
  const std::string Name = PathText(Request.File);
  TFileStream Writer;
  if (!OpenAndRecover(Request, Writer, Result)) return Result;
  TUndoJournal Journal(Writer, Request.Hooks);
  TFileStream::TIdentity Start;
  TFileStream Reader;
  if (!Writer.Identity(Start) || !Reader.Open(Request.File, TFileStream::TMode::Read)) {
    Result.Error = "cannot read " + Name + ": " + (Reader.IsOpen() ? Writer.LastReason() : Reader.LastReason());
    return Result;
  }
  if (!ChooseWhileUnchanged(Request, Writer, Start, Result)) return Result;

  TRewriter Rewriter(Request, Result, &Journal);
  std::string Error;
  const TStreamWalkEnd End = WalkStream(Reader, Start.Size, Rewriter, Request.Progress, {}, Error);
  if (End == TStreamWalkEnd::Failed) {
    // The batches before are in the file; the queued one never reached it.
    Journal.Finish();
    Result.Error = "cannot read " + Name + ": " + Error + "; the " + FramesText(Result.Rewritten) +
                   " rewritten before the failure carry the new dialnorm, the rest are as they were";
    return Result;
  }
  if (End == TStreamWalkEnd::Stopped || !Rewriter.Commit()) return Result;
  if (!Journal.Finish()) {
    Result.Error = Journal.Error();
    return Result;
  }
  const int64_t Size = Writer.Size();
  if (Size != Start.Size) {
    Result.Error = Name + " changed size while it was rewritten (" + std::to_string(Start.Size) +
                   " bytes at the start, " + std::to_string(Size) + " now): only the frames of its first " +
                   std::to_string(Start.Size) + " bytes were looked at";
    return Result;
  }
  Result.Completed = true;
  return Result;
}

TDialnormResult RewriteIntoOutput(const TDialnormRequest& Request) {
  TDialnormResult Result;
  const std::string Name = PathText(Request.File);
  const std::filesystem::path& Output = *Request.Output;
  // The source is the file written when the output is the source itself: an unfinished change of
  // it is rolled back first. Otherwise the source is only read, and its reader is told.
  if (JournalPresent(Request.File)) {
    std::error_code Error;
    if (std::filesystem::equivalent(Request.File, Output, Error)) {
      TFileStream Writer;
      if (!OpenAndRecover(Request, Writer, Result)) return Result;
    } else if (Request.Notice) {
      Request.Notice(UnfinishedChangeNote(Request.File));
    }
  }

  TFileStream Reader;
  TFileStream::TIdentity Start;
  if (!Reader.Open(Request.File, TFileStream::TMode::Read) || !Reader.Identity(Start)) {
    Result.Error = "cannot read " + Name + ": " + Reader.LastReason();
    return Result;
  }
  // A change of the source while the value is chosen shows at the end, as one while it is read.
  if (!ChooseDialnorm(Request, Result)) return Result;
  TOutputFile Out(Request.Hooks);
  if (!Out.Open(Output, Start, Request.Notice)) {
    Result.Error = Out.Error();
    return Result;
  }

  TRewriter Rewriter(Request, Result, nullptr);
  const TPassedBytes Passed = [&Out](int64_t, const uint8_t* Data, int32_t Count) { return Out.Append(Data, Count); };
  std::string Error;
  const TStreamWalkEnd End = WalkStream(Reader, Start.Size, Rewriter, Request.Progress, Passed, Error);
  if (!Out.Error().empty()) {
    Result.Error = Out.Error();
    return Result;
  }
  if (End != TStreamWalkEnd::Completed) {
    Result.Error = "cannot read " + Name + ": " + Error;
    return Result;
  }
  // The copy holds the source as it was at the start only when the source is still that file,
  // of that size and modification time.
  if (Out.Written() != Start.Size || !StillTheSame(Reader, Start, Request.File)) {
    Result.Error = Name + " changed while it was read (its size, modification time or the file under its name); " +
                   PathText(Output) + " was left as it was";
    return Result;
  }
  if (!Out.Commit()) {
    Result.Error = Out.Error();
    return Result;
  }
  Result.Completed = true;
  return Result;
}

}  // namespace

TDialnormChange SetFrameDialnorm(uint8_t* Frame, int32_t Size, bool EAC3, uint32_t Dialnorm) {
  if (EAC3) {
    auto Decoded = std::make_unique<TAC3PlusFrame>();
    return SetDialnorm<TAC3PlusKind>(Frame, Size, Dialnorm, *Decoded, false, nullptr);
  }
  auto Decoded = std::make_unique<TAC3Frame>();
  return SetDialnorm<TAC3Kind>(Frame, Size, Dialnorm, *Decoded, false, nullptr);
}

TDialnormResult RewriteDialnorm(const TDialnormRequest& Request) {
  // A value given is checked before the file is looked at; a chosen one once it is chosen.
  if (!Request.Choose) {
    TDialnormResult Result;
    if (!ChooseDialnorm(Request, Result)) return Result;
  }
  return Request.Output ? RewriteIntoOutput(Request) : RewriteInPlace(Request);
}

TRecovery RestoreFile(const std::filesystem::path& File, const TWriteHooks* Hooks) {
  TFileStream Writer;
  if (!Writer.Open(File, TFileStream::TMode::ReadWrite)) {
    TRecovery Failed;
    Failed.Outcome = TRecovery::TOutcome::Failed;
    Failed.Text = "cannot write " + PathText(File) + ": " + Writer.LastReason();
    return Failed;
  }
  return TUndoJournal(Writer, Hooks).Recover();
}

}  // namespace corvane
