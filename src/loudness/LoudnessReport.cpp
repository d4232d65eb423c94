#include "loudness/LoudnessReport.h"

#include <charconv>
#include <cmath>

#include "core/StringUtils.h"
#include "viewer/FrameRowText.h"

namespace corvane {
namespace {

// A figure with Decimals decimals, or "" where there is none (minus infinity); never in the
// locale's digits (the desktop program runs under the user's).
std::string Fixed(double Value, int Decimals) {
  if (!std::isfinite(Value)) return "";
  char Text[64];
  const auto Written = std::to_chars(Text, Text + sizeof Text, Value, std::chars_format::fixed, Decimals);
  const std::string Figure(Text, Written.ptr);
  // "-0.0" reads as a sign that is not there.
  return Figure == "-0.0" || Figure == "-0.00" ? Figure.substr(1) : Figure;
}

std::string Signed(double Value) { return (Value > 0.05 ? "+" : "") + Fixed(Value, 1); }

std::string Rounded(double Value, int Decimals) {
  const double Scale = std::pow(10.0, Decimals);
  return Fixed(std::round(Value * Scale) / Scale, Decimals);
}

TJson Figure(double Value, int Decimals) {
  if (!std::isfinite(Value)) return nullptr;
  const double Scale = std::pow(10.0, Decimals);
  return std::round(Value * Scale) / Scale;
}

std::string FramesText(int64_t Frames) { return std::to_string(Frames) + (Frames == 1 ? " frame" : " frames"); }

std::string GainText(const TGainSummary& Gains, const char16_t* Counted) {
  return ToUtf8(GainSummaryText(Gains, Counted));
}

// A mean gain to 0.01 dB, as the check prints it.
std::string MeanText(const TGainSummary& Gains) { return ToUtf8(FixedText(Gains.MeanCentiDb(), 2)); }

TJson ValuesJson(const std::vector<TValueCount>& Values) {
  TJson Json = TJson::array();
  for (const TValueCount& Value : Values) Json.push_back({{"value", Value.Value}, {"frames", Value.Frames}});
  return Json;
}

}  // namespace

std::string DialnormValuesText(const std::vector<TValueCount>& Values) {
  std::string Text;
  for (const TValueCount& Value : Values)
    Text += (Text.empty() ? "" : ", ") + std::to_string(Value.Value) + " (" + FramesText(Value.Frames) + ")";
  return Text.empty() ? "none" : Text;
}

std::string LoudnessText(double Integrated) {
  return std::isfinite(Integrated) ? Fixed(Integrated, 1) + " LKFS" : std::string("below the gates");
}

std::string NoVerdictReason(const TDialnormVerdict& Verdict) {
  return Verdict.HasDialnorm ? "the programme stays below the gates of the measurement" : "no frame was measured";
}

std::string DialnormVerdictText(const TDialnormVerdict& Verdict) {
  if (!Verdict.HasDialnorm || !Verdict.Measured) return "none: " + NoVerdictReason(Verdict);
  const std::string Apart = Fixed(std::fabs(Verdict.Difference), 1) + " dB apart";
  return Verdict.Agrees ? "dialnorm agrees with the measured loudness (" + Apart + ", within \u00B12 dB)"
                        : "dialnorm does not agree with the measured loudness (" + Apart + ", more than \u00B12 dB)";
}

std::string VerdictStatusText(const TLoudnessResult& Result) {
  return "Loudness " + LoudnessText(Result.Integrated) + ": " + DialnormVerdictText(JudgeDialnorm(Result));
}

std::vector<std::string> VerdictLines(const TLoudnessResult& Result) {
  std::vector<std::string> Lines{"Integrated loudness: " + LoudnessText(Result.Integrated)};
  const TDialnormVerdict Verdict = JudgeDialnorm(Result);
  if (Verdict.Measured && Verdict.HasDialnorm)
    Lines.push_back("Difference: " + Signed(Verdict.Difference) + " dB (measured " + Fixed(Result.Integrated, 1) +
                    " LKFS, dialnorm " + std::to_string(Verdict.Dialnorm) + " says " + Fixed(Verdict.Claimed, 0) +
                    " LKFS)");
  Lines.push_back("Verdict: " + DialnormVerdictText(Verdict));
  return Lines;
}

std::vector<std::string> LoudnessLines(const TLoudnessResult& Result) {
  std::vector<std::string> Lines;
  Lines.push_back("Frames measured: " + std::to_string(Result.Frames) + " (" + Fixed(Result.Seconds, 3) + " s)");
  if (Result.OtherProgrammes > 0)
    Lines.push_back("Frames of other programmes (independent substreams 1 to 7): " + std::to_string(Result.OtherProgrammes) +
                    ", not measured");
  const std::vector<std::string> Verdict = VerdictLines(Result);
  Lines.push_back(Verdict.front());
  Lines.push_back("Loudness range: " + (std::isfinite(Result.Range) ? Fixed(Result.Range, 1) + " LU" : std::string("none")));
  std::string Peaks;
  for (const auto& [Role, Peak] : Result.ChannelPeaks)
    Peaks += (Peaks.empty() ? " (" : ", ") + std::string(ChannelRoleName(Role)) + " " +
             (std::isfinite(Peak) ? Fixed(Peak, 1) : std::string("silent"));
  Lines.push_back("True peak: " +
                  (std::isfinite(Result.TruePeak) ? Fixed(Result.TruePeak, 1) + " dBTP" : std::string("silent")) +
                  (Peaks.empty() ? "" : Peaks + ")"));
  Lines.push_back("dialnorm: " + DialnormValuesText(Result.Dialnorms));
  if (!Result.Dialnorm2s.empty()) Lines.push_back("dialnorm2: " + DialnormValuesText(Result.Dialnorm2s));
  Lines.insert(Lines.end(), Verdict.begin() + 1, Verdict.end());
  Lines.push_back("compr: " + GainText(Result.Compr, u""));
  if (Result.Compr2.Frames > 0) Lines.push_back("compr2: " + GainText(Result.Compr2, u""));
  Lines.push_back("dynrng: " + GainText(Result.Dynrng, u"first block of "));
  if (Result.Dynrng2.Frames > 0) Lines.push_back("dynrng2: " + GainText(Result.Dynrng2, u"first block of "));
  Lines.push_back("Findings: " + std::to_string(Result.FindingCount));
  return Lines;
}

std::vector<std::string> LoudnessFindingLines(const TLoudnessResult& Result) {
  std::vector<std::string> Lines;
  for (const TLoudnessFinding& Finding : Result.Findings) Lines.push_back(ToUtf8(OffsetText(Finding.Offset)) + " " + Finding.Text);
  const int64_t Left = Result.FindingCount - static_cast<int64_t>(Result.Findings.size());
  if (Left > 0) Lines.push_back("... and " + std::to_string(Left) + " more like them");
  return Lines;
}

void AddLoudnessJson(TJson& Json, const TLoudnessResult& Result) {
  Json["frames"] = Result.Frames;
  Json["duration"] = Result.Seconds;
  if (Result.OtherProgrammes > 0) Json["other_programme_frames"] = Result.OtherProgrammes;
  Json["integrated"] = Figure(Result.Integrated, 2);
  Json["loudness_range"] = Figure(Result.Range, 2);
  Json["true_peak"] = Figure(Result.TruePeak, 2);
  TJson Peaks = TJson::object();
  for (const auto& [Role, Peak] : Result.ChannelPeaks) Peaks[ChannelRoleName(Role)] = Figure(Peak, 2);
  Json["true_peaks"] = std::move(Peaks);
  Json["dialnorm"] = ValuesJson(Result.Dialnorms);
  if (!Result.Dialnorm2s.empty()) Json["dialnorm2"] = ValuesJson(Result.Dialnorm2s);
  const TDialnormVerdict Verdict = JudgeDialnorm(Result);
  TJson VerdictJson;
  VerdictJson["dialnorm"] = Verdict.HasDialnorm ? TJson(Verdict.Dialnorm) : TJson(nullptr);
  VerdictJson["claimed"] = Verdict.HasDialnorm ? TJson(Verdict.Claimed) : TJson(nullptr);
  VerdictJson["difference"] = Verdict.Measured && Verdict.HasDialnorm ? TJson(Verdict.Difference) : TJson(nullptr);
  VerdictJson["tolerance"] = DialnormTolerance;
  VerdictJson["agrees"] = Verdict.Agrees;
  VerdictJson["text"] = DialnormVerdictText(Verdict);
  Json["verdict"] = std::move(VerdictJson);
  Json["compr"] = GainSummaryJson(Result.Compr);
  if (Result.Compr2.Frames > 0) Json["compr2"] = GainSummaryJson(Result.Compr2);
  Json["dynrng"] = GainSummaryJson(Result.Dynrng);
  if (Result.Dynrng2.Frames > 0) Json["dynrng2"] = GainSummaryJson(Result.Dynrng2);
  TJson Findings = TJson::array();
  for (const TLoudnessFinding& Finding : Result.Findings) Findings.push_back({{"offset", Finding.Offset}, {"text", Finding.Text}});
  Json["findings"] = std::move(Findings);
  Json["findings_total"] = Result.FindingCount;
}

const char* const SeriesCsvHeader = "time,momentary,short_term,bit_rate,dialnorm,compr,dynrng";

std::string SeriesCsvLine(const TSeriesRow& Row) {
  return Rounded(Row.Time, 3) + "," + Rounded(Row.Momentary, 1) + "," + Rounded(Row.ShortTerm, 1) + "," +
         Rounded(Row.Kbps, 1) + "," + (Row.Dialnorm >= 0 ? std::to_string(Row.Dialnorm) : "") + "," +
         (Row.Compr.Frames > 0 ? MeanText(Row.Compr) : "") + "," + (Row.Dynrng.Frames > 0 ? MeanText(Row.Dynrng) : "");
}

TJson SeriesJson(const TSeriesRow& Row) {
  TJson Json;
  Json["time"] = Figure(Row.Time, 3);
  Json["momentary"] = Figure(Row.Momentary, 1);
  Json["short_term"] = Figure(Row.ShortTerm, 1);
  Json["bit_rate"] = Figure(Row.Kbps, 1);
  Json["dialnorm"] = Row.Dialnorm >= 0 ? TJson(Row.Dialnorm) : TJson(nullptr);
  Json["compr"] = Row.Compr.Frames > 0 ? GainSummaryJson(Row.Compr)["mean"] : nullptr;
  Json["dynrng"] = Row.Dynrng.Frames > 0 ? GainSummaryJson(Row.Dynrng)["mean"] : nullptr;
  return Json;
}

}  // namespace corvane
