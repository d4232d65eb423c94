#pragma once
// The viewer's whole open-file logic without any widget: loading and unloading a stream file,
// the sliding window of frames that the frame list shows, the three sync-point searches, the
// row texts, the selected frame's syntax tree and hex range, and the navigation through the
// file by keys, scroll bar and wheel. The main window owns one of these and maps its widgets
// onto it; the command-line program drives the same object.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/AC3PlusUtils.h"
#include "analysis/AC3Utils.h"
#include "core/FileStream.h"
#include "core/TreeModel.h"

namespace corvane {

// The frame list never holds more rows than this, however tall it is.
inline constexpr int32_t MaxFrameRows = 256;
// The shared read buffer; no single refill, search or detail read uses more than
// FrameReadSize + a few look-ahead bytes of it.
inline constexpr int32_t FrameBuffSize = 5 * 1024 * 1024;
inline constexpr int32_t FrameReadSize = 1024 * 1024;
// Bytes after the data of a read that are set to zero, so that a test near the end of a read
// never sees bytes of an earlier one.
inline constexpr int32_t FrameLookAhead = 64;
// One scroll-bar step stands for this many bytes of file; a page is ten steps.
inline constexpr int64_t ScrollBytesPerStep = 100;
inline constexpr int32_t ScrollPageStep = 10;

// Key codes of the navigation keys (the Windows virtual-key values).
inline constexpr int32_t KeyPageUp = 0x21;
inline constexpr int32_t KeyPageDown = 0x22;
inline constexpr int32_t KeyEnd = 0x23;
inline constexpr int32_t KeyHome = 0x24;
inline constexpr int32_t KeyUp = 0x26;
inline constexpr int32_t KeyDown = 0x28;

inline constexpr std::u16string_view DisplayName = u"Corvane";
inline constexpr std::u16string_view NotAStreamText = u"This is not a valid AC3 audio stream.";
inline constexpr std::u16string_view OpenAnywayQuestion =
    u"This is not a valid AC3 audio stream.\r\nDo you want to open it anyway?";

enum class TStreamKind { None, AC3, EAC3 };
enum class TGoToResult { Moved, NoFile, PastEnd };

// The five column texts of one frame-list row: Offset, Length, Frame Size, Sampling Rate, Bitrate.
using TRowTexts = std::array<std::u16string, 5>;

// What the hex pane shows: the file of the last successful load from TopOffset on, with the
// bytes SelStart .. SelStart + SelLength - 1 highlighted (none when SelLength is 0 or less).
struct THexPaneState {
  bool Exists = false;  // a hex view was created by a successful load
  bool Blank = true;    // its text was cleared and not filled again
  std::filesystem::path FileName;
  int64_t TopOffset = 0;
  int64_t SelStart = 0;
  int64_t SelLength = 0;
  // Successful loads so far: the pane starts over on the file at every one.
  int32_t LoadCount = 0;
};

// Outcome of one navigation step for the list: whether the window was refilled, and the row
// that is selected once the list has also done its own handling of the step (-1: none).
struct TNavResult {
  bool Refilled = false;
  int32_t SelectedRow = -1;
};

// One frame of a whole-file walk: its place, its length as the frame list shows it, and the
// bytes the window had from its first byte on (Size of them), for decoding it again.
struct TWalkFrame {
  int64_t Offset;
  int32_t Length;
  const uint8_t* Data;
  int32_t Size;
};

class TFrameWindow {
 public:
  // Asks the user a yes/no question; true is Yes.
  using TAskCallback = std::function<bool(std::u16string_view Question)>;
  using TWalkVisitor = std::function<void(const TWalkFrame&)>;
  // Told the position reached and the file size now and then during a walk.
  using TWalkProgress = std::function<void(int64_t Position, int64_t Size)>;

  TFrameWindow();
  ~TFrameWindow();
  TFrameWindow(const TFrameWindow&) = delete;
  TFrameWindow& operator=(const TFrameWindow&) = delete;

