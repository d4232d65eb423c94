#pragma once
// Tools > Check Stream in the Windows window: the check on a worker thread behind a progress
// dialog that can cancel it, and the window that shows its report: the summary above the list of
// findings, Copy and Save Report. Activating a finding (double click or Enter) hands its offset
// to the main window. What the report holds and how it reads is TCheckReport's; this window only
// shows it.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "viewer/CheckReport.h"
#include "viewer/FrameWindow.h"
#include "win32/Controls.h"

namespace corvane::win32 {

// A walk of the stream run on a worker thread: Progress to report to, Cancel to watch.
using TWalkJob = std::function<TCheckEnd(const TFrameWindow::TWalkProgress& Progress, const std::atomic<bool>* Cancel,
                                         std::string& Error)>;
// Runs Job on a worker behind a progress dialog (owned by Owner) whose Cancel stops it.
TCheckEnd RunBehindProgress(HWND Owner, std::wstring Caption, std::wstring Text, const TWalkJob& Job,
                            std::string& Error);

// Checks File behind the progress dialog (owned by Owner); findings go to Sink on the worker.
TCheckEnd RunStreamCheck(HWND Owner, const std::filesystem::path& File, bool EAC3, const TFindingSink& Sink,
                         TStreamSummary& Summary, std::string& Error);

class TStreamCheckWindow : public TWindow {
 public:
  TStreamCheckWindow();
  ~TStreamCheckWindow() override;

  // Shows Report (the window is made the first time, over Over), the focus on its first finding.
  void Show(HWND Over, TCheckReport Report);
  const std::filesystem::path& File() const { return FReport.File(); }
  // Whether the report's file is the one open in the main window; when it is not, the window
  // says so above the summary and in its title.
  void SetFileOpen(bool Open);
  std::function<void(int64_t Offset)> OnActivated;

 protected:
  LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) override;

 private:
  void CreateControls();
  void Layout();
  void Activate(int Row);
  // Copy: the selected findings, or the whole report when none is selected.
  void CopyReport();
  // Save Report: asks for a name and writes the report as text, or as JSON for a .json name.
  void SaveReport();
  void ContextMenu(LPARAM At);

  TCheckReport FReport;
  bool FFileOpen = true;
  uint32_t FDpi = 96;
  int FSummaryHeight = 0;
  TGdiObject FFont;
  TGdiObject FFixedFont;
  HWND lbClosed = nullptr;
  HWND Memo1 = nullptr;
  TListView ListView1;
  HWND btnCopy = nullptr;
  HWND btnSave = nullptr;
  TSubclassHandler FListKeys;
};

}  // namespace corvane::win32
