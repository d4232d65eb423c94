#pragma once
// The hex pane: THexView shows a window of a file as a hex dump in a text control it does not
// own, highlights a byte range, and moves through the file on keys and on a separate scroll bar
// whose thumb (0..100000) follows the position in the file. What it shows comes from
// THexViewModel, which reads only the lines shown, so files of any size open at once; this
// class only wires the Qt controls to it.

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "core/Status.h"
#include "hex/HexViewLines.h"
#include "hex/HexViewModel.h"

class QFont;
class QPlainTextEdit;
class QScrollBar;

namespace corvane {

// True when every character a dump uses (HexDumpCharacters) has the same advance in Font, so
// that its columns line up; a character the face lacks (drawn from another) fails it.
bool HasOneAdvance(const QFont& Font);
// The face the dumps, the edit grid and the tree are drawn in, at PointSize: "Courier New" as
// the font matcher resolves it (on Linux often an alias of a metric twin), else the desktop's
// fixed font, else another fixed face, the first of them that passes HasOneAdvance. Chosen by
// that property, not by the face's fixed-pitch flag, which some faces with one advance lack.
QFont HexDumpFont(int PointSize);

class THexView : public QObject {
  Q_OBJECT

 public:
  THexView();
  // Closes the file and clears the pane.
  ~THexView() override;
  THexView(const THexView&) = delete;
  THexView& operator=(const THexView&) = delete;

  // Attaches the pane and its scroll bar (neither is owned) and takes over their key and scroll
  // handling from any earlier view attached to them.
  THResult Init(QPlainTextEdit* RichEdit, QScrollBar* ScrollBar);
  // Closes any open file; opens the named one read-only and shows it from offset 0. A name that
  // names no file leaves the pane empty and still succeeds.
  THResult OpenFile(const std::filesystem::path& FileName);
  // Shows the file from Offset (its line at the top). A negative offset redraws the current
  // position; the offset already shown and offsets at or past the end change nothing.
  void RefreshFileData(int64_t Offset);
  // Highlights Length bytes from StartOffset (nothing when Length <= 0) and redraws in place.
  void SetSelection(int64_t StartOffset, int64_t Length);
  void ClearSelection();
  // Marks Length bytes from StartOffset more strongly inside the selection (a field of the
  // frame); nothing when Length <= 0. Redraws in place unless told not to.
  void SetFieldSelection(int64_t StartOffset, int64_t Length, bool Redraw = true);
  THResult CloseFile();

  // The scroll handler's moves; each shows its target and returns the thumb position for it.
  int32_t GoOneLineUp();
  int32_t GoOneLineDown();
  int32_t GoOnePageUp();
  int32_t GoOnePageDown();
  int32_t GoHome();

  // The scroll bar's event: ScrollPos is the thumb position in and the position to keep out.
  void CustomScrollEvent(THexScrollCode ScrollCode, int32_t& ScrollPos);
  // The pane's key-down event (a Qt::Key); Shift leaves the key to the control's own selection.
  void FRichEditKeyDown(int Key, Qt::KeyboardModifiers Shift);

  bool IsFileOpen() const { return FModel.IsOpen(); }
  // The offset the last refresh was asked to show (not rounded); -1 before the first one.
  int64_t LastRefreshOffset() const { return FModel.LastRefreshOffset(); }
  int64_t SelectionStartOffset() const { return FModel.SelectionStart(); }
  int64_t SelectionLength() const { return FModel.SelectionLength(); }
  int64_t FieldSelectionStartOffset() const { return FModel.FieldStart(); }
  int64_t FieldSelectionLength() const { return FModel.FieldLength(); }

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void ScrollBarActionTriggered(int Action);
  int32_t GoStep(THexViewStep Step, const char16_t* Name);
  int32_t ClientHeight() const;
  void Draw(const THexPaneText& Pane);
  void ReleaseControls();

  QPointer<QPlainTextEdit> FRichEdit;
  QPointer<QScrollBar> FScrollBar;
  // The file, the offset shown and the highlights; what a refresh shows is decided there.
  THexViewModel FModel;
  // Set while the view moves the thumb itself or follows a drag: scroll events are ignored
  // and a refresh leaves the thumb where it is.
  bool FBusy = false;
  bool FForwardingKey = false;
  bool FSettingThumb = false;
};

}  // namespace corvane
