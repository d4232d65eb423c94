#include "app/CorvaneForm.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <array>
#include <vector>

#include "app/FormSettings.h"
#include "app/FrameListModel.h"
#include "app/FrameListView.h"
#include "app/QtText.h"
#include "app/StreamCheckWindow.h"
#include "app/StreamOverviewWindow.h"
#include "app/WorkerProgress.h"
#ifdef CORVANE_HAVE_LOUDNESS
#include "app/LoudnessRun.h"
#endif
#include "app/SyntaxTreeModel.h"
#include "core/FileStream.h"
#include "core/ODSUtls.h"
#include "core/StringUtils.h"
#include "hex/HexEditUtil.h"
#include "hex/HexViewUtils_RichEdit.h"
#include "product/HalvernAbout.h"
#include "product/HalvernSplash.h"
#include "product/ProductTexts.h"
#include "viewer/FrameRowText.h"
#include "viewer/StreamCheck.h"

namespace corvane {
namespace {

// The design sizes, the smallest pane sizes and the column tables are the viewer's
// (WindowPlacement.h, FrameListColumns), shared with the Windows window.
constexpr int ListScrollBarWidth = 16;
constexpr int UpdateTimerMs = 10;
// How long a window stored maximized waits for its frame before it is maximized without one.
constexpr int MaximizeFallbackMs = 1000;

QString OpenDialogFilter() {
  QStringList Filters;
  for (const TFileFilter& Filter : OpenDialogFilters) Filters << Q(Filter.Name) + " (" + Q(Filter.Patterns) + ")";
  return Filters.join(QStringLiteral(";;"));
}

TRect ToRect(const QRect& Rect) { return {Rect.x(), Rect.y(), Rect.width(), Rect.height()}; }

std::vector<TRect> ScreenWorkAreas() {
  std::vector<TRect> WorkAreas;
  for (const QScreen* Screen : QGuiApplication::screens()) WorkAreas.push_back(ToRect(Screen->availableGeometry()));
  return WorkAreas;
}

#ifdef _WIN32
constexpr std::u16string_view PlatformLineEnd = u"\r\n";
#else
constexpr std::u16string_view PlatformLineEnd = u"\n";
#endif

// The hourglass for the time of a step, restored on every path out of it.
class TBusyCursor {
 public:
  TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;
};

// The navigation keys: Qt's codes and the frame window's.
constexpr std::array<std::pair<Qt::Key, int32_t>, 6> NavigationKeys = {{{Qt::Key_Up, KeyUp},
                                                                        {Qt::Key_Down, KeyDown},
                                                                        {Qt::Key_PageUp, KeyPageUp},
                                                                        {Qt::Key_PageDown, KeyPageDown},
                                                                        {Qt::Key_Home, KeyHome},
                                                                        {Qt::Key_End, KeyEnd}}};

// The frame window's code of a navigation key; 0 for every other key.
int32_t NavigationKey(int QtKey) {
  for (const auto& [Qt, Key] : NavigationKeys)
    if (Qt == QtKey) return Key;
  return 0;
}

Qt::Key QtKeyOf(int32_t Key) {
  for (const auto& [Qt, Ours] : NavigationKeys)
    if (Ours == Key) return Qt;
  return Qt::Key_unknown;
}

// The tree's node texts are padded to line up, so it needs a fixed-pitch face.
QFont TreeFont() {
  QFont Font = HexDumpFont(9);
  Font.setPixelSize(12);
  return Font;
}

// Two overlapping sheets, for a desktop theme without a copy icon.
QIcon DrawnCopyIcon() {
  QPixmap Picture(16, 16);
  Picture.fill(Qt::transparent);
  QPainter Painter(&Picture);
  Painter.setPen(QColor(60, 60, 60));
  Painter.setBrush(Qt::white);
  Painter.drawRect(1, 1, 9, 11);
  Painter.drawRect(5, 4, 9, 11);
  return QIcon(Picture);
}

QIcon ThemeIcon(const char* Name, const QIcon& Fallback) {
  return QIcon::fromTheme(QString::fromLatin1(Name), Fallback);
}

bool DefaultPrompt(QWidget* Parent, TFormPromptKind Kind, const QString& Text) {
  const QString Title = Q(DisplayName);
  switch (Kind) {
    case TFormPromptKind::OpenAnyway:
      return QMessageBox::warning(Parent, Title, Text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
             QMessageBox::Yes;
    case TFormPromptKind::Confirm:
      return QMessageBox::question(Parent, Title, Text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
             QMessageBox::Yes;
    case TFormPromptKind::Error:
      QMessageBox::critical(Parent, Title, Text);
      return true;
    case TFormPromptKind::Information:
      QMessageBox::information(Parent, Title, Text);
      return true;
    case TFormPromptKind::Plain:
    default: {
      QMessageBox Box(QMessageBox::NoIcon, Title, Text, QMessageBox::Ok, Parent);
      Box.exec();
      return true;
    }
  }
}

}  // namespace

TCorvaneForm::TCorvaneForm(QWidget* Parent) : QMainWindow(Parent), FFrames(std::make_unique<TFrameWindow>()) {
  FPrompt = DefaultPrompt;
  FChooseFile = [](QWidget* Owner, const QString& Filter) {
    return QFileDialog::getOpenFileName(Owner, QStringLiteral("Open"), QString(), Filter);
  };
  FAskOffset = [](QWidget* Owner, const QString& Last) -> std::optional<QString> {
    bool Ok = false;
    const QString Text = QInputDialog::getText(
        Owner, QStringLiteral("Go to Offset"),
        QStringLiteral("Byte offset in the file (decimal, or hexadecimal after 0x):"), QLineEdit::Normal, Last, &Ok);
    if (!Ok) return std::nullopt;
    return Text;
  };
  FEditFile = [](TFileStream* Stream, const std::u16string& Suffix, bool CanModify, int64_t Offset, int64_t Size,
                 QWidget* Owner) { return EditFile(Stream, Suffix, CanModify, Offset, Size, Owner); };

  FFrames->SetLongStepCallback([this] {
    if (FLongStepCursor) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    FLongStepCursor = true;
  });
  setWindowTitle(Q(DisplayName));
  CreateComponents();
  CreateMenus();
  // The design client area, with the menu and status bars around it.
  resize(DesignClientWidth,
         DesignClientHeight + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
  move(DesignFormLeft, DesignFormTop);
}

TCorvaneForm::~TCorvaneForm() {
  // A window destroyed without being closed still releases the update check and its filters.
  if (!FClosed) FormClose();
}

// ------------------------------------------------------------------------------------------------
// Construction

void TCorvaneForm::CreateComponents() {
  auto* Central = new QWidget(this);
  auto* Layout = new QVBoxLayout(Central);
  Layout->setContentsMargins(0, 0, 0, 0);
  Layout->setSpacing(0);

  Splitter1 = new QSplitter(Qt::Horizontal, Central);
  Splitter1->setHandleWidth(SplitterGap);
  Splitter1->setChildrenCollapsible(false);

  Panel2 = new QWidget(Splitter1);
  auto* ListLayout = new QHBoxLayout(Panel2);
  ListLayout->setContentsMargins(0, 0, 0, 0);
  ListLayout->setSpacing(0);
  ListView1 = new TFrameListView(Panel2);
  FListModel = new TFrameListModel(*FFrames, this);
  ListView1->setModel(FListModel);
  for (size_t Column = 0; Column < FrameListColumns.size(); ++Column)
    ListView1->setColumnWidth(static_cast<int>(Column), DesignColumnWidth(Column));
  ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
  ListView1->setAcceptDrops(false);
  ListView1->viewport()->setAcceptDrops(false);
  ScrollBar1 = new QScrollBar(Qt::Vertical, Panel2);
  ScrollBar1->setFixedWidth(ListScrollBarWidth);
  ScrollBar1->setFocusPolicy(Qt::NoFocus);
  ScrollBar1->setRange(0, 0);
  ScrollBar1->setSingleStep(1);
  ScrollBar1->setPageStep(ScrollPageStep);
  // The list follows a dragged thumb live, one step at a time however fast the mouse goes.
  connect(ScrollBar1, &QScrollBar::sliderMoved, this, [this](int Position) {
    if (FListThumb.Moved(Position)) QTimer::singleShot(0, this, [this] { TrackListThumb(); });
  });
  // However small the window, the list keeps a few rows, below its header and above the
  // scroll bar it shows when the columns are wider than the pane.
  ListView1->setMinimumHeight(ListView1->horizontalHeader()->sizeHint().height() +
                              MinListRows * ListView1->verticalHeader()->defaultSectionSize() +
                              ListView1->horizontalScrollBar()->sizeHint().height() + 2 * ListView1->frameWidth());
  ListLayout->addWidget(ListView1);
  ListLayout->addWidget(ScrollBar1);

  Panel3 = new QWidget(Splitter1);
  auto* TreeLayout = new QVBoxLayout(Panel3);
  TreeLayout->setContentsMargins(0, 0, 0, 0);
  TreeView1 = new QTreeView(Panel3);
  FTreeModel = new TSyntaxTreeModel(FFrames->Tree(), this);
  TreeView1->setModel(FTreeModel);
  TreeView1->setHeaderHidden(true);
  TreeView1->setIndentation(TreeIndent);
  TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TreeView1->setUniformRowHeights(true);
  TreeView1->setFont(TreeFont());
  TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
  // A node's value is never cut off: a pane narrower than the widest shown node scrolls
  // sideways; a wider one still shades its rows across the whole pane.
  TreeView1->header()->setStretchLastSection(true);
  const auto FitTreeColumn = [this] {
    const QAbstractItemView* View = TreeView1;  // the tree's own measure, public only here
    TreeView1->header()->setMinimumSectionSize(View->sizeHintForColumn(0));
  };
  connect(TreeView1, &QTreeView::expanded, this, FitTreeColumn);
  connect(TreeView1, &QTreeView::collapsed, this, FitTreeColumn);
  connect(FTreeModel, &QAbstractItemModel::modelReset, this, FitTreeColumn);
  TreeLayout->addWidget(TreeView1);

  Splitter1->addWidget(Panel2);
  Splitter1->addWidget(Panel3);
  Splitter1->setStretchFactor(0, 0);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({DesignPanel2Width(), DesignClientWidth - DesignPanel2Width() - SplitterGap});
  Panel2->setMinimumWidth(MinPaneWidth);
  Panel3->setMinimumWidth(MinPaneWidth);

  // The hex pane's height is the user's: a splitter between it and the panes above.
  Splitter2 = new QSplitter(Qt::Vertical, Central);
  Splitter2->setHandleWidth(SplitterGap);
  Splitter2->setChildrenCollapsible(false);
  Splitter2->addWidget(Splitter1);
  Panel1 = new QWidget(Splitter2);
  auto* HexLayout = new QVBoxLayout(Panel1);
  HexLayout->setContentsMargins(4, 2, 4, 2);
  HexLayout->setSpacing(0);
  lbPacket = new QLabel(QStringLiteral("Hex View"), Panel1);
  auto* HexRow = new QHBoxLayout;
  HexRow->setSpacing(0);
  Memo1 = new QPlainTextEdit(Panel1);
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  ScrollBar2 = new QScrollBar(Qt::Vertical, Panel1);
  ScrollBar2->setFixedWidth(ListScrollBarWidth);
  HexRow->addWidget(Memo1);
  HexRow->addWidget(ScrollBar2);
  HexLayout->addWidget(lbPacket);
  HexLayout->addLayout(HexRow);
  Memo1->setMinimumHeight((MinHexLines + 1) * HexViewLineHeight + 2 * Memo1->frameWidth());
  Splitter2->addWidget(Panel1);
  Splitter2->setStretchFactor(0, 1);
  Splitter2->setStretchFactor(1, 0);
  Splitter2->setSizes({DesignClientHeight - HexPaneDesignHeight, HexPaneDesignHeight});

  Layout->addWidget(Splitter2, 1);
  setCentralWidget(Central);

  CrcLabel = new QLabel(statusBar());
  CrcLabel->setContentsMargins(0, 0, 12, 0);
  LoudnessLabel = new QLabel(statusBar());
  LoudnessLabel->setContentsMargins(0, 0, 12, 0);
  statusBar()->addPermanentWidget(LoudnessLabel);
  statusBar()->addPermanentWidget(CrcLabel);
  StatusLabel = new QLabel(statusBar());
  statusBar()->addPermanentWidget(StatusLabel);

  tmUpdate = new QTimer(this);
  tmUpdate->setInterval(UpdateTimerMs);
  connect(tmUpdate, &QTimer::timeout, this, &TCorvaneForm::tmUpdateTimer);

  ListView1->OnKeyDown = [this](QKeyEvent* Event) { return ListView1KeyDown(Event); };
  ListView1->OnKeyUp = [this](QKeyEvent*) { ListView1KeyUp(); };
  ListView1->OnMouseDown = [this](QMouseEvent*) { ListView1MouseDown(); };
  ListView1->OnFilesDropped = [this](const QStringList& Files) { OpenDroppedFiles(Files); };
  ListView1->OnViewportResized = [this] {
    if (std::min(ListView1->FullyVisibleRows(), MaxFrameRows) != FFrames->VisibleRows()) FormResize();
  };
}

// The design widths were chosen for an 11-pixel dialog font; with a larger desktop font a column
// grows until its widest text and its header fit, and the left pane with the columns.
int TCorvaneForm::DesignColumnWidth(size_t Column) const {
  const QFontMetrics Cells(ListView1->font());
  const QFontMetrics Header(ListView1->horizontalHeader()->font());
  const QString Widest = Q(FrameListColumns[Column].Widest);
  const int Needed = std::max(Cells.horizontalAdvance(Widest), Header.horizontalAdvance(Widest)) + ColumnTextPadding;
  return std::max(FrameListColumns[Column].DesignWidth, Needed);
}

int TCorvaneForm::DesignPanel2Width() const {
  int Columns = 0;
  for (size_t Column = 0; Column < FrameListColumns.size(); ++Column) Columns += DesignColumnWidth(Column);
  return std::max(Panel2DesignWidth, Columns + ListScrollBarWidth + 2 * ListView1->frameWidth());
}

void TCorvaneForm::CreateMenus() {
  QStyle* Look = style();
  const QIcon CopyIcon = ThemeIcon("edit-copy", DrawnCopyIcon());

  QMenu* File = menuBar()->addMenu(QStringLiteral("&File"));
  Open1 = File->addAction(ThemeIcon("document-open", Look->standardIcon(QStyle::SP_DialogOpenButton)),
                          QStringLiteral("&Open"));
  Open1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  RecentFiles1 = File->addMenu(QStringLiteral("Open &Recent"));
  Close1 = File->addAction(ThemeIcon("document-close", Look->standardIcon(QStyle::SP_DialogCloseButton)),
                           QStringLiteral("&Close"));
  File->addSeparator();
  Exit1 = File->addAction(ThemeIcon("application-exit", Look->standardIcon(QStyle::SP_TitleBarCloseButton)),
                          QStringLiteral("E&xit"));
  Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

  QMenu* Go = menuBar()->addMenu(QStringLiteral("&Go"));
  GoToOffset1 = Go->addAction(ThemeIcon("go-jump", Look->standardIcon(QStyle::SP_ArrowRight)),
                              QStringLiteral("Go to &Offset..."));
  GoToOffset1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));

  QMenu* View = menuBar()->addMenu(QStringLiteral("&View"));
  StreamOverview1 = View->addAction(QStringLiteral("Stream &Overview"));
  StreamOverview1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));

