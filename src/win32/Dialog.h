#pragma once
// The base of the program's dialogs: a modal window laid out in design pixels (scaled to the
// owner's monitor), in the system's message font, centred over its owner, with Tab, Enter and
// Escape working as in any dialog. Subclasses create their controls and answer commands.

#include <string>

#include "win32/Controls.h"

namespace corvane::win32 {

class TDialog : public TWindow {
 public:
  // Shows the dialog and returns once it is closed: the id that closed it (IDOK, IDCANCEL, ...).
  int ShowModal(HWND Owner);

 protected:
  // Caption, client size in design pixels (at 96 per inch) and whether the user may resize it.
  virtual std::wstring Title() const = 0;
  virtual SIZE DesignClientSize() const = 0;
  virtual bool Resizable() const { return false; }
  // Creates the controls once the window exists.
  virtual void CreateControls() = 0;
  // A command of a control or button; true when handled. IDOK and IDCANCEL end the dialog
  // unless handled here.
  virtual bool Command(int Id, int Code, HWND Control);
  // The client area's new size (for a resizable dialog).
  virtual void Layout(int /*Width*/, int /*Height*/) {}
  // Once the dialog is on screen, before the user acts.
  virtual void Shown() {}
  LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) override;

  void EndDialog(int Result);
  // A child control at design coordinates.
  HWND AddControl(const wchar_t* Class, const std::wstring& Text, DWORD Style, int X, int Y, int Width, int Height,
                  int Id, DWORD ExStyle = 0);
  int S(int Value) const { return Scale(Value, FDpi); }

  uint32_t FDpi = 96;
  TGdiObject FFont;
  HWND FOwner = nullptr;

 private:
  bool FDone = false;
  int FResult = IDCANCEL;
};

}  // namespace corvane::win32
