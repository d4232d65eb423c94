#include "loudness/LoudnessScan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>

#include "analysis/FrameKinds.h"
#include "core/StringUtils.h"
#include "loudness/LoudnessMeter.h"
#include "loudness/TruePeak.h"
#include "viewer/StreamWalk.h"

namespace corvane {

namespace {

// Samples of an audio block, the transform's length in both kinds.
constexpr int32_t BlockSamples = 256;

// What the frames of one packet claim, carried with its audio to the measuring thread.
struct TPacketInfo {
  int64_t Offset = -1;
  int64_t Bytes = 0;
  int32_t Frames = 0;  // 0 for the further blocks of audio of a packet
  int32_t Dialnorm = -1;
  bool HasCompr = false;
  int32_t Compr = 0;   // millionths of a dB
  int32_t Dynrng = 0;
};

// Decoded audio on its way to the measuring thread: interleaved, with its layout.
struct TChunk {
  int32_t SampleRate = 0;
  int32_t Samples = 0;
  std::vector<TChannelRole> Roles;
  std::vector<float> Interleaved;
  TPacketInfo Info;
};

// Chunks from the decoding thread to the measuring one, at most Capacity at a time; used chunks
// go back for reuse, so the memory stays bounded. A thread that has to wait is woken only once
// there is a good deal to do: the decoder, stopped by a full queue, when it has emptied to
// LowWater; the meter, stopped by an empty one, when the next chunk comes. Waking a thread for
// each chunk would have the two take turns instead of working side by side.
class TChunkQueue {
 public:
  static constexpr size_t Capacity = 64;
  static constexpr size_t LowWater = Capacity / 4;

  std::unique_ptr<TChunk> Empty() {
    std::unique_lock Lock(FMutex);
    if (FFull.size() >= Capacity) FRoom.wait(Lock, [&] { return FFull.size() <= LowWater || FClosed; });
    if (FFree.empty()) return std::make_unique<TChunk>();
    auto Chunk = std::move(FFree.back());
    FFree.pop_back();
    return Chunk;
  }
  void Push(std::unique_ptr<TChunk> Chunk) {
    bool WasEmpty = false;
    {
      const std::lock_guard Lock(FMutex);
      WasEmpty = FFull.empty();
      FFull.push_back(std::move(Chunk));
    }
    if (WasEmpty) FFilled.notify_one();
  }
  // Null once the queue is closed and empty.
  std::unique_ptr<TChunk> Pop() {
    std::unique_lock Lock(FMutex);
    FFilled.wait(Lock, [&] { return !FFull.empty() || FClosed; });
    if (FFull.empty()) return nullptr;
    auto Chunk = std::move(FFull.front());
    FFull.pop_front();
    const bool Room = FFull.size() == LowWater;
    Lock.unlock();
    if (Room) FRoom.notify_one();
    return Chunk;
  }
  void Recycle(std::unique_ptr<TChunk> Chunk) {
    const std::lock_guard Lock(FMutex);
    FFree.push_back(std::move(Chunk));
  }
  void Close() {
    {
      const std::lock_guard Lock(FMutex);
      FClosed = true;
    }
    FFilled.notify_all();
    FRoom.notify_all();
  }

 private:
  std::mutex FMutex;
  std::condition_variable FFilled;
  std::condition_variable FRoom;
  std::deque<std::unique_ptr<TChunk>> FFull;
  std::vector<std::unique_ptr<TChunk>> FFree;
  bool FClosed = false;
};

// The measuring thread's side: the loudness meter and the series.
class TMeasuring {
 public:
  TMeasuring(double Step, const std::function<bool(const TSeriesRow&)>& Series) : FStep(Step), FSeries(Series) {
    FNext = Step;
  }

