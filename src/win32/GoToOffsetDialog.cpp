#include "win32/GoToOffsetDialog.h"

#include "win32/Dialog.h"

namespace corvane::win32 {
namespace {

constexpr int IdOffset = 100;

class TGoToOffsetDialog : public TDialog {
 public:
  std::u16string FTyped;

 protected:
  std::wstring Title() const override { return L"Go to Offset"; }
  SIZE DesignClientSize() const override { return {420, 112}; }

  void CreateControls() override {
    // The question fits one line in the usual fonts; a larger system font has room for two.
    AddControl(WC_STATICW, L"Byte offset in the file (decimal, or hexadecimal after 0x):", 0, 12, 10, 396, 30, -1);
    FEdit = AddControl(WC_EDITW, W(FTyped), WS_TABSTOP | ES_AUTOHSCROLL, 12, 44, 396, 22, IdOffset, WS_EX_CLIENTEDGE);
    AddControl(WC_BUTTONW, L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 252, 78, 75, 23, IDOK);
    AddControl(WC_BUTTONW, L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, 333, 78, 75, 23, IDCANCEL);
  }

  void Shown() override {
    SetFocus(FEdit);
    SendMessageW(FEdit, EM_SETSEL, 0, -1);
  }

  bool Command(int Id, int, HWND) override {
    if (Id == IDOK) FTyped = WindowText(FEdit);
    return false;
  }

 private:
  HWND FEdit = nullptr;
};

}  // namespace

bool AskOffset(HWND Owner, std::u16string& Typed) {
  TGoToOffsetDialog Dialog;
  Dialog.FTyped = Typed;
  if (Dialog.ShowModal(Owner) != IDOK) return false;
  Typed = Dialog.FTyped;
  return true;
}

}  // namespace corvane::win32
