#pragma once
// The program's message loop and its modal loops. Every message taken from the queue passes one
// place first, which turns a mouse-wheel notch into the key it stands for (Up or Down, Page Up
// or Page Down with Ctrl) for the control under the mouse, so the wheel moves through the file
// in every control as the keys do; the main window's shortcut keys are translated there too.

#include "win32/Win32Base.h"

namespace corvane::win32 {

// The main window and its shortcut keys; they apply while no modal window is up.
void SetMainWindow(HWND Window, HACCEL Accelerators);
// A window of its own beside the main one (the check report): its shortcut keys (taken over and
// destroyed with it; nullptr forgets the window) and the dialog keys Tab, Enter and Escape.
void SetWindowKeys(HWND Window, HACCEL Accelerators);
// A wheel over From goes to To as a key (the frame list's own scroll bar hands it to the list).
void RedirectWheel(HWND From, HWND To);

// Rewrites a wheel message in place into the key press it stands for; false for other messages.
bool WheelToKeyMessage(MSG& Message);

// Runs the program's loop until WM_QUIT; returns its exit code.
int RunMessageLoop();
// Runs a loop for the modal window Dialog (owned by Owner) until Done is true or the program is
// asked to quit (the quit is passed on). Every other window of the program is disabled meanwhile.
void RunModalLoop(HWND Dialog, HWND Owner, const bool& Done);

}  // namespace corvane::win32
