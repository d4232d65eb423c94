#pragma once
// TMainWindow, the Windows program's main window: the frame list with its own scroll bar on the
// left, the selected frame's syntax tree on the right, the hex pane below, menus, shortcut keys,
// the status bar, the settings in the registry (placement, recent files) and the window's side of
// the update check. Every
// decision about the open file, the frame window and the navigation is the frame window's
// (TFrameWindow); this class maps the controls' messages onto it and shows what it says.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "product/UpdateCheckThread.h"
#include "viewer/FrameWindow.h"
#include "viewer/RecentFiles.h"
#include "viewer/StreamCheck.h"
#include "viewer/ViewerTexts.h"
#include "viewer/WindowPlacement.h"
#include "win32/Controls.h"
#include "win32/HexPane.h"

namespace corvane::win32 {

class TStreamCheckWindow;
class TStreamOverviewWindow;

class TMainWindow : public TWindow {
 public:
  TMainWindow();
  ~TMainWindow() override;

  // Creates the window (hidden), reads the settings and shows it as they say; then opens
  // StartFile, when one is named, once the window is on screen.
  bool Create(const std::filesystem::path& StartFile);
  // An update check was left running when the window closed.
  bool UpdateCheckLeftRunning() const { return FUpdateCheck && FUpdateCheck->LeftRunning(); }

 protected:
  LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) override;

 private:
  // --- Set-up and close ------------------------------------------------------------------------
  void CreateComponents();
  // The smallest sizes of the list, the hex pane and the frame in the window's fonts.
  void MeasureMinimum();
  int TextWidth(std::u16string_view Text) const;
  int DesignColumnWidth(size_t Column) const;
  void CreateFonts();
  void FormShow();
  void FormClose();
  void LoadRegistrySettings();
  void SaveRegistrySettings();
  // The design placement and the smallest sizes of the window, its columns and panes, measured
  // in its fonts at its resolution.
  TPlacementLimits PlacementLimits() const;
  void Layout();
  void RefreshCaption();

  // --- Commands --------------------------------------------------------------------------------
  void Command(int Id);
  void Open1Click();
  void Close1Click();
  void GoToOffset1Click();
  void HexEditSelectedFrame1Click();
  void CheckStream1Click();
  void StreamOverview1Click();
  // A click in the overview: the frame list moves to the frame at Offset.
  void ShowOverviewFrame(int64_t Offset);
  // Moves the frame list to the frame at Offset and brings the main window to the front.
  void GoToFrameInFront(int64_t Offset);
  // Tells the user how a walk behind the progress dialog ended unless it completed: the
  // cancelled text, or the failed text followed by Error. True when it completed.
  bool WalkCompleted(TCheckEnd End, std::u16string_view Cancelled, std::u16string_view Failed,
                     const std::string& Error);
  void Copy1Click();
  void Copy2Click();
  // Ctrl+C in the list: the selected row as Copy writes rows (all rows when none is selected);
  // in the tree: the selected node's line (the whole tree when none is selected).
  void CopySelectedRows();
  void CopySelectedNode();
  void CheckForUpdates1Click();
  void About1Click();
  bool OpenFile(const std::filesystem::path& FileName);
  void OpenDroppedFiles(HDROP Drop);
  void OpenRecentFile(size_t Index);
  void RebuildRecentMenu();
  void TellCheckWindowWhetherOpen();
  void tmUpdateTimer();

  // --- The frame list, its scroll bar, the tree ------------------------------------------------
  bool ListView1Message(UINT Message, WPARAM WParam, LPARAM LParam, LRESULT& Result);
  bool ListView1KeyDown(WPARAM Key);
  void ListView1KeyUp();
  void ListView1MouseDown();
  void MyScrollMouseDown(int Position);
  void ScrollBar1Scroll(int Code);
  // One step of a dragged thumb: the window shows the frames from where the thumb is held.
  void TrackListThumb(int Position);
  LRESULT Notify(NMHDR* Header);
  LRESULT ListView1CustomDraw(NMLVCUSTOMDRAW* Draw);
  LRESULT TreeView1CustomDraw(NMTVCUSTOMDRAW* Draw);
  void ListView1Data(NMLVDISPINFOW* Info);
  void TreeView1Change();
  void TreeView1GetText(NMTVDISPINFOW* Info) const;
  void ContextMenu(HWND Control, LPARAM At);
  void FormResize();
  void ShowCheckedFinding(int64_t Offset);

