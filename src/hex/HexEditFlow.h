#pragma once
// The hex edit dialog's use of its model, without the dialog: reading the frame's bytes into
// the grid when it opens, and the sequence "Save Changes" runs (nothing to save, the
// confirmation, the write, the CRC repair and what the user is told on the way). A dialog
// supplies its grid and its message boxes; the Qt and the Windows dialog run the same sequence.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "hex/HexEditModel.h"

namespace corvane {

class TFileStream;

inline constexpr std::u16string_view HexEditNoChangesText = u"No changes to be saved.";
inline constexpr std::u16string_view HexEditConfirmSaveText =
    u"This action will permanently change the file content. Are you sure you want to save all changes?";
inline constexpr std::u16string_view HexEditRepairCrcText = u"Repair the frame's CRC on save";
inline constexpr std::u16string_view HexEditNoWholeFrameText =
    u"The frame's CRC was not repaired: the edited bytes no longer hold a whole frame.";

enum class THexEditMessage { Confirm, Information, Error };
// Shows Text; for Confirm (Yes and No) answers true on Yes.
using THexEditAsk = std::function<bool(THexEditMessage Kind, std::u16string_view Text)>;

// Lays Model out for Size bytes at Offset and fills it with what Stream holds there. False,
// with the grid laid out as far as it got, when the layout or the read fails.
bool LoadHexEdit(THexEditModel& Model, TFileStream& Stream, int64_t Offset, int64_t Size);

// "Save Changes" with CanModify and the repair box as given. True unless bytes that were to be
// written did not all reach the file (nothing to save, or No to the confirmation, is not a failure).
bool SaveHexEdit(const THexEditModel& Model, TFileStream& Stream, bool CanModify, bool RepairCrc,
                 const THexEditAsk& Ask);

}  // namespace corvane
