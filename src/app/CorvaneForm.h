#pragma once
// TCorvaneForm, the program's main window: the frame list with its own scroll bar on the left,
// the selected frame's syntax tree on the right, the hex pane below, the menus, the settings and
// the window's side of the update check. Every decision about the open file, the frame window,
// the searches and the navigation is the frame window's (TFrameWindow); this class maps widgets
// and events onto it and shows what it says.

#include <QMainWindow>
#include <QMargins>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "product/UpdateCheckThread.h"
#include "viewer/CheckReport.h"
#include "viewer/FrameWindow.h"
#include "viewer/RecentFiles.h"
#include "viewer/StreamCheck.h"
#include "viewer/ViewerTexts.h"
#include "viewer/WindowPlacement.h"

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressDialog;
class QScrollBar;
class QSplitter;
class QTimer;
class QTreeView;

namespace corvane {

class TFileStream;
class TFrameListModel;
class TFrameListView;
class THexView;
class TStreamCheckWindow;
class TStreamOverviewWindow;
class TSyntaxTreeModel;

// How the window asks and tells; tests answer in the user's place.
enum class TFormPromptKind {
  OpenAnyway,  // warning, Yes (default) and No
  Plain,       // plain message, OK
  Error,       // error message, OK
  Confirm,     // question, Yes and No
  Information  // information, OK
};
using TFormPrompt = std::function<bool(QWidget* Parent, TFormPromptKind Kind, const QString& Text)>;

class TCorvaneForm : public QMainWindow {
  Q_OBJECT

 public:
  using THook = std::function<bool()>;
  using TEditFileFunction = std::function<bool(TFileStream* Stream, const std::u16string& CaptionSuffix,
                                               bool CanModify, int64_t Offset, int64_t Size, QWidget* Parent)>;

  explicit TCorvaneForm(QWidget* Parent = nullptr);
  ~TCorvaneForm() override;
  // The first show reads the settings first, while the window does not exist yet.
  void setVisible(bool Visible) override;

  // --- For a host program that embeds the window (nothing in Corvane itself sets these) -------
  // Set before the window is shown: no splash window at start.
  bool FExternalInit = false;
  // File > Open calls this instead of showing the open dialog.
  THook FOpenFileCallback;
  // File > Close calls this after closing the file.
  THook FCloseFileCallback;
  // File > Exit calls this before closing the window.
  THook FExitCallback;
  // Help > About calls this instead of showing the about window.
  THook FAboutCallback;

  // The file the window opens once it is shown (the program's first command-line parameter).
  std::filesystem::path FStartFileName;

  // --- Replaceable for tests -----------------------------------------------------------------
  TFormPrompt FPrompt;
  // The open dialog: the chosen file, or an empty text when cancelled.
  std::function<QString(QWidget* Parent, const QString& Filter)> FChooseFile;
  // The Go to Offset question, starting with the text typed last: the text typed, or nothing
  // when cancelled.
  std::function<std::optional<QString>(QWidget* Parent, const QString& Last)> FAskOffset;
  // The hex edit dialog.
  TEditFileFunction FEditFile;
  // Told of a progress dialog (the stream check's, the overview's, the loudness measurement's)
  // once it is up, before the work starts.
  std::function<void(QProgressDialog* Dialog)> FCheckStarted;

  // --- Components ------------------------------------------------------------------------------
  QWidget* Panel1 = nullptr;
  QWidget* Panel2 = nullptr;
  QWidget* Panel3 = nullptr;
  QSplitter* Splitter1 = nullptr;
  QSplitter* Splitter2 = nullptr;  // between the upper panes and the hex pane
  TFrameListView* ListView1 = nullptr;
  QScrollBar* ScrollBar1 = nullptr;
  QTreeView* TreeView1 = nullptr;
  QLabel* lbPacket = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QScrollBar* ScrollBar2 = nullptr;
  QLabel* StatusLabel = nullptr;
  QLabel* CrcLabel = nullptr;  // the CRC verdict of the frame the tree shows
  QLabel* LoudnessLabel = nullptr;  // the verdict on dialnorm, once the loudness was measured
  QAction* Open1 = nullptr;
  QAction* Close1 = nullptr;
  QAction* Exit1 = nullptr;
  QMenu* RecentFiles1 = nullptr;
  QAction* GoToOffset1 = nullptr;
  QAction* HexEditSelectedFrame1 = nullptr;
  QAction* CheckStream1 = nullptr;
  QAction* MeasureLoudness1 = nullptr;
  QAction* StreamOverview1 = nullptr;
  QAction* CheckForUpdates1 = nullptr;
  QAction* About1 = nullptr;
  QAction* HexEditSelectedFrame2 = nullptr;
  QAction* Copy1 = nullptr;
  QAction* Copy2 = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QMenu* PopupMenu2 = nullptr;
  QTimer* tmUpdate = nullptr;

  TFrameWindow& Frames() { return *FFrames; }
  const TFrameWindow& Frames() const { return *FFrames; }
  THexView* HexView() const { return FHexView.get(); }
  // The window of the last stream check, if one ran.
  TStreamCheckWindow* CheckWindow() const { return FCheckWindow.get(); }
  // The Stream Overview window, once it was asked for.
  TStreamOverviewWindow* OverviewWindow() const { return FOverviewWindow.get(); }
  const TRecentFiles& RecentFiles() const { return FRecentFiles; }
  // Opens entry Index of File > Open Recent.
  void OpenRecentFile(size_t Index);
  bool CheckForUpdates() const { return FCheckForUpdates; }
  // The update check was started (the timer's tag).
  bool UpdateCheckStarted() const { return FUpdateCheck != nullptr; }

