#include "viewer/StreamWalk.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "analysis/FrameKinds.h"
#include "core/FileStream.h"

namespace corvane {
namespace {

// Turns the frames of the walk into the frames and junk of the file. FCovered is where the bytes
// accounted for so far end: everything before it was handed on as a frame or as junk.
template <typename TKind>
class TFrameResolver {
 public:
  TFrameResolver(const TFileStream& Reader, int64_t FileSize, TStreamVisitor& Visitor)
      : FReader(Reader), FFileSize(FileSize), FVisitor(Visitor) {}

  // False when the visitor ended the walk or a read failed (ReadFailed tells which).
  bool Walked(const TWalkFrame& Walked);
  // The bytes after the last frame.
  bool Finish() { return JunkUpTo(FFileSize); }
  bool ReadFailed() const { return FReadFailed; }

 private:
  bool JunkUpTo(int64_t Offset) {
    if (Offset <= FCovered) return true;
    const int64_t From = FCovered;
    FCovered = Offset;
    return FVisitor.Junk(From, Offset - From);
  }

  bool Emit(int64_t Offset, const uint8_t* Data, int32_t DataSize, int32_t CodedSize, int64_t Size, TFrameFit Fit,
            TFrameCrc Crc) {
    FCovered = std::max(FCovered, Offset + Size);
    return FVisitor.Frame(TStreamFrame{Offset, CodedSize, Size, Fit, Crc, Data, DataSize});
  }

  // The first position from From up to (not including) To where a frame starts that lies whole
  // within the End bytes at hand and passes its CRCs; -1 when there is none.
  static int32_t FindGoodFrame(const uint8_t* Data, int32_t From, int32_t To, int32_t End) {
    const int32_t Last = std::min(To, End - HeaderBytesAtHand + 1) - 1;
    for (int32_t At = NextSyncword(Data, From, Last); At <= Last; At = NextSyncword(Data, At + 1, Last)) {
      if (!TKind::ValidFramePoint(Data + At, End - At, -1)) continue;
      const int32_t Size = TKind::CodedSize(Data + At);
      if (Size > 0 && Size <= End - At && TKind::CheckCrc(Data + At, Size).Passed()) return At;
    }
    return -1;
  }

  // The bytes from the walked frame's start on that the resolution looks at: the walk's own when
  // it holds them all, read again otherwise. Count is 0 after a failed read.
  const uint8_t* Bytes(const TWalkFrame& Walked, int32_t Wanted, int32_t& Count) {
    if (Walked.Size >= Wanted && Walked.Size >= HeaderBytesAtHand) {
      Count = Wanted;
      return Walked.Data;
    }
    const int32_t Read = FReader.ReadAt(Walked.Offset, FBuffer.data(), Wanted);
    if (Read < 0) {
      FReadFailed = true;
      Count = 0;
      return nullptr;
    }
    // The frame-start tests and size codes read a header's first bytes even when fewer are there.
    std::memset(FBuffer.data() + Read, 0, FBuffer.size() - static_cast<size_t>(Read));
    Count = Read;
    return FBuffer.data();
  }

