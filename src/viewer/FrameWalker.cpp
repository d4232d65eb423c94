// The whole-file walk: the frames of the chain of full windows that paging down through the
// file would show, produced without refilling window by window.
//
// A refill reads 1 MiB and keeps what the frames of one window use, about 460 KiB for 256
// frames of 448 kb/s, so paging through the file would read it more than twice. The walk
// instead keeps a large stretch of the file in FBuff and lays each window over it, so every
// byte is read once, and runs the refill's own scan (ScanFrames) over each window's bytes, so
// the rows are the window chain's rows.

#include <algorithm>
#include <cstring>

#include "analysis/FrameKinds.h"
#include "core/ODSUtls.h"
#include "viewer/FrameWindow.h"

namespace corvane {
namespace {

// FBuff holds the stretch [Base, Base + Loaded) of the file. Window() makes it hold the bytes of
// the window that a refill at Position would read, reading on in large blocks.
class TFileStretch {
 public:
  TFileStretch(const TFileStream& Stream, uint8_t* Buffer, int32_t Capacity, int64_t Size, int64_t& Reads)
      : FStream(Stream), FBuffer(Buffer), FCapacity(Capacity), FSize(Size), FReads(Reads) {}

  // The window's first byte, with its byte count in Count; nullptr on a read failure.
  const uint8_t* Window(int64_t Position, int32_t& Count) {
    const int64_t Wanted = std::clamp<int64_t>(FSize - Position, 0, FrameReadSize);
    if (Position < FBase || Position > FBase + FLoaded) {
      FBase = Position;
      FLoaded = 0;
    }
    if (Position + Wanted > FBase + FLoaded && !Refill(Position)) return nullptr;
    Count = static_cast<int32_t>(std::min<int64_t>(Wanted, FBase + FLoaded - Position));
    return FBuffer + (Position - FBase);
  }

  // The file's size as the walk sees it: smaller than at the start when the file was cut short.
  int64_t Size() const { return FSize; }

 private:
  bool Refill(int64_t Position) {
    const int32_t Keep = static_cast<int32_t>(FBase + FLoaded - Position);
    std::memmove(FBuffer, FBuffer + (Position - FBase), static_cast<size_t>(Keep));
    FBase = Position;
    FLoaded = Keep;
    while (FLoaded < FCapacity && FBase + FLoaded < FSize) {
      const int32_t Done = FStream.ReadAt(FBase + FLoaded, FBuffer + FLoaded, FCapacity - FLoaded);
      ++FReads;
      if (Done < 0) return false;
      if (Done == 0) {
        FSize = FBase + FLoaded;
        break;
      }
      FLoaded += Done;
    }
    return true;
  }

  const TFileStream& FStream;
  uint8_t* FBuffer;
  int32_t FCapacity;
  int64_t FSize;
  int64_t& FReads;
  int64_t FBase = 0;
  int32_t FLoaded = 0;
};

}  // namespace

bool TFrameWindow::WalkFrames(int64_t Position, const TWalkVisitor& Visit, const TWalkProgress& Progress) {
  return GuardedCall(u"TForm1.WalkFrames", [&] {
    if (!FFileStream.IsOpen() || Position < 0) return false;
    return FEAC3 ? WalkChain<TAC3PlusKind>(Position, Visit, Progress)
                 : WalkChain<TAC3Kind>(Position, Visit, Progress);
  });
}

bool TFrameWindow::OpenForWalk(const std::filesystem::path& FileName, bool EAC3) {
  return GuardedCall(u"TForm1.OpenForWalk", [&] {
    TFileStream Stream;
    if (!Stream.Open(FileName, TFileStream::TMode::Read)) return ReportCallFailure(u"TForm1.OpenForWalk");
    UnloadFile();
    FFileName = FileName;
    FFileStream = std::move(Stream);
    FEAC3 = EAC3 ? 1 : 0;
    Ffscod = -1;
    return true;
  });
}

template <typename TKind>
bool TFrameWindow::WalkChain(int64_t Position, const TWalkVisitor& Visit, const TWalkProgress& Progress) {
  const int64_t Size = FFileStream.Size();
  if (Size < 0) return false;
  // The stretch stays clear of the part of FBuff where a search past a window's bytes reads.
  TFileStretch Stretch(FFileStream, FBuff.get(), FrameScratchOffset, Size, FReadCount);

  for (;;) {
    int32_t Count = 0;
    const uint8_t* const Data = Stretch.Window(Position, Count);
    if (!Data) return false;
    const bool AtEnd = Position + Count == Stretch.Size();
    if (Progress) Progress(Position, Stretch.Size());

    const TScanEnd End = ScanFrames<TKind>(Data, Count, Position, AtEnd, MaxFrameRows, Visit);
    if (!End.Ok) return false;
    if (End.Stopped || End.Next == -1) return true;
    int64_t Next = End.Next;
    if (Next == -2) {
      // Not one frame start in the window's bytes: the next window starts at the first one
      // after them, however far that is.
      const TScanResult Found = FindFrameStart<TKind>(Position + std::max(Count - HeaderBytesAtHand + 1, 0), Next);
      if (Found == TScanResult::Failed) return false;
      if (Found == TScanResult::None) return true;
    }
    Position = Next;
  }
}

}  // namespace corvane
