#pragma once
// The window that shows a stream check's report: the stream's summary above the list of its
// problems and changes, one row each with its offset. It is a window of its own, so that the
// main window can come in front of it. Activating a row (double click or Enter) hands its offset
// to OnActivated, with which the main window moves its frame list there. The report can be copied
// (the selected findings, or all of it when none is selected) and saved as text or JSON. What
// the report holds and how it reads is TCheckReport's; this window only shows it.

#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <functional>

#include "viewer/CheckReport.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace corvane {

class TStreamCheckWindow : public QWidget {
  Q_OBJECT

 public:
  TStreamCheckWindow();

  // Shows Report; the findings list gets the focus, its first row current.
  void SetReport(TCheckReport Report);
  // Adds the loudness lines to the summary (TCheckReport::SetLoudnessLines).
  void SetLoudnessLines(std::vector<std::u16string> Lines);
  const TCheckReport& Report() const { return FReport; }
  // The offset of the finding in list row Row, or -1.
  int64_t FindingOffset(int Row) const;
  // The file the report is of.
  const std::filesystem::path& File() const { return FReport.File(); }
  // Whether the report's file is the one open in the main window; when it is not, the window
  // says so above the summary and in its title, and its findings lead nowhere.
  void SetFileOpen(bool Open);
  bool FileOpen() const { return FFileOpen; }

  // Copy: the selected findings' lines, or the whole report when none is selected.
  void CopyReport();
  // Save Report: asks for a file (text, or JSON for a name ending in .json) and writes it.
  void SaveReport();
  // The text Copy puts on the clipboard.
  QString CopyText() const;

  QLabel* lbClosed = nullptr;        // shown while the report's file is not open
  QPlainTextEdit* Memo1 = nullptr;   // the summary
  QTreeWidget* ListView1 = nullptr;  // the findings: Offset, Type, Finding
  QPushButton* btnCopy = nullptr;
  QPushButton* btnSave = nullptr;
  std::function<void(int64_t Offset)> OnActivated;
  // Asks where to save: the chosen name, empty when cancelled.
  std::function<QString(QWidget* Parent, const QString& Suggested)> FChooseSaveFile;
  // Writes the report to File in Format; for a report that did not keep every finding, the main
  // window checks the file again into it. Returns an error text, empty on success.
  std::function<QString(const std::filesystem::path& File, TReportFormat Format)> FWriteReport;
  // Tells the user something (a failed save); tests answer in the user's place.
  std::function<void(QWidget* Parent, const QString& Text)> FTell;

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void UpdateTitle();
  void ShowSummary();

  TCheckReport FReport;
  bool FFileOpen = true;
};

}  // namespace corvane
