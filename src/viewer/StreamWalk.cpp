#include "viewer/StreamWalk.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "analysis/AC3PlusUtils.h"
#include "analysis/AC3Utils.h"
#include "analysis/Syncword.h"

namespace corvane {
namespace {

// The walk reads this much at a time, and keeps this much after a frame candidate at hand: the
// candidate, and a whole frame after it.
constexpr int32_t ReadSize = 2 * 1024 * 1024;
constexpr int32_t Lookahead = 2 * MaxFrameBytes + 64;
// Zeros after the bytes read, for the header tests that read a few bytes past a short tail.
constexpr int32_t Padding = 64;
// A frame of fewer bytes holds no header; an E-AC-3 size code below it is no frame's.
constexpr int32_t MinFrameBytes = 16;

struct TCandidate {
  bool EAC3 = false;
  int32_t Size = 0;  // coded; 0 when unknown
};

// Whether a frame of either kind may start at Data (Left bytes at hand), and which.
bool CandidateAt(const uint8_t* Data, int32_t Left, TCandidate& Found) {
  if (Left < 6 || !IsSyncword(Data)) return false;
  const uint32_t fscod = Data[4] >> 6u;
  const uint32_t bsid = Data[5] >> 3u;
  if (bsid <= 8) {
    if (fscod > 2) return false;
    Found = {false, AC3CodedFrameSize(Data)};
    return true;
  }
  if (bsid < 11 || bsid > 16) return false;
  // E-AC-3 codes its reduced rates as fscod 3 with the rate in fscod2, whose 3 is reserved.
  if (fscod == 3 && ((Data[4] >> 4u) & 3u) == 3) return false;
  Found = {true, AC3PlusCodedFrameSize(Data)};
  return Found.Size >= MinFrameBytes;
}

TFrameCrc CheckCrc(const uint8_t* Data, const TCandidate& Candidate) {
  return Candidate.EAC3 ? CheckAC3PlusFrameCrc(Data, Candidate.Size) : CheckAC3FrameCrc(Data, Candidate.Size);
}

// AC-3's crc1 over the first 5/8 of the frame, which holds its header.
bool Crc1Passes(const uint8_t* Data, int32_t CodedSize) {
  return Crc16(Data + 2, static_cast<size_t>(AC3Crc1End(CodedSize) - 2)) == 0;
}

// The first position from From up to (not including) To where a frame starts that lies whole in
// the Avail bytes at hand and passes its CRCs; -1 when there is none.
int32_t FindGoodFrame(const uint8_t* Data, int32_t From, int32_t To, int32_t Avail) {
  const int32_t Last = std::min(To - 1, Avail - 6);
  for (int32_t At = NextSyncword(Data, From, Last); At <= Last; At = NextSyncword(Data, At + 1, Last)) {
    TCandidate Found;
    if (CandidateAt(Data + At, Avail - At, Found) && Found.Size > 0 && Found.Size <= Avail - At &&
        CheckCrc(Data + At, Found).Passed())
      return At;
  }
  return -1;
}

// What the bytes at a candidate are.
struct TDecision {
  bool Frame = false;
  int32_t Size = 0;
  TFrameFit Fit = TFrameFit::Whole;
  TFrameCrc Crc;
};

TDecision FrameOf(int32_t Size, TFrameFit Fit, TFrameCrc Crc = {}) { return {true, Size, Fit, Crc}; }

// The candidate at Data, with Avail bytes at hand (all up to the end of the file when AtEnd).
TDecision Decide(const uint8_t* Data, int32_t Avail, bool AtEnd) {
  TCandidate Candidate;
  if (!CandidateAt(Data, Avail, Candidate)) return {};
  const TFrameCrc Crc1Only{TCrcVerdict::Ok, TCrcVerdict::Unchecked};
  // A good frame inside the candidate cuts it short, when its crc1 vouches for its header.
  const auto CutBy = [&](int32_t Inside) {
    const bool Vouched = !Candidate.EAC3 && AC3Crc1End(Candidate.Size) <= Inside && Crc1Passes(Data, Candidate.Size);
    return Vouched ? FrameOf(Inside, TFrameFit::CutShort, Crc1Only) : TDecision{};
  };

  if (Candidate.Size == 0) {
    // Without a size it runs up to the next good frame, which no frame is too long to reach. A
    // good frame that starts inside its header leaves it no header of its own: the header read
    // is that frame's bytes (its CRC words among them), so these few bytes are junk.
    const int32_t Next = FindGoodFrame(Data, 1, std::min(Avail, MaxFrameBytes + 1), Avail);
    if (Next > 0) return Next >= MinFrameBytes ? FrameOf(Next, TFrameFit::SizeUnknown) : TDecision{};
    if (AtEnd && Avail <= MaxFrameBytes) return FrameOf(Avail, TFrameFit::SizeUnknown);
    return {};
  }
  if (Candidate.Size <= Avail) {
    const TFrameCrc Crc = CheckCrc(Data, Candidate);
    if (Crc.Passed()) return FrameOf(Candidate.Size, TFrameFit::Whole, Crc);
    if (const int32_t Inside = FindGoodFrame(Data, 1, Candidate.Size, Avail); Inside > 0) return CutBy(Inside);
    const bool OneCrcPasses = !Candidate.EAC3 && (Crc.crc1 == TCrcVerdict::Ok || Crc.crc2 == TCrcVerdict::Ok);
    const bool Followed =
        (AtEnd && Candidate.Size == Avail) || (Avail - Candidate.Size >= 2 && IsSyncword(Data + Candidate.Size));
    return OneCrcPasses || Followed ? FrameOf(Candidate.Size, TFrameFit::Whole, Crc) : TDecision{};
  }
  // Fewer bytes than its size are at hand only at the end of the file.
  if (const int32_t Inside = FindGoodFrame(Data, 1, Avail, Avail); Inside > 0) return CutBy(Inside);
  if (!Candidate.EAC3 && Avail >= AC3Crc1End(Candidate.Size))
    return Crc1Passes(Data, Candidate.Size) ? FrameOf(Avail, TFrameFit::PastEnd, Crc1Only) : TDecision{};
  return FrameOf(Avail, TFrameFit::PastEnd);
}

class TWalker {
 public:
  TWalker(const TFileStream& File, int64_t Size, TStreamVisitor& Visitor, const TFrameWindow::TWalkProgress& Progress,
          const TPassedBytes& Passed)
      : FFile(File),
        FSize(Size),
        FVisitor(Visitor),
        FProgress(Progress),
        FPassed(Passed),
        // A small file fits whole; the bytes are read before they are looked at.
        FCapacity(static_cast<int32_t>(std::clamp<int64_t>(Size, 0, ReadSize))),
        FBuffer(std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(FCapacity + Padding))) {}

