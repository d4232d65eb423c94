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

#include "analysis/AC3Crc.h"
#include "analysis/AC3PlusUtils.h"
#include "analysis/AC3Utils.h"
#include "core/FileStream.h"
#include "core/TreeModel.h"

namespace corvane {

// The frame list never holds more rows than this, however tall it is.
inline constexpr int32_t MaxFrameRows = 256;
// The shared read buffer. The refill, the searches and the detail read FrameReadSize bytes at
// a time into its start; a search that goes on past a first read reads into its last
// FrameReadSize bytes (FrameScratchOffset on), and the whole-file walk holds a stretch of the
// file in the rest.
inline constexpr int32_t FrameBuffSize = 5 * 1024 * 1024;
inline constexpr int32_t FrameReadSize = 1024 * 1024;
inline constexpr int32_t FrameScratchOffset = FrameBuffSize - FrameReadSize;
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
  // The bytes of the syntax element selected in the tree, marked more strongly inside the
  // frame's highlight (none when FieldLength is 0).
  int64_t FieldStart = 0;
  int64_t FieldLength = 0;
};

// Outcome of one navigation step for the list: whether the window was refilled, and the row
// that is selected once the list has also done its own handling of the step (-1: none).
struct TNavResult {
  bool Refilled = false;
  int32_t SelectedRow = -1;
};

// One frame of a whole-file walk: its place, its length as the frame list shows it, and the
// bytes the window had from its first byte on (Size of them), for decoding it again. A frame's
// length is the distance to the next acceptable frame start, wherever that lies; the last frame
// runs to the end of the file. Only a distance too large for the 32-bit length leaves it 0.
struct TWalkFrame {
  int64_t Offset;
  int32_t Length;
  const uint8_t* Data;
  int32_t Size;
};

// Follows a dragged thumb without falling behind it: each position the drag reports replaces
// the one still waiting, and a new step is scheduled only once the one before has run, so that a
// drag never queues more than one step (each bounded by one refill) behind the mouse.
class TThumbFollower {
 public:
  // The drag reached Position; true when the caller is to schedule a step (none is waiting).
  bool Moved(int32_t Position) {
    FPending = Position;
    if (FScheduled) return false;
    FScheduled = true;
    return true;
  }
  // The scheduled step runs: the latest position the drag reported.
  int32_t Take() {
    FScheduled = false;
    return FPending;
  }

 private:
  int32_t FPending = 0;
  bool FScheduled = false;
};

class TFrameWindow {
 public:
  // Asks the user a yes/no question; true is Yes.
  using TAskCallback = std::function<bool(std::u16string_view Question)>;
  // Tells the user something that needs no answer.
  using TTellCallback = std::function<void(std::u16string_view Message)>;
  // Returns false to end the walk there.
  using TWalkVisitor = std::function<bool(const TWalkFrame&)>;
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
  // Opens and shows FileName; with UnsecureLoad the stream test is skipped. The file is opened
  // before anything else changes: when it cannot be opened, the file open before stays open with
  // its list, tree, hex pane and caption. The file's first MiB is read once, for the stream
  // test, the first window and the first frame's detail.
  bool LoadFile(const std::filesystem::path& FileName, bool UnsecureLoad);
  bool UnloadFile();
  // The open of a named file that every entry path uses: the tested load, and when it fails the
  // open-anyway question, answered Yes by a forced load. A file that cannot be opened at all
  // (missing, unreadable, not a regular file) is not asked about: Tell hears why instead.
  bool OpenConfirmed(const std::filesystem::path& FileName, const TAskCallback& Ask, const TTellCallback& Tell = {});
  // A file chosen in the open dialog: the confirmed open, when the file exists.
  bool OpenChosenFile(const std::filesystem::path& FileName, const TAskCallback& Ask, const TTellCallback& Tell = {});
  // Files dropped on the frame list, in drop order: each existing one closes the open file and
  // is opened in its place, so the last one that opens stays open.
  void OpenDroppedFiles(const std::vector<std::filesystem::path>& FileNames, const TAskCallback& Ask,
                        const TTellCallback& Tell = {});
  // "Corvane" followed by "(" + the path + ")" while a file is open; bytes of the name that are
  // not UTF-8 show as U+FFFD.
  std::u16string Caption() const;
  // Called when a step turns out long: once by each search, refill or detail that has to read
  // on past its first read to get over a stretch without an acceptable frame start. The window
  // then shows the busy cursor until the step ends.
  void SetLongStepCallback(std::function<void()> Callback) { FLongStepCallback = std::move(Callback); }

