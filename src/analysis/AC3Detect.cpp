// Deciding whether a file is an AC-3 or an E-AC-3 elementary stream, and at which sampling
// rate: one scan-and-vote over the start of the file, run with the analysis functions of the kind
// asked about.

#include "analysis/AC3Detect.h"

#include <array>
#include <memory>
#include <string_view>

#include "analysis/FrameKinds.h"
#include "core/FileStream.h"
#include "core/ODSUtls.h"

namespace corvane {
namespace {

constexpr int32_t DetectionMaxFrames = 32;
constexpr int32_t DetectionMinFrames = 3;

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

// From the first frame start of the kind on, counts up to DetectionMaxFrames frames, each found
// at the end of the one before, and lets each vote for its fscod. A stream has at least
// DetectionMinFrames of them; its rate is the majority's, a tie going to the lowest fscod.
template <typename TKind>
bool DetectStream(const uint8_t* Data, int32_t Size, int32_t& Fscod) {
  Fscod = -1;
  std::array<int32_t, 3> Votes{};
  int32_t Frames = 0;
  const auto Frame = std::make_unique_for_overwrite<typename TKind::TFrame>();
  int32_t At = NextSyncword(Data, 0, Size - 2);
  while (Size - At >= 2 && Frames < DetectionMaxFrames) {
    const uint8_t* const Here = Data + At;
    if (!TKind::ValidFramePoint(Here, Size - At, -1)) {
      At = NextSyncword(Data, At + 1, Size - 2);
      continue;
    }
    DecodeFrame<TKind>(*Frame, Here, Size - At, At);
    TKind::PackLength(Here, Size - At, Frame->Length, -1);
    if (Frame->fscod < Votes.size()) ++Votes[Frame->fscod];
    ++Frames;
    // No frame start after this one: the stream ends here as far as the test goes.
    if (Frame->Length <= 0) break;
    At += Frame->Length;
  }

  int32_t Majority = 0;
  for (size_t Code = 1; Code < Votes.size(); ++Code)
    if (Votes[Code] > Votes[static_cast<size_t>(Majority)]) Majority = static_cast<int32_t>(Code);
  Fscod = Majority;
  return Frames >= DetectionMinFrames;
}

template <typename TKind>
bool DetectData(const uint8_t* Data, int32_t Size, int32_t& Fscod, std::u16string_view Name) {
  Fscod = -1;
  return GuardedCall(Name, [&] { return DetectStream<TKind>(Data, Size, Fscod); });
}

template <typename TKind>
bool DetectFile(const std::filesystem::path& FileName, int32_t& Fscod, std::u16string_view Name) {
  Fscod = -1;
  return GuardedCall(Name, [&] {
    const auto Buffer = std::make_unique_for_overwrite<uint8_t[]>(StreamTestBytes);
    const int32_t Read = ReadFileStart(FileName, Buffer.get(), StreamTestBytes);
    if (Read < 0) return ReportCallFailure(Name);
    return DetectStream<TKind>(Buffer.get(), Read, Fscod);
  });
}

}  // namespace

bool IsAC3ES(const uint8_t* Data, int32_t Size, int32_t& Fscod) {
  return DetectData<TAC3Kind>(Data, Size, Fscod, u"IsAC3ES");
}

bool IsAC3PlusES(const uint8_t* Data, int32_t Size, int32_t& Fscod) {
  return DetectData<TAC3PlusKind>(Data, Size, Fscod, u"IsAC3PlusES");
}

bool IsAC3ES(const std::filesystem::path& FileName, int32_t& Fscod) {
  return DetectFile<TAC3Kind>(FileName, Fscod, u"IsAC3ES");
}

bool IsAC3PlusES(const std::filesystem::path& FileName, int32_t& Fscod) {
  return DetectFile<TAC3PlusKind>(FileName, Fscod, u"IsAC3PlusES");
}

}  // namespace corvane
