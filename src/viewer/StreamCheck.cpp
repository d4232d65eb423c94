#include "viewer/StreamCheck.h"
#include "viewer/ViewerTexts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <type_traits>

#include "analysis/AC3Descriptions.h"
#include "analysis/AC3PlusSyntax.h"
#include "analysis/AC3Syntax.h"
#include "analysis/FrameKinds.h"
#include "core/StringUtils.h"

namespace corvane {
namespace {

// A/52 marks these codes reserved (dialnorm 0 included: levels run from 1 to 31 dB).
struct TReservedCode {
  uint8_t Field;
  uint32_t Value;
};

constexpr TReservedCode AC3ReservedCodes[] = {
    {static_cast<uint8_t>(TAC3FieldId::cmixlev), 3},   {static_cast<uint8_t>(TAC3FieldId::surmixlev), 3},
    {static_cast<uint8_t>(TAC3FieldId::dsurmod), 3},   {static_cast<uint8_t>(TAC3FieldId::roomtyp), 3},
    {static_cast<uint8_t>(TAC3FieldId::roomtyp2), 3},  {static_cast<uint8_t>(TAC3FieldId::dialnorm), 0},
    {static_cast<uint8_t>(TAC3FieldId::dialnorm2), 0},
};

constexpr TReservedCode AC3PlusReservedCodes[] = {
    {static_cast<uint8_t>(TAC3PlusFieldId::strmtyp), 3},      {static_cast<uint8_t>(TAC3PlusFieldId::dsurmod), 3},
    {static_cast<uint8_t>(TAC3PlusFieldId::dheadphonmod), 3}, {static_cast<uint8_t>(TAC3PlusFieldId::roomtyp), 3},
    {static_cast<uint8_t>(TAC3PlusFieldId::roomtyp2), 3},     {static_cast<uint8_t>(TAC3PlusFieldId::dialnorm), 0},
    {static_cast<uint8_t>(TAC3PlusFieldId::dialnorm2), 0},
};

// Bit 31 of a reserved mask stands for AC-3's frmsizecod 38 to 63, which codes no frame size.
constexpr uint32_t ReservedFrameSize = 1u << 31;

// Where the values of a substream are kept: E-AC-3 one per independent substream and one per
// dependent substream of each; AC-3 one after those.
constexpr size_t SlotsPerIndependent = 9;
constexpr size_t AC3Slot = 8 * SlotsPerIndependent;
constexpr size_t SlotCount = AC3Slot + 1;

std::u16string RateText(uint32_t Hz) { return UIntToStr(Hz) + u" Hz"; }
std::u16string KbpsText(uint32_t Kbps) { return UIntToStr(Kbps) + u" kbps"; }

// A + B * C / D rounded to the nearest whole number, for A, B, C, D >= 0 and D > 0, without the
// product overflowing: B * C is split into a quotient and a remainder of D first.
uint64_t MulDivRound(uint64_t B, uint64_t C, uint64_t D) {
  const uint64_t Whole = B / D * C;
  const uint64_t Rest = B % D;  // Rest * C may still be large: long division by halves of C
  uint64_t Quotient = 0;
  uint64_t Remainder = 0;
  for (int Bit = 63; Bit >= 0; --Bit) {
    // Remainder stays below D; doubling it and adding the next bit of Rest * C is done bit by bit.
    Remainder <<= 1;
    Quotient <<= 1;
    if ((C >> Bit) & 1) Remainder += Rest;
    while (Remainder >= D) {
      Remainder -= D;
      ++Quotient;
    }
  }
  return Whole + Quotient + (2 * Remainder >= D ? 1 : 0);
}

// A fixed-point number as text: Value units of 10^-Decimals, without the locale (the desktop
// program runs under the user's).
std::u16string Decimal(int64_t Value, int Decimals) {
  int64_t Scale = 1;
  for (int Digit = 0; Digit < Decimals; ++Digit) Scale *= 10;
  std::u16string Fraction = UIntToStr(static_cast<uint64_t>(Value % Scale));
  Fraction.insert(0, static_cast<size_t>(Decimals) - Fraction.size(), u'0');
  return IntToStr(Value / Scale) + u"." + Fraction;
}

// The same for a signed number.
std::u16string SignedDecimal(int64_t Value, int Decimals) {
  const uint64_t Magnitude = Value < 0 ? 0 - static_cast<uint64_t>(Value) : static_cast<uint64_t>(Value);
  std::u16string Text = Decimal(static_cast<int64_t>(Magnitude), Decimals);
  if (Value < 0) Text.insert(Text.begin(), u'-');
  return Text;
}

// The gains of the 256 words of a gain field, in millionths of a dB: each computed and rounded
// once, so that sums of them are whole numbers that every build adds up alike.
template <double (*ToDb)(uint32_t)>
const std::array<int32_t, 256>& GainTable() {
  static const std::array<int32_t, 256> Table = [] {
    std::array<int32_t, 256> Gains{};
    for (uint32_t Word = 0; Word < Gains.size(); ++Word)
      Gains[Word] = static_cast<int32_t>(std::llround(ToDb(Word) * 1e6));
    return Gains;
  }();
  return Table;
}

std::u16string SubstreamText(const TSubstream& Substream) {
  if (Substream.Independent < 0 || (Substream.Independent == 0 && Substream.Dependent < 0)) return u"";
  std::u16string Text = u" in ";
  if (Substream.Dependent >= 0) Text += u"dependent substream " + IntToStr(Substream.Dependent) + u" of ";
  return Text + u"independent substream " + IntToStr(Substream.Independent);
}

const char16_t* KindName(bool EAC3) { return EAC3 ? u"E-AC-3" : u"AC-3"; }

std::u16string ChangeValueText(TChangeField Field, uint32_t Value) {
  switch (Field) {
    case TChangeField::SamplingRate:
      return RateText(Value);
    case TChangeField::BitRate:
      return KbpsText(Value);
    case TChangeField::Kind:
      return KindName(Value != 0);
    default:
      return UIntToStr(Value);
  }
}

const char16_t* ChangeFieldName(TChangeField Field) {
  switch (Field) {
    case TChangeField::SamplingRate:
      return u"sampling rate";
    case TChangeField::Acmod:
      return u"acmod";
    case TChangeField::Lfeon:
      return u"lfeon";
    case TChangeField::BitRate:
      return u"bit rate";
    case TChangeField::Dialnorm:
      return u"dialnorm";
    case TChangeField::Bsid:
      return u"bsid";
    case TChangeField::Kind:
      return u"kind";
  }
  return u"";
}

template <typename T>
std::u16string JoinBits(uint32_t Bits, const T& Text) {
  std::u16string Joined;
  for (uint32_t Bit = 0; Bit < 32; ++Bit) {
    if (!((Bits >> Bit) & 1)) continue;
    if (!Joined.empty()) Joined += u", ";
    Joined += Text(Bit);
  }
  return Joined.empty() ? u"none" : Joined;
}

std::u16string Counted(int64_t Count, const char16_t* One, const char16_t* Many) {
  return IntToStr(Count) + u" " + (Count == 1 ? One : Many);
}

// What the check takes from one decoded header.
struct THeaderValues {
  uint32_t RateCode = 0;  // as SamplingRateOfCode reads it
  uint32_t Rate = 0;      // Hz; 0 for a reserved code
  uint32_t acmod = 0;
  uint32_t lfeon = 0;
  uint32_t bsid = 0;
  uint32_t dialnorm = 0;
  uint32_t dialnorm2 = 0;
  bool HasDialnorm2 = false;
  uint32_t Kbps = 0;  // 0 where the frame codes no rate
  uint32_t Samples = 0;
  uint32_t Reserved = 0;  // bit n: entry n of the kind's reserved codes; ReservedFrameSize
  TSubstream Substream;
  bool Timed = true;  // its samples count towards the duration
  bool compre = false;
  uint32_t compr = 0;
  bool compr2e = false;
  uint32_t compr2 = 0;
  uint32_t dynrng = 0;   // 0 (0 dB) where the first block sends none
  uint32_t dynrng2 = 0;
};

template <typename TFrame, size_t Count>
uint32_t ReservedMask(const TFrame& Frame, const TReservedCode (&Codes)[Count]) {
  uint32_t Mask = 0;
  for (const TFieldPosition& Field : Frame.Layout.Decoded())
    for (size_t Code = 0; Code < Count; ++Code)
      if (Field.Field == Codes[Code].Field && Field.Value == Codes[Code].Value) Mask |= 1u << Code;
  return Mask;
}

// The values both kinds carry under the same names.
template <typename TFrame>
THeaderValues SharedValuesOf(const TFrame& Frame) {
  THeaderValues Values;
  Values.RateCode = Frame.fscod;
  Values.acmod = Frame.acmod;
  Values.lfeon = Frame.lfeon;
  Values.bsid = Frame.bsid;
  Values.dialnorm = Frame.dialnorm;
  Values.HasDialnorm2 = Frame.acmod == 0;
  Values.dialnorm2 = Frame.dialnorm2;
  Values.compre = Frame.compre != 0;
  Values.compr = Frame.compr;
  Values.compr2e = Frame.compr2e != 0;
  Values.compr2 = Frame.compr2;
  Values.dynrng = Frame.dynrnge != 0 ? Frame.dynrng : 0;
  Values.dynrng2 = Frame.dynrng2e != 0 ? Frame.dynrng2 : 0;
  return Values;
}

THeaderValues ValuesOf(const TAC3Frame& Frame, int32_t CodedSize) {
  THeaderValues Values = SharedValuesOf(Frame);
  if (Frame.fscod > 2) Values.RateCode = SamplingRateCodes;  // reserved in AC-3
  Values.Rate = SamplingRateOfCode(Values.RateCode);
  Values.Kbps = Frame.frmsizecod < AC3BitrateTable.size() ? AC3BitrateTable[Frame.frmsizecod] : 0;
  Values.Samples = 1536;
  Values.Reserved = ReservedMask(Frame, AC3ReservedCodes) | (CodedSize == 0 ? ReservedFrameSize : 0);
  return Values;
}

THeaderValues ValuesOf(const TAC3PlusFrame& Frame, int32_t CodedSize) {
  THeaderValues Values = SharedValuesOf(Frame);
  Values.Samples = 256 * static_cast<uint32_t>(std::max(NumblkscodToBlocks(static_cast<int32_t>(Frame.numblkscod)), 1));
  // The reduced rates: fscod 3, the rate in fscod2 (3 is reserved).
  if (Frame.fscod == 3) Values.RateCode = Frame.fscod2 < 3 ? 3 + Frame.fscod2 : SamplingRateCodes;
  Values.Rate = SamplingRateOfCode(Values.RateCode);
  // The rate a frame of this size stands for, to the nearest kbps (44.1 kHz frames alternate
  // between two sizes a word apart, which round to the same rate).
  const uint64_t Bits = uint64_t{static_cast<uint32_t>(CodedSize)} * 8 * Values.Rate;
  Values.Kbps = static_cast<uint32_t>((Bits + Values.Samples * 500ull) / (Values.Samples * 1000ull));
  Values.Reserved = ReservedMask(Frame, AC3PlusReservedCodes);
  return Values;
}

}  // namespace

struct TStreamChecker::TState {
  struct TSlot {
    bool Seen = false;
    uint32_t Rate = 0;
    uint32_t acmod = 0;
    uint32_t lfeon = 0;
    uint32_t Kbps = 0;
    uint32_t dialnorm = 0;
    uint32_t bsid = 0;
    uint32_t Reserved = 0;
  };
  std::array<TSlot, SlotCount> Slots{};
  bool LastEAC3 = false;   // the kind of the frame before
  int8_t Independent = 0;  // the independent substream the dependent ones that follow belong to
  // For frames whose header cannot be trusted, the time the last good one took.
  uint32_t LastRate = 48000;
  uint32_t LastSamples = 1536;
  std::unique_ptr<TAC3Frame> AC3 = std::make_unique<TAC3Frame>();
  std::unique_ptr<TAC3PlusFrame> AC3Plus = std::make_unique<TAC3PlusFrame>();
};

TStreamChecker::TStreamChecker(bool EAC3, int64_t FileSize, TFindingSink Sink)
    : FSink(std::move(Sink)), FState(std::make_unique<TState>()) {
  FSummary.EAC3 = EAC3;
  FSummary.FileSize = FileSize;
  FState->LastEAC3 = EAC3;
}

TStreamChecker::~TStreamChecker() = default;

bool TStreamChecker::Tell(TStreamFinding Finding) {
  if (Finding.IsProblem())
    ++FSummary.Problems;
  else
    ++FSummary.Changes;
  Finding.AtTicks = FNow;
  return !FSink || FSink(Finding);
}

bool TStreamChecker::Junk(int64_t Offset, int64_t Length) {
  FNow = FSummary.DurationTicks;
  ++FSummary.JunkRegions;
  FSummary.JunkBytes += Length;
  TStreamFinding Finding;
  Finding.Kind = TFindingKind::Junk;
  Finding.Offset = Offset;
  Finding.Length = Length;
  return Tell(Finding);
}

bool TStreamChecker::Frame(const TStreamFrame& Frame) {
  FNow = FSummary.DurationTicks;
  ++FSummary.Frames;
  FSummary.FrameBytes += Frame.Size;
  if (Frame.EAC3 != FSummary.EAC3) ++FSummary.OtherKindFrames;
  TStreamFinding Finding;
  Finding.Offset = Frame.Offset;
  if (Frame.EAC3 != FState->LastEAC3) {
    // Told first: the frame's other findings are those of its kind.
    Finding.Kind = TFindingKind::Change;
    Finding.Changed = TChangeField::Kind;
    Finding.Previous = FState->LastEAC3 ? 1 : 0;
    Finding.Value = Frame.EAC3 ? 1 : 0;
    FState->LastEAC3 = Frame.EAC3;
    if (!Tell(Finding)) return false;
  }
  Finding.Length = Frame.Size;
  Finding.CodedSize = Frame.CodedSize;
  Finding.Crc = Frame.Crc;
  bool Going = true;
  if (Frame.Fit == TFrameFit::Whole && Frame.Crc.Failed()) {
    ++FSummary.CrcFailures;
    Finding.Kind = TFindingKind::CrcFailed;
    Going = Tell(Finding);
  } else if (Frame.Fit == TFrameFit::CutShort || Frame.Fit == TFrameFit::PastEnd) {
    ++FSummary.Truncated;
    Finding.Kind = Frame.Fit == TFrameFit::CutShort ? TFindingKind::CutShort : TFindingKind::PastEnd;
    Going = Tell(Finding);
  }
  return Going && (Frame.EAC3 ? Header<TAC3PlusKind>(Frame) : Header<TAC3Kind>(Frame));
}

template <typename TKind>
bool TStreamChecker::Header(const TStreamFrame& Frame) {
  TState& State = *FState;
  // The header lies in what crc1 covers in AC-3 and crc2 in E-AC-3: when that fails, its values
  // may be anything, and only its time counts.
  constexpr bool EAC3 = std::is_same_v<TKind, TAC3PlusKind>;
  const bool Trusted = EAC3 ? Frame.Crc.crc2 != TCrcVerdict::Failed : Frame.Crc.crc1 != TCrcVerdict::Failed;
  FLast = TCheckedFrame{};
  FLast.StartTicks = FSummary.DurationTicks;
  if (!Trusted) {
    FLast.Ticks = int64_t{State.LastSamples} * (TStreamSummary::DurationTicksPerSecond / State.LastRate);
    FSummary.DurationTicks += FLast.Ticks;
    return true;
  }
  THeaderValues Values;
  if constexpr (std::is_same_v<TKind, TAC3PlusKind>) {
    TAC3PlusFrame& Decoded = *State.AC3Plus;
    TKind::Parse(Frame.Data, Frame.DataSize, Decoded);
    Values = ValuesOf(Decoded, Frame.CodedSize);
    const auto Id = static_cast<int8_t>(Decoded.substreamid & 7);
    if (Decoded.strmtyp == 1) {
      Values.Substream = {State.Independent, Id};
      FSummary.Dependent[static_cast<size_t>(State.Independent)] |= static_cast<uint8_t>(1u << Id);
    } else {
      State.Independent = Id;
      Values.Substream = {Id, -1};
      FSummary.Independent |= 1u << Id;
    }
    Values.Timed = Values.Substream.Independent == 0 && Values.Substream.Dependent < 0;
  } else {
    TAC3Frame& Decoded = *State.AC3;
    TKind::Parse(Frame.Data, Frame.DataSize, Decoded);
    Values = ValuesOf(Decoded, Frame.CodedSize);
  }

  const uint32_t Rate = Values.Rate;
  if (Values.Timed && Rate != 0) {
    State.LastRate = Rate;
    State.LastSamples = Values.Samples;
    FLast.Ticks = int64_t{Values.Samples} * (TStreamSummary::DurationTicksPerSecond / Rate);
    FSummary.DurationTicks += FLast.Ticks;
  }
  FLast.Trusted = true;
  FLast.Timed = Values.Timed;
  FLast.Kbps = Values.Kbps;
  FLast.dialnorm = Values.dialnorm;
  FLast.HasCompr = Values.compre;
  FLast.Compr = Values.compre ? ComprMicroDb(Values.compr) : 0;
  FLast.Dynrng = DynrngMicroDb(Values.dynrng);
  if (Values.Timed) {
    if (Values.compre) FSummary.Compr.Add(FLast.Compr);
    FSummary.Dynrng.Add(FLast.Dynrng);
    if (Values.HasDialnorm2) {
      if (Values.compr2e) FSummary.Compr2.Add(ComprMicroDb(Values.compr2));
      FSummary.Dynrng2.Add(DynrngMicroDb(Values.dynrng2));
    }
  }
  if (Rate != 0) FSummary.SamplingRates |= 1u << Values.RateCode;
  FSummary.AcmodLfeon |= 1u << ((Values.acmod & 7) * 2 + (Values.lfeon & 1));
  FSummary.Bsids |= 1u << (Values.bsid & 31);
  FSummary.Dialnorms |= 1u << (Values.dialnorm & 31);
  if (Values.HasDialnorm2) FSummary.Dialnorm2s |= 1u << (Values.dialnorm2 & 31);
  if (Values.Kbps != 0 && !std::binary_search(FSummary.Kbps.begin(), FSummary.Kbps.end(), Values.Kbps)) {
    if (FSummary.Kbps.size() < TStreamSummary::MaxKbpsValues)
      FSummary.Kbps.insert(std::upper_bound(FSummary.Kbps.begin(), FSummary.Kbps.end(), Values.Kbps), Values.Kbps);
    else
      FSummary.MoreKbps = true;
  }

  const size_t SlotIndex = Values.Substream.Independent < 0
                               ? AC3Slot
                               : static_cast<size_t>(Values.Substream.Independent) * SlotsPerIndependent +
                                     static_cast<size_t>(Values.Substream.Dependent + 1);
  TState::TSlot& Slot = State.Slots[SlotIndex];

  TStreamFinding Finding;
  Finding.Offset = Frame.Offset;
  Finding.Substream = Values.Substream;
  if (Values.Reserved != 0) ++FSummary.ReservedFrames;
  // A reserved code is told at the first frame of each run of frames that carry it.
  for (uint32_t Bit = 0; Bit < 32; ++Bit) {
    if (!((Values.Reserved >> Bit) & 1) || ((Slot.Reserved >> Bit) & 1)) continue;
    Finding.Kind = TFindingKind::Reserved;
    if (Bit == 31) {
      Finding.Field = "frmsizecod";
      Finding.Value = State.AC3->frmsizecod;
    } else {
      const uint8_t Field = EAC3 ? AC3PlusReservedCodes[Bit].Field : AC3ReservedCodes[Bit].Field;
      Finding.Field = EAC3 ? AC3PlusFields[Field].Name : AC3Fields[Field].Name;
      Finding.Value = EAC3 ? AC3PlusReservedCodes[Bit].Value : AC3ReservedCodes[Bit].Value;
    }
    if (!Tell(Finding)) return false;
  }
  Slot.Reserved = Values.Reserved;

  if (Slot.Seen) {
    const auto Changed = [&](TChangeField Field, uint32_t Previous, uint32_t Value) {
      if (Previous == Value) return true;
      Finding.Kind = TFindingKind::Change;
      Finding.Changed = Field;
      Finding.Previous = Previous;
      Finding.Value = Value;
      return Tell(Finding);
    };
    if (!Changed(TChangeField::SamplingRate, Slot.Rate, Rate) ||
        !Changed(TChangeField::Acmod, Slot.acmod, Values.acmod) ||
        !Changed(TChangeField::Lfeon, Slot.lfeon, Values.lfeon) ||
        (Slot.Kbps != 0 && Values.Kbps != 0 && !Changed(TChangeField::BitRate, Slot.Kbps, Values.Kbps)) ||
        !Changed(TChangeField::Dialnorm, Slot.dialnorm, Values.dialnorm) ||
        !Changed(TChangeField::Bsid, Slot.bsid, Values.bsid))
      return false;
  }
  Slot.Seen = true;
  Slot.Rate = Rate;
  Slot.acmod = Values.acmod;
  Slot.lfeon = Values.lfeon;
  if (Values.Kbps != 0) Slot.Kbps = Values.Kbps;
  Slot.dialnorm = Values.dialnorm;
  Slot.bsid = Values.bsid;
  return true;
}

bool TStreamChecker::Finish() {
  FNow = FSummary.DurationTicks;
  if (FSummary.Frames != 0) return true;
  TStreamFinding Finding;
  Finding.Kind = TFindingKind::NoFrames;
  return Tell(Finding);
}

TCheckEnd CheckStream(const std::filesystem::path& File, bool EAC3, const TFindingSink& Sink, TStreamSummary& Summary,
                      const TFrameWindow::TWalkProgress& Progress, const std::atomic<bool>* Cancel, std::string& Error,
                      const TCheckedFrameSink& Frames) {
  TFileStream Reader;
  const int64_t Size = Reader.Open(File, TFileStream::TMode::Read) ? Reader.Size() : -1;
  if (Size < 0) {
    Error = Reader.LastReason();
    Summary = TStreamSummary{};
    return TCheckEnd::Failed;
  }
  TStreamChecker Checker(EAC3, Size, Sink);
  bool Cancelled = false;

  // Forwards to the checker (and each frame it took to Frames), and ends the walk once the check
  // is cancelled.
  class TCancellable final : public TStreamVisitor {
   public:
    TCancellable(TStreamChecker& Checker, const std::atomic<bool>* Cancel, bool& Cancelled,
                 const TCheckedFrameSink& Frames)
        : FChecker(Checker), FCancel(Cancel), FCancelled(Cancelled), FFrames(Frames) {}
    bool Frame(const TStreamFrame& Frame) override {
      if (!Going() || !FChecker.Frame(Frame)) return false;
      if (FFrames) FFrames(Frame, FChecker.LastFrame());
      return true;
    }
    bool Junk(int64_t Offset, int64_t Length) override { return Going() && FChecker.Junk(Offset, Length); }

   private:
    bool Going() {
      FCancelled = FCancel != nullptr && FCancel->load(std::memory_order_relaxed);
      return !FCancelled;
    }
    TStreamChecker& FChecker;
    const std::atomic<bool>* FCancel;
    bool& FCancelled;
    const TCheckedFrameSink& FFrames;
  } Visitor(Checker, Cancel, Cancelled, Frames);

  const TStreamWalkEnd End = WalkStream(Reader, Size, Visitor, Progress, {}, Error);
  if (End == TStreamWalkEnd::Completed) Checker.Finish();
  Summary = Checker.Summary();
  if (End == TStreamWalkEnd::Failed) return TCheckEnd::Failed;
  return Cancelled ? TCheckEnd::Cancelled : TCheckEnd::Completed;
}

std::u16string FindingText(const TStreamFinding& Finding) {
  switch (Finding.Kind) {
    case TFindingKind::CrcFailed:
      return CrcVerdictText(Finding.Crc);
    case TFindingKind::Junk:
      return Finding.Length == 1 ? u"1 byte that belongs to no frame"
                                 : IntToStr(Finding.Length) + u" bytes that belong to no frame";
    case TFindingKind::CutShort:
      return u"frame cut short: the next frame starts after " + IntToStr(Finding.Length) + u" of its " +
             IntToStr(Finding.CodedSize) + u" bytes";
    case TFindingKind::PastEnd:
      return u"frame runs past the end of the file: the file ends after " + IntToStr(Finding.Length) + u" of its " +
             IntToStr(Finding.CodedSize) + u" bytes";
    case TFindingKind::Reserved:
      return u"reserved " + AsciiToU16(Finding.Field ? Finding.Field : "") + u" " + UIntToStr(Finding.Value) +
             SubstreamText(Finding.Substream);
    case TFindingKind::NoFrames:
      return u"no frame found";
    case TFindingKind::Change:
      return std::u16string(ChangeFieldName(Finding.Changed)) + u" " +
             ChangeValueText(Finding.Changed, Finding.Previous) + u" -> " +
             ChangeValueText(Finding.Changed, Finding.Value) + SubstreamText(Finding.Substream);
  }
  return u"";
}

const char* ChangeFieldKey(TChangeField Field) {
  switch (Field) {
    case TChangeField::SamplingRate:
      return "sampling_rate";
    case TChangeField::Acmod:
      return "acmod";
    case TChangeField::Lfeon:
      return "lfeon";
    case TChangeField::BitRate:
      return "bit_rate";
    case TChangeField::Dialnorm:
      return "dialnorm";
    case TChangeField::Bsid:
      return "bsid";
    case TChangeField::Kind:
      return "kind";
  }
  return "";
}

void TGainSummary::Add(int32_t MicroDb) {
  Min = Frames == 0 ? MicroDb : std::min(Min, MicroDb);
  Max = Frames == 0 ? MicroDb : std::max(Max, MicroDb);
  Sum += MicroDb;
  ++Frames;
}

void TGainSummary::Merge(const TGainSummary& Other) {
  if (Other.Frames == 0) return;
  Min = Frames == 0 ? Other.Min : std::min(Min, Other.Min);
  Max = Frames == 0 ? Other.Max : std::max(Max, Other.Max);
  Sum += Other.Sum;
  Frames += Other.Frames;
}

int64_t TGainSummary::MeanCentiDb() const {
  if (Frames == 0) return 0;
  // Sum / Frames / 10^4, rounded once, half away from zero.
  const uint64_t Magnitude = Sum < 0 ? 0 - static_cast<uint64_t>(Sum) : static_cast<uint64_t>(Sum);
  const auto Centi = static_cast<int64_t>(MulDivRound(Magnitude, 1, static_cast<uint64_t>(Frames) * 10000));
  return Sum < 0 ? -Centi : Centi;
}

int32_t DynrngMicroDb(uint32_t dynrng) { return GainTable<DynrngToDb>()[dynrng & 0xFF]; }

int32_t ComprMicroDb(uint32_t compr) { return GainTable<ComprToDb>()[compr & 0xFF]; }

int64_t MicroToCentiDb(int64_t MicroDb) { return (MicroDb + (MicroDb < 0 ? -5000 : 5000)) / 10000; }

std::u16string FixedText(int64_t Units, int Decimals) { return SignedDecimal(Units, Decimals); }

std::u16string GainSummaryText(const TGainSummary& Gains, const char16_t* Counted) {
  if (Gains.Frames == 0) return u"in no frame";
  const auto Db = [](int64_t Centi) { return FixedText(Centi, 2) + u" dB"; };
  return u"min " + Db(MicroToCentiDb(Gains.Min)) + u", max " + Db(MicroToCentiDb(Gains.Max)) + u", mean " +
         Db(Gains.MeanCentiDb()) + u" (" + Counted + corvane::Counted(Gains.Frames, u"frame", u"frames") + u")";
}

uint32_t SamplingRateOfCode(uint32_t RateCode) {
  if (RateCode < 3) return AC3SamplingRateTable[RateCode];
  return RateCode < SamplingRateCodes ? AC3ReducedSamplingRateTable[RateCode - 3] : 0;
}

int64_t TStreamSummary::DurationMicroseconds() const {
  return static_cast<int64_t>(MulDivRound(static_cast<uint64_t>(DurationTicks), 1000000, DurationTicksPerSecond));
}

namespace {

// The average bit rate in units of 1/PerKbps kbps, rounded once.
int64_t AverageRate(const TStreamSummary& Summary, uint64_t PerKbps) {
  if (Summary.DurationTicks <= 0) return 0;
  return static_cast<int64_t>(MulDivRound(static_cast<uint64_t>(Summary.FrameBytes) * 8 * PerKbps,
                                          TStreamSummary::DurationTicksPerSecond,
                                          static_cast<uint64_t>(Summary.DurationTicks) * 1000));
}

}  // namespace

int64_t TStreamSummary::AverageBitsPerSecond() const { return AverageRate(*this, 1000); }

std::vector<std::u16string> SummaryLines(const TStreamSummary& Summary) {
  std::vector<std::u16string> Lines;
  const bool Rates = (Summary.SamplingRates & (Summary.SamplingRates - 1)) != 0;
  std::u16string Kind = std::u16string(u"Kind: ") + KindName(Summary.EAC3);
  if (Summary.OtherKindFrames > 0)
    Kind += u" (" + Counted(Summary.OtherKindFrames, u"frame", u"frames") + u" of " + KindName(!Summary.EAC3) + u")";
  Lines.push_back(Kind);
  Lines.push_back(u"Frames: " + IntToStr(Summary.Frames));
  const auto Ticks = static_cast<uint64_t>(Summary.DurationTicks);
  const auto Milliseconds = static_cast<int64_t>(MulDivRound(Ticks, 1000, TStreamSummary::DurationTicksPerSecond));
  Lines.push_back(u"Duration: " + Decimal(Milliseconds, 3) + u" s (" + DurationText(Milliseconds) + u")");
  Lines.push_back((Rates ? u"Sampling rates: " : u"Sampling rate: ") +
                  JoinBits(Summary.SamplingRates, [](uint32_t Code) { return RateText(SamplingRateOfCode(Code)); }));
  std::u16string Kbps;
  for (uint32_t Value : Summary.Kbps) Kbps += (Kbps.empty() ? u"" : u", ") + KbpsText(Value);
  if (Summary.MoreKbps) Kbps += u" and more";
  if (Kbps.empty()) Kbps = u"none";
  Lines.push_back((Summary.Kbps.size() > 1 ? u"Bit rates: " : u"Bit rate: ") + Kbps + u" (average " +
                  Decimal(AverageRate(Summary, 10), 1) + u" kbps)");
  Lines.push_back(u"acmod/lfeon: " + JoinBits(Summary.AcmodLfeon, [](uint32_t Bit) {
                    const auto acmod = static_cast<int32_t>(Bit / 2);
                    return IntToStr(acmod) + u"/" + IntToStr(Bit % 2) + u" [" + AcmodToStr(acmod) + u"]";
                  }));
  const auto Number = [](uint32_t Bit) { return UIntToStr(Bit); };
  Lines.push_back(u"bsid: " + JoinBits(Summary.Bsids, Number));
  Lines.push_back(u"dialnorm: " + JoinBits(Summary.Dialnorms, Number));
  if (Summary.Dialnorm2s != 0) Lines.push_back(u"dialnorm2: " + JoinBits(Summary.Dialnorm2s, Number));
  Lines.push_back(u"compr: " + GainSummaryText(Summary.Compr));
  if (Summary.Compr2.Frames > 0) Lines.push_back(u"compr2: " + GainSummaryText(Summary.Compr2));
  Lines.push_back(u"dynrng: " + GainSummaryText(Summary.Dynrng, u"first block of "));
  if (Summary.Dynrng2.Frames > 0) Lines.push_back(u"dynrng2: " + GainSummaryText(Summary.Dynrng2, u"first block of "));
  if (Summary.EAC3) {
    Lines.push_back(u"Substreams: " + JoinBits(Summary.Independent, [&](uint32_t Independent) {
                      std::u16string Text = u"independent " + UIntToStr(Independent);
                      if (const uint8_t Dependent = Summary.Dependent[Independent]; Dependent != 0)
                        Text += u" (dependent " + JoinBits(Dependent, [](uint32_t Id) { return UIntToStr(Id); }) + u")";
                      return Text;
                    }));
  }
  std::u16string Problems = u"Problems: " + IntToStr(Summary.Problems);
  std::u16string Kinds;
  const auto Add = [&Kinds](int64_t Count, std::u16string Text) {
    if (Count != 0) Kinds += (Kinds.empty() ? u"" : u", ") + Text;
  };
  Add(Summary.CrcFailures, Counted(Summary.CrcFailures, u"frame fails its CRC", u"frames fail their CRCs"));
  Add(Summary.JunkRegions, Counted(Summary.JunkRegions, u"stretch", u"stretches") + u" of junk, " +
                               Counted(Summary.JunkBytes, u"byte", u"bytes"));
  Add(Summary.Truncated, Counted(Summary.Truncated, u"frame cut short", u"frames cut short"));
  Add(Summary.ReservedFrames,
      Counted(Summary.ReservedFrames, u"frame with reserved codes", u"frames with reserved codes"));
  if (!Kinds.empty()) Problems += u" (" + Kinds + u")";
  Lines.push_back(Problems);
  Lines.push_back(u"Changes: " + IntToStr(Summary.Changes));
  return Lines;
}

}  // namespace corvane