  // --- File loading -------------------------------------------------------------------------
  // The stream test: E-AC-3 first, AC-3 only when that says no. Writes Ffscod either way and
  // FEAC3 when a kind was found.
  TStreamKind StreamTest(const std::filesystem::path& FileName);
  // Opens and shows FileName; with UnsecureLoad the stream test is skipped.
  bool LoadFile(const std::filesystem::path& FileName, bool UnsecureLoad);
  bool UnloadFile();
  // The open of a named file that every entry path uses: the tested load, and when it fails the
  // open-anyway question, answered Yes by a forced load.
  bool OpenConfirmed(const std::filesystem::path& FileName, const TAskCallback& Ask);
  // A file chosen in the open dialog: the confirmed open, when the file exists.
  bool OpenChosenFile(const std::filesystem::path& FileName, const TAskCallback& Ask);
  // Files dropped on the frame list, in drop order: each existing one closes the open file and
  // is opened in its place, so the last one that opens stays open.
  void OpenDroppedFiles(const std::vector<std::filesystem::path>& FileNames, const TAskCallback& Ask);
  // "Corvane" followed by "(" + the path + ")" while a file is open.
  std::u16string Caption() const;

  // --- Frame window ---------------------------------------------------------------------------
  // The list's count of fully visible rows; taken at every refill, at most MaxFrameRows count.
  void SetVisibleRows(int32_t Rows);
  int32_t VisibleRows() const { return FVisibleRows; }
  void RefreshPosition(int64_t Position);
  bool SearchNextPackPositionFromPos(int64_t& Found, int64_t From);
  bool SearchPreviousPackPositionFromPos(int64_t& Found, int64_t From);
  bool SearchBackPackPositionFromPos(int64_t& Found, int32_t Count, int64_t From);
  // The list's row count: FRowsCount during a refill, FAC3FramesCount after it.
  int32_t ListRowCount() const { return FListRowCount; }
  // Row texts as the list asks for them; all empty for a row the window does not hold.
  TRowTexts ListView1Data(int32_t Row);
  // True when the row is painted on the grey background.
  bool RowShaded(int32_t Row) const { return Row % 2 == FListViewGrayMarkIndex; }
  // The window was resized to VisibleRows: refill from FCurrentPosition.
  void FormResize(int32_t VisibleRows);
  // The list as text: every row's five texts each followed by ", ", then LineEnd.
  std::u16string ListText(std::u16string_view LineEnd);

  // --- Frame detail ---------------------------------------------------------------------------
  // Decodes the frame at Offset again from the file into the tree and the hex range. False when
  // nothing could be read there (the tree and the hex pane then keep what they showed).
  bool UpdatePack(int64_t Offset);
  // A click or key release in the list with Row selected (-1: none): shows that row's frame.
  void ShowRow(int32_t Row);
  const TTreeModel& Tree() const { return FTree; }
  // The tree as text: every node's text followed by LineEnd, parents before children.
  std::u16string TreeText(std::u16string_view LineEnd) const;
  const THexPaneState& HexPane() const { return FHexPane; }
  // The list reports a change (selection, focus) of row Item: returns the row it reported before,
  // which is to be painted again with its current state and shade (-1: none).
  int32_t ListView1Change(int32_t Item);
  // How the tree paints a node: on light grey when it is at an even place among its siblings
  // and not selected; in bold when it is a structure node such as "syncinfo()".
  static bool TreeNodeShaded(int32_t SiblingIndex, bool Selected) { return SiblingIndex % 2 == 0 && !Selected; }
  static bool TreeNodeBold(std::u16string_view Text) { return Text.find(u"()") != std::u16string_view::npos; }
  // Offset and Length of the frame that UpdatePack decoded last.
  int64_t PackOffset() const { return FPackOffset; }
  int32_t PackLength() const { return FPackLength; }

  // --- Navigation -----------------------------------------------------------------------------
  // A key press in the list while SelectedRow is selected (-1: none).
  TNavResult ListView1KeyDown(int32_t Key, int32_t SelectedRow);
  // The frame list's scroll bar reports the position that a mouse interaction left it at.
  TNavResult MyScrollMouseDown(int32_t ScrollPosition);
  // The key that one wheel notch stands for.
  static int32_t WheelToKey(int32_t WheelDelta, bool CtrlDown);
  int32_t ScrollPosition() const { return FScrollPosition; }
  int32_t ScrollMax() const { return FScrollMax; }

  // --- Whole file -----------------------------------------------------------------------------
  // Visits every frame of the chain of windows of MaxFrameRows rows that starts with a refill
  // at Position, each next window starting at the end of the previous window's last frame, in
  // constant memory and much faster than refilling window by window. The chain ends after a
  // window that is not full or whose last frame has no length. False on a read failure.
  bool WalkFrames(int64_t Position, const TWalkVisitor& Visit, const TWalkProgress& Progress = {});

