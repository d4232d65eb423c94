#pragma once
// The texts and JSON of corvane-cli loudness: the measurement's summary beside the stream's
// dialnorm and dynamic range metadata, its verdict on dialnorm, and the series.

#include <string>
#include <vector>

#include "viewer/ViewerJson.h"
#include "loudness/LoudnessScan.h"

namespace corvane::cli {

// The summary, one line each: figures, metadata, the verdict; the findings come before it.
std::vector<std::string> LoudnessLines(const TLoudnessResult& Result);
// "<offset> <text>" of each finding kept, and a line on those not kept.
std::vector<std::string> LoudnessFindingLines(const TLoudnessResult& Result);
// The same as JSON members: figures, metadata, "verdict", "findings".
void AddLoudnessJson(TJson& Json, const TLoudnessResult& Result);

// The series as CSV: the header line, then one line per step.
extern const char* const SeriesCsvHeader;
std::string SeriesCsvLine(const TSeriesRow& Row);
TJson SeriesJson(const TSeriesRow& Row);

}  // namespace corvane::cli
