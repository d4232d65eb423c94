#pragma once
// Test-only helpers for the viewer and CLI tests: the viewer's own streams, streams composed of
// real or synthetic frames, and the frame lists that the viewer produces. The shared streams
// and short-lived files come from support/TempFile.h.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/StringUtils.h"
#include "support/AC3Composer.h"
#include "support/TempFile.h"
#include "viewer/FrameRowText.h"
#include "viewer/FrameWindow.h"

namespace corvane::test {

using TBytes = std::vector<uint8_t>;

// The viewer's own streams live beside its tests; the shared ones in tests/data (TestDataPath).
inline std::filesystem::path ViewerDataPath(const std::string& Name) {
  return std::filesystem::path(CORVANE_TEST_DATA_DIR).parent_path() / "viewer" / "data" / Name;
}

// The frames of a clean stream, cut at the sizes their headers code.
inline std::vector<TBytes> SplitFrames(const TBytes& Stream, bool EAC3) {
  std::vector<TBytes> Frames;
  size_t At = 0;
  while (At + 5 <= Stream.size()) {
    const uint8_t* Frame = Stream.data() + At;
    const size_t Size = EAC3 ? static_cast<size_t>(AC3PlusFrameSizeBytes((static_cast<uint32_t>(Frame[2] & 7) << 8) | Frame[3]))
                             : static_cast<size_t>(AC3FrameSizeBytes(Frame[4] >> 6, Frame[4] & 0x3F));
    if (Size == 0 || At + Size > Stream.size()) throw std::runtime_error("not a clean stream");
    Frames.emplace_back(Frame, Frame + Size);
    At += Size;
  }
  return Frames;
}

inline void AppendBytes(TBytes& To, const TBytes& Bytes) { To.insert(To.end(), Bytes.begin(), Bytes.end()); }

// Count frames of a stream, taken in turn (and from the start again when it runs out).
inline TBytes RepeatFrames(const std::vector<TBytes>& Frames, size_t Count) {
  TBytes Out;
  for (size_t Index = 0; Index < Count; ++Index) AppendBytes(Out, Frames[Index % Frames.size()]);
  return Out;
}

// Bytes that hold no syncword, so that no frame can start in them.
inline TBytes Garbage(size_t Count, unsigned Seed = 1) {
  std::mt19937 Random(Seed);
  TBytes Out(Count);
  for (auto& Byte : Out) {
    Byte = static_cast<uint8_t>(Random());
    if (Byte == 0x0B) Byte = 0x0C;
  }
  return Out;
}

// Junk as it comes: any length, odd or even, with 0B bytes in it (a quarter of them) but no
// syncword.
inline TBytes JunkWithSyncBytes(size_t Count, unsigned Seed) {
  std::mt19937 Random(Seed);
  TBytes Out(Count);
  for (size_t Index = 0; Index < Count; ++Index) {
    Out[Index] = Random() % 4 == 0 ? uint8_t{0x0B} : static_cast<uint8_t>(Random());
    if (Index > 0 && Out[Index - 1] == 0x0B && Out[Index] == 0x77) Out[Index] = 0x78;
  }
  return Out;
}

// Count synthetic AC-3 frames of 48 kHz at frmsizecod 8 (256 bytes), zero after the header.
inline TBytes SyntheticAC3(size_t Count, uint32_t fscod = 0, uint32_t frmsizecod = 8) {
  const TBytes Frame = ComposeAC3Frame(AC3Header(fscod, frmsizecod), static_cast<size_t>(AC3FrameSizeBytes(fscod, frmsizecod)));
  TBytes Out;
  for (size_t Index = 0; Index < Count; ++Index) AppendBytes(Out, Frame);
  return Out;
}

// An E-AC-3 frame of Size bytes (even) at fscod: a minimal independent-stream header, zeros after.
inline TBytes ComposeEAC3Frame(uint32_t fscod, size_t Size) {
  TBitWriter Bits;
  Bits.Put(0x0B77, 16).Put(0, 2).Put(0, 3).Put(static_cast<uint32_t>(Size / 2 - 1), 11);
  Bits.Put(fscod, 2).Put(3, 2).Put(2, 3).Put(0, 1).Put(16, 5);  // numblkscod, acmod, lfeon, bsid
  Bits.Put(31, 5).Put(0, 1).Put(0, 1).Put(0, 1).Put(0, 1);      // dialnorm, compre, mixmdate, infomdate, addbsie
  return Bits.PadTo(Size).Bytes();
}

// Count synthetic E-AC-3 frames of 48 kHz and 256 bytes.
inline TBytes SyntheticEAC3(size_t Count, uint32_t fscod = 0, size_t Size = 256) {
  const TBytes Frame = ComposeEAC3Frame(fscod, Size);
  TBytes Out;
  for (size_t Index = 0; Index < Count; ++Index) AppendBytes(Out, Frame);
  return Out;
}

inline std::unique_ptr<TFrameWindow> LoadedWindow(const std::filesystem::path& File, int32_t Rows) {
  auto Window = std::make_unique<TFrameWindow>();
  Window->SetVisibleRows(Rows);
  if (!Window->LoadFile(File, false)) throw std::runtime_error("cannot load " + File.string());
  return Window;
}

// The frame list of the chain of 256-row windows from Start on, each next window refilled from
// where the frame after the previous window's last frame starts, as lines of the list's text.
inline std::string ChainText(TFrameWindow& Window, int64_t Start) {
  Window.SetVisibleRows(MaxFrameRows);
  std::string Text;
  int64_t Position = Start;
  for (;;) {
    Window.RefreshPosition(Position);
    Text += ToUtf8(Window.ListText(u"\n"));
    const int32_t Count = Window.AC3FramesCount();
    if (Count == 0) {
      // Nothing in the refill's bytes: the chain goes on at the next frame start. The search
      // tests with the AC-3 test, which is the refill's own only in an AC-3 file.
      int64_t Found = 0;
      if (!Window.SearchNextPackPositionFromPos(Found, Position)) return Text;
      if (Window.EAC3()) throw std::runtime_error("an empty E-AC-3 window inside the file");
      Position = Found;
      continue;
    }
    if (Window.EndInView()) return Text;
    const int32_t Length = Window.FrameLength(Count - 1);
    if (Length <= 0) throw std::runtime_error("a frame too far from the next one");
    Position = Window.FrameOffset(Count - 1) + Length;
  }
}

// The same list from the whole-file walk.
inline std::string WalkText(TFrameWindow& Window, int64_t Start) {
  const TRowFormatter Formatter(Window.EAC3());
  std::string Text;
  char Line[TRowFormatter::MaxLineSize];
  const bool Done = Window.WalkFrames(Start, [&](const TWalkFrame& Frame) {
    Text.append(Line, Formatter.Format(Frame, Line));
    return true;
  });
  if (!Done) throw std::runtime_error("walk failed");
  return Text;
}

}  // namespace corvane::test