  QMenu* Tools = menuBar()->addMenu(QStringLiteral("&Tools"));
  HexEditSelectedFrame1 = Tools->addAction(QStringLiteral("&Hex Edit Selected Frame"));
  HexEditSelectedFrame1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  CheckStream1 = Tools->addAction(QStringLiteral("&Check Stream"));
  CheckStream1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
  MeasureLoudness1 = Tools->addAction(QStringLiteral("Measure &Loudness"));
  MeasureLoudness1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
#ifndef CORVANE_HAVE_LOUDNESS
  MeasureLoudness1->setEnabled(false);  // built without libavcodec and libebur128
#endif

  QMenu* Help = menuBar()->addMenu(QStringLiteral("&Help"));
  CheckForUpdates1 = Help->addAction(QStringLiteral("&Check For Updates"));
  CheckForUpdates1->setCheckable(true);
  CheckForUpdates1->setChecked(true);
  About1 = Help->addAction(ThemeIcon("help-about", Look->standardIcon(QStyle::SP_MessageBoxInformation)),
                           QStringLiteral("&About"));

  PopupMenu1 = new QMenu(this);
  HexEditSelectedFrame2 = PopupMenu1->addAction(QStringLiteral("&Hex Edit Selected Frame"));
  PopupMenu1->addSeparator();
  Copy1 = PopupMenu1->addAction(CopyIcon, QStringLiteral("&Copy"));
  PopupMenu2 = new QMenu(this);
  Copy2 = PopupMenu2->addAction(CopyIcon, QStringLiteral("&Copy"));