  // False when the meter failed or the series' receiver ended the measurement.
  bool Add(const TChunk& Chunk) {
    const int32_t Channels = static_cast<int32_t>(Chunk.Roles.size());
    const TPacketInfo& Info = Chunk.Info;
    if (Info.Frames > 0) FOffset = Info.Offset;
    int32_t Done = 0;
    while (Done < Chunk.Samples) {
      int32_t Count = Chunk.Samples - Done;
      const double Now = Time(Done, Chunk.SampleRate);
      if (FStep > 0.0) {
        const auto ToStep = static_cast<int32_t>(std::llround((FNext - Now) * Chunk.SampleRate));
        Count = std::clamp(ToStep, 0, Count);
      }
      if (Count > 0 &&
          !FMeter.Add(Chunk.Interleaved.data() + static_cast<size_t>(Done) * static_cast<size_t>(Channels), Count,
                      Chunk.SampleRate, Chunk.Roles)) {
        FFailed = true;
        return false;
      }
      // The packet's bytes go to the steps its audio lies in, in proportion; its values to the
      // step it ends in.
      const double Share = static_cast<double>(Count) / Chunk.Samples;
      FStepBytes += static_cast<double>(Info.Bytes) * Share;
      Done += Count;
      if (Done == Chunk.Samples) Note(Info);
      if (FStep > 0.0 && Time(Done, Chunk.SampleRate) >= FNext - 0.5 / Chunk.SampleRate) {
        if (!EmitRow(FNext)) return false;
        FNext += FStep;
      }
    }
    FSamples += Chunk.Samples;
    FSeconds += static_cast<double>(Chunk.Samples) / Chunk.SampleRate;
    return true;
  }

  // The last, shorter step.
  bool Finish() { return FStep <= 0.0 || FSeconds <= FNext - FStep + 1e-9 || EmitRow(FSeconds); }

  const TLoudnessMeter& Meter() const { return FMeter; }
  bool Failed() const { return FFailed; }
  int64_t Samples() const { return FSamples; }
  double Seconds() const { return FSeconds; }

 private:
  double Time(int32_t Done, int32_t SampleRate) const { return FSeconds + static_cast<double>(Done) / SampleRate; }

  void Note(const TPacketInfo& Info) {
    if (Info.Frames == 0) return;
    FRow.Dialnorm = Info.Dialnorm;
    if (Info.HasCompr) FRow.Compr.Add(Info.Compr);
    FRow.Dynrng.Add(Info.Dynrng);
  }

  bool EmitRow(double End) {
    FRow.Time = End;
    FRow.Offset = FOffset;
    FRow.Momentary = FMeter.Momentary();
    FRow.ShortTerm = FMeter.ShortTerm();
    const double Duration = End - FRowStart;
    FRow.Kbps = Duration > 0.0 ? FStepBytes * 8.0 / Duration / 1000.0 : 0.0;
    const bool Go = !FSeries || FSeries(FRow);
    FRow = TSeriesRow{};
    FRowStart = End;
    FStepBytes = 0.0;
    return Go;
  }

  TLoudnessMeter FMeter;
  const double FStep;
  const std::function<bool(const TSeriesRow&)>& FSeries;
  double FNext = 0.0;
  double FRowStart = 0.0;
  double FStepBytes = 0.0;
  int64_t FOffset = -1;  // of the packet whose audio came last
  TSeriesRow FRow;
  int64_t FSamples = 0;
  double FSeconds = 0.0;
  bool FFailed = false;
};

double ToDb(double Linear) { return Linear > 0.0 ? 20.0 * std::log10(Linear) : -HUGE_VAL; }

std::vector<TValueCount> Counted(const std::map<uint32_t, int64_t>& Counts) {
  std::vector<TValueCount> Values;
  for (const auto& [Value, Frames] : Counts) Values.push_back({Value, Frames});
  return Values;
}

// The decoding side: walks the file's frames, gathers each packet's frames and metadata,
// decodes it, takes the true peaks and hands the audio on.
template <typename TKind>
class TDecoding final : public TStreamVisitor {
 public:
  TDecoding(const TLoudnessRequest& Request, TChunkQueue& Queue, TLoudnessResult& Result, const std::atomic<bool>& Stop)
      : FRequest(Request), FQueue(Queue), FResult(Result), FStop(Stop), FDecoder(Request.EAC3, Request.DrcScale),
        FRecord(std::make_unique<typename TKind::TFrame>()) {}

  const std::string& SetupError() const { return FDecoder.SetupError(); }

