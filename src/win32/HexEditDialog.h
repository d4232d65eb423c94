#pragma once
// The hex edit dialog of the Windows window: a grid over one frame's bytes (a report list with
// a cell cursor and an in-place editor that takes two letters or digits), the "Repair the
// frame's CRC on save" box, "Save Changes" and "Cancel". The cells, their rules, the changes and
// the save sequence are THexEditModel's and SaveHexEdit's; the dialog only shows and forwards.

#include <cstdint>
#include <string>

#include "win32/Win32Base.h"

namespace corvane {
class TFileStream;
}

namespace corvane::win32 {

// Shows the dialog modally over Size bytes at Offset of the caller's stream (opened for reading
// and writing, never freed here). True when it was closed with "Save Changes" and every byte
// that was to be written reached the file.
bool EditFile(HWND Owner, TFileStream* FileStream, const std::u16string& AdditionalCaption, bool CanModify,
              int64_t Offset, int64_t Size);

}  // namespace corvane::win32
