#include <array>
#include <memory>

#include "analysis/AC3Utils.h"
#include "core/FileStream.h"
#include "core/ODSUtls.h"

namespace corvane {
namespace {

// Detection looks at the start of the file only, so it answers at once for files of any size.
constexpr int32_t DetectionReadSize = 1024 * 1024;
constexpr int32_t DetectionMaxFrames = 32;
constexpr int32_t DetectionMinFrames = 3;

bool Failed() {
  DebugLog(u"nox: Error in IsAC3ES call...");
  return false;
}

// Reads up to Count bytes from the start of the file; -1 when it cannot be opened or read.
int32_t ReadFileStart(const std::filesystem::path& FileName, uint8_t* Buffer, int32_t Count) {
  TFileStream Stream;
  if (!Stream.Open(FileName, TFileStream::TMode::Read)) return -1;
  int32_t Total = 0;
  while (Total < Count) {
    const int32_t Got = Stream.Read(Buffer + Total, Count - Total);
    if (Got < 0) return -1;
    if (Got == 0) break;
    Total += Got;
  }
  return Total;
}

}  // namespace

bool IsAC3ES(const std::filesystem::path& FileName, int32_t& Fscod) {
  Fscod = -1;
  try {
    const auto Buffer = std::make_unique_for_overwrite<uint8_t[]>(DetectionReadSize);
    const int32_t Read = ReadFileStart(FileName, Buffer.get(), DetectionReadSize);
    if (Read < 0) return Failed();

    std::array<int32_t, 3> Votes{};
    int32_t Frames = 0;
    const uint8_t* Position = Buffer.get();
    int32_t Left = Read;
    while (Left >= 2 && Frames < DetectionMaxFrames) {
      if (AC3ValidFramePoint(Position, Left, -1)) {
        TAC3Frame Frame{};
        parse_ac3_frame(Position, Left, Frame);
        GetAC3ESPackLength(Position, Left, Frame.Length, -1);
        if (Frame.fscod < Votes.size()) ++Votes[Frame.fscod];
        ++Frames;
        // No frame start after this one: the stream ends here as far as detection goes.
        if (Frame.Length == 0) break;
        // Chain to the next frame start; the step below adds the last byte.
        Position += Frame.Length - 1;
        Left -= Frame.Length - 1;
      }
      ++Position;
      --Left;
    }

    // The majority sampling rate; a tie goes to the lowest fscod.
    int32_t Majority = 0;
    for (int32_t Code = 1; Code < static_cast<int32_t>(Votes.size()); ++Code)
      if (Votes[static_cast<size_t>(Code)] > Votes[static_cast<size_t>(Majority)]) Majority = Code;
    Fscod = Majority;
    return Frames >= DetectionMinFrames;
  } catch (...) {
    return Failed();
  }
}

}  // namespace corvane