  bool Frame(const TStreamFrame& Frame) override {
    if (FStop.load(std::memory_order_relaxed) || (FRequest.Cancel != nullptr && FRequest.Cancel->load())) return false;
    if (Frame.Fit != TFrameFit::Whole) {
      static const char* const Why[] = {"", "the frame is cut short", "the frame runs past the end of the file",
                                        "the frame's size is unknown"};
      Find(Frame.Offset, std::string("not measured: ") + Why[static_cast<size_t>(Frame.Fit)]);
      return true;
    }
    // The decoder is set up for the stream's kind; a frame of the other kind is a gap in it.
    if (Frame.EAC3 != std::is_same_v<TKind, TAC3PlusKind>) {
      Find(Frame.Offset, Frame.EAC3 ? "not measured: an E-AC-3 frame in an AC-3 stream"
                                    : "not measured: an AC-3 frame in an E-AC-3 stream");
      return true;
    }
    DecodeFrame<TKind>(*FRecord, Frame.Data, Frame.DataSize, Frame.Offset);
    // A damaged frame decodes to noise that would raise the peaks and the loudness; it is left out.
    if (Frame.Crc.Failed()) {
      Refuse(Frame, *FRecord, "not measured: " + ToUtf8(CrcVerdictText(Frame.Crc)));
      return true;
    }
    Take(Frame, *FRecord);
    return true;
  }
  bool Junk(int64_t, int64_t) override { return true; }

  // Decodes the packet still being gathered.
  void Finish() { Flush(); }

  void FillResult() {
    FResult.Dialnorms = Counted(FDialnorms);
    FResult.Dialnorm2s = Counted(FDialnorm2s);
    double Overall = 0.0;
    for (size_t Role = 0; Role < FPeaks.size(); ++Role) {
      if (!FSeen[Role]) continue;
      FResult.ChannelPeaks.emplace_back(static_cast<TChannelRole>(Role), ToDb(FPeaks[Role].Peak()));
      Overall = std::max(Overall, FPeaks[Role].Peak());
    }
    FResult.TruePeak = ToDb(Overall);
  }

 private:
  // Every finding is a frame of the programme left out: the audio has a gap there.
  void Find(int64_t Offset, std::string Text) {
    if (FResult.Findings.size() < FRequest.MaxFindings) FResult.Findings.push_back({Offset, std::move(Text)});
    ++FResult.FindingCount;
    FGap = true;
  }

  // The metadata of a frame that begins a packet of the measured programme.
  template <typename TFrame>
  void Claims(const TFrame& F) {
    ++FDialnorms[F.dialnorm];
    FInfo.Dialnorm = static_cast<int32_t>(F.dialnorm);
    FInfo.HasCompr = F.compre != 0;
    if (F.compre != 0) {
      FInfo.Compr = ComprMicroDb(F.compr);
      FResult.Compr.Add(FInfo.Compr);
    }
    // A first block without a dynamic range word is played at 0 dB.
    FInfo.Dynrng = F.dynrnge != 0 ? DynrngMicroDb(F.dynrng) : 0;
    FResult.Dynrng.Add(FInfo.Dynrng);
    if (F.acmod == 0) {
      ++FDialnorm2s[F.dialnorm2];
      if (F.compr2e != 0) FResult.Compr2.Add(ComprMicroDb(F.compr2));
      FResult.Dynrng2.Add(F.dynrng2e != 0 ? DynrngMicroDb(F.dynrng2) : 0);
    }
  }

  void Start(const TStreamFrame& Frame) {
    FPacket.assign(Frame.Data, Frame.Data + Frame.DataSize);
    FPacketOffset = Frame.Offset;
    FInfo = TPacketInfo{};
    FInfo.Offset = Frame.Offset;
    FInfo.Frames = 1;
    FInfo.Bytes = Frame.Size;
  }

  void Refuse(const TStreamFrame& Frame, const TAC3Frame&, std::string Why) { Find(Frame.Offset, std::move(Why)); }

  // Without its independent frame, the dependent frames after it are left out too.
  void Refuse(const TStreamFrame& Frame, const TAC3PlusFrame& F, std::string Why) {
    Find(Frame.Offset, std::move(Why));
    if (F.strmtyp == 1) return;
    Flush();
    FInOtherProgramme = F.substreamid != 0;
    FDependentsLeft = !FInOtherProgramme;
  }

