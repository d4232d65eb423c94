#include "viewer/DialnormRewrite.h"

#include <array>
#include <memory>
#include <random>
#include <system_error>

#include "analysis/AC3PlusSyntax.h"
#include "analysis/AC3Syntax.h"
#include "analysis/FrameKinds.h"
#include "core/FileStream.h"
#include "core/StringUtils.h"
#include "viewer/FrameRowText.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace corvane {
namespace {

constexpr int32_t DialnormBits = 5;

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

// Decoded is scratch for the header, so that a whole file is rewritten without a record per frame.
template <typename TKind>
TDialnormChange SetDialnorm(uint8_t* Frame, int32_t Size, uint32_t Dialnorm, typename TKind::TFrame& Decoded) {
  if (Size < HeaderBytesAtHand || TKind::CodedSize(Frame) != Size || !TKind::CheckCrc(Frame, Size).Passed())
    return TDialnormChange::Impossible;
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
  for (const TFieldPosition& Field : Decoded.Layout.Decoded())
    if (Field.Field == TDialnormIds<TKind>::Dialnorm || Field.Field == TDialnormIds<TKind>::Dialnorm2)
      PutBits(Frame, Field.BitOffset, DialnormBits, Dialnorm);
  TKind::RepairCrc(Frame, Size);
  return TDialnormChange::Changed;
}

// A name in a message: bytes of it that are not UTF-8 show as U+FFFD.
std::string PathText(const std::filesystem::path& Path) { return ToUtf8(PathToText(Path)); }

std::string ReasonOf(const TFileStream& Stream, const char* Otherwise) {
  const std::string& Reason = Stream.LastError();
  return Reason.empty() ? Otherwise : Reason;
}

// Rewrites the frames the walk hands it into Writer, which holds the same bytes at the same
// offsets as the file walked.
template <typename TKind>
class TRewriter final : public TStreamVisitor {
 public:
  TRewriter(const TDialnormRequest& Request, TFileStream& Writer, const std::filesystem::path& Target,
            TDialnormResult& Result)
      : FRequest(Request), FWriter(Writer), FTarget(Target), FResult(Result) {}

  bool Junk(int64_t, int64_t) override { return true; }