  // --- Frame window ---------------------------------------------------------------------------
  // The list's count of fully visible rows; taken at every refill, at most MaxFrameRows count.
  void SetVisibleRows(int32_t Rows);
  int32_t VisibleRows() const { return FVisibleRows; }
  void RefreshPosition(int64_t Position);
  // Fills the window from the first frame start at or after Position, however much junk lies
  // between: the refill from Position, and when that finds no frame in its read and the file
  // goes on, the forward search across the rest. Position, or the frame found, becomes the place
  // a resize returns to, and the thumb goes there. A first fill at a file's start or at a
  // position the user names goes through here, so that a stream behind a long run of junk shows
  // its first frame.
  void FillFrom(int64_t Position);
  // The window is empty because no frame of the stream's kind and rate starts from the place of
  // the last FillFrom to the end of the file.
  bool NoFrameAhead() const { return FAC3FramesCount == 0 && FNoFrameAhead; }
  // The searches read FrameReadSize bytes at a time, as many times as it takes to reach a frame
  // start (or Count of them) or the end or start of the file; a normal file costs one read.
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
  // The same for the given rows only, in the order given; every row when Rows is empty.
  std::u16string ListText(std::u16string_view LineEnd, const std::vector<int32_t>& Rows);

  // --- Frame detail ---------------------------------------------------------------------------
  // Decodes the frame at Offset again from the file into the tree and the hex range. False when
  // nothing could be read there (the tree and the hex pane then keep what they showed).
  bool UpdatePack(int64_t Offset);
  // A click or key release in the list with Row selected (-1: none): shows that row's frame.
  void ShowRow(int32_t Row);
  // A key released in the list with Row selected: shows that row's frame unless the tree
  // already shows it, so that releasing a key that moved nothing (Ctrl after a Ctrl+wheel over
  // the hex pane, say) leaves the hex pane where it was. True when it showed the frame.
  bool ListView1KeyUp(int32_t Row);
  const TTreeModel& Tree() const { return FTree; }
  // The tree as text: every node's text followed by LineEnd, parents before children.
  std::u16string TreeText(std::u16string_view LineEnd) const;
  // The same for one node and the nodes under it (Ctrl+C on a selected node).
  std::u16string TreeText(std::u16string_view LineEnd, TTreeModel::TNodeId Node) const;
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
  // The CRC verdict of the frame the tree shows ("CRC ok", "crc1 fails", ...); empty while the
  // tree shows none. A frame that the next one cuts short, or the end of the file, is not checked.
  std::u16string PackCrcText() const;

  // --- Navigation -----------------------------------------------------------------------------
  // A key press in the list while SelectedRow is selected (-1: none).
  TNavResult ListView1KeyDown(int32_t Key, int32_t SelectedRow);
  // The frame list's scroll bar reports the position that a mouse interaction left it at.
  TNavResult MyScrollMouseDown(int32_t ScrollPosition);
  // While the thumb is dragged: the window shows the frames from where a thumb placement at
  // ScrollPosition would start it. The bar and the place a resize returns to are left alone;
  // the drag's end (MyScrollMouseDown) places the thumb. False when the step failed.
  bool TrackThumb(int32_t ScrollPosition);
  // The key that one wheel notch stands for.
  static int32_t WheelToKey(int32_t WheelDelta, bool CtrlDown);
  int32_t ScrollPosition() const { return FScrollPosition; }
  int32_t ScrollMax() const { return FScrollMax; }

  // --- Whole file -----------------------------------------------------------------------------
  // Visits every frame of the chain of windows of MaxFrameRows rows that starts with a refill
  // at Position, each next window starting where the frame after the previous window's last
  // frame starts, in constant memory and much faster than refilling window by window: every
  // frame from Position to the end of the file, whatever lies between them. True when the walk
  // reached the end of the file or Visit ended it; false on a read failure.
  bool WalkFrames(int64_t Position, const TWalkVisitor& Visit, const TWalkProgress& Progress = {});
  // Opens FileName for walks over frames of the given kind at every sampling rate, where the
  // frame list takes only the rate the stream test found: no stream test, no window, nothing
  // shown. The stream check and the dialnorm rewrite walk on a window of their own, so that they
  // run beside the one the desktop shows, on a thread of their own if need be.
  bool OpenForWalk(const std::filesystem::path& FileName, bool EAC3);

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
  // A node of the tree was selected: the bytes it stands for (for a structure node, those of the
  // elements under it) become the hex pane's field range. False, with no field range, for a node
  // that stands for no coded bits.
  bool SelectTreeNode(TTreeModel::TNodeId Node);
  // One line for the status bar: stream kind, sampling rate, file size and the place of the
  // window's first frame in the file; empty while no file is open.
  std::u16string StatusText() const;
  // One line for the status bar while the open file has an unfinished change (a writer was
  // stopped part-way and left its undo journal); empty otherwise.
  std::u16string UnfinishedChangeNote() const;

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
  // The window is not full and its refill reached the end of the file: no frame follows its
  // last one, and the steps forward stay where they are. A window that is not full may also end
  // at a frame whose successor lies beyond the refill's read; the steps forward go on past it.
  // An empty window counts as the end as well: it has no frame to step on from.
  bool EndInView() const { return !WindowFull() && (FRefillReachedEnd || FAC3FramesCount == 0); }
  // Reads made through the window's stream so far (a figure for tests and benchmarks).
  int64_t ReadCount() const { return FReadCount; }