  // --- Commands of the main window (FrameCommands.cpp) ----------------------------------------
  // The frame that the hex edit command edits for list row Row: the row's Offset text read as a
  // 64-bit number and its Length text as a 32-bit one. False when either text is not a number
  // (an empty row among them).
  bool RowFrameRange(int32_t Row, int64_t& Offset, int64_t& Size);
  // " [AC3 Frame @ 0x" + Offset in 16 upper-case hex digits + "]", for both stream kinds.
  static std::u16string HexEditCaptionSuffix(int64_t Offset);
  // Moves the window to the first frame start at or after Offset (or, past the last one, the
  // last frame start before it), as a thumb placement does, and selects its first row.
  TGoToResult GoToOffset(int64_t Offset);
  // One line for the status bar: stream kind, sampling rate, file size and the place of the
  // window's first frame in the file; empty while no file is open.
  std::u16string StatusText() const;

  // --- State ----------------------------------------------------------------------------------
  const std::filesystem::path& FileName() const { return FFileName; }
  bool IsOpen() const { return FFileStream.IsOpen(); }
  int64_t FileSize() const { return FFileStream.IsOpen() ? FFileStream.Size() : -1; }
  bool EAC3() const { return FEAC3 != 0; }
  int32_t fscod() const { return Ffscod; }
  int32_t AC3FramesCount() const { return FAC3FramesCount; }
  int32_t RowsCount() const { return FRowsCount; }
  int64_t CurrentPosition() const { return FCurrentPosition; }
  int32_t ScrollLastPosition() const { return FScrollLastPosition; }
  int32_t ListViewGrayMarkIndex() const { return FListViewGrayMarkIndex; }
  const TAC3Frame& AC3Frame(int32_t Index) const { return (*FAC3Frames)[static_cast<size_t>(Index)]; }
  const TAC3PlusFrame& AC3PlusFrame(int32_t Index) const { return (*FAC3PlusFrames)[static_cast<size_t>(Index)]; }
  // Offset and Length of record Index of the array that FEAC3 selects.
  int64_t FrameOffset(int32_t Index) const;
  int32_t FrameLength(int32_t Index) const;
  std::recursive_mutex& FramesLock() { return FAC3FramesLock; }

 private:
  template <typename TKind>
  void ScanWindow(int64_t Position, int32_t Count, bool AtEnd);
  template <typename TKind>
  bool WalkChain(int64_t Position, const TWalkVisitor& Visit, const TWalkProgress& Progress);
  // Reads up to Count bytes at Position into FBuff and zeroes the look-ahead after them;
  // -1 on failure.
  int32_t ReadBuff(int64_t Position, int32_t Count);
  bool SearchBackward(int64_t& Found, int32_t Count, int64_t From, const char16_t* Name);
  void PlaceThumb(int64_t Position);
  void FlipShading() { FListViewGrayMarkIndex = (FListViewGrayMarkIndex + 1) % 2; }
  bool WindowFull() const { return FAC3FramesCount == FRowsCount; }
  int64_t FirstOffset() const { return FAC3FramesCount > 0 ? FrameOffset(0) : 0; }
  int64_t LastOffset() const { return FAC3FramesCount > 0 ? FrameOffset(FAC3FramesCount - 1) : 0; }

  std::filesystem::path FFileName;
  TFileStream FFileStream;
  int32_t FEAC3 = 0;
  int32_t Ffscod = 0;

  std::unique_ptr<uint8_t, void (*)(void*)> FBuff;
  // Fixed arrays, allocated with the object; held apart from it because the E-AC-3 records take
  // more than a MiB, too much for an object that may live on a stack.
  std::unique_ptr<std::array<TAC3Frame, MaxFrameRows>> FAC3Frames;
  std::unique_ptr<std::array<TAC3PlusFrame, MaxFrameRows>> FAC3PlusFrames;
  int32_t FAC3FramesCount = 0;
  int32_t FRowsCount = 0;
  int32_t FVisibleRows = 0;
  int32_t FListRowCount = 0;
  int64_t FCurrentPosition = 0;
  int32_t FScrollLastPosition = 0;
  int32_t FScrollPosition = 0;
  int32_t FScrollMax = 0;
  int32_t FListViewGrayMarkIndex = 0;
  std::recursive_mutex FAC3FramesLock;

  TTreeModel FTree;
  THexPaneState FHexPane;
  int64_t FPackOffset = 0;
  int32_t FPackLength = 0;
  int32_t FLastChangedItemIndex = -1;
};

}  // namespace corvane
