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
  const THexSaveResult Saved = Model.SaveChanges(Stream);
  if (!Saved.Ok) {
    Ask(THexEditMessage::Error, u"The changes could not be written to the file: " + IntToStr(Saved.Written) +
                                    u" of " + IntToStr(Saved.Total) + u" changed bytes were written.");
    return false;
  }
  if (!RepairCrc) return true;
  const THexSaveResult Repair = Model.SaveFrameCrc(Stream);
  if (Repair.Total == 0) {
    Ask(THexEditMessage::Information, HexEditNoWholeFrameText);
    return true;
  }
  if (!Repair.Ok) {
    Ask(THexEditMessage::Error, u"The changes were written, but not the frame's CRC words: " +
                                    IntToStr(Repair.Written) + u" of their " + IntToStr(Repair.Total) +
                                    u" bytes were written.");
    return false;
  }
  return true;
}

}  // namespace corvane