  connect(Open1, &QAction::triggered, this, &TCorvaneForm::Open1Click);
  connect(Close1, &QAction::triggered, this, &TCorvaneForm::Close1Click);
  connect(Exit1, &QAction::triggered, this, &TCorvaneForm::Exit1Click);
  connect(GoToOffset1, &QAction::triggered, this, &TCorvaneForm::GoToOffset1Click);
  connect(HexEditSelectedFrame1, &QAction::triggered, this, &TCorvaneForm::HexEditSelectedFrame1Click);
  connect(CheckStream1, &QAction::triggered, this, &TCorvaneForm::CheckStream1Click);
  connect(MeasureLoudness1, &QAction::triggered, this, &TCorvaneForm::MeasureLoudness1Click);
  connect(StreamOverview1, &QAction::triggered, this, &TCorvaneForm::StreamOverview1Click);
  connect(HexEditSelectedFrame2, &QAction::triggered, this, &TCorvaneForm::HexEditSelectedFrame1Click);
  connect(CheckForUpdates1, &QAction::triggered, this, &TCorvaneForm::CheckForUpdates1Click);
  connect(About1, &QAction::triggered, this, &TCorvaneForm::About1Click);
  connect(Copy1, &QAction::triggered, this, &TCorvaneForm::Copy1Click);
  connect(Copy2, &QAction::triggered, this, &TCorvaneForm::Copy2Click);
  connect(TreeView1->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& Current) { TreeView1Change(Current); });
  connect(ListView1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& At) { PopupMenu1->popup(ListView1->viewport()->mapToGlobal(At)); });
  connect(TreeView1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& At) { PopupMenu2->popup(TreeView1->viewport()->mapToGlobal(At)); });
}

// ------------------------------------------------------------------------------------------------
// Start-up and close

void TCorvaneForm::showEvent(QShowEvent* Event) {
  QMainWindow::showEvent(Event);
  // Some window systems know the frame as soon as the window exists.
  FitPendingFrame();
  if (FShown) return;
  FShown = true;
  FormShow();
}

void TCorvaneForm::FormShow() {
  try {
    RefreshCaption();
    // Every finished mouse interaction with the list's scroll bar is one navigation step.
    ScrollBar1->installEventFilter(this);
    if (!FExternalInit) ShowSplash(Q(DisplayName), this);
    // The wheel becomes Up and Down keys (Page Up and Page Down with Ctrl) in every control.
    qApp->installEventFilter(this);
    ListView1->setAcceptDrops(true);
    ListView1->viewport()->setAcceptDrops(true);
    RefreshCaption();
    CheckForUpdates1->setChecked(FCheckForUpdates);
    FUpdateCheck.reset();
    // Nobody who turned the check off is contacted over the network.
    if (FCheckForUpdates) tmUpdate->start();
    if (!FStartFileName.empty()) {
      // Once the window is on screen, so that the open-anyway question has it as its parent.
      QTimer::singleShot(0, this, [this] { OpenFile(FStartFileName); });
    }
  } catch (...) {
    ReportCallFailure(u"TForm1.FormShow");
  }
}

void TCorvaneForm::closeEvent(QCloseEvent* Event) {
  if (!FClosed) FormClose();
  QMainWindow::closeEvent(Event);
}

void TCorvaneForm::FormClose() {
  FClosed = true;
  try {
    FFrames->UnloadFile();
    ShowFrameList(-1);
    ShowDetail();
    ShowHexPane();
    RefreshCaption();
    ScrollBar1->removeEventFilter(this);
    qApp->removeEventFilter(this);
    ListView1->setAcceptDrops(false);
    ListView1->viewport()->setAcceptDrops(false);
    if (FShown) SaveRegistrySettings();
    FHexView.reset();
    if (FCheckWindow) FCheckWindow->close();
    if (FOverviewWindow) FOverviewWindow->close();
  } catch (...) {
    ReportCallFailure(u"TForm1.FormClose");
  }
  // The update check never holds up the close: its cancel ends a download still running, and
  // a worker that does not end at once is let go.
  tmUpdate->stop();
  if (FUpdateCheck) FUpdateCheck->Stop(UpdateCheckStopLimit);
}