  // --- Showing the frame window's state ----------------------------------------------------------
  void ShowFrameList(int SelectedRow, bool Refilled = true);
  // A row as the list last painted it: the frame it showed and its shade.
  struct TShownRow {
    int64_t Offset = -1;
    bool Shaded = false;
    bool operator==(const TShownRow&) const = default;
  };
  // How far the rows moved since the list was last painted (positive: up), when every row still
  // in view shows what another showed before; 0 otherwise.
  int ShownRowsShift(const std::vector<TShownRow>& Now) const;
  // The list after a refill: its rows drawn again, as few as the move allows.
  void RefillList();
  void ShowDetail();
  void ShowHexPane();
  void ShowStatus();
  void ShowMessage(const std::u16string& Text);
  void AfterLoad();
  void ShowMovedWindow();
  bool Ask(UINT Style, const std::u16string& Text);
  TFrameWindow::TAskCallback OpenAnywayQuestion();
  TFrameWindow::TTellCallback TellError();

  // The splitters: between the list and the tree, and between the upper panes and the hex pane.
  enum class TSplitter { None, Panes, HexPane };
  TSplitter SplitterAt(int X, int Y) const;
  // The client height above the status bar, and the part of it the upper panes take.
  int PanesHeight() const;
  int UpperHeight() const;

  // A step that reads on past its first MiB shows the hourglass until it ends.
  struct TStep {
    TMainWindow& Form;
    ~TStep() { Form.FLongStep = false; }
  };

  std::unique_ptr<TFrameWindow> FFrames;
  std::filesystem::path FStartFile;
  TRecentFiles FRecentFiles;
  TGoToOffset FGoToOffset;
  HMENU FRecentMenu = nullptr;
  uint32_t FDpi = 96;
  TGdiObject FFont;
  TGdiObject FTreeFont;
  TGdiObject FTreeBoldFont;
  HMENU FListMenu = nullptr;
  HMENU FTreeMenu = nullptr;
  TListView ListView1;
  TScrollBar ScrollBar1;
  TTreeView TreeView1;
  HWND lbPacket = nullptr;
  TRichEdit Memo1;
  TScrollBar ScrollBar2;
  TStatusBar StatusBar1;
  THexPane FHexView;
  int32_t FHexLoadCount = 0;
  TSubclassHandler FListHandler;
  TSubclassHandler FTreeHandler;
  std::unique_ptr<TStreamCheckWindow> FCheckWindow;
  std::unique_ptr<TStreamOverviewWindow> FOverviewWindow;
  // Each tree node's place among its siblings, by node id (the tree's shading); the tree view's
  // items by node id, and each node's parent (the tree's shape, kept while frames share it).
  std::vector<int32_t> FSiblingIndex;
  std::vector<HTREEITEM> FTreeItems;
  std::vector<TTreeModel::TNodeId> FTreeShape;
  // The node texts the tree view shows: it asks for them when it draws a node.
  std::vector<std::wstring> FTreeTexts;
  std::u16string FMessage;
  std::vector<TShownRow> FShownRows;
  int FPanel2Width = 0;
  int FHexPaneHeight = 0;
  TSplitter FDragging = TSplitter::None;
  // The smallest frame, and the smallest heights of the list and the hex pane, at FDpi.
  SIZE FMinFrame{};
  int FMinListHeight = 0;
  int FMinHexHeight = 0;
  bool FLongStep = false;
  bool FCheckForUpdates = true;
  bool FShown = false;
  bool FClosed = false;
  bool FUpdateDone = false;
  std::unique_ptr<TUpdateCheckThread> FUpdateCheck;
};

}  // namespace corvane::win32
