#include "win32/MessageLoop.h"

#include <windowsx.h>

#include <map>
#include <vector>

#include "viewer/FrameWindow.h"

namespace corvane::win32 {
namespace {

HWND MainWindow = nullptr;
HACCEL MainAccelerators = nullptr;

std::map<HWND, HACCEL>& WindowKeys() {
  static std::map<HWND, HACCEL> Keys;
  return Keys;
}

std::map<HWND, HWND>& WheelRedirects() {
  static std::map<HWND, HWND> Redirects;
  return Redirects;
}

// The window of this thread under the point, or the one the message was addressed to.
HWND WheelTarget(const MSG& Message) {
  const POINT At{GET_X_LPARAM(Message.lParam), GET_Y_LPARAM(Message.lParam)};
  HWND Target = WindowFromPoint(At);
  if (!Target || GetWindowThreadProcessId(Target, nullptr) != GetCurrentThreadId() || !IsWindowEnabled(Target))
    Target = Message.hwnd;
  const auto Redirect = WheelRedirects().find(Target);
  return Redirect != WheelRedirects().end() ? Redirect->second : Target;
}

// Disables a visible window of the program, remembering it, unless it is the modal one (first).
BOOL CALLBACK DisableWindow(HWND Window, LPARAM Data) {
  auto& Disabled = *reinterpret_cast<std::vector<HWND>*>(Data);
  if (Window != Disabled.front() && IsWindowVisible(Window) && IsWindowEnabled(Window)) {
    EnableWindow(Window, FALSE);
    Disabled.push_back(Window);
  }
  return TRUE;
}

void Dispatch(MSG& Message, HWND Dialog) {
  WheelToKeyMessage(Message);
  if (!Dialog && MainWindow && MainAccelerators &&
      (Message.hwnd == MainWindow || IsChild(MainWindow, Message.hwnd)) &&
      TranslateAcceleratorW(MainWindow, MainAccelerators, &Message))
    return;
  if (Dialog && IsDialogMessageW(Dialog, &Message)) return;
  if (!Dialog && Message.hwnd) {
    const HWND Root = GetAncestor(Message.hwnd, GA_ROOT);
    const auto Keys = WindowKeys().find(Root);
    if (Keys != WindowKeys().end() &&
        ((Keys->second && TranslateAcceleratorW(Root, Keys->second, &Message)) || IsDialogMessageW(Root, &Message)))
      return;
  }
  TranslateMessage(&Message);
  DispatchMessageW(&Message);
}

}  // namespace

void SetMainWindow(HWND Window, HACCEL Accelerators) {
  MainWindow = Window;
  MainAccelerators = Accelerators;
}

void SetWindowKeys(HWND Window, HACCEL Accelerators) {
  const auto Known = WindowKeys().find(Window);
  if (Known != WindowKeys().end()) {
    if (Known->second) DestroyAcceleratorTable(Known->second);
    WindowKeys().erase(Known);
  }
  if (Accelerators) WindowKeys()[Window] = Accelerators;
}

void RedirectWheel(HWND From, HWND To) { WheelRedirects()[From] = To; }

bool WheelToKeyMessage(MSG& Message) {
  if (Message.message != WM_MOUSEWHEEL) return false;
  const int Delta = GET_WHEEL_DELTA_WPARAM(Message.wParam);
  const bool Ctrl = (GET_KEYSTATE_WPARAM(Message.wParam) & MK_CONTROL) != 0 || GetKeyState(VK_CONTROL) < 0;
  Message.hwnd = WheelTarget(Message);
  Message.message = WM_KEYDOWN;
  Message.wParam = static_cast<WPARAM>(TFrameWindow::WheelToKey(Delta, Ctrl));
  Message.lParam = 0;
  return true;
}

int RunMessageLoop() {
  MSG Message{};
  while (GetMessageW(&Message, nullptr, 0, 0) > 0) Dispatch(Message, nullptr);
  return static_cast<int>(Message.wParam);
}

void RunModalLoop(HWND Dialog, HWND Owner, const bool& Done) {
  // The first entry is the dialog, which stays enabled.
  std::vector<HWND> Disabled{Dialog};
  EnumThreadWindows(GetCurrentThreadId(), DisableWindow, reinterpret_cast<LPARAM>(&Disabled));
  MSG Message{};
  while (!Done) {
    const BOOL Got = GetMessageW(&Message, nullptr, 0, 0);
    if (Got <= 0) {
      // The quit belongs to the program's own loop.
      PostQuitMessage(static_cast<int>(Message.wParam));
      break;
    }
    Dispatch(Message, Dialog);
  }
  // The windows are enabled before the dialog goes, so that the focus returns to the owner.
  for (auto Window = Disabled.rbegin(); Window + 1 != Disabled.rend(); ++Window)
    if (IsWindow(*Window)) EnableWindow(*Window, TRUE);
  if (Owner && IsWindowEnabled(Owner)) SetActiveWindow(Owner);
}

}  // namespace corvane::win32