void TCorvaneForm::RefreshCaption() {
  try {
    setWindowTitle(Q(FFrames->Caption()));
  } catch (...) {
    ReportCallFailure(u"TForm1.RefreshCaption");
  }
}

// ------------------------------------------------------------------------------------------------
// Settings

QMargins TCorvaneForm::FrameMargins() const {
  const QRect Outer = frameGeometry();
  const QRect Inner = geometry();
  return {Inner.left() - Outer.left(), Inner.top() - Outer.top(), Outer.right() - Inner.right(),
          Outer.bottom() - Inner.bottom()};
}

TPlacementLimits TCorvaneForm::PlacementLimits() const {
  const QMargins Margins = FrameMargins();
  const int DesignHeight = DesignClientHeight + menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
  TPlacementLimits Limits;
  Limits.DesignFrame = {DesignFormLeft, DesignFormTop, DesignClientWidth + Margins.left() + Margins.right(),
                        DesignHeight + Margins.top() + Margins.bottom()};
  const QSize Smallest = minimumSizeHint().expandedTo(minimumSize());
  Limits.MinWindowWidth = Smallest.width() + Margins.left() + Margins.right();
  Limits.MinWindowHeight = Smallest.height() + Margins.top() + Margins.bottom();
  const QFontMetrics Header(ListView1->horizontalHeader()->font());
  for (size_t Column = 0; Column < FrameListColumns.size(); ++Column) {
    Limits.DesignColumnWidths[Column] = DesignColumnWidth(Column);
    // A column keeps at least its header's text.
    const QString Title = FListModel->headerData(static_cast<int>(Column), Qt::Horizontal).toString();
    Limits.MinColumnWidths[Column] = Header.horizontalAdvance(Title) + ColumnHeaderPadding;
  }
  Limits.DesignPanel2Width = DesignPanel2Width();
  Limits.DesignHexPaneHeight = HexPaneDesignHeight;
  Limits.MinPanel2Width = MinPaneWidth;
  Limits.MinTreeWidth = MinPaneWidth + SplitterGap;
  Limits.MinHexPaneHeight = Panel1->minimumSizeHint().height();
  Limits.MinUpperHeight =
      Limits.MinWindowHeight - Limits.MinHexPaneHeight;
  return Limits;
}

void TCorvaneForm::PlaceFrame(const TRect& Frame, bool FrameSized) {
  // Before the window exists, a position given to move() is the frame's: the window manager puts
  // the frame's corner there, however wide its borders and title bar turn out to be. Moving the
  // client area instead would need the frame's margins, which the window system reports only
  // after it has framed the window, and not always then (a window that lands where it asked to
  // be gets no word of its frame).
  const QMargins Margins = FrameMargins();
  const QSize Client(Frame.Width - Margins.left() - Margins.right(), Frame.Height - Margins.top() - Margins.bottom());
  if (testAttribute(Qt::WA_WState_Created)) {
    setGeometry(QRect(QPoint(Frame.Left + Margins.left(), Frame.Top + Margins.top()), Client));
  } else {
    move(Frame.Left, Frame.Top);
    resize(Client);
  }
  // A frame's size needs the client area made smaller by the margins once they are known.
  if (FrameSized && Margins.isNull()) FPendingFrame = Frame;
  else FPendingFrame.reset();
}

void TCorvaneForm::FitPendingFrame() {
  if (!FPendingFrame || FFitQueued) return;
  // After every event already queued: the window system reports a new place and a new size as
  // two events, and between them the window's size is not yet the one it has.
  FFitQueued = true;
  QTimer::singleShot(0, this, [this] {
    FFitQueued = false;
    if (!FPendingFrame || !isVisible() || isMaximized() || isMinimized() || isFullScreen()) return;
    const QMargins Margins = FrameMargins();
    if (Margins.isNull()) return;
    resize(FPendingFrame->Width - Margins.left() - Margins.right(),
           FPendingFrame->Height - Margins.top() - Margins.bottom());
    FPendingFrame.reset();
    MaximizeIfStoredSo();
  });
}

void TCorvaneForm::MaximizeIfStoredSo() {
  if (!FMaximizeWhenPlaced) return;
  FMaximizeWhenPlaced = false;
  setWindowState(windowState() | Qt::WindowMaximized);
}

void TCorvaneForm::WindowSystemMovedOrSized(const QEvent* Event) {
  const QMargins Margins = FrameMargins();
  if (isMaximized() && !Margins.isNull()) FMaximizedMargins = Margins;
  if (!isMaximized() && !isMinimized() && !Margins.isNull()) FNormalMargins = NormalMargins();
  // Only a geometry the window system reports (not the echo of one this program set) comes with
  // the frame's margins read afresh.
  if (Event->spontaneous()) FitPendingFrame();
}

void TCorvaneForm::moveEvent(QMoveEvent* Event) {
  QMainWindow::moveEvent(Event);
  WindowSystemMovedOrSized(Event);
}

void TCorvaneForm::setVisible(bool Visible) {
  // The placement is read before the window is first shown, while a position still names the
  // frame's corner.
  if (Visible && !FPlaced) {
    FPlaced = true;
    LoadRegistrySettings();
  }
  QMainWindow::setVisible(Visible);
  if (Visible && FMaximizeWhenPlaced) {
    // A window manager that draws no frame reports no margins: the window is maximized all the
    // same once it has had the time to frame it.
    QTimer::singleShot(MaximizeFallbackMs, this, [this] {
      if (!FMaximizeWhenPlaced) return;
      FPendingFrame.reset();
      MaximizeIfStoredSo();
    });
  }
}

void TCorvaneForm::changeEvent(QEvent* Event) {
  QMainWindow::changeEvent(Event);
  // Restored from the minimized state the window started in: the frame is fitted now.
  if (Event->type() == QEvent::WindowStateChange) FitPendingFrame();
}

QMargins TCorvaneForm::NormalMargins() const {
  // Restored from maximized, the window may hear of its new geometry before the window manager
  // has put the normal frame's margins on it, and those of the maximized frame stay until the
  // next change of geometry: the normal frame's margins seen before hold until others come.
  const QMargins Margins = FrameMargins();
  return Margins == FMaximizedMargins && !FNormalMargins.isNull() ? FNormalMargins : Margins;
}

TRect TCorvaneForm::NormalFrame() const {
  // Maximized or minimized, the window keeps its normal geometry; the margins are the ones it
  // had when it was last seen normal (a maximized frame may draw no borders).
  const bool Normal = !isMaximized() && !isMinimized() && !isFullScreen();
  const QRect Client = Normal ? geometry() : normalGeometry();
  const QMargins Margins = Normal ? NormalMargins() : FNormalMargins;
  if (FPendingFrame && !Normal) return *FPendingFrame;
  return ToRect(Client.marginsAdded(Margins));
}

