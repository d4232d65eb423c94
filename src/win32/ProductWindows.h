#pragma once
// The splash and about windows of the Windows program. Both are laid out at 120 pixels per inch
// and scaled to the monitor; their pictures are painted by the program itself.

#include <string_view>

#include "win32/Win32Base.h"

namespace corvane::win32 {

// Shows the splash window without waiting, centred on MainWindow when one is given; it closes
// itself after three seconds or at a click. False (and one debug line) after a failure.
bool ShowSplash(std::u16string_view ProductName, HWND MainWindow);
// Destroys the splash window.
void FreeSplash();
// Shows the about window modally, its version line read from the program's own version
// resource; when that cannot be read, no window opens and one debug line is written.
void ShowAbout(HWND Owner, std::u16string_view ProductName, std::u16string_view Year);

}  // namespace corvane::win32
