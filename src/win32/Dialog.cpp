#include "win32/Dialog.h"

#include "win32/MessageLoop.h"

namespace corvane::win32 {

int TDialog::ShowModal(HWND Owner) {
  FOwner = Owner;
  FDpi = WindowDpi(Owner);
  FFont.Reset(CreateMessageFont(FDpi));
  const SIZE Design = DesignClientSize();
  const DWORD Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | (Resizable() ? WS_THICKFRAME : 0);
  const DWORD ExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  RECT Frame{0, 0, S(Design.cx), S(Design.cy)};
  AdjustWindowRectEx(&Frame, Style, FALSE, ExStyle);
  const int Width = Frame.right - Frame.left;
  const int Height = Frame.bottom - Frame.top;
  RECT Over{};
  if (Owner)
    GetWindowRect(Owner, &Over);
  else
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &Over, 0);
  const int X = Over.left + (Over.right - Over.left - Width) / 2;
  const int Y = Over.top + (Over.bottom - Over.top - Height) / 2;
  if (!CreateWindowOf(L"CorvaneDialog", ExStyle, Style, Title(), X, Y, Width, Height, Owner)) return IDCANCEL;
  // The icon is the program's window icon; a dialog shows none in its caption.
  SendMessageW(FHandle, WM_SETICON, ICON_SMALL, 0);
  CreateControls();
  ShowWindow(FHandle, SW_SHOW);
  Shown();
  RunModalLoop(FHandle, Owner, FDone);
  DestroyWindow(FHandle);
  return FResult;
}

void TDialog::EndDialog(int Result) {
  FResult = Result;
  FDone = true;
  ShowWindow(FHandle, SW_HIDE);
}

bool TDialog::Command(int, int, HWND) { return false; }

HWND TDialog::AddControl(const wchar_t* Class, const std::wstring& Text, DWORD Style, int X, int Y, int Width,
                         int Height, int Id, DWORD ExStyle) {
  HWND Control = CreateWindowExW(ExStyle, Class, Text.c_str(), WS_CHILD | WS_VISIBLE | Style, S(X), S(Y), S(Width),
                                 S(Height), FHandle, reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)),
                                 GetModuleHandleW(nullptr), nullptr);
  if (Control) SendMessageW(Control, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Font()), TRUE);
  return Control;
}

LRESULT TDialog::HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
  switch (Message) {
    case WM_COMMAND: {
      const int Id = LOWORD(WParam);
      if (Command(Id, HIWORD(WParam), reinterpret_cast<HWND>(LParam))) return 0;
      if (Id == IDOK || Id == IDCANCEL) EndDialog(Id);
      return 0;
    }
    case WM_CLOSE:
      if (!Command(IDCANCEL, BN_CLICKED, nullptr)) EndDialog(IDCANCEL);
      return 0;
    case WM_SIZE:
      Layout(LOWORD(LParam), HIWORD(LParam));
      return 0;
    case DM_GETDEFID:
      return MAKELRESULT(IDOK, DC_HASDEFID);
    default:
      return TWindow::HandleMessage(Message, WParam, LParam);
  }
}

}  // namespace corvane::win32