  TStreamWalkEnd Run(std::string& Error) {
    const TStreamWalkEnd End = Walk();
    if (End == TStreamWalkEnd::Failed) Error = FFile.LastReason().empty() ? "read failed" : FFile.LastReason();
    return End;
  }

 private:
  TStreamWalkEnd Walk() {
    for (int64_t Position = 0;;) {
      int32_t Avail = 0;
      uint8_t* const Data = At(Position, Avail);
      if (!Data) return FReadFailed ? TStreamWalkEnd::Failed : TStreamWalkEnd::Stopped;
      if (Avail < 2) break;
      const int32_t Found = NextSyncword(Data, 0, Avail - 2);
      if (Found > Avail - 2) {
        if (Position + Avail >= FSize) break;
        Position += Avail - 1;  // its last byte may be a syncword's first
        continue;
      }
      if (Found > 0) {
        Position += Found;
        continue;
      }
      const TDecision Decision = Decide(Data, Avail, Position + Avail == FSize);
      if (!Decision.Frame) {
        ++Position;
        continue;
      }
      if (!JunkUpTo(Position)) return TStreamWalkEnd::Stopped;
      const TStreamFrame Frame{Position,      Decision.Fit == TFrameFit::SizeUnknown ? 0 : AC3OrPlusSize(Data),
                               Decision.Size, Decision.Fit,
                               Decision.Crc,  (Data[5] >> 3) > 10,
                               Data,          Decision.Size};
      if (!FVisitor.Frame(Frame)) return TStreamWalkEnd::Stopped;
      Position += Decision.Size;
      FCovered = Position;
    }
    if (!JunkUpTo(FSize)) return TStreamWalkEnd::Stopped;
    return Pass(FSize) ? TStreamWalkEnd::Completed : TStreamWalkEnd::Stopped;
  }

