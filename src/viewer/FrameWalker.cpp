// The whole-file walk: the frames of the chain of full windows that paging down through the
// file would show, produced without refilling window by window.
//
// A refill reads 1 MiB and keeps what the frames of one window use, about 460 KiB for 256
// frames of 448 kb/s, so paging through the file reads it more than twice and tests every byte
// position with a function call. The walk instead keeps a large stretch of the file in FBuff and
// lays each window over it, so every byte is read once; it skips to the next syncword where the
// refill steps byte by byte (no other position can be a frame start); and a frame whose coded
// size leads straight to an accepted frame start gets that size as its length, which is the
// answer the length search gives in that case, without the search. Everything else (the frame
// start tests, the length of a frame that does not lead to a frame start, every test within a
// few bytes of a window's end) goes through the same analysis functions as the refill, with
// the same byte counts, so the rows are the window chain's rows.

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
  TFileStretch(const TFileStream& Stream, uint8_t* Buffer, int32_t Capacity, int64_t Size)
      : FStream(Stream), FBuffer(Buffer), FCapacity(Capacity), FSize(Size) {}

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
  int64_t FBase = 0;
  int32_t FLoaded = 0;
};

}  // namespace

bool TFrameWindow::WalkFrames(int64_t Position, const TWalkVisitor& Visit, const TWalkProgress& Progress) {
  try {
    if (!FFileStream.IsOpen() || Position < 0) return false;
    return FEAC3 ? WalkChain<TAC3PlusKind>(Position, Visit, Progress)
                 : WalkChain<TAC3Kind>(Position, Visit, Progress);
  } catch (...) {
    DebugLog(u"nox: Error in TForm1.WalkFrames call...");
    return false;
  }
}

template <typename TKind>
bool TFrameWindow::WalkChain(int64_t Position, const TWalkVisitor& Visit, const TWalkProgress& Progress) {
  const int64_t Size = FFileStream.Size();
  if (Size < 0) return false;
  TFileStretch Stretch(FFileStream, FBuff.get(), FrameBuffSize, Size);

  for (;;) {
    int32_t Count = 0;
    const uint8_t* const Data = Stretch.Window(Position, Count);
    if (!Data) return false;
    const bool AtEnd = Position + Count == Stretch.Size();
    if (Progress) Progress(Position, Stretch.Size());

    int32_t Rows = 0;
    int32_t At = 0;
    int32_t LastAt = 0;
    int32_t LastLength = 0;
    int32_t KnownStart = -1;  // a position already found to be an accepted frame start
    while (Rows < MaxFrameRows && Count - At >= 4) {
      const uint8_t* const Here = Data + At;
      const int32_t Left = Count - At;
      if (At != KnownStart && (!IsSyncword(Here) || !TKind::ValidFramePoint(Here, Left, Ffscod))) {
        At = NextSyncword(Data, At + 1, Count - 4);
        continue;
      }
      int32_t Length = 0;
      const int32_t Coded = Left >= HeaderBytesAtHand ? TKind::CodedSize(Here) : 0;
      const int32_t Next = At + Coded;
      if (Coded > 0 && Count - Next >= HeaderBytesAtHand && IsSyncword(Data + Next) &&
          TKind::ValidFramePoint(Data + Next, Count - Next, Ffscod)) {
        Length = Coded;
        KnownStart = Next;
      } else {
        TKind::PackLength(Here, Left, Length, Ffscod);
      }
      ++Rows;
      LastAt = At;
      if (Length <= 0) {
        if (AtEnd) Length = Left;
        LastLength = Length;
        Visit(TWalkFrame{Position + At, Length, Here, Left});
        break;
      }
      LastLength = Length;
      Visit(TWalkFrame{Position + At, Length, Here, Left});
      At += Length;
    }
    if (Rows < MaxFrameRows || LastLength <= 0) return true;
    Position += LastAt + LastLength;
  }
}

}  // namespace corvane