void TCorvaneForm::LoadRegistrySettings() {
  try {
    const std::unique_ptr<QSettings> Settings = OpenFormSettings();
    // Each value is read on its own: one that is missing or of another type keeps its design value.
    TStoredSettings Stored;
    for (size_t Index = 0; Index < SettingCount; ++Index) Stored[Index] = ReadSettingValue(*Settings, SettingNames[Index]);
    const TPlacementLimits Limits = PlacementLimits();
    const TFormPlacement Placement = ReadPlacement(Stored, Limits, ScreenWorkAreas());

    // The design size is the client area's, menu and status bars included; a stored size, or
    // one the screen cut down, is the frame's.
    const bool FrameSized = Stored[SettingFormWidth] || Stored[SettingFormHeight] ||
                            Placement.Frame.Width != Limits.DesignFrame.Width ||
                            Placement.Frame.Height != Limits.DesignFrame.Height;
    PlaceFrame(Placement.Frame, FrameSized);
    for (size_t Column = 0; Column < ColumnCount; ++Column)
      ListView1->setColumnWidth(static_cast<int>(Column), Placement.ColumnWidths[Column]);
    const int Width = Placement.Frame.Width;
    Splitter1->setSizes({Placement.Panel2Width, std::max(Width - Placement.Panel2Width - SplitterGap, 1)});
    Splitter2->setSizes({std::max(Placement.Frame.Height - Placement.HexPaneHeight, 1), Placement.HexPaneHeight});
    switch (Placement.State) {
      case TWindowState::Minimized:
        setWindowState(Qt::WindowMinimized);
        break;
      case TWindowState::Maximized:
        // A window that restores itself from maximized gets back the normal frame the window
        // manager knew when it maximized it. A window shown maximized at once would hand it a
        // frame whose client area is still to be fitted, and on its restore the margins reported
        // first are still those of the maximized frame. So the window is shown normal, fitted,
        // and then maximized.
        if (FPendingFrame) {
          setWindowState(Qt::WindowNoState);
          FMaximizeWhenPlaced = true;
        } else {
          setWindowState(Qt::WindowMaximized);
        }
        break;
      case TWindowState::Normal:
        setWindowState(Qt::WindowNoState);
        break;
    }
    FCheckForUpdates = Placement.CheckForUpdates;

    std::vector<std::u16string> Recent;
    for (const char* Name : TRecentFiles::StoredNames) Recent.push_back(U16(ReadSettingText(*Settings, Name)));
    FRecentFiles.Load(Recent);
    RebuildRecentMenu();
  } catch (...) {
    ReportCallFailure(u"TForm1.LoadRegistrySettings");
  }
}

void TCorvaneForm::SaveRegistrySettings() {
  try {
    const std::unique_ptr<QSettings> Settings = OpenFormSettings();
    TFormPlacement Placement;
    Placement.Frame = NormalFrame();
    for (size_t Column = 0; Column < ColumnCount; ++Column)
      Placement.ColumnWidths[Column] = ListView1->columnWidth(static_cast<int>(Column));
    Placement.Panel2Width = Panel2->width();
    Placement.HexPaneHeight = Panel1->height();
    Placement.State = isMinimized()   ? TWindowState::Minimized
                      : isMaximized() ? TWindowState::Maximized
                                      : TWindowState::Normal;
    Placement.CheckForUpdates = FCheckForUpdates;
    const std::array<int32_t, SettingCount> Values = StoredValues(Placement);
    for (size_t Index = 0; Index < Values.size(); ++Index) WriteSettingValue(*Settings, SettingNames[Index], Values[Index]);
    const auto Recent = FRecentFiles.Stored();
    for (size_t Index = 0; Index < Recent.size(); ++Index) {
      if (Recent[Index].empty())
        Settings->remove(QString::fromLatin1(TRecentFiles::StoredNames[Index]));
      else
        WriteSettingText(*Settings, TRecentFiles::StoredNames[Index], Q(Recent[Index]));
    }
    Settings->sync();
    if (Settings->status() != QSettings::NoError) ReportCallFailure(u"TForm1.SaveRegistrySettings");
  } catch (...) {
    ReportCallFailure(u"TForm1.SaveRegistrySettings");
  }
}

// ------------------------------------------------------------------------------------------------
// File commands

bool TCorvaneForm::Ask(TFormPromptKind Kind, const QString& Text) {
  return FPrompt ? FPrompt(this, Kind, Text) : DefaultPrompt(this, Kind, Text);
}

TFrameWindow::TAskCallback TCorvaneForm::OpenAnywayQuestion() {
  return [this](std::u16string_view Question) { return Ask(TFormPromptKind::OpenAnyway, Q(Question)); };
}

TFrameWindow::TTellCallback TCorvaneForm::TellError() {
  return [this](std::u16string_view Message) { Ask(TFormPromptKind::Error, Q(Message)); };
}

bool TCorvaneForm::OpenFile(const std::filesystem::path& FileName) {
  const TStep Step{*this};
  const int32_t LoadsBefore = FFrames->HexPane().LoadCount;
  const bool Opened = FFrames->OpenConfirmed(FileName, OpenAnywayQuestion(), TellError());
  if (FFrames->HexPane().LoadCount != LoadsBefore) AfterLoad();
  return Opened;
}

void TCorvaneForm::Open1Click() {
  if (FOpenFileCallback) {
    FOpenFileCallback();
    return;
  }
  const QString Chosen = FChooseFile ? FChooseFile(this, OpenDialogFilter()) : QString();
  if (Chosen.isEmpty()) return;
  TBusyCursor Busy;
  const TStep Step{*this};
  const int32_t LoadsBefore = FFrames->HexPane().LoadCount;
  FFrames->OpenChosenFile(PathFromQString(Chosen), OpenAnywayQuestion(), TellError());
  if (FFrames->HexPane().LoadCount != LoadsBefore) AfterLoad();
}

void TCorvaneForm::OpenDroppedFiles(const QStringList& Files) {
  const TStep Step{*this};
  TBusyCursor Busy;
  std::vector<std::filesystem::path> Paths;
  for (const QString& File : Files) Paths.push_back(PathFromQString(File));
  FFrames->OpenDroppedFiles(Paths, OpenAnywayQuestion(), TellError());
  // Each dropped file closes the one before, so the views follow whatever is open now.
  AfterLoad();
}

void TCorvaneForm::OpenRecentFile(size_t Index) {
  const TRecentFiles::TChoice Choice = FRecentFiles.Choose(Index);
  if (!Choice.File) {
    RebuildRecentMenu();
    if (!Choice.Message.empty()) Ask(TFormPromptKind::Information, Q(Choice.Message));
    return;
  }
  TBusyCursor Busy;
  OpenFile(*Choice.File);
}

void TCorvaneForm::RebuildRecentMenu() {
  RecentFiles1->clear();
  for (size_t Index = 0; Index < FRecentFiles.Files().size(); ++Index) {
    QAction* Item = RecentFiles1->addAction(Q(FRecentFiles.MenuText(Index)));
    connect(Item, &QAction::triggered, this, [this, Index] { OpenRecentFile(Index); });
  }
  RecentFiles1->setEnabled(!FRecentFiles.Files().empty());
}

