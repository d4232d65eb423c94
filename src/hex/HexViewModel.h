#pragma once
// The hex pane without its controls: the file it shows through a read handle of its own, the
// offset it was last asked to show, the frame and field ranges it highlights, and what one
// refresh puts into the pane (the dump's text, the character runs to highlight, the thumb's
// place). A front-end sets the text into its text control, colours the runs and moves its
// scroll bar; every decision about what to show is made here.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/RgbColour.h"
#include "hex/HexViewLines.h"

namespace corvane {

class TFileStream;

// The highlights' colours: the frame's bytes in bold blue on light yellow, a field inside them
// on a stronger yellow.
using THexColour = TRgbColour;
inline constexpr THexColour HexHighlightText{0, 0, 255};
inline constexpr THexColour HexHighlightBack{255, 255, 160};
inline constexpr THexColour HexFieldBack{255, 190, 40};

// What one refresh shows.
struct THexPaneText {
  // The lines, each but the last followed by the break the caller asked for (one character,
  // so that a line takes HexViewLinePitch positions).
  std::u16string Text;
  // Runs of the frame's highlight, and of the field's stronger mark inside it, within Text.
  std::vector<THexCharRange> Frame;
  std::vector<THexCharRange> Field;
  // Where the scroll bar's thumb (0..HexViewScrollMax) stands for the offset shown.
  int32_t Thumb = 0;
};

class THexViewModel {
 public:
  THexViewModel();
  ~THexViewModel();
  THexViewModel(const THexViewModel&) = delete;
  THexViewModel& operator=(const THexViewModel&) = delete;

  // Closes any open file; opens the named one read-only. A name that names no file leaves the
  // model closed and still succeeds; false when an existing file cannot be opened.
  bool Open(const std::filesystem::path& FileName);
  void Close();
  bool IsOpen() const { return FFileStream != nullptr; }
  // The file's size now, or -1 without a file.
  int64_t FileSize() const;

  // The pane's text from Offset on (its line at the top) for a pane ClientHeight pixels high.
  // Nothing when the request changes nothing: no file, an offset at or past the end, or the
  // offset shown already. A negative offset redraws the current one. Nothing as well when the
  // file's size or the read fails (a debug line says so); the offset shown stays the same, so
  // the next request tries again.
  std::optional<THexPaneText> Refresh(int64_t Offset, int32_t ClientHeight, char16_t LineBreak);
  // The offset a key or scroll-bar step asks to show, from the offset shown last.
  int64_t StepTarget(THexViewStep Step, int32_t ClientHeight) const;
  // The offset a dragged thumb asks to show.
  int64_t TrackTarget(int32_t ThumbPosition) const;

  // The frame's bytes (none when Length <= 0) and a field inside them; the next refresh shows them.
  void SetSelection(int64_t Start, int64_t Length);
  void SetFieldSelection(int64_t Start, int64_t Length);

  // The offset the last refresh was asked to show (not rounded); -1 before the first one.
  int64_t LastRefreshOffset() const { return FLastRefreshOffset; }
  int64_t SelectionStart() const { return FSelectionStart; }
  int64_t SelectionLength() const { return FSelectionLength; }
  int64_t FieldStart() const { return FFieldStart; }
  int64_t FieldLength() const { return FFieldLength; }

 private:
  std::unique_ptr<TFileStream> FFileStream;
  int64_t FLastRefreshOffset = -1;
  int64_t FSelectionStart = 0;
  int64_t FSelectionLength = 0;
  int64_t FFieldStart = 0;
  int64_t FFieldLength = 0;
};

}  // namespace corvane