  bool Frame(const TStreamFrame& Frame) override {
    ++FResult.Frames;
    if (Frame.Fit != TFrameFit::Whole || !Frame.Crc.Checked() || Frame.Crc.Failed()) {
      ++(Frame.Fit == TFrameFit::Whole && Frame.Crc.Failed() ? FResult.BadCrc : FResult.NotWhole);
      if (FRequest.Skipped) FRequest.Skipped({Frame.Offset, Frame.Fit, Frame.Crc});
      return true;
    }
    const int32_t Size = Frame.CodedSize;
    std::copy(Frame.Data, Frame.Data + Size, FNew.begin());
    switch (SetDialnorm<TKind>(FNew.data(), Size, FRequest.Dialnorm, *FDecoded)) {
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
    // One write from the first changed byte to the last: the bytes between are written as they were.
    int32_t First = 0;
    while (FNew[static_cast<size_t>(First)] == Frame.Data[First]) ++First;
    int32_t Last = Size - 1;
    while (FNew[static_cast<size_t>(Last)] == Frame.Data[Last]) --Last;
    const int32_t Count = Last - First + 1;
    const int64_t At = Frame.Offset + First;
    if (Write(At, FNew.data() + First, Count) == Count) {
      ++FResult.Rewritten;
      return true;
    }
    FResult.Error = "cannot write " + PathText(FTarget) + " at offset " + ToUtf8(OffsetText(Frame.Offset)) + ": " +
                    ReasonOf(FWriter, "write failed");
    FResult.FailedAt = Frame.Offset;
    // The frame's old bytes back, so that it is not left half written.
    FResult.FailedFrameRestored = Write(At, Frame.Data + First, Count) == Count;
    return false;
  }

 private:
  int32_t Write(int64_t Offset, const uint8_t* Bytes, int32_t Count) {
    if (FRequest.WriteBytes) return FRequest.WriteBytes(FWriter, Offset, Bytes, Count);
    return FWriter.Seek(Offset) == Offset ? FWriter.Write(Bytes, Count) : -1;
  }

  const TDialnormRequest& FRequest;
  TFileStream& FWriter;
  const std::filesystem::path& FTarget;
  TDialnormResult& FResult;
  std::array<uint8_t, MaxFrameBytes> FNew{};
  std::unique_ptr<typename TKind::TFrame> FDecoded = std::make_unique<typename TKind::TFrame>();
};

// A copy of Source under a new name beside Target; empty, with Error set, when none could be made.
std::filesystem::path TemporaryCopy(const std::filesystem::path& Source, const std::filesystem::path& Target,
                                    std::string& Error) {
  std::random_device Seed;
  std::mt19937 Random(Seed());
  const std::filesystem::path Folder = Target.parent_path().empty() ? std::filesystem::path(".") : Target.parent_path();
  for (int Attempt = 0; Attempt < 100; ++Attempt) {
    std::filesystem::path Name(".");
    Name += Target.filename();
    Name += ".corvane-" + std::to_string(Random() % 1000000) + ".tmp";
    const std::filesystem::path Temporary = Folder / Name;
    std::error_code Failure;
    if (std::filesystem::exists(Temporary, Failure)) continue;
    if (std::filesystem::copy_file(Source, Temporary, std::filesystem::copy_options::none, Failure)) return Temporary;
    std::error_code Ignored;
    std::filesystem::remove(Temporary, Ignored);
    if (Failure != std::errc::file_exists) {
      Error = "cannot copy " + PathText(Source) + " to " + PathText(Temporary) + ": " + Failure.message();
      return {};
    }
  }
  Error = "cannot find a free name for a temporary file beside " + PathText(Target);
  return {};
}

// Puts the complete copy in the place of Target, replacing it.
bool ReplaceWith(const std::filesystem::path& Temporary, const std::filesystem::path& Target, std::string& Error) {
#ifdef _WIN32
  if (MoveFileExW(Temporary.c_str(), Target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  Error = "cannot rename " + PathText(Temporary) + " to " + PathText(Target) + ": " +
          std::system_category().message(static_cast<int>(GetLastError()));
  return false;
#else
  std::error_code Failure;
  std::filesystem::rename(Temporary, Target, Failure);
  if (!Failure) return true;
  Error = "cannot rename " + PathText(Temporary) + " to " + PathText(Target) + ": " + Failure.message();
  return false;
#endif
}

template <typename TKind>
TStreamWalkEnd Rewrite(const TDialnormRequest& Request, TFileStream& Writer, const std::filesystem::path& Target,
                       TDialnormResult& Result) {
  TRewriter<TKind> Rewriter(Request, Writer, Target, Result);
  std::string Error;
  const TStreamWalkEnd End = WalkStream(Request.File, Request.EAC3, Rewriter, Request.Progress, Error);
  if (End == TStreamWalkEnd::Failed) Result.Error = "cannot read " + PathText(Request.File) + ": " + Error;
  return End;
}

}  // namespace

TDialnormChange SetFrameDialnorm(uint8_t* Frame, int32_t Size, bool EAC3, uint32_t Dialnorm) {
  if (EAC3) {
    auto Decoded = std::make_unique<TAC3PlusFrame>();
    return SetDialnorm<TAC3PlusKind>(Frame, Size, Dialnorm, *Decoded);
  }
  auto Decoded = std::make_unique<TAC3Frame>();
  return SetDialnorm<TAC3Kind>(Frame, Size, Dialnorm, *Decoded);
}

TDialnormResult RewriteDialnorm(const TDialnormRequest& Request) {
  TDialnormResult Result;
  if (Request.Dialnorm < 1 || Request.Dialnorm > 31) {
    Result.Error = "dialnorm must be 1 to 31, not " + std::to_string(Request.Dialnorm);
    return Result;
  }
  const std::filesystem::path Target = Request.Output.value_or(Request.File);
  std::filesystem::path Temporary;
  if (Request.Output) {
    Temporary = TemporaryCopy(Request.File, Target, Result.Error);
    if (Temporary.empty()) return Result;
  }
  const auto Discard = [&Temporary] {
    std::error_code Ignored;
    if (!Temporary.empty()) std::filesystem::remove(Temporary, Ignored);
  };

  TStreamWalkEnd End = TStreamWalkEnd::Failed;
  {
    TFileStream Writer;
    if (!Writer.Open(Request.Output ? Temporary : Request.File, TFileStream::TMode::ReadWrite)) {
      Result.Error = "cannot open " + PathText(Target) + " for writing: " + ReasonOf(Writer, "open failed");
      Discard();
      return Result;
    }
    End = Request.EAC3 ? Rewrite<TAC3PlusKind>(Request, Writer, Target, Result)
                       : Rewrite<TAC3Kind>(Request, Writer, Target, Result);
    if (End == TStreamWalkEnd::Completed && !Writer.Flush())
      Result.Error = "cannot write " + PathText(Target) + ": " + ReasonOf(Writer, "flush failed");
  }
  if (Request.Output) {
    // A copy that failed part-way never takes the output's place; the output stays as it was.
    if (End != TStreamWalkEnd::Completed || !Result.Error.empty() || !ReplaceWith(Temporary, Target, Result.Error)) {
      Discard();
      Result.FailedAt = -1;
      Result.FailedFrameRestored = true;
      return Result;
    }
  }
  Result.Completed = End == TStreamWalkEnd::Completed && Result.Error.empty();
  return Result;
}

}  // namespace corvane