  void Take(const TStreamFrame& Frame, const TAC3Frame& F) {
    Start(Frame);
    Claims(F);
    Flush();
  }

  // An E-AC-3 programme is independent substream 0 with the dependent substreams that follow
  // it; the decoder takes them as one packet.
  void Take(const TStreamFrame& Frame, const TAC3PlusFrame& F) {
    if (F.strmtyp == 1) {
      if (!FPacket.empty()) {
        FPacket.insert(FPacket.end(), Frame.Data, Frame.Data + Frame.DataSize);
        FInfo.Bytes += Frame.Size;
      } else if (FInOtherProgramme) {
        ++FResult.OtherProgrammes;
      } else if (FDependentsLeft) {
        Find(Frame.Offset, "not measured: its independent frame was left out");
      } else {
        Find(Frame.Offset, "not measured: a dependent frame without its independent frame");
      }
      return;
    }
    Flush();
    FDependentsLeft = false;
    if (F.strmtyp == 3) {
      Find(Frame.Offset, "not measured: reserved stream type 3");
      return;
    }
    FInOtherProgramme = F.substreamid != 0;
    if (FInOtherProgramme) {
      ++FResult.OtherProgrammes;
      return;
    }
    Start(Frame);
    Claims(F);
  }

  void Flush() {
    if (FPacket.empty()) return;
    ++FResult.Frames;
    if (FGap) {
      // After a gap the decoder starts afresh, and the first block of what it gives is left out:
      // without the block before it, its overlap cannot cancel the transform's aliasing.
      FDecoder.Restart();
      FSkip = BlockSamples;
      for (TTruePeak& Peak : FPeaks) Peak.Restart();
      FGap = false;
    }
    TPacketInfo Info = FInfo;
    std::string Error;
    const bool Decoded = FDecoder.Decode(
        FPacket.data(), static_cast<int32_t>(FPacket.size()),
        [&](const TDecodedAudio& Audio) {
          Measure(Audio, Info);
          Info = TPacketInfo{};  // further blocks of the packet carry no frames of their own
        },
        Error);
    if (!Decoded) {
      --FResult.Frames;
      Find(FPacketOffset, "not measured: the decoder refused the frame (" + Error + ")");
    }
    FPacket.clear();
  }

  void Measure(const TDecodedAudio& Audio, const TPacketInfo& Info) {
    const int32_t Skip = std::min(FSkip, Audio.Samples);
    FSkip -= Skip;
    const int32_t Samples = Audio.Samples - Skip;
    if (Samples <= 0 || Audio.Roles.empty()) return;
    if (Audio.Roles != FRoles || Audio.SampleRate != FSampleRate) {
      // Another layout or rate: the peaks go on, each channel's filter from silence.
      for (TTruePeak& Peak : FPeaks) Peak.Restart();
      FRoles = Audio.Roles;
      FSampleRate = Audio.SampleRate;
    }
    auto Chunk = FQueue.Empty();
    const size_t Channels = Audio.Roles.size();
    Chunk->SampleRate = Audio.SampleRate;
    Chunk->Samples = Samples;
    Chunk->Roles = Audio.Roles;
    Chunk->Info = Info;
    Chunk->Interleaved.resize(Channels * static_cast<size_t>(Samples));
    for (size_t Channel = 0; Channel < Channels; ++Channel) {
      const auto Role = static_cast<size_t>(Audio.Roles[Channel]);
      const float* Plane = Audio.Planes[Channel] + Skip;
      FPeaks[Role].Add(Plane, Samples);
      FSeen[Role] = true;
      float* To = Chunk->Interleaved.data() + Channel;
      for (int32_t Sample = 0; Sample < Samples; ++Sample) To[static_cast<size_t>(Sample) * Channels] = Plane[Sample];
    }
    FQueue.Push(std::move(Chunk));
  }