void TCorvaneForm::TellCheckWindowWhetherOpen() {
  if (FCheckWindow) FCheckWindow->SetFileOpen(FFrames->IsOpen() && FCheckWindow->File() == FFrames->FileName());
}

void TCorvaneForm::AfterLoad() {
  if (FFrames->IsOpen()) {
    FRecentFiles.Add(FFrames->FileName());
    RebuildRecentMenu();
  }
  TellCheckWindowWhetherOpen();
  // What was gathered and measured of the file before may no longer hold.
  if (FOverviewWindow) FOverviewWindow->Clear();
  FLoudnessFile.clear();
  FLoudnessLines.clear();
  LoudnessLabel->clear();
  RefreshCaption();
  // A load selects the first row and gives the list the focus.
  ShowFrameList(FFrames->ListRowCount() > 0 ? 0 : -1);
  if (FFrames->ListRowCount() > 0) ListView1->setFocus();
  ShowDetail();
  ShowHexPane();
  if (const std::u16string Note = FFrames->UnfinishedChangeNote(); !Note.empty()) statusBar()->showMessage(Q(Note));
}

void TCorvaneForm::Close1Click() {
  try {
    FFrames->UnloadFile();
    AfterLoad();
    if (FCloseFileCallback) FCloseFileCallback();
  } catch (...) {
    ReportCallFailure(u"TForm1.Close1Click");
  }
}

void TCorvaneForm::Exit1Click() {
  try {
    if (FExitCallback) FExitCallback();
    close();
  } catch (...) {
  }
}

void TCorvaneForm::GoToOffset1Click() {
  if (!FFrames->IsOpen()) {
    Ask(TFormPromptKind::Error, QStringLiteral("There is no file loaded."));
    return;
  }
  const std::optional<QString> Typed = FAskOffset ? FAskOffset(this, Q(FGoToOffset.LastText())) : std::nullopt;
  if (!Typed) return;
  const TGoToOffset::TAnswer Answer = FGoToOffset.Read(U16(*Typed));
  if (!Answer.Offset) {
    Ask(TFormPromptKind::Error, Q(Answer.Error));
    return;
  }
  const int64_t* Offset = &*Answer.Offset;
  TGoToResult Result;
  {
    const TStep Step{*this};
    TBusyCursor Busy;
    Result = FFrames->GoToOffset(*Offset);
  }
  if (Result == TGoToResult::PastEnd) {
    Ask(TFormPromptKind::Error, Q(PastEndText(*Offset, FFrames->FileSize())));
    return;
  }
  ShowMovedWindow();
}

void TCorvaneForm::ShowMovedWindow() {
  ShowFrameList(FFrames->ListRowCount() > 0 ? 0 : -1);
  ListView1->setFocus();
  ShowDetail();
  ShowHexPane();
}

void TCorvaneForm::HexEditSelectedFrame1Click() {
  const TStep Step{*this};
  try {
    std::unique_ptr<TFileStream> Stream;
    const std::filesystem::path FileName = FFrames->FileName();
    if (!FileName.empty() && FileExists(FileName)) {
      Stream = std::make_unique<TFileStream>();
      if (!Stream->Open(FileName, TFileStream::TMode::ReadWrite)) {
        Ask(TFormPromptKind::Plain, QStringLiteral("File is locked for writing by another application."));
        return;
      }
    }
    if (!Stream) {
      Ask(TFormPromptKind::Error, QStringLiteral("There is no file loaded."));
      return;
    }
    const int Row = ListView1->SelectedRow();
    if (Row < 0) {
      Ask(TFormPromptKind::Error, QStringLiteral("There is no frame selected."));
      return;
    }
    int64_t Offset = 0;
    int64_t Size = 0;
    if (!FFrames->RowFrameRange(Row, Offset, Size)) return;
    const std::u16string Suffix = TFrameWindow::HexEditCaptionSuffix(Offset);
    if (!FEditFile || !FEditFile(Stream.get(), Suffix, true, Offset, Size, this)) return;
    if (!Ask(TFormPromptKind::Confirm, QStringLiteral("Do you want to reload the file with the new changes?"))) return;
    TBusyCursor Busy;
    FFrames->UnloadFile();
    FFrames->LoadFile(FileName, false);
    AfterLoad();
    // The read-write stream goes last, after the reload.
  } catch (...) {
    ReportCallFailure(u"TForm1.HexEditSelectedFrame1Click");
  }
}

TCheckEnd TCorvaneForm::RunCheck(const std::filesystem::path& File, bool EAC3, const TFindingSink& Sink,
                                 TStreamSummary& Summary, std::string& Error) {
  return RunCheckBehindProgress(
      this, QStringLiteral("Check Stream"), QStringLiteral("Checking the stream..."),
      [&](TWorkerState& State) { return CheckStream(File, EAC3, Sink, Summary, State.Progress(), &State.Cancel, Error); },
      FCheckStarted, Error);
}

void TCorvaneForm::CheckStream1Click() {
  if (!FFrames->IsOpen()) {
    Ask(TFormPromptKind::Error, QStringLiteral("There is no file loaded."));
    return;
  }
  TCheckReport Report(FFrames->FileName(), FFrames->EAC3());
  TStreamSummary Summary;
  std::string Error;
  const TCheckEnd End = RunCheck(
      Report.File(), Report.EAC3(), [&Report](const TStreamFinding& Finding) { return Report.Add(Finding), true; },
      Summary, Error);
  if (End == TCheckEnd::Cancelled) {
    statusBar()->showMessage(QStringLiteral("The stream check was cancelled."));
    return;
  }
  if (End == TCheckEnd::Failed) {
    Ask(TFormPromptKind::Error, QStringLiteral("The stream could not be checked: ") + QString::fromStdString(Error));
    return;
  }
  Report.SetSummary(Summary);
  if (FLoudnessFile == Report.File()) Report.SetLoudnessLines(FLoudnessLines);
  if (!FCheckWindow) {
    FCheckWindow = std::make_unique<TStreamCheckWindow>();
    FCheckWindow->setWindowIcon(windowIcon());
    PlaceOverForm(*FCheckWindow);
    FCheckWindow->OnActivated = [this](int64_t Offset) { ShowCheckedFinding(Offset); };
    FCheckWindow->FWriteReport = [this](const std::filesystem::path& To, TReportFormat Format) {
      return WriteCheckReport(To, Format);
    };
  }
  FCheckWindow->SetReport(std::move(Report));
  ShowOwnedWindow(*FCheckWindow);
}

void TCorvaneForm::PlaceOverForm(QWidget& Window) const {
  // A window of its own opens over the main window, never in a screen's corner; afterwards it
  // stays where the user puts it.
  const TRect Placed = PlaceOver(ToRect(frameGeometry()), Window.width(), Window.height(), ScreenWorkAreas());
  Window.resize(Placed.Width, Placed.Height);
  Window.move(Placed.Left, Placed.Top);
}

