#include "win32/HexPane.h"

#include <vector>

#include "core/ODSUtls.h"

namespace corvane::win32 {
namespace {

constexpr COLORREF Colour(THexColour Shade) { return RGB(Shade.Red, Shade.Green, Shade.Blue); }
constexpr COLORREF HighlightText = Colour(HexHighlightText);
constexpr COLORREF HighlightBack = Colour(HexHighlightBack);
constexpr COLORREF FieldBack = Colour(HexFieldBack);

bool KeyStep(WPARAM Key, THexViewStep& Step) {
  switch (Key) {
    case VK_UP: Step = THexViewStep::LineUp; return true;
    case VK_DOWN: Step = THexViewStep::LineDown; return true;
    case VK_PRIOR: Step = THexViewStep::PageUp; return true;
    case VK_NEXT: Step = THexViewStep::PageDown; return true;
    case VK_HOME: Step = THexViewStep::Home; return true;
    case VK_END: Step = THexViewStep::End; return true;
    default: return false;
  }
}

}  // namespace

THexPane::THexPane() = default;

THexPane::~THexPane() {
  if (FRichEdit && FRichEdit->Handle()) RemoveSubclass(FRichEdit->Handle(), &FKeys);
}

void THexPane::Init(TRichEdit* RichEdit, TScrollBar* ScrollBar) {
  FRichEdit = RichEdit;
  FScrollBar = ScrollBar;
  FScrollBar->SetRange(0, HexViewScrollMax);
  FScrollBar->SetPosition(0);
  SetFont();
  FKeys = [this](HWND, UINT Message, WPARAM WParam, LPARAM, LRESULT& Result) {
    if (Message != WM_KEYDOWN || !KeyDown(WParam)) return false;
    Result = 0;
    return true;
  };
  Subclass(FRichEdit->Handle(), &FKeys);
}

void THexPane::SetFont() {
  if (FRichEdit) FRichEdit->SetFont(L"Courier New", 10);
}

int32_t THexPane::ModelHeight() const {
  RECT Client{};
  GetClientRect(FRichEdit->Handle(), &Client);
  const int Line = FRichEdit->LineHeight();
  // The model counts 16-pixel lines; a font of another height counts as many lines as fit.
  return Line > 0 ? static_cast<int32_t>(Client.bottom * HexViewLineHeight / Line) : Client.bottom;
}

void THexPane::OpenFile(const std::filesystem::path& FileName) {
  GuardedCall(u"THexView.OpenFile", [&] {
    CloseFile();
    if (!FModel.Open(FileName)) {
      ReportCallFailure(u"THexView.OpenFile");
      return;
    }
    Show(0);
  });
}

void THexPane::CloseFile() {
  FModel.Close();
  FRichEdit->Clear();
}

void THexPane::Clear() { FRichEdit->Clear(); }

void THexPane::Show(int64_t Offset) {
  GuardedCall(u"THexView.RefreshFileData", [&] {
    if (FRichEdit->LineHeight() == 0) {
      // The line height is measured on text of two lines.
      FRichEdit->SetText(u"0\r0");
    }
    const int32_t Height = ModelHeight();
    const std::optional<THexPaneText> Pane = FModel.Refresh(Offset, Height, u'\r');
    if (!Pane) return;
    const HWND Control = FRichEdit->Handle();
    SendMessageW(Control, WM_SETREDRAW, FALSE, 0);
    // Text and highlights in one go: the control lays the lines out once, not once more for
    // every highlighted run.
    std::vector<TRichEdit::TMark> Marks;
    for (const THexCharRange& Run : Pane->Frame) Marks.push_back({Run.Start, Run.Length, HighlightText, HighlightBack, true});
    for (const THexCharRange& Run : Pane->Field) Marks.push_back({Run.Start, Run.Length, HighlightText, FieldBack, true});
    FRichEdit->SetMarkedText(Pane->Text, Marks);
    // The dump always starts at the top of the pane.
    SendMessageW(Control, WM_VSCROLL, SB_TOP, 0);
    SendMessageW(Control, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(Control, nullptr, TRUE);
    if (!FTracking) FScrollBar->SetPosition(Pane->Thumb);
  });
}

void THexPane::RefreshFileData(int64_t Offset) { Show(Offset); }

void THexPane::SetSelection(int64_t Start, int64_t Length) {
  FModel.SetSelection(Start, Length);
  Show(-1);
}

void THexPane::SetFieldSelection(int64_t Start, int64_t Length, bool Redraw) {
  FModel.SetFieldSelection(Start, Length);
  if (Redraw) Show(-1);
}

void THexPane::ShowFrame(int64_t Top, int64_t Start, int64_t Length, int64_t FieldStart, int64_t FieldLength) {
  FModel.SetSelection(Start, Length);
  FModel.SetFieldSelection(FieldStart, FieldLength);
  // The offset shown already draws nothing by itself: the highlights are redrawn in place then.
  Show(Top == FModel.LastRefreshOffset() ? -1 : Top);
}

bool THexPane::KeyDown(WPARAM Key) {
  THexViewStep Step;
  // With Shift the keys extend the control's own text selection.
  if (!FModel.IsOpen() || GetKeyState(VK_SHIFT) < 0 || !KeyStep(Key, Step)) return false;
  Show(FModel.StepTarget(Step, ModelHeight()));
  return true;
}

void THexPane::Scroll(int Code) {
  GuardedCall(u"THexView.CustomScrollEvent", [&] {
    if (!FModel.IsOpen() || FModel.FileSize() <= 0) return;
    const auto Go = [&](THexViewStep Step) {
      Show(FModel.StepTarget(Step, ModelHeight()));
      SetFocus(FRichEdit->Handle());
    };
    switch (Code) {
      case SB_LINEUP: Go(THexViewStep::LineUp); break;
      case SB_LINEDOWN: Go(THexViewStep::LineDown); break;
      case SB_PAGEUP: Go(THexViewStep::PageUp); break;
      case SB_PAGEDOWN: Go(THexViewStep::PageDown); break;
      case SB_TOP: Go(THexViewStep::Home); break;
      case SB_THUMBTRACK: {
        // The thumb stays where the user drags it; the pane follows.
        const int Position = FScrollBar->TrackPosition();
        FScrollBar->SetPosition(Position);
        FTracking = true;
        Show(FModel.TrackTarget(Position));
        FTracking = false;
        break;
      }
      case SB_THUMBPOSITION:
        FScrollBar->SetPosition(FScrollBar->TrackPosition());
        SetFocus(FRichEdit->Handle());
        break;
      default:
        break;
    }
  });
}

}  // namespace corvane::win32