  const TFileStream& FReader;
  const int64_t FFileSize;
  TStreamVisitor& FVisitor;
  int64_t FCovered = 0;
  bool FReadFailed = false;
  std::array<uint8_t, 2 * MaxFrameBytes + HeaderBytesAtHand> FBuffer{};
};

template <typename TKind>
bool TFrameResolver<TKind>::Walked(const TWalkFrame& Walked) {
  const int64_t Offset = Walked.Offset;
  if (!JunkUpTo(Offset)) return false;
  // The walk's next frame starts at End (a length of 0 stands for one too far off to matter).
  const int64_t End = Walked.Length > 0 ? std::min(Offset + Walked.Length, FFileSize) : FFileSize;
  // A frame the walk passed over starts closer than its own size, so within MaxFrameBytes.
  const auto Span = static_cast<int32_t>(std::min<int64_t>(End - Offset, 2 * MaxFrameBytes));
  int32_t Have = 0;
  const uint8_t* const Data = Bytes(Walked, Span, Have);
  if (Data == nullptr) return false;

  const int32_t CodedSize = TKind::CodedSize(Data);
  if (CodedSize == 0) {
    // Without a size it can only run up to the next frame.
    return Emit(Offset, Data, std::min(Have, MaxFrameBytes), 0, End - Offset, TFrameFit::SizeUnknown, {});
  }

  int32_t Successor = -1;  // a good frame that starts inside this one
  if (CodedSize <= End - Offset) {
    const TFrameCrc Crc = TKind::CheckCrc(Data, CodedSize);
    if (Crc.Failed()) Successor = FindGoodFrame(Data, 1, CodedSize, Have);
    if (Successor < 0 && !Emit(Offset, Data, CodedSize, CodedSize, CodedSize, TFrameFit::Whole, Crc)) return false;
  } else {
    Successor = FindGoodFrame(Data, 1, Have, Have);
    if (Successor < 0) {
      const TFrameFit Fit = End < FFileSize ? TFrameFit::CutShort : TFrameFit::PastEnd;
      return Emit(Offset, Data, std::min(Have, CodedSize), CodedSize, End - Offset, Fit, {});
    }
  }
  if (Successor > 0 && !Emit(Offset, Data, Successor, CodedSize, Successor, TFrameFit::CutShort, {})) return false;

  // Frames the walk passed over in the bytes after this one.
  for (auto From = static_cast<int32_t>(FCovered - Offset);;) {
    const int32_t Found = FindGoodFrame(Data, From, std::min(Have, MaxFrameBytes), Have);
    if (Found < 0) return true;
    const int32_t Size = TKind::CodedSize(Data + Found);
    if (!JunkUpTo(Offset + Found)) return false;
    const TFrameCrc Crc = TKind::CheckCrc(Data + Found, Size);
    if (!Emit(Offset + Found, Data + Found, Size, Size, Size, TFrameFit::Whole, Crc)) return false;
    From = Found + Size;
  }
}

template <typename TKind>
TStreamWalkEnd Walk(TFrameWindow& Window, const TFileStream& Reader, int64_t Size, TStreamVisitor& Visitor,
                    const TFrameWindow::TWalkProgress& Progress, std::string& Error) {
  TFrameResolver<TKind> Resolver(Reader, Size, Visitor);
  bool Stopped = false;
  const bool Walked = Window.WalkFrames(
      0,
      [&](const TWalkFrame& Frame) {
        Stopped = !Resolver.Walked(Frame);
        return !Stopped;
      },
      Progress);
  if (Resolver.ReadFailed() || !Walked) {
    Error = Reader.LastError().empty() ? "read failed" : Reader.LastError();
    return TStreamWalkEnd::Failed;
  }
  if (Stopped || !Resolver.Finish()) return TStreamWalkEnd::Stopped;
  return TStreamWalkEnd::Completed;
}

}  // namespace

TStreamWalkEnd WalkStream(const std::filesystem::path& File, bool EAC3, TStreamVisitor& Visitor,
                          const TFrameWindow::TWalkProgress& Progress, std::string& Error) {
  TFileStream Reader;
  const int64_t Size = Reader.Open(File, TFileStream::TMode::Read) ? Reader.Size() : -1;
  if (Size < 0) {
    Error = Reader.LastError();
    return TStreamWalkEnd::Failed;
  }
  auto Window = std::make_unique<TFrameWindow>();
  if (!Window->OpenForWalk(File, EAC3)) {
    Error = "open failed";
    return TStreamWalkEnd::Failed;
  }
  return EAC3 ? Walk<TAC3PlusKind>(*Window, Reader, Size, Visitor, Progress, Error)
              : Walk<TAC3Kind>(*Window, Reader, Size, Visitor, Progress, Error);
}

}  // namespace corvane
