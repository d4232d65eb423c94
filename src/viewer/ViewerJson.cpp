#include "viewer/ViewerJson.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "analysis/AC3PlusSyntax.h"
#include "analysis/AC3Syntax.h"
#include "core/StringUtils.h"
#include "viewer/FrameRowText.h"

namespace corvane {
namespace {

// One decoded field: its value where the record keeps one, and the bits it was read from
// unless the decoder set it without reading any.
template <typename TFrame>
void AddFieldJson(TJson& Header, const TFrame& Frame, const TSyntaxField<TFrame>& Field, size_t Entry) {
  const TFieldPosition& Position = Frame.Layout.Fields[Entry];
  std::string Key = Field.Name;
  if (Field.Indexed) Key.append(1, '[').append(std::to_string(Position.Element())).append(1, ']');
  TJson Json = TJson::object();
  if (Field.Member != nullptr || Field.Indexed) Json["value"] = Position.Value;
  if (Field.Decibels != nullptr) Json["db"] = std::round(Field.Decibels(Position.Value) * 100.0) / 100.0;
  if (!Position.Derived()) {
    Json["offset"] = Position.BitOffset;
    Json["width"] = Frame.Layout.BitWidth(Entry);
  }
  Header[Key] = std::move(Json);
}

template <typename TFrame>
TJson FieldsJson(const TFrame& Frame) {
  TJson Header = TJson::object();
  const size_t Entries = Frame.Layout.Decoded().size();
  for (size_t Entry = 0; Entry < Entries; ++Entry)
    if (const TSyntaxField<TFrame>* Field = FieldDescription<TFrame>(Frame.Layout.Fields[Entry]))
      AddFieldJson(Header, Frame, *Field, Entry);
  return Header;
}

TJson NodeJson(const TTreeModel& Tree, TTreeModel::TNodeId Id) {
  const TTreeModel::TNode& Node = Tree.Node(Id);
  TJson Children = TJson::array();
  for (TTreeModel::TNodeId Child : Node.Children) Children.push_back(NodeJson(Tree, Child));
  TJson Json;
  Json["text"] = TextJson(Node.Text);
  if (Node.BitOffset >= 0) {
    Json["offset"] = Node.BitOffset;
    Json["width"] = Node.BitWidth;
  }
  Json["children"] = std::move(Children);
  return Json;
}

}  // namespace

TJson HeaderJson(const TAC3Frame& Frame) { return FieldsJson(Frame); }

TJson HeaderJson(const TAC3PlusFrame& Frame) { return FieldsJson(Frame); }

template <typename TFrame>
TJson FrameJson(const TFrame& Frame) {
  static const char* const Columns[] = {"Offset", "Length", "Frame Size", "Sampling Rate", "Bitrate"};
  const TRowTexts Texts = FrameRowTexts(Frame);
  TJson Row;
  for (size_t Column = 0; Column < Texts.size(); ++Column) Row[Columns[Column]] = TextJson(Texts[Column]);
  TJson Json;
  Json["offset"] = Frame.Offset;
  Json["length"] = Frame.Length;
  Json["row"] = std::move(Row);
  Json["header"] = HeaderJson(Frame);
  return Json;
}

template TJson FrameJson(const TAC3Frame&);
template TJson FrameJson(const TAC3PlusFrame&);

TJson TreeJson(const TTreeModel& Tree) {
  TJson Nodes = TJson::array();
  for (TTreeModel::TNodeId Root : Tree.Roots()) Nodes.push_back(NodeJson(Tree, Root));
  return Nodes;
}

namespace {

const char* VerdictKey(TCrcVerdict Verdict) {
  switch (Verdict) {
    case TCrcVerdict::Ok:
      return "ok";
    case TCrcVerdict::Failed:
      return "failed";
    case TCrcVerdict::Unchecked:
      return "unchecked";
    case TCrcVerdict::Absent:
      return "absent";
  }
  return "";
}

const char* ProblemKey(TFindingKind Kind) {
  switch (Kind) {
    case TFindingKind::CrcFailed:
      return "crc";
    case TFindingKind::Junk:
      return "junk";
    case TFindingKind::CutShort:
      return "cut_short";
    case TFindingKind::PastEnd:
      return "past_end";
    case TFindingKind::Reserved:
      return "reserved";
    case TFindingKind::NoFrames:
      return "no_frames";
    case TFindingKind::Change:
      break;
  }
  return "";
}

template <typename T>
TJson BitsJson(uint32_t Bits, const T& Value) {
  TJson Values = TJson::array();
  for (uint32_t Bit = 0; Bit < 32; ++Bit)
    if ((Bits >> Bit) & 1) Values.push_back(Value(Bit));
  return Values;
}

}  // namespace

TJson FindingJson(const TStreamFinding& Finding) {
  TJson Json;
  Json["offset"] = Finding.Offset;
  Json["type"] = Finding.IsProblem() ? "problem" : "change";
  if (Finding.IsProblem()) Json["problem"] = ProblemKey(Finding.Kind);
  switch (Finding.Kind) {
    case TFindingKind::CrcFailed:
      Json["crc1"] = VerdictKey(Finding.Crc.crc1);
      Json["crc2"] = VerdictKey(Finding.Crc.crc2);
      break;
    case TFindingKind::Junk:
      Json["length"] = Finding.Length;
      break;
    case TFindingKind::CutShort:
    case TFindingKind::PastEnd:
      Json["length"] = Finding.Length;
      Json["coded_size"] = Finding.CodedSize;
      break;
    case TFindingKind::Reserved:
      Json["field"] = Finding.Field ? Finding.Field : "";
      Json["value"] = Finding.Value;
      break;
    case TFindingKind::Change:
      Json["field"] = ChangeFieldKey(Finding.Changed);
      if (Finding.Changed == TChangeField::Kind) {
        Json["from"] = Finding.Previous != 0 ? "E-AC-3" : "AC-3";
        Json["to"] = Finding.Value != 0 ? "E-AC-3" : "AC-3";
      } else {
        Json["from"] = Finding.Previous;
        Json["to"] = Finding.Value;
      }
      break;
    case TFindingKind::NoFrames:
      break;
  }
  if (Finding.Substream.Independent >= 0 &&
      (Finding.Kind == TFindingKind::Reserved || Finding.Kind == TFindingKind::Change)) {
    TJson Substream;
    Substream["independent"] = Finding.Substream.Independent;
    if (Finding.Substream.Dependent >= 0) Substream["dependent"] = Finding.Substream.Dependent;
    Json["substream"] = std::move(Substream);
  }
  Json["text"] = TextJson(FindingText(Finding));
  return Json;
}

namespace {

TJson FixedNumber(int64_t Value, int Decimals) {
  // The number the decimal text names, read back with correct rounding: every build arrives at
  // the same double and so prints the same digits.
  char Text[32];
  char* End = Text + sizeof Text;
  char* At = End;
  uint64_t Rest = Value < 0 ? 0 - static_cast<uint64_t>(Value) : static_cast<uint64_t>(Value);
  for (int Digit = 0; Digit < Decimals || Rest != 0 || Digit == Decimals; ++Digit) {
    if (Digit == Decimals) *--At = '.';
    *--At = static_cast<char>('0' + Rest % 10);
    Rest /= 10;
  }
  if (Value < 0) *--At = '-';
  double Number = 0;
  std::from_chars(At, End, Number);
  return Number;
}

}  // namespace

TJson GainSummaryJson(const TGainSummary& Gains) {
  TJson Json;
  Json["frames"] = Gains.Frames;
  const bool Any = Gains.Frames > 0;
  Json["min"] = Any ? FixedNumber(MicroToCentiDb(Gains.Min), 2) : nullptr;
  Json["max"] = Any ? FixedNumber(MicroToCentiDb(Gains.Max), 2) : nullptr;
  Json["mean"] = Any ? FixedNumber(Gains.MeanCentiDb(), 2) : nullptr;
  return Json;
}

TJson SummaryJson(const TStreamSummary& Summary) {
  TJson Json;
  Json["kind"] = Summary.EAC3 ? "E-AC-3" : "AC-3";
  Json["file_size"] = Summary.FileSize;
  Json["frames"] = Summary.Frames;
  if (Summary.OtherKindFrames > 0) Json["other_kind_frames"] = Summary.OtherKindFrames;
  Json["duration"] = FixedNumber(Summary.DurationMicroseconds(), 6);
  Json["sampling_rates"] = BitsJson(Summary.SamplingRates, SamplingRateOfCode);
  Json["bit_rates"] = Summary.Kbps;
  if (Summary.MoreKbps) Json["more_bit_rates"] = true;
  Json["average_bit_rate"] = FixedNumber(Summary.AverageBitsPerSecond(), 3);
  Json["acmod_lfeon"] = BitsJson(Summary.AcmodLfeon, [](uint32_t Bit) {
    TJson Pair;
    Pair["acmod"] = Bit / 2;
    Pair["lfeon"] = Bit % 2;
    return Pair;
  });
  const auto Code = [](uint32_t Bit) { return Bit; };
  Json["bsid"] = BitsJson(Summary.Bsids, Code);
  Json["dialnorm"] = BitsJson(Summary.Dialnorms, Code);
  if (Summary.Dialnorm2s != 0) Json["dialnorm2"] = BitsJson(Summary.Dialnorm2s, Code);
  Json["compr"] = GainSummaryJson(Summary.Compr);
  if (Summary.Compr2.Frames > 0) Json["compr2"] = GainSummaryJson(Summary.Compr2);
  Json["dynrng"] = GainSummaryJson(Summary.Dynrng);
  if (Summary.Dynrng2.Frames > 0) Json["dynrng2"] = GainSummaryJson(Summary.Dynrng2);
  if (Summary.EAC3) {
    Json["substreams"] = BitsJson(Summary.Independent, [&](uint32_t Independent) {
      TJson Substream;
      Substream["independent"] = Independent;
      Substream["dependent"] = BitsJson(Summary.Dependent[Independent], Code);
      return Substream;
    });
  }
  Json["problems"] = Summary.Problems;
  Json["crc_failures"] = Summary.CrcFailures;
  Json["junk_regions"] = Summary.JunkRegions;
  Json["junk_bytes"] = Summary.JunkBytes;
  Json["truncated_frames"] = Summary.Truncated;
  Json["reserved_frames"] = Summary.ReservedFrames;
  Json["changes"] = Summary.Changes;
  return Json;
}


void PutFileName(TJson& Json, const std::filesystem::path& File) {
  Json["file"] = PathText(File);
  if (!PathIsText(File)) Json["file_not_utf8"] = true;
}

TJson TextJson(const std::u16string& Text) { return ToUtf8(Text); }

std::string Dump(const TJson& Json) { return Json.dump(-1, ' ', false, TJson::error_handler_t::replace); }

}  // namespace corvane