  static int32_t AC3OrPlusSize(const uint8_t* Data) {
    return (Data[5] >> 3) > 10 ? AC3PlusCodedFrameSize(Data) : AC3CodedFrameSize(Data);
  }

  // The buffer holding the file from Position on: Lookahead bytes at least, or all up to the
  // end. Null when a read failed or the walk was ended while bytes were handed on.
  uint8_t* At(int64_t Position, int32_t& Avail) {
    if (std::min(Position + Lookahead, FSize) > FBase + FLoaded) {
      if (!Pass(Position)) return nullptr;
      const auto Keep = static_cast<int32_t>(std::max<int64_t>(FBase + FLoaded - Position, 0));
      std::memmove(FBuffer.get(), FBuffer.get() + (Position - FBase), static_cast<size_t>(Keep));
      FBase = Position;
      FLoaded = Keep;
      while (FLoaded < FCapacity && FBase + FLoaded < FSize) {
        const auto Count = static_cast<int32_t>(std::min<int64_t>(FCapacity - FLoaded, FSize - FBase - FLoaded));
        const int32_t Got = FFile.ReadAt(FBase + FLoaded, FBuffer.get() + FLoaded, Count);
        if (Got < 0) {
          FReadFailed = true;
          return nullptr;
        }
        // A file cut short meanwhile ends where the reads end.
        if (Got == 0) FSize = FBase + FLoaded;
        FLoaded += Got;
      }
      std::memset(FBuffer.get() + FLoaded, 0, Padding);
      if (FProgress) FProgress(Position, FSize);
    }
    Avail = static_cast<int32_t>(std::min(FBase + FLoaded, FSize) - Position);
    return FBuffer.get() + (Position - FBase);
  }

  // Hands on the bytes before UpTo.
  bool Pass(int64_t UpTo) {
    if (!FPassed || UpTo <= FPassedTo) return true;
    const bool Going = FPassed(FPassedTo, FBuffer.get() + (FPassedTo - FBase), static_cast<int32_t>(UpTo - FPassedTo));
    FPassedTo = UpTo;
    return Going;
  }

  bool JunkUpTo(int64_t Offset) {
    if (Offset <= FCovered) return true;
    const int64_t From = FCovered;
    FCovered = Offset;
    return FVisitor.Junk(From, Offset - From);
  }

  const TFileStream& FFile;
  int64_t FSize;
  TStreamVisitor& FVisitor;
  const TFrameWindow::TWalkProgress& FProgress;
  const TPassedBytes& FPassed;
  const int32_t FCapacity;
  std::unique_ptr<uint8_t[]> FBuffer;
  int64_t FBase = 0;      // the file offset of the buffer's first byte
  int32_t FLoaded = 0;    // bytes in the buffer
  int64_t FPassedTo = 0;  // bytes before this were handed on
  int64_t FCovered = 0;   // bytes before this were told as frames or junk
  bool FReadFailed = false;
};

}  // namespace

TStreamWalkEnd WalkStream(const TFileStream& File, int64_t Size, TStreamVisitor& Visitor,
                          const TFrameWindow::TWalkProgress& Progress, const TPassedBytes& Passed, std::string& Error) {
  return TWalker(File, Size, Visitor, Progress, Passed).Run(Error);
}

TStreamWalkEnd WalkStream(const std::filesystem::path& File, TStreamVisitor& Visitor,
                          const TFrameWindow::TWalkProgress& Progress, std::string& Error) {
  TFileStream Reader;
  const int64_t Size = Reader.Open(File, TFileStream::TMode::Read) ? Reader.Size() : -1;
  if (Size < 0) {
    Error = Reader.LastReason();
    return TStreamWalkEnd::Failed;
  }
  return WalkStream(Reader, Size, Visitor, Progress, {}, Error);
}

}  // namespace corvane
