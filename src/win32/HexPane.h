#pragma once
// The hex pane of the Windows window: a read-only rich edit that shows what THexViewModel
// computes, the frame's bytes on light yellow (EM_SETCHARFORMAT with a background colour), and
// a stand-alone scroll bar whose thumb (0..100000) follows the place in the file.

#include <filesystem>

#include "hex/HexViewModel.h"
#include "win32/Controls.h"

namespace corvane::win32 {

class THexPane {
 public:
  THexPane();
  ~THexPane();
  THexPane(const THexPane&) = delete;
  THexPane& operator=(const THexPane&) = delete;

  // Takes over the rich edit's keys and sets up both controls (neither is owned).
  void Init(TRichEdit* RichEdit, TScrollBar* ScrollBar);
  // Opens the file and shows it from offset 0 with nothing highlighted.
  void OpenFile(const std::filesystem::path& FileName);
  void CloseFile();
  void RefreshFileData(int64_t Offset);
  void SetSelection(int64_t Start, int64_t Length);
  void SetFieldSelection(int64_t Start, int64_t Length, bool Redraw);
  // A frame shown: the file from Top on, the frame's bytes and a field inside them highlighted,
  // drawn once.
  void ShowFrame(int64_t Top, int64_t Start, int64_t Length, int64_t FieldStart, int64_t FieldLength);
  void Clear();
  // The scroll bar's WM_VSCROLL.
  void Scroll(int Code);
  // The pane's font at the window's resolution.
  void SetFont();

 private:
  bool KeyDown(WPARAM Key);
  void Show(int64_t Offset);
  // The client height as the model counts it: lines of the real font in 16-pixel units.
  int32_t ModelHeight() const;

  THexViewModel FModel;
  TRichEdit* FRichEdit = nullptr;
  TScrollBar* FScrollBar = nullptr;
  TSubclassHandler FKeys;
  // Set while a dragged thumb is followed: the refresh leaves the thumb where the user holds it.
  bool FTracking = false;
};

}  // namespace corvane::win32