void TCorvaneForm::ShowOwnedWindow(QWidget& Window) {
  Window.show();
  Window.raise();
  Window.activateWindow();
}

QString TCorvaneForm::WriteCheckReport(const std::filesystem::path& To, TReportFormat Format) {
  const TCheckReport& Report = FCheckWindow->Report();
  QSaveFile Out(PathToQString(To));
  if (!Out.open(QIODevice::WriteOnly)) return QStringLiteral("The report could not be saved: ") + Out.errorString();
  if (Report.Complete()) {
    const std::string Text = Report.Saved(Format);
    Out.write(Text.data(), static_cast<qint64>(Text.size()));
  } else {
    // The window kept only the first findings: the file is checked again, straight into the report.
    TCheckReportWriter Writer(Format, Report.File(), Report.EAC3(), [&Out](std::string_view Piece) {
      Out.write(Piece.data(), static_cast<qint64>(Piece.size()));
    });
    TStreamSummary Summary;
    std::string Error;
    const TCheckEnd End = RunCheck(
        Report.File(), Report.EAC3(), [&Writer](const TStreamFinding& Finding) { return Writer.Finding(Finding), true; },
        Summary, Error);
    if (End != TCheckEnd::Completed) {
      Out.cancelWriting();
      return End == TCheckEnd::Cancelled ? QString()
                                         : QStringLiteral("The report could not be saved: ") + QString::fromStdString(Error);
    }
    Writer.Finish(Summary);
  }
  if (!Out.commit()) return QStringLiteral("The report could not be saved: ") + Out.errorString();
  return {};
}

void TCorvaneForm::ShowCheckedFinding(int64_t Offset) {
  if (!FCheckWindow || !FFrames->IsOpen() || FCheckWindow->File() != FFrames->FileName()) {
    Ask(TFormPromptKind::Error, QStringLiteral("The checked file is no longer open."));
    return;
  }
  GoToFrameAt(Offset);
}

void TCorvaneForm::GoToFrameAt(int64_t Offset) {
  {
    const TStep Step{*this};
    TBusyCursor Busy;
    if (FFrames->GoToOffset(Offset) != TGoToResult::Moved) return;
  }
  ShowMovedWindow();
  raise();
  activateWindow();
}

bool TCorvaneForm::EnsureOverview() {
  if (!FOverviewWindow) {
    FOverviewWindow = std::make_unique<TStreamOverviewWindow>();
    FOverviewWindow->setWindowIcon(windowIcon());
    PlaceOverForm(*FOverviewWindow);
    FOverviewWindow->OnActivated = [this](int64_t Offset) { GoToFrameAt(Offset); };
  }
  FOverviewWindow->FStarted = FCheckStarted;
  std::string Error;
  const TCheckEnd End = FOverviewWindow->Collect(this, FFrames->FileName(), FFrames->EAC3(), Error);
  if (End == TCheckEnd::Cancelled) statusBar()->showMessage(QStringLiteral("The stream overview was cancelled."));
  if (End == TCheckEnd::Failed)
    Ask(TFormPromptKind::Error, QStringLiteral("The stream could not be read: ") + QString::fromStdString(Error));
  return End == TCheckEnd::Completed;
}

void TCorvaneForm::StreamOverview1Click() {
  if (!FFrames->IsOpen()) {
    Ask(TFormPromptKind::Error, QStringLiteral("There is no file loaded."));
    return;
  }
  if (!EnsureOverview()) return;
  ShowOwnedWindow(*FOverviewWindow);
}

void TCorvaneForm::MeasureLoudness1Click() {
#ifdef CORVANE_HAVE_LOUDNESS
  if (!FFrames->IsOpen()) {
    Ask(TFormPromptKind::Error, QStringLiteral("There is no file loaded."));
    return;
  }
  if (!EnsureOverview()) return;
  TStreamOverviewWindow& Window = *FOverviewWindow;
  const TLoudnessOutcome Outcome = MeasureLoudnessBehindProgress(
      this, FFrames->FileName(), FFrames->EAC3(), Window.Overview(), [&Window] { Window.Refresh(); }, FCheckStarted);
  if (Outcome.End == TCheckEnd::Cancelled) {
    statusBar()->showMessage(QStringLiteral("The loudness measurement was cancelled."));
    return;
  }
  if (Outcome.End == TCheckEnd::Failed) {
    Ask(TFormPromptKind::Error,
        QStringLiteral("The loudness could not be measured: ") + QString::fromStdString(Outcome.Error));
    return;
  }
  FLoudnessFile = FFrames->FileName();
  FLoudnessLines = Outcome.Lines;
  LoudnessLabel->setText(Outcome.Status);
  Window.SetVerdict(Outcome.Status);
  if (FCheckWindow && FCheckWindow->File() == FLoudnessFile) FCheckWindow->SetLoudnessLines(FLoudnessLines);
#endif
}

void TCorvaneForm::Copy1Click() { QGuiApplication::clipboard()->setText(Q(FFrames->ListText(PlatformLineEnd))); }

void TCorvaneForm::CopySelectedRows() {
  std::vector<int32_t> Rows;
  if (const int Selected = ListView1->SelectedRow(); Selected >= 0) Rows.push_back(Selected);
  QGuiApplication::clipboard()->setText(Q(FFrames->ListText(PlatformLineEnd, Rows)));
}

void TCorvaneForm::CopySelectedNode() {
  const int32_t Node = TSyntaxTreeModel::NodeOf(TreeView1->currentIndex());
  QGuiApplication::clipboard()->setText(
      Q(Node >= 0 ? FFrames->TreeText(PlatformLineEnd, static_cast<TTreeModel::TNodeId>(Node))
                  : FFrames->TreeText(PlatformLineEnd)));
}

void TCorvaneForm::Copy2Click() { QGuiApplication::clipboard()->setText(Q(FFrames->TreeText(PlatformLineEnd))); }

void TCorvaneForm::CheckForUpdates1Click() {
  FCheckForUpdates = !FCheckForUpdates;
  CheckForUpdates1->setChecked(FCheckForUpdates);
  // The timer polls only while the check is wanted; a check that already ended is not repeated.
  if (!FCheckForUpdates)
    tmUpdate->stop();
  else if (FShown && !FClosed && !FUpdateDone)
    tmUpdate->start();
}

void TCorvaneForm::About1Click() {
  if (FAboutCallback) {
    FAboutCallback();
    return;
  }
  ShowAbout(Q(DisplayName), Q(AboutNoticeYear), std::nullopt, this);
}

void TCorvaneForm::tmUpdateTimer() {
  try {
    if (!FUpdateCheck) {
      FUpdateCheck = std::make_unique<TUpdateCheckThread>();
      FUpdateCheck->Start(UpdateCheckFolder(QCoreApplication::applicationFilePath().toStdU16String()));
    }
    bool NeedToUpdate = false;
    if (FUpdateCheck->Poll(NeedToUpdate)) {
      tmUpdate->stop();
      FUpdateCheck->Stop(UpdateCheckStopLimit);
      FUpdateDone = true;
      if (NeedToUpdate) statusBar()->showMessage(Q(UpdateAvailableText));
    }
  } catch (...) {
    ReportCallFailure(u"TForm1.tmUpdateTimer");
  }
}

