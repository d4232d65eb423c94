#pragma once
// The window that shows a stream check's result: the stream's summary above the list of its
// problems and changes, one row each with its offset. Activating a row (double click or Enter)
// hands its offset to OnActivated, with which the main window moves its frame list there.

#include <QDialog>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "viewer/StreamCheck.h"

class QPlainTextEdit;
class QTreeWidget;

namespace corvane {

class TStreamCheckWindow : public QDialog {
  Q_OBJECT

 public:
  explicit TStreamCheckWindow(QWidget* Parent = nullptr);

  // Shows the check of File; NotKept findings came after the ones the list holds.
  void SetResult(const std::filesystem::path& File, const TStreamSummary& Summary,
                 const std::vector<TStreamFinding>& Findings, int64_t NotKept);
  // The offset of the finding in list row Row, or -1.
  int64_t FindingOffset(int Row) const;
  // The file the result is of.
  const std::filesystem::path& File() const { return FFile; }

  QPlainTextEdit* Memo1 = nullptr;   // the summary
  QTreeWidget* ListView1 = nullptr;  // the findings: Offset, Type, Finding
  std::function<void(int64_t Offset)> OnActivated;

 private:
  std::filesystem::path FFile;
};

}  // namespace corvane
