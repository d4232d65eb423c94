#pragma once
// View > Stream Overview in the Windows window: the whole open file on its time axis in a
// window of its own, painted with GDI from the columns of TStreamOverview as TOverviewLayout
// lays them out, under a line with the stream's kind, duration, problems and changes. The data
// is gathered in one walk of the stream behind the same cancellable progress dialog as Check
// Stream. A click hands a frame's offset to OnActivated.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "viewer/OverviewPicture.h"
#include "viewer/StreamOverview.h"
#include "win32/Controls.h"

namespace corvane::win32 {

class TStreamOverviewWindow : public TWindow {
 public:
  TStreamOverviewWindow();
  ~TStreamOverviewWindow() override;

  // Gathers the overview of File behind a progress dialog over Owner, unless the window holds
  // File's already. Error says why it failed.
  TCheckEnd Collect(HWND Owner, const std::filesystem::path& File, bool EAC3, std::string& Error);
  bool Holds(const std::filesystem::path& File) const { return FHeld.Holds(File); }
  // Forgets the data (its file was closed, or another opened).
  void Clear();
  // Shows the window (made the first time, over Over) in front.
  void Show(HWND Over);

  std::function<void(int64_t Offset)> OnActivated;

 protected:
  LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) override;

 private:
  // The picture's place in the client area, between the head line and the hint.
  RECT PictureRect() const;
  void Gather();
  void Paint(HDC Dc, const RECT& Client);
  void PaintPicture(HDC Dc, const RECT& Picture);

  THeldOverview FHeld;
  std::vector<TOverviewSpan> FColumns;
  TOverviewSpan FWhole;
  uint32_t FDpi = 96;
  TGdiObject FFont;
  int FTextHeight = 16;
};

}  // namespace corvane::win32