  // --- Commands (menu items, context menus) --------------------------------------------------
  void Open1Click();
  void Close1Click();
  void Exit1Click();
  void GoToOffset1Click();
  void HexEditSelectedFrame1Click();
  // Checks the whole open file on a worker thread behind a progress dialog that can cancel it,
  // and shows the result in a window of its own.
  void CheckStream1Click();
  // The open file's overview (gathered behind a progress dialog the first time) in its window.
  void StreamOverview1Click();
  // Measures the open file's loudness on a worker thread behind a progress dialog that can cancel
  // it; the overview gets the short-term loudness, the status bar and the check report the
  // verdict on dialnorm.
  void MeasureLoudness1Click();
  void Copy1Click();
  void Copy2Click();
  // Ctrl+C in the frame list: the selected rows as Copy gives them (all rows when none is).
  void CopySelectedRows();
  void CopySelectedNode();
  void CheckForUpdates1Click();
  void About1Click();
  // Opens the named file as every entry path does: the tested load, then the open-anyway question.
  bool OpenFile(const std::filesystem::path& FileName);
  // Files dropped on the frame list, in drop order.
  void OpenDroppedFiles(const QStringList& Files);

  void RefreshCaption();
  void LoadRegistrySettings();
  void SaveRegistrySettings();
  // One tick of the update timer.
  void tmUpdateTimer();

 protected:
  void showEvent(QShowEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  void changeEvent(QEvent* Event) override;
  void moveEvent(QMoveEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void CreateComponents();
  void CreateMenus();
  void FormShow();
  void FormClose();
  bool Ask(TFormPromptKind Kind, const QString& Text);
  TFrameWindow::TAskCallback OpenAnywayQuestion();
  TFrameWindow::TTellCallback TellError();

  // Keys, mouse and scroll bar of the frame list.
  bool ListView1KeyDown(QKeyEvent* Event);
  void ListView1KeyUp();
  void ListView1MouseDown();
  void MyScrollMouseDown();
  void TreeView1Change(const QModelIndex& Current);
  bool WheelToKey(QObject* Watched, QEvent* Event);

  // Brings the widgets in line with the frame window after it changed.
  void ShowFrameList(int SelectedRow, bool Refilled = true);
  void ShowDetail();
  void ShowHexPane();
  void ShowStatus();
  void AfterLoad();
  // After the window moved to a place of the user's choosing: its first row selected and shown.
  void ShowMovedWindow();
  void ShowCheckedFinding(int64_t Offset);
  // Moves the frame list to the frame at Offset and brings the window to the front.
  void GoToFrameAt(int64_t Offset);
  // Gathers the open file's overview unless its window holds it; false when cancelled or failed.
  bool EnsureOverview();
  void PlaceOverForm(QWidget& Window) const;
  void ShowOwnedWindow(QWidget& Window);
  void FormResize();
  int DesignColumnWidth(size_t Column) const;
  int DesignPanel2Width() const;
  // Placement: the limits this window's widgets set; the stored frame placed before the window
  // exists, its client area fitted once the window system reports the frame's margins.
  TPlacementLimits PlacementLimits() const;
  QMargins FrameMargins() const;
  QMargins NormalMargins() const;
  void PlaceFrame(const TRect& Frame, bool FrameSized);
  void FitPendingFrame();
  void WindowSystemMovedOrSized(const QEvent* Event);
  void MaximizeIfStoredSo();
  TRect NormalFrame() const;
  void RebuildRecentMenu();
  void TellCheckWindowWhetherOpen();
  // Runs the stream check of File behind a progress dialog; findings go to Sink on the worker.
  TCheckEnd RunCheck(const std::filesystem::path& File, bool EAC3, const TFindingSink& Sink, TStreamSummary& Summary,
                     std::string& Error);
  QString WriteCheckReport(const std::filesystem::path& To, TReportFormat Format);
  void TrackListThumb();

  // A step that reads on past its first MiB shows the hourglass until it ends.
  void EndLongStep();
  struct TStep {
    TCorvaneForm& Form;
    ~TStep() { Form.EndLongStep(); }
  };

  std::unique_ptr<TFrameWindow> FFrames;
  bool FLongStepCursor = false;
  std::unique_ptr<THexView> FHexView;
  std::unique_ptr<TStreamCheckWindow> FCheckWindow;  // a window of its own, freed with the form
  std::unique_ptr<TStreamOverviewWindow> FOverviewWindow;
  // The loudness and the verdict on dialnorm of the file they were measured of.
  std::filesystem::path FLoudnessFile;
  std::vector<std::u16string> FLoudnessLines;
  TFrameListModel* FListModel = nullptr;
  TSyntaxTreeModel* FTreeModel = nullptr;
  int32_t FHexLoadCount = 0;
  bool FCheckForUpdates = true;
  std::unique_ptr<TUpdateCheckThread> FUpdateCheck;
  bool FUpdateDone = false;
  bool FShown = false;
  bool FClosed = false;
  // The stored frame whose client area still waits for the frame's margins: until the window
  // manager has framed the window, or until a window that started minimized is first restored.
  std::optional<TRect> FPendingFrame;
  // The window was stored maximized: it is maximized once its normal frame is placed.
  bool FMaximizeWhenPlaced = false;
  bool FFitQueued = false;
  bool FPlaced = false;  // the settings were read, before the first show
  // The margins of the window's frame as last seen in the normal and in the maximized state.
  QMargins FNormalMargins;
  QMargins FMaximizedMargins;
  TRecentFiles FRecentFiles;
  TGoToOffset FGoToOffset;
  TThumbFollower FListThumb;
};

}  // namespace corvane
