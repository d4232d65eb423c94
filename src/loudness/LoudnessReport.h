#pragma once
// The measurement as it is reported: the summary beside the stream's dialnorm and dynamic range
// metadata, the verdict on dialnorm, the series, as text and as JSON (corvane-cli loudness and
// dialnorm --match-loudness, the desktop window's status bar and check report).

#include <string>
#include <vector>

#include "loudness/LoudnessScan.h"
#include "viewer/ViewerJson.h"

namespace corvane {

// The summary, one line each: figures, metadata, the verdict; the findings come before it.
std::vector<std::string> LoudnessLines(const TLoudnessResult& Result);
// "<offset> <text>" of each finding kept, and a line on those not kept.
std::vector<std::string> LoudnessFindingLines(const TLoudnessResult& Result);
// The same as JSON members: figures, metadata, "verdict", "findings".
void AddLoudnessJson(TJson& Json, const TLoudnessResult& Result);

// "Integrated loudness: -23.1 LKFS", "Difference: ..." (where there is one), "Verdict: ...".
std::vector<std::string> VerdictLines(const TLoudnessResult& Result);
// "Loudness -23.1 LKFS: " and the verdict, in one line.
std::string VerdictStatusText(const TLoudnessResult& Result);
// "-23.1 LKFS", or "below the gates".
std::string LoudnessText(double Integrated);
// "dialnorm agrees with the measured loudness (0.4 dB apart, within ±2 dB)", or "none: " and
// why there is no verdict (NoVerdictReason).
std::string DialnormVerdictText(const TDialnormVerdict& Verdict);
std::string NoVerdictReason(const TDialnormVerdict& Verdict);
// "27 (94 frames), 31 (2 frames)", or "none".
std::string DialnormValuesText(const std::vector<TValueCount>& Values);

// The series as CSV: the header line, then one line per step.
extern const char* const SeriesCsvHeader;
std::string SeriesCsvLine(const TSeriesRow& Row);
TJson SeriesJson(const TSeriesRow& Row);

}  // namespace corvane
