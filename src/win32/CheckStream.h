#pragma once
// Tools > Check Stream in the Windows window: the check on a worker thread behind a progress
// dialog that can cancel it, and the window that shows its summary and findings; activating a
// finding (double click or Enter) hands its offset to the main window.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "viewer/StreamCheck.h"
#include "win32/Controls.h"

namespace corvane::win32 {

struct TCheckResult {
  TCheckEnd End = TCheckEnd::Failed;
  TStreamSummary Summary;
  std::vector<TStreamFinding> Findings;
  int64_t NotKept = 0;  // findings after the ones the list keeps
  std::string Error;
};

// Checks File behind the progress dialog; true when the check completed.
bool RunStreamCheck(HWND Owner, const std::filesystem::path& File, bool EAC3, TCheckResult& Result);

class TStreamCheckWindow : public TWindow {
 public:
  TStreamCheckWindow();
  ~TStreamCheckWindow() override;

  // Shows the result of the check of File (made the first time), owned by Owner.
  void Show(HWND Owner, const std::filesystem::path& File, TCheckResult& Result);
  const std::filesystem::path& File() const { return FFile; }
  std::function<void(int64_t Offset)> OnActivated;

 protected:
  LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) override;

 private:
  void Layout();
  void Activate(int Row);

  std::filesystem::path FFile;
  std::vector<TStreamFinding> FFindings;
  std::vector<std::array<std::wstring, 3>> FRows;
  uint32_t FDpi = 96;
  TGdiObject FFont;
  TGdiObject FFixedFont;
  HWND Memo1 = nullptr;
  TListView ListView1;
};

}  // namespace corvane::win32