// ------------------------------------------------------------------------------------------------
// The frame list: keys, mouse, scroll bar, wheel, resize

bool TCorvaneForm::ListView1KeyDown(QKeyEvent* Event) {
  if (Event->matches(QKeySequence::Copy)) {
    CopySelectedRows();
    return true;
  }
  const TStep Step{*this};
  const int32_t Key = NavigationKey(Event->key());
  const int Selected = ListView1->SelectedRow();
  // Without a selected row the list moves its own current row.
  if (Key == 0 || Selected < 0) return false;
  std::optional<TBusyCursor> Busy;
  if (Key == KeyHome || Key == KeyEnd) Busy.emplace();
  const TNavResult Result = FFrames->ListView1KeyDown(Key, Selected);
  ShowFrameList(Result.SelectedRow, Result.Refilled);
  return true;
}

void TCorvaneForm::ListView1KeyUp() {
  const TStep Step{*this};
  if (!FFrames->ListView1KeyUp(ListView1->SelectedRow())) return;
  ShowDetail();
  ShowHexPane();
}

void TCorvaneForm::ListView1MouseDown() {
  const TStep Step{*this};
  const int Selected = ListView1->SelectedRow();
  if (Selected < 0) return;
  FFrames->ShowRow(Selected);
  ShowDetail();
  ShowHexPane();
}

void TCorvaneForm::TrackListThumb() {
  const int Position = FListThumb.Take();
  // Only while the thumb is held: the drag's end places the thumb as a thumb placement does.
  if (!ScrollBar1->isSliderDown()) return;
  const TStep Step{*this};
  ListView1->SelectRow(-1);
  if (FFrames->TrackThumb(Position)) FListModel->Refresh();
  ShowStatus();
}

void TCorvaneForm::TreeView1Change(const QModelIndex& Current) {
  // The element's bytes are marked inside the frame's highlight, as far as the pane shows them.
  FFrames->SelectTreeNode(TSyntaxTreeModel::NodeOf(Current));
  const THexPaneState& Pane = FFrames->HexPane();
  if (FHexView && Pane.Exists && !Pane.Blank) FHexView->SetFieldSelection(Pane.FieldStart, Pane.FieldLength);
}

void TCorvaneForm::MyScrollMouseDown() {
  const TStep Step{*this};
  TBusyCursor Busy;
  ListView1->SelectRow(-1);
  const TNavResult Result = FFrames->MyScrollMouseDown(ScrollBar1->value());
  ShowFrameList(-1, Result.Refilled);
}

bool TCorvaneForm::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == ScrollBar1 && Event->type() == QEvent::MouseButtonRelease) {
    // The bar ends its own interaction first; the step then starts from where it left the thumb.
    static_cast<QObject*>(ScrollBar1)->event(Event);
    MyScrollMouseDown();
    return true;
  }
  if (Event->type() == QEvent::Wheel) return WheelToKey(Watched, Event);
  // Ctrl+C in the tree copies the selected node with the nodes under it (the tree's own copy
  // would take the node's line alone); the context menu's Copy copies the whole tree.
  if (Watched == TreeView1 && Event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(Event)->matches(QKeySequence::Copy)) {
    CopySelectedNode();
    return true;
  }
  return QMainWindow::eventFilter(Watched, Event);
}

bool TCorvaneForm::WheelToKey(QObject* Watched, QEvent* Event) {
  // The wheel reaches the window system's window first and then the control under the mouse;
  // only the control gets the key.
  if (!Watched->isWidgetType()) return false;
  const auto* Wheel = static_cast<QWheelEvent*>(Event);
  const int Delta = Wheel->angleDelta().y();
  if (Delta == 0) return false;  // a sideways wheel is left alone
  const bool Ctrl = Wheel->modifiers().testFlag(Qt::ControlModifier);
  // Over the list's own scroll bar the key goes to the list: the bar's position must only move
  // with the frame window.
  QObject* Target = Watched == ScrollBar1 ? static_cast<QObject*>(ListView1) : Watched;
  QKeyEvent Key(QEvent::KeyPress, QtKeyOf(TFrameWindow::WheelToKey(Delta, Ctrl)), Qt::NoModifier);
  QCoreApplication::sendEvent(Target, &Key);
  return true;
}

void TCorvaneForm::resizeEvent(QResizeEvent* Event) {
  QMainWindow::resizeEvent(Event);
  WindowSystemMovedOrSized(Event);
  FormResize();
}

void TCorvaneForm::FormResize() {
  const TStep Step{*this};
  const int Selected = ListView1->SelectedRow();
  FFrames->FormResize(std::min(ListView1->FullyVisibleRows(), MaxFrameRows));
  ShowFrameList(Selected);
}

// ------------------------------------------------------------------------------------------------
// Showing the frame window's state

void TCorvaneForm::ShowFrameList(int SelectedRow, bool Refilled) {
  if (Refilled) FListModel->Refresh();
  ListView1->SelectRow(SelectedRow);
  const QSignalBlocker Quiet(ScrollBar1);
  ScrollBar1->setRange(0, FFrames->ScrollMax());
  ScrollBar1->setValue(FFrames->ScrollPosition());
  ShowStatus();
}

void TCorvaneForm::ShowDetail() {
  FTreeModel->Refresh();
  CrcLabel->setText(Q(FFrames->PackCrcText()));
  const TTreeModel& Tree = FFrames->Tree();
  for (TTreeModel::TNodeId Node = 0; Node < Tree.Count(); ++Node)
    if (Tree.Node(Node).Expanded) TreeView1->expand(FTreeModel->IndexOf(Node));
}

void TCorvaneForm::ShowHexPane() {
  const THexPaneState& Pane = FFrames->HexPane();
  if (Pane.LoadCount != FHexLoadCount) {
    // Every load starts the pane over on the new file, from offset 0.
    FHexLoadCount = Pane.LoadCount;
    FHexView.reset();
    FHexView = std::make_unique<THexView>();
    FHexView->Init(Memo1, ScrollBar2);
    FHexView->OpenFile(Pane.FileName);
    if (Pane.Blank) Memo1->clear();
    return;
  }
  if (Pane.Blank) {
    Memo1->clear();
    return;
  }
  if (!FHexView) return;
  FHexView->SetFieldSelection(Pane.FieldStart, Pane.FieldLength, false);
  FHexView->RefreshFileData(Pane.TopOffset);
  FHexView->SetSelection(Pane.SelStart, Pane.SelLength);
}

void TCorvaneForm::EndLongStep() {
  if (!FLongStepCursor) return;
  FLongStepCursor = false;
  QApplication::restoreOverrideCursor();
}

void TCorvaneForm::ShowStatus() { StatusLabel->setText(Q(FFrames->StatusText())); }

}  // namespace corvane
