#pragma once
// The Go to Offset question: a byte offset typed as a decimal number or as a hexadecimal one
// after 0x.

#include <string>

#include "win32/Win32Base.h"

namespace corvane::win32 {

// Shows the question over Owner; false when cancelled, otherwise the text typed.
bool AskOffset(HWND Owner, std::u16string& Typed);

}  // namespace corvane::win32
