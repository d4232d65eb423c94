#include "viewer/CheckReport.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fstream>
#include <system_error>

#include "core/StringUtils.h"
#include "viewer/FrameRowText.h"
#include "viewer/ViewerJson.h"

namespace corvane {
namespace {

const char16_t* TypeText(const TStreamFinding& Finding) { return Finding.IsProblem() ? u"problem" : u"change"; }

// Where the report is written before it replaces File: a name beside it that is not taken.
std::filesystem::path TemporaryBeside(const std::filesystem::path& File) {
  std::filesystem::path Name = File;
  for (int Attempt = 0;; ++Attempt) {
    Name = File;
    Name += ".part" + std::to_string(Attempt);
    std::error_code Failed;
    if (!std::filesystem::exists(Name, Failed) || Attempt == 99) return Name;
  }
}

void AppendLine(std::u16string& Text, const std::u16string& Line, std::u16string_view LineEnd) {
  Text += Line;
  Text += LineEnd;
}

}  // namespace

TReportFormat ReportFormatFor(const std::filesystem::path& FileName) {
  std::string Extension = FileName.extension().string();
  std::transform(Extension.begin(), Extension.end(), Extension.begin(),
                 [](char Char) { return static_cast<char>(std::tolower(static_cast<unsigned char>(Char))); });
  return Extension == ".json" ? TReportFormat::Json : TReportFormat::Text;
}

std::u16string FindingLine(const TStreamFinding& Finding) {
  return OffsetText(Finding.Offset) + u" " + TypeText(Finding) + u": " + FindingText(Finding);
}

TCheckReportWriter::TCheckReportWriter(TReportFormat Format, const std::filesystem::path& File, bool EAC3, TOut Out)
    : FFormat(Format), FFile(File), FOut(std::move(Out)) {
  if (FFormat != TReportFormat::Json) return;
  TJson Head;
  PutFileName(Head, File);
  Head["kind"] = EAC3 ? "E-AC-3" : "AC-3";
  // The object stays open: the findings and the summary follow as they come.
  const std::string Text = Dump(Head);
  FOut(std::string_view(Text).substr(0, Text.size() - 1));
  FOut(",\"findings\":[");
}

void TCheckReportWriter::Finding(const TStreamFinding& Finding) {
  if (FFormat == TReportFormat::Json) {
    if (FFindings > 0) FOut(",");
    FOut(Dump(FindingJson(Finding)));
  } else {
    FOut(ToUtf8(FindingLine(Finding)) + "\n");
  }
  ++FFindings;
}

void TCheckReportWriter::Finish(const TStreamSummary& Summary) {
  if (FFormat == TReportFormat::Json) {
    FOut("],\"summary\":" + Dump(SummaryJson(Summary)) + "}\n");
    return;
  }
  std::string Text = FFindings > 0 ? "\n" : "";
  Text += "File: " + PathText(FFile) + "\n";
  for (const std::u16string& Line : corvane::SummaryLines(Summary)) Text += ToUtf8(Line) + "\n";
  FOut(Text);
}

void TCheckReport::Add(const TStreamFinding& Finding) {
  if (FFindings.size() < MaxListedFindings)
    FFindings.push_back(Finding);
  else
    ++FNotKept;
}

std::array<std::u16string, 3> TCheckReport::RowTexts(size_t Row) const {
  if (Row >= FFindings.size()) return {};
  const TStreamFinding& Finding = FFindings[Row];
  return {OffsetText(Finding.Offset), TypeText(Finding), FindingText(Finding)};
}

std::vector<std::u16string> TCheckReport::SummaryLines() const {
  std::vector<std::u16string> Lines{u"File: " + PathToText(FFile)};
  for (std::u16string& Line : corvane::SummaryLines(FSummary)) Lines.push_back(std::move(Line));
  Lines.insert(Lines.end(), FLoudnessLines.begin(), FLoudnessLines.end());
  if (FNotKept > 0)
    Lines.push_back(u"The list shows the first " + IntToStr(static_cast<int64_t>(FFindings.size())) + u" findings; " +
                    IntToStr(FNotKept) + u" more are left out.");
  return Lines;
}

std::u16string TCheckReport::CopyText(const std::vector<size_t>& Rows, std::u16string_view LineEnd) const {
  std::u16string Text;
  if (Rows.empty()) {
    for (const TStreamFinding& Finding : FFindings) AppendLine(Text, FindingLine(Finding), LineEnd);
    if (!FFindings.empty()) Text += LineEnd;
    for (const std::u16string& Line : SummaryLines()) AppendLine(Text, Line, LineEnd);
    return Text;
  }
  for (const size_t Row : Rows)
    if (Row < FFindings.size()) AppendLine(Text, FindingLine(FFindings[Row]), LineEnd);
  return Text;
}

std::string TCheckReport::Saved(TReportFormat Format) const {
  std::string Text;
  TCheckReportWriter Writer(Format, FFile, FEAC3, [&Text](std::string_view Piece) { Text += Piece; });
  for (const TStreamFinding& Finding : FFindings) Writer.Finding(Finding);
  Writer.Finish(FSummary);
  return Text;
}

std::u16string TCheckReport::WindowTitle(bool FileOpen) const {
  return u"Stream Check - " + PathToText(FFile) + (FileOpen ? u"" : u" (not open)");
}

std::u16string TCheckReport::NotOpenText() const {
  return u"The checked file is no longer open: this report is of " + PathToText(FFile) + u".";
}

std::filesystem::path TCheckReport::SuggestedSaveName() const {
  std::filesystem::path Name = FFile.stem();
  Name += "-check.txt";
  return FFile.parent_path() / Name;
}

std::u16string SaveCheckReport(const TCheckReport& Report, const std::filesystem::path& File, TReportFormat Format,
                               const TRecheck& Recheck) {
  const auto Failure = [](const std::string& Reason) { return u"The report could not be saved: " + FromUtf8(Reason); };
  const std::filesystem::path Temporary = TemporaryBeside(File);
  std::ofstream Out(Temporary, std::ios::binary | std::ios::trunc);
  if (!Out) return Failure(PathText(Temporary) + ": " + std::generic_category().message(errno));
  const auto Discard = [&] {
    Out.close();
    std::error_code Ignored;
    std::filesystem::remove(Temporary, Ignored);
  };
  const auto Write = [&Out](std::string_view Piece) { Out.write(Piece.data(), static_cast<std::streamsize>(Piece.size())); };
  if (Report.Complete() || !Recheck) {
    Write(Report.Saved(Format));
  } else {
    // The window kept only the first findings: the file is checked again, straight into the report.
    TCheckReportWriter Writer(Format, Report.File(), Report.EAC3(), Write);
    TStreamSummary Summary;
    std::string Error;
    const TCheckEnd End = Recheck([&Writer](const TStreamFinding& Finding) { return Writer.Finding(Finding), true; },
                                  Summary, Error);
    if (End != TCheckEnd::Completed) {
      Discard();
      return End == TCheckEnd::Cancelled ? std::u16string() : Failure(Error);
    }
    Writer.Finish(Summary);
  }
  Out.close();
  if (!Out) {
    const int Code = errno;
    Discard();
    return Failure(PathText(File) + ": " + std::generic_category().message(Code));
  }
  std::error_code Failed;
  std::filesystem::rename(Temporary, File, Failed);
  if (Failed) {
    std::error_code Ignored;
    std::filesystem::remove(Temporary, Ignored);
    return Failure(PathText(File) + ": " + Failed.message());
  }
  return {};
}

}  // namespace corvane
