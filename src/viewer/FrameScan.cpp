// Finding frames in the file: the scan of one window's bytes that the refill and the whole-file
// walk share, the length of a frame whose successor lies past the bytes at hand, and the three
// sync-point searches. A stretch of the file without an acceptable frame start may be longer
// than any one read, so every search for the next (or an earlier) frame start reads on, one
// FrameReadSize read after another, until it finds one or reaches the end (or the start) of the
// file; in a normal file the first read holds the answer.

#include <algorithm>
#include <limits>

#include "analysis/FrameKinds.h"
#include "core/ODSUtls.h"
#include "viewer/FrameWindow.h"

namespace corvane {
namespace {

// A read that stops short of the end of the file judges only the positions followed by at least
// this many of its bytes; the rest are tried again by the next read, which sees enough bytes
// after them for the tests' final answers.
constexpr int32_t DecideBytes = HeaderBytesAtHand;

// The backward searches read this many bytes past From, so that the test of a frame start at
// From itself sees its fscod instead of a byte that was not read.
constexpr int32_t SearchReadPastFrom = 8;

// The AC-3 test serves E-AC-3 files too: it reads only the syncword and fscod, placed alike in both kinds.
bool AC3Start(const uint8_t* Data, int32_t Left, int32_t Fscod) { return AC3ValidFramePoint(Data, Left, Fscod); }

int32_t LengthOrNone(int64_t Distance) {
  // A distance that the 32-bit length cannot hold is no length.
  return Distance <= std::numeric_limits<int32_t>::max() ? static_cast<int32_t>(Distance) : 0;
}

}  // namespace

void TFrameWindow::NotifyLongStep() const {
  if (FLongStepCallback) FLongStepCallback();
}

template <typename TAccept>
TFrameWindow::TScanResult TFrameWindow::ScanForward(int64_t From, int32_t MinLeft, const TAccept& Accept,
                                                    int64_t& Found) {
  const int64_t Size = FFileStream.Size();
  if (Size < 0) return TScanResult::Failed;
  uint8_t* const Data = FBuff.get() + FrameScratchOffset;
  for (int64_t Position = std::max<int64_t>(From, 0); Position < Size;) {
    // The scan's first read is its caller's second: the step has turned out a long one.
    if (Position == std::max<int64_t>(From, 0)) NotifyLongStep();
    const int32_t Count = ReadInto(Data, Position, FrameReadSize);
    if (Count < 0) return TScanResult::Failed;
    // A short read ends the file as far as the scan goes (it may have been cut short meanwhile).
    const bool AtEnd = Count < FrameReadSize || Position + Count >= Size;
    const int32_t Last = AtEnd ? Count - MinLeft : Count - DecideBytes;
    for (int32_t At = NextSyncword(Data, 0, Last); At <= Last; At = NextSyncword(Data, At + 1, Last)) {
      if (Accept(Data + At, Count - At, Position + At)) {
        Found = Position + At;
        return TScanResult::Found;
      }
    }
    if (AtEnd) break;
    Position += Last + 1;
  }
  return TScanResult::None;
}

template <typename TKind>
TFrameWindow::TScanResult TFrameWindow::FindFrameStart(int64_t From, int64_t& Found) {
  const auto Accept = [this](const uint8_t* Data, int32_t Left, int64_t) {
    return TKind::ValidFramePoint(Data, Left, Ffscod);
  };
  return ScanForward(From, 4, Accept, Found);
}

// The length search of the kind over the bytes at hand; when it finds nothing there and the
// file goes on, the same search goes on past them, as if the read had run to the end of the
// file. A frame with no successor runs to the end of the file.
template <typename TKind>
TFrameWindow::TFollow TFrameWindow::FollowFrame(const uint8_t* Here, int32_t Left, int64_t Offset, bool AtEnd) {
  TFollow Follow;
  // A frame whose coded size leads straight to an acceptable frame start has that size as its
  // length: the answer the length search gives in that case, without the search.
  const int32_t Coded = Left >= HeaderBytesAtHand ? TKind::CodedSize(Here) : 0;
  int32_t Length = 0;
  if (Coded > 0 && Left - Coded >= HeaderBytesAtHand && IsSyncword(Here + Coded) &&
      TKind::ValidFramePoint(Here + Coded, Left - Coded, Ffscod))
    Length = Coded;
  else
    TKind::PackLength(Here, Left, Length, Ffscod);
  if (Length > 0) {
    Follow.Length = Length;
    Follow.Next = Offset + Length;
    return Follow;
  }

  Follow.Beyond = true;
  if (AtEnd) {
    // The last frame runs to the end of the file.
    Follow.Length = Left;
    return Follow;
  }
  const int64_t Size = FFileStream.Size();
  if (FFollowedFrame != Offset || FFollowedSize != Size) {
    // The size code sits in the frame's first bytes, which the read may have cut off.
    uint8_t Header[HeaderBytesAtHand] = {};
    if (Left >= HeaderBytesAtHand) {
      std::copy(Here, Here + HeaderBytesAtHand, Header);
    } else {
      ++FReadCount;
      if (FFileStream.ReadAt(Offset, Header, HeaderBytesAtHand) < 0) Follow.Ok = false;
    }
    const int32_t OwnSize = TKind::CodedSize(Header);
    // Positions followed by enough bytes of the read were judged by the length search already.
    const int64_t From = std::max(Offset + std::max(OwnSize, 1), Offset + Left - DecideBytes + 1);
    const auto Accept = [&](const uint8_t* Data, int32_t DataLeft, int64_t Position) {
      return TKind::FollowsAt(Data, DataLeft, Position - Offset, OwnSize, Ffscod);
    };
    int64_t Next = -1;
    const TScanResult Result = Follow.Ok ? ScanForward(From, 4, Accept, Next) : TScanResult::Failed;
    if (Result == TScanResult::Failed) {
      Follow.Ok = false;
      return Follow;
    }
    FFollowedFrame = Offset;
    FFollowedNext = Result == TScanResult::Found ? Next : -1;
    FFollowedSize = Size;
  }
  // With no frame after it, the frame runs to the end of the file.
  Follow.Next = FFollowedNext;
  Follow.Length = LengthOrNone((Follow.Next >= 0 ? Follow.Next : FFollowedSize) - Offset);
  return Follow;
}

template <typename TKind>
TFrameWindow::TScanEnd TFrameWindow::ScanFrames(const uint8_t* Data, int32_t Count, int64_t Position, bool AtEnd,
                                                int32_t MaxRows, const TWalkVisitor& Sink) {
  TScanEnd End;
  End.Next = AtEnd ? -1 : -2;
  int32_t At = 0;
  int32_t KnownStart = -1;  // a position already found to be an acceptable frame start
  while (End.Rows < MaxRows && Count - At >= 4) {
    const uint8_t* const Here = Data + At;
    const int32_t Left = Count - At;
    if (At != KnownStart && (!IsSyncword(Here) || !TKind::ValidFramePoint(Here, Left, Ffscod))) {
      At = NextSyncword(Data, At + 1, Count - 4);
      continue;
    }
    const TFollow Follow = FollowFrame<TKind>(Here, Left, Position + At, AtEnd);
    if (!Follow.Ok) {
      End.Ok = false;
      return End;
    }
    ++End.Rows;
    End.Next = Follow.Next;
    End.Stopped = !Sink(TWalkFrame{Position + At, Follow.Length, Here, Left});
    if (End.Stopped || Follow.Beyond) break;
    // The length search found the next frame start with the same bytes as this scan has.
    At += Follow.Length;
    KnownStart = At;
  }
  return End;
}

template TFrameWindow::TScanEnd TFrameWindow::ScanFrames<TAC3Kind>(const uint8_t*, int32_t, int64_t, bool, int32_t,
                                                                   const TWalkVisitor&);
template TFrameWindow::TScanEnd TFrameWindow::ScanFrames<TAC3PlusKind>(const uint8_t*, int32_t, int64_t, bool, int32_t,
                                                                       const TWalkVisitor&);
template TFrameWindow::TFollow TFrameWindow::FollowFrame<TAC3Kind>(const uint8_t*, int32_t, int64_t, bool);
template TFrameWindow::TFollow TFrameWindow::FollowFrame<TAC3PlusKind>(const uint8_t*, int32_t, int64_t, bool);
template TFrameWindow::TScanResult TFrameWindow::FindFrameStart<TAC3Kind>(int64_t, int64_t&);
template TFrameWindow::TScanResult TFrameWindow::FindFrameStart<TAC3PlusKind>(int64_t, int64_t&);

// ------------------------------------------------------------------------------------------
// The searches

bool TFrameWindow::SearchNextPackPositionFromPos(int64_t& Found, int64_t From) {
  constexpr std::u16string_view Name = u"TForm1.SearchNextPackPositionFromPos";
  return GuardedCall(Name, [&] {
    if (!FFileStream.IsOpen() || From < 0 || From >= FFileStream.Size()) return false;
    const int32_t Count = ReadBuff(From, FrameReadSize);
    if (Count <= 0) return false;
    const uint8_t* const Data = FBuff.get();
    for (int32_t At = NextSyncword(Data, 0, Count - 4); Count - At >= 4; At = NextSyncword(Data, At + 1, Count - 4)) {
      if (AC3Start(Data + At, Count - At, Ffscod)) {
        Found = From + At;
        return true;
      }
    }
    if (Count < FrameReadSize || From + Count >= FFileStream.Size()) return false;
    const auto Accept = [this](const uint8_t* Candidate, int32_t Left, int64_t) {
      return AC3Start(Candidate, Left, Ffscod);
    };
    int64_t Next = -1;
    switch (ScanForward(From + Count - DecideBytes + 1, 4, Accept, Next)) {
      case TScanResult::Found:
        Found = Next;
        return true;
      case TScanResult::None:
        return false;
      case TScanResult::Failed:
        break;
    }
    return ReportCallFailure(Name);
  });
}

bool TFrameWindow::SearchPreviousPackPositionFromPos(int64_t& Found, int64_t From) {
  return SearchBackward(Found, 1, From, u"TForm1.SearchPreviousPackPositionFromPos");
}

bool TFrameWindow::SearchBackPackPositionFromPos(int64_t& Found, int32_t Count, int64_t From) {
  return SearchBackward(Found, Count, From, u"TForm1.SearchBackPackPositionFromPos");
}

// Tests every position from From down to the start of the file; each accepted one is Found, and
// the Count-th ends the search. With fewer, Found is the earliest accepted position. The first
// read covers the MiB before From; each further read the MiB before the one before.
bool TFrameWindow::SearchBackward(int64_t& Found, int32_t Count, int64_t From, std::u16string_view Name) {
  bool Accepted = false;
  const bool Done = GuardedCall(Name, [&] {
    if (!FFileStream.IsOpen() || From < 0 || From >= FFileStream.Size()) return false;
    int32_t Seen = 0;
    int64_t Start = std::max<int64_t>(From - FrameReadSize, 0);
    int32_t Read = ReadBuff(Start, static_cast<int32_t>(From - Start) + SearchReadPastFrom);
    if (Read <= 0) return false;
    const uint8_t* Data = FBuff.get();
    for (int64_t Top = From;;) {
      for (int64_t At = Top - Start; At >= 0; --At) {
        const int32_t Left = Read - static_cast<int32_t>(At);
        if (Left < 4 || !IsSyncword(Data + At) || !AC3Start(Data + At, Left, Ffscod)) continue;
        Found = Start + At;
        Accepted = true;
        if (++Seen == Count) return true;
      }
      if (Start == 0) return Accepted;
      // The next read ends DecideBytes after the last position it tests.
      if (Top == From) NotifyLongStep();
      Top = Start - 1;
      Start = std::max<int64_t>(Top + DecideBytes - FrameReadSize, 0);
      uint8_t* const Scratch = FBuff.get() + FrameScratchOffset;
      Read = ReadInto(Scratch, Start, static_cast<int32_t>(Top - Start) + DecideBytes);
      if (Read <= 0) return ReportCallFailure(Name);
      Data = Scratch;
    }
  });
  return Done || Accepted;
}

}  // namespace corvane
