#pragma once
// The stream check's report, as corvane-cli check prints it and the desktop windows show, copy
// and save it: a line per finding ("0x0000000000001E00 problem: crc2 fails"), a blank line, the
// file's name and the summary; or the same content as one JSON object. One writer makes both,
// finding by finding, so that the command line and the windows give the same bytes.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "viewer/StreamCheck.h"

namespace corvane {

enum class TReportFormat { Text, Json };

// JSON for a name ending in ".json" (any case), text otherwise.
TReportFormat ReportFormatFor(const std::filesystem::path& FileName);

// "0x0000000000001E00 problem: crc2 fails"
std::u16string FindingLine(const TStreamFinding& Finding);

// Writes a report while the check runs, in constant memory: Finding for each finding in file
// order, then Finish. Out receives the report in pieces, UTF-8, lines ending in "\n"; the JSON
// form is {"file", ["file_not_utf8",] "kind", "findings": [...], "summary": {...}} on one line.
class TCheckReportWriter {
 public:
  using TOut = std::function<void(std::string_view Piece)>;

  TCheckReportWriter(TReportFormat Format, const std::filesystem::path& File, bool EAC3, TOut Out);
  void Finding(const TStreamFinding& Finding);
  void Finish(const TStreamSummary& Summary);

 private:
  TReportFormat FFormat;
  std::filesystem::path FFile;
  TOut FOut;
  int64_t FFindings = 0;
};

// A finished check as a window holds it: the summary and the first MaxListedFindings findings
// (a damaged file can have millions; the rest are only counted).
class TCheckReport {
 public:
  static constexpr size_t MaxListedFindings = 100000;

  TCheckReport() = default;
  TCheckReport(std::filesystem::path File, bool EAC3) : FFile(std::move(File)), FEAC3(EAC3) {}

  // A finding from the check's sink, kept while there is room and counted otherwise.
  void Add(const TStreamFinding& Finding);
  void SetSummary(const TStreamSummary& Summary) { FSummary = Summary; }
  // The measured loudness and the verdict on dialnorm, once the file's loudness was measured:
  // the window shows them after the summary (the saved report, as corvane-cli check prints it,
  // has no such lines).
  void SetLoudnessLines(std::vector<std::u16string> Lines) { FLoudnessLines = std::move(Lines); }

  const std::filesystem::path& File() const { return FFile; }
  bool EAC3() const { return FEAC3; }
  const TStreamSummary& Summary() const { return FSummary; }
  const std::vector<TStreamFinding>& Findings() const { return FFindings; }
  int64_t NotKept() const { return FNotKept; }
  // Every finding is kept, so Saved gives the whole report.
  bool Complete() const { return FNotKept == 0; }

  // The columns of list row Row: Offset, Type ("problem" or "change") and Finding, which is the
  // full text (a list may cut it; its tooltip shows this).
  std::array<std::u16string, 3> RowTexts(size_t Row) const;
  // What the window shows above the list: "File: ...", the summary lines, the loudness lines
  // and, when findings were left out, a line that says how many.
  std::vector<std::u16string> SummaryLines() const;
  // The copy of the rows given (in list order), a finding line each; with no row given, the
  // whole report as the window shows it: every finding line, a blank line and SummaryLines.
  // Lines end in LineEnd.
  std::u16string CopyText(const std::vector<size_t>& Rows, std::u16string_view LineEnd) const;
  // The whole report, UTF-8, as corvane-cli check prints it (with --json for Json). Only
  // Complete() reports hold every finding; for the others the check is to be run again into a
  // TCheckReportWriter.
  std::string Saved(TReportFormat Format) const;

  // The report window's title: "Stream Check - FILE", with " (not open)" while its file is not
  // the one open in the main window.
  std::u16string WindowTitle(bool FileOpen) const;
  // What the report window says above the summary while its file is not open.
  std::u16string NotOpenText() const;
  // The name Save Report suggests: "NAME-check.txt" beside the checked file.
  std::filesystem::path SuggestedSaveName() const;

 private:
  std::filesystem::path FFile;
  bool FEAC3 = false;
  TStreamSummary FSummary;
  std::vector<TStreamFinding> FFindings;
  std::vector<std::u16string> FLoudnessLines;
  int64_t FNotKept = 0;
};

// Checks the report's file again, handing the findings to Sink: for a report that did not keep
// every finding. A front-end runs it behind its progress dialog, which can cancel it.
using TRecheck = std::function<TCheckEnd(const TFindingSink& Sink, TStreamSummary& Summary, std::string& Error)>;

// Save Report: writes Report to File in Format through a temporary file beside it, which
// replaces File only once it is complete; a report that did not keep every finding is written
// while Recheck checks its file again. Returns what the user is to be told: nothing when the
// report was saved or the check again was cancelled, else "The report could not be saved: ..."
// with the reason.
std::u16string SaveCheckReport(const TCheckReport& Report, const std::filesystem::path& File, TReportFormat Format,
                               const TRecheck& Recheck);

}  // namespace corvane
