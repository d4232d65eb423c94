#include "hex/HexEditFlow.h"

#include <vector>

#include "core/FileStream.h"
#include "core/StringUtils.h"

namespace corvane {

bool LoadHexEdit(THexEditModel& Model, TFileStream& Stream, int64_t Offset, int64_t Size) {
  if (!Model.Layout(Offset, Size)) return false;
  std::vector<uint8_t> Buffer(static_cast<size_t>(Size), 0);
  const int32_t Read = Stream.ReadAt(Offset, Buffer.data(), static_cast<int32_t>(Size));
  if (Read < 0) return false;
  Model.Fill(Buffer.data(), Read);
  return true;
}

bool SaveHexEdit(const THexEditModel& Model, TFileStream& Stream, bool CanModify, bool RepairCrc,
                 const THexEditAsk& Ask) {
  if (!CanModify) return true;
  if (Model.ChangedCells().empty()) {
    Ask(THexEditMessage::Information, HexEditNoChangesText);
    return true;
  }
  if (!Ask(THexEditMessage::Confirm, HexEditConfirmSaveText)) return true;
  // The changed bytes and, with the repair, the frame's CRC words go out as one journalled batch:
  // all of them reach the file or none does.
  const THexSaveResult Saved = Model.Save(Stream, RepairCrc);
  if (!Saved.Ok) {
    Ask(THexEditMessage::Error, u"The changes could not be written to the file: " + Saved.Error + u".");
    return false;
  }
  if (Saved.CrcSkipped) Ask(THexEditMessage::Information, HexEditNoWholeFrameText);
  return true;
}

}  // namespace corvane