 private:
  // How a scan of one window's bytes ended.
  struct TScanEnd {
    int32_t Rows = 0;
    // Where the frame after the last row starts, as far as the scan found out: -1 when the
    // end of the file came first, -2 when it does not know (an empty window short of the end).
    int64_t Next = -2;
    bool Stopped = false;  // Sink asked to end the scan
    bool Ok = true;        // false: a read past the window's bytes failed
  };
  // The Length of a frame, and where the frame after it starts (-1: none before the end).
  struct TFollow {
    int32_t Length = 0;
    int64_t Next = -1;
    bool Beyond = false;  // Next (or the end) lies past the bytes at hand
    bool Ok = true;
  };
  enum class TScanResult { Found, None, Failed };

  // The window's frames in Count bytes read at Position (AtEnd: they run to the end of the
  // file): at most MaxRows of them, handed to Sink in file order. Shared by the refill and
  // the walk, so that both list the same rows.
  template <typename TKind>
  TScanEnd ScanFrames(const uint8_t* Data, int32_t Count, int64_t Position, bool AtEnd, int32_t MaxRows,
                      const TWalkVisitor& Sink);
  // Length and successor of the frame at Here, Left bytes of a read from it on.
  template <typename TKind>
  TFollow FollowFrame(const uint8_t* Here, int32_t Left, int64_t Offset, bool AtEnd);
  // The first position from From on that Accept(data, bytes at hand, position) takes, reading
  // FrameReadSize bytes at a time on to the end of the file. Only a position that is followed by
  // at least MinLeft bytes of the file is tried.
  template <typename TAccept>
  TScanResult ScanForward(int64_t From, int32_t MinLeft, const TAccept& Accept, int64_t& Found);
  // The first acceptable frame start of the kind from From on, however far.
  template <typename TKind>
  TScanResult FindFrameStart(int64_t From, int64_t& Found);
  template <typename TKind>
  void ScanWindow(int64_t Position, int32_t Count, bool AtEnd);
  template <typename TKind>
  bool DecodePack(int64_t Offset, int32_t Count, bool AtEnd);
  template <typename TKind>
  bool WalkChain(int64_t Position, const TWalkVisitor& Visit, const TWalkProgress& Progress);
  // Reads up to Count bytes at Position into Into and zeroes the look-ahead after them;
  // -1 on failure. ReadBuff reads into the start of FBuff.
  int32_t ReadInto(uint8_t* Into, int64_t Position, int32_t Count);
  int32_t ReadBuff(int64_t Position, int32_t Count);
  TStreamKind StreamTest(const uint8_t* Data, int32_t Count);
  bool SearchBackward(int64_t& Found, int32_t Count, int64_t From, std::u16string_view Name);
  void NotifyLongStep() const;
  // Refills the window from the first frame start at or after Wanted (the last one before it when
  // none follows), makes that the place a resize returns to, and puts the thumb there.
  void PlaceWindowAt(int64_t Wanted);
  // Where a thumb placement at Wanted starts the window: the first frame start at or after it,
  // else the last one before it, else Wanted itself.
  int64_t ThumbTarget(int64_t Wanted);
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
  bool FRefillReachedEnd = false;
  bool FNoFrameAhead = false;
  std::recursive_mutex FAC3FramesLock;
  std::function<void()> FLongStepCallback;

  // During a load, a read of the same bytes as the one before it is served from FBuff: the
  // stream test, the first refill and the first detail share the read of the file's start.
  bool FShareReads = false;
  int64_t FSharedPosition = -1;
  int32_t FSharedRequest = 0;
  int32_t FSharedCount = -1;
  int64_t FReadCount = 0;
  // The last frame whose successor had to be looked for past a read, and where it was found
  // (-1: none before the end of the file, then FollowedSize): a refill that ends on that frame
  // again does not read over the same gap again.
  int64_t FFollowedFrame = -1;
  int64_t FFollowedNext = -1;
  int64_t FFollowedSize = -1;

  TTreeModel FTree;
  THexPaneState FHexPane;
  int64_t FPackOffset = 0;
  int32_t FPackLength = 0;
  TFrameCrc FPackCrc;
  int32_t FLastChangedItemIndex = -1;
};

}  // namespace corvane