  const TLoudnessRequest& FRequest;
  TChunkQueue& FQueue;
  TLoudnessResult& FResult;
  const std::atomic<bool>& FStop;
  TFrameDecoder FDecoder;
  std::unique_ptr<typename TKind::TFrame> FRecord;
  std::vector<uint8_t> FPacket;
  int64_t FPacketOffset = 0;
  TPacketInfo FInfo;
  bool FInOtherProgramme = false;
  bool FDependentsLeft = false;
  bool FGap = false;   // a frame of the programme was left out since the last packet decoded
  int32_t FSkip = 0;   // decoded samples still to leave out after a gap
  std::map<uint32_t, int64_t> FDialnorms;
  std::map<uint32_t, int64_t> FDialnorm2s;
  std::array<TTruePeak, static_cast<size_t>(TChannelRole::Count)> FPeaks{};
  std::array<bool, static_cast<size_t>(TChannelRole::Count)> FSeen{};
  std::vector<TChannelRole> FRoles;
  int32_t FSampleRate = 0;
};

template <typename TKind>
TLoudnessResult Measure(const TLoudnessRequest& Request) {
  TLoudnessResult Result;
  TChunkQueue Queue;
  std::atomic<bool> Stop{false};
  TDecoding<TKind> Decoding(Request, Queue, Result, Stop);
  if (!Decoding.SetupError().empty()) {
    Result.Error = Decoding.SetupError();
    return Result;
  }
  TMeasuring Measuring(Request.SeriesStep, Request.Series);
  bool SeriesEnded = false;
  std::thread Meter([&] {
    while (auto Chunk = Queue.Pop()) {
      if (!Stop.load() && !Measuring.Add(*Chunk)) {
        SeriesEnded = !Measuring.Failed();
        Stop = true;
      }
      Queue.Recycle(std::move(Chunk));
    }
  });
  std::string Error;
  const TStreamWalkEnd End = WalkStream(Request.File, Decoding, Request.Progress, Error);
  if (End == TStreamWalkEnd::Completed) Decoding.Finish();
  Queue.Close();
  Meter.join();

  Decoding.FillResult();
  Result.Integrated = Measuring.Meter().Integrated();
  Result.Range = Measuring.Meter().Range();
  Result.DecodedSamples = Measuring.Samples();
  Result.Seconds = Measuring.Seconds();
  if (End == TStreamWalkEnd::Failed) {
    Result.Error = Error;
  } else if (Measuring.Failed()) {
    Result.Error = "the loudness meter failed";
  } else if (SeriesEnded) {
    Result.Error = "the series could not be passed on";
  } else if (End == TStreamWalkEnd::Stopped) {
    Result.Cancelled = true;
  } else if (!Measuring.Finish()) {
    Result.Error = "the series could not be passed on";
  } else {
    Result.Completed = true;
  }
  return Result;
}

}  // namespace

TLoudnessResult MeasureLoudness(const TLoudnessRequest& Request) {
  return Request.EAC3 ? Measure<TAC3PlusKind>(Request) : Measure<TAC3Kind>(Request);
}

TDialnormVerdict JudgeDialnorm(const TLoudnessResult& Result) {
  TDialnormVerdict Verdict;
  Verdict.Measured = std::isfinite(Result.Integrated);
  const auto Prevailing = std::max_element(Result.Dialnorms.begin(), Result.Dialnorms.end(),
                                           [](const TValueCount& A, const TValueCount& B) { return A.Frames < B.Frames; });
  Verdict.HasDialnorm = Prevailing != Result.Dialnorms.end();
  if (Verdict.HasDialnorm) {
    Verdict.Dialnorm = Prevailing->Value;
    // dialnorm 0 is reserved; decoders take it as 31.
    Verdict.Claimed = -static_cast<double>(Verdict.Dialnorm == 0 ? 31 : Verdict.Dialnorm);
  }
  if (Verdict.Measured && Verdict.HasDialnorm) {
    Verdict.Difference = std::round((Result.Integrated - Verdict.Claimed) * 10.0) / 10.0;
    Verdict.Agrees = std::fabs(Verdict.Difference) <= DialnormTolerance;
  }
  return Verdict;
}

uint32_t MatchingDialnorm(double Integrated) {
  if (!(Integrated > -31.0)) return 31;  // quieter than any level dialnorm claims, or nothing measured
  if (Integrated >= -1.0) return 1;
  return static_cast<uint32_t>(std::llround(-Integrated));
}

}  // namespace corvane
