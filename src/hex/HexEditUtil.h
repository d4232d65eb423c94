#pragma once
// The hex edit dialog: a modal grid over one frame's bytes in which the user overwrites byte
// cells with two hex digits; changed cells turn red, and "Save Changes" writes exactly the
// changed bytes back into the file in place, with the frame's CRC words when "Repair the frame's
// CRC on save" is ticked (it is, where the bytes hold a whole frame), as one journalled batch:
// all of them reach the file or none does. The cell rules,
// the change list and the repair live in THexEditModel; this dialog mirrors the model's cells
// and forwards the grid's events to it.

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

#include "hex/HexEditFlow.h"
#include "hex/HexEditModel.h"

class QCheckBox;
class QPainter;
class QPushButton;
class QRect;
class QTableWidget;

namespace corvane {

class TFileStream;
class THexCellDelegate;

using THexEditPromptKind = THexEditMessage;
// Shows a message to the user; for Confirm (Yes and No buttons) answers true on Yes.
using THexEditPrompt = std::function<bool(QWidget* Parent, THexEditPromptKind Kind, const QString& Text)>;
// Replaces how the dialog asks and tells (tests answer for the user); an empty function
// restores the message boxes. Returns the function installed before.
THexEditPrompt SetHexEditPrompt(THexEditPrompt Prompt);

// Shows the dialog modally over Size bytes at Offset of the caller's stream (opened for reading
// and writing, never freed here), after rolling back an unfinished change that an earlier writer
// of the file left in its undo journal. True when the dialog was closed with "Save Changes" and
// nothing failed to be written; false when cancelled, when it could not be shown, or when the
// changes could not all be written.
bool EditFile(TFileStream* FileStream, const std::u16string& AdditionalCaption, bool CanModify, int64_t Offset,
              int64_t Size, QWidget* Parent = nullptr);

class THexEditForm : public QDialog {
  Q_OBJECT

 public:
  explicit THexEditForm(QWidget* Parent = nullptr);
  ~THexEditForm() override;

  // What EditFile hands over before showing. The stream stays the caller's.
  void SetUp(TFileStream* FileStream, const std::u16string& AdditionalCaption, bool CanModify, int64_t Offset,
             int64_t Size);

  QTableWidget* StringGrid1 = nullptr;
  QPushButton* bbtnOK = nullptr;
  QPushButton* bbtnCancel = nullptr;
  QCheckBox* cbRepairCrc = nullptr;

  const THexEditModel& Model() const { return FModel; }
  // True once a save was attempted and did not reach the file completely.
  bool SaveFailed() const { return FSaveFailed; }

  // Grid coordinates as the model uses them: row 0 is the header, so grid row r is table row r - 1.
  void FormShow();
  void FormClose();
  QString StringGrid1GetEditMask(int Column, int Row) const;
  void StringGrid1SetEditText(int Column, int Row, const QString& Value);
  bool StringGrid1SelectCell(int Column, int Row);
  // Paints a changed cell over: red, with its text in white.
  void StringGrid1DrawCell(QPainter* Painter, int Column, int Row, const QRect& Rect, const QString& Text) const;
  void StringGrid1KeyDown(int Key);
  void bbtnOKClick();

  bool AddChangedCell(int Column, int Row, uint8_t Value);
  int GetChangedCellIndex(int Column, int Row) const;
  bool GetOriginalValue(int Column, int Row, uint8_t& Value) const;
  bool UpdateRow(int Row);
  void SelectNextCell(int Column, int Row);

  // Whether (Column, Row) may become the current cell, without tidying anything.
  bool CanSelectCell(int Column, int Row) const;

  void done(int Result) override;
  // Escape, Cancel and the title bar's close button: with unsaved edits the user is asked
  // first, and No keeps the dialog open.
  void reject() override;

 protected:
  void showEvent(QShowEvent* Event) override;

 private:
  void BuildGrid();
  void SyncCell(int Column, int Row);
  void SyncRow(int Row);

  THexEditModel FModel;
  THexCellDelegate* FDelegate = nullptr;
  TFileStream* FFileStream = nullptr;
  int64_t FOffset = 0;
  int64_t FSize = 0;
  std::u16string FAdditionalCaption;
  bool FCanModify = false;
  bool FShown = false;
  bool FSaveFailed = false;
};

}  // namespace corvane
