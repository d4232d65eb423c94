#include "win32/MainWindow.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <array>
#include <cwchar>
#include <vector>

#include "core/FileStream.h"
#include "core/ODSUtls.h"
#include "core/StringUtils.h"
#include "hex/HexViewLines.h"
#include "product/ProductTexts.h"
#include "viewer/FrameRowText.h"
#include "win32/CheckStream.h"
#include "win32/GoToOffsetDialog.h"
#include "win32/HexEditDialog.h"
#include "win32/MessageLoop.h"
#include "win32/OverviewWindow.h"
#include "win32/ProductWindows.h"
#include "win32/resource.h"

namespace corvane::win32 {
namespace {

constexpr UINT_PTR UpdateTimer = 1;
constexpr UINT UpdateTimerMs = 10;
// Posted once the window is on screen: the file named on the command line is opened then, so
// that the open-anyway question has the window as its owner.
constexpr UINT OpenStartFileMessage = WM_APP + 1;
// How long closing the window waits for a running update check before it lets it go.

constexpr COLORREF ShadedRow = RGB(240, 240, 240);
constexpr COLORREF ShadedNode = RGB(246, 246, 246);

constexpr std::u16string_view LineEnd = u"\r\n";
constexpr DWORD FormStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

// The open dialog's filters as the system wants them: each name and its patterns (";"
// between them), each ended by a null character, and a null character after the last.
std::wstring OpenDialogFilter() {
  std::wstring Filter;
  for (const TFileFilter& Entry : OpenDialogFilters) {
    std::wstring Patterns = W(Entry.Patterns);
    if (Patterns == L"*") Patterns = L"*.*";
    std::replace(Patterns.begin(), Patterns.end(), L' ', L';');
    Filter += W(Entry.Name) + L" (" + Patterns + L")" + L'\0' + Patterns + L'\0';
  }
  return Filter + L'\0';
}

TRect ToRect(const RECT& Rect) { return {Rect.left, Rect.top, Rect.right - Rect.left, Rect.bottom - Rect.top}; }

BOOL CALLBACK AddWorkArea(HMONITOR Monitor, HDC, LPRECT, LPARAM Data) {
  MONITORINFO Info{};
  Info.cbSize = sizeof Info;
  if (GetMonitorInfoW(Monitor, &Info)) reinterpret_cast<std::vector<TRect>*>(Data)->push_back(ToRect(Info.rcWork));
  return TRUE;
}

// The work areas of the monitors there are (the desktop without its task bars), in screen pixels.
std::vector<TRect> WorkAreas() {
  std::vector<TRect> Areas;
  EnumDisplayMonitors(nullptr, nullptr, AddWorkArea, reinterpret_cast<LPARAM>(&Areas));
  return Areas;
}

// Get/SetWindowPlacement speak workspace coordinates, which start at the primary monitor's work
// area; the settings hold screen coordinates, as every window's settings do.
POINT WorkspaceOrigin() {
  MONITORINFO Info{};
  Info.cbSize = sizeof Info;
  if (!GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &Info)) return {0, 0};
  return {Info.rcWork.left - Info.rcMonitor.left, Info.rcWork.top - Info.rcMonitor.top};
}

// The integer values under the settings key; one that is missing or not a DWORD is left out.
TStoredSettings ReadStoredSettings(HKEY Key) {
  TStoredSettings Stored;
  for (size_t Index = 0; Index < SettingCount; ++Index) {
    DWORD Value = 0;
    DWORD Size = sizeof Value;
    const std::wstring Name = W(AsciiToU16(SettingNames[Index]));
    if (RegGetValueW(Key, nullptr, Name.c_str(), RRF_RT_REG_DWORD, nullptr, &Value, &Size) == ERROR_SUCCESS)
      Stored[Index] = static_cast<int32_t>(Value);
  }
  return Stored;
}

// The recent files' names, REG_SZ values; one that is missing or not a text is empty.
std::vector<std::u16string> ReadRecentFiles(HKEY Key) {
  std::vector<std::u16string> Names;
  for (const char* Stored : TRecentFiles::StoredNames) {
    const std::wstring Name = W(AsciiToU16(Stored));
    DWORD Bytes = 0;
    std::wstring Text;
    if (RegGetValueW(Key, nullptr, Name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &Bytes) == ERROR_SUCCESS &&
        Bytes >= sizeof(wchar_t)) {
      Text.resize(Bytes / sizeof(wchar_t));
      if (RegGetValueW(Key, nullptr, Name.c_str(), RRF_RT_REG_SZ, nullptr, Text.data(), &Bytes) == ERROR_SUCCESS)
        Text.resize(wcsnlen(Text.c_str(), Text.size()));
      else
        Text.clear();
    }
    Names.push_back(U(Text));
  }
  return Names;
}

bool IsNavigationKey(WPARAM Key) {
  switch (Key) {
    case KeyUp:
    case KeyDown:
    case KeyPageUp:
    case KeyPageDown:
    case KeyHome:
    case KeyEnd:
      return true;
    default:
      return false;
  }
}

std::u16string ExecutableName() {
  std::wstring Name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD Got = GetModuleFileNameW(nullptr, Name.data(), static_cast<DWORD>(Name.size()));
    if (Got == 0) return u"";
    if (Got < Name.size()) {
      Name.resize(Got);
      break;
    }
    Name.resize(Name.size() * 2);
  }
  return U(Name);
}

}  // namespace

TMainWindow::TMainWindow() : FFrames(std::make_unique<TFrameWindow>()) {
  FFrames->SetLongStepCallback([this] {
    FLongStep = true;
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  });
}

TMainWindow::~TMainWindow() {
  if (FListMenu) DestroyMenu(FListMenu);
  if (FTreeMenu) DestroyMenu(FTreeMenu);
}

// ------------------------------------------------------------------------------------------------
// Construction and start-up

bool TMainWindow::Create(const std::filesystem::path& StartFile) {
  FStartFile = StartFile;
  const HINSTANCE Instance = GetModuleHandleW(nullptr);
  const HMENU Menu = LoadMenuW(Instance, MAKEINTRESOURCEW(IDR_MAINMENU));
  // Placed and sized by the settings before it is shown (LoadRegistrySettings).
  FDpi = WindowDpi(nullptr);
  if (!CreateWindowOf(L"CorvaneMainWindow", 0, FormStyle, W(DisplayName), DesignFormLeft, DesignFormTop,
                      Scale(DesignClientWidth, FDpi), Scale(DesignClientHeight, FDpi), nullptr))
    return false;
  SetMenu(FHandle, Menu);
  // File > Open Recent, filled from the settings.
  FRecentMenu = CreatePopupMenu();
  InsertMenuW(GetSubMenu(Menu, 0), 1, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(FRecentMenu),
              L"Open &Recent");
  SetMainWindow(FHandle, LoadAcceleratorsW(Instance, MAKEINTRESOURCEW(IDR_ACCELERATORS)));
  FListMenu = LoadMenuW(Instance, MAKEINTRESOURCEW(IDR_LISTMENU));
  FTreeMenu = LoadMenuW(Instance, MAKEINTRESOURCEW(IDR_TREEMENU));
  FDpi = WindowDpi(FHandle);
  CreateFonts();
  CreateComponents();
  FormShow();
  return true;
}

void TMainWindow::CreateFonts() {
  FFont.Reset(CreateMessageFont(FDpi));
  // The tree's node texts are padded to line up: a fixed-pitch face, 12 pixels at 96 per inch.
  FTreeFont.Reset(CreatePixelFont(L"Courier New", Scale(12, FDpi), false, true));
  FTreeBoldFont.Reset(CreatePixelFont(L"Courier New", Scale(12, FDpi), true, true));
}

int TMainWindow::TextWidth(std::u16string_view Text) const {
  return static_cast<int>(
      SendMessageW(ListView1.Handle(), LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(W(Text).c_str())));
}

int TMainWindow::DesignColumnWidth(size_t Column) const {
  // The design widths were chosen for a small dialog font; with a larger one a column grows
  // until its widest text and its header fit.
  const TFrameListColumn& Of = FrameListColumns[Column];
  return std::max(Scale(Of.DesignWidth, FDpi),
                  std::max(TextWidth(Of.Widest), TextWidth(Of.Header)) + Scale(ColumnTextPadding, FDpi));
}

void TMainWindow::CreateComponents() {
  const auto Font = reinterpret_cast<WPARAM>(FFont.Font());
  ListView1.Create(FHandle, IDC_LISTVIEW1, LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
                   LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  SendMessageW(ListView1.Handle(), WM_SETFONT, Font, FALSE);
  for (size_t Column = 0; Column < FrameListColumns.size(); ++Column)
    ListView1.AddColumn(W(FrameListColumns[Column].Header), DesignColumnWidth(Column));
  ScrollBar1.Create(FHandle, IDC_SCROLLBAR1, true);
  ScrollBar1.SetRange(0, 0);
  RedirectWheel(ScrollBar1.Handle(), ListView1.Handle());

  TreeView1.Create(FHandle, IDC_TREEVIEW1);
  SendMessageW(TreeView1.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(FTreeFont.Font()), FALSE);
  TreeView_SetIndent(TreeView1.Handle(), Scale(TreeIndent, FDpi));

  lbPacket = CreateWindowExW(0, WC_STATICW, L"Hex View", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, FHandle,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_LBPACKET)), GetModuleHandleW(nullptr),
                             nullptr);
  SendMessageW(lbPacket, WM_SETFONT, Font, FALSE);
  Memo1.Create(FHandle, IDC_MEMO1);
  ScrollBar2.Create(FHandle, IDC_SCROLLBAR2, true);
  RedirectWheel(ScrollBar2.Handle(), Memo1.Handle());
  FHexView.Init(&Memo1, &ScrollBar2);

  StatusBar1.Create(FHandle, IDC_STATUSBAR);
  SendMessageW(StatusBar1.Handle(), WM_SETFONT, Font, FALSE);

  FListHandler = [this](HWND, UINT Message, WPARAM WParam, LPARAM LParam, LRESULT& Result) {
    return ListView1Message(Message, WParam, LParam, Result);
  };
  Subclass(ListView1.Handle(), &FListHandler);
  FTreeHandler = [this](HWND, UINT Message, WPARAM WParam, LPARAM, LRESULT& Result) {
    if (Message != WM_KEYDOWN || WParam != 'C' || GetKeyState(VK_CONTROL) >= 0) return false;
    CopySelectedNode();
    Result = 0;
    return true;
  };
  Subclass(TreeView1.Handle(), &FTreeHandler);
  MeasureMinimum();
}

void TMainWindow::MeasureMinimum() {
  const HWND List = ListView1.Handle();
  // The height of a row, measured on a row of the empty list, and of the header.
  const int Rows = ListView1.RowCount();
  ListView_SetItemCountEx(List, 1, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  RECT Row{};
  ListView_GetItemRect(List, 0, &Row, LVIR_BOUNDS);
  ListView_SetItemCountEx(List, Rows, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  RECT Area{0, 0, 1000, 1000};
  WINDOWPOS Place{};
  HDLAYOUT HeaderLayout{&Area, &Place};
  Header_Layout(ListView_GetHeader(List), &HeaderLayout);
  const int Edges = 2 * GetSystemMetrics(SM_CYEDGE);
  // The list keeps a few rows and room for its sideways scroll bar; the hex pane a few lines
  // under its label.
  FMinListHeight = Place.cy + MinListRows * std::max<int>(Row.bottom - Row.top, 1) + Edges +
                   GetSystemMetrics(SM_CYHSCROLL);
  FMinHexHeight = Scale(18, FDpi) + (MinHexLines + 1) * Scale(HexViewLineHeight, FDpi) + Edges;
  RECT Frame{0, 0, 2 * Scale(MinPaneWidth, FDpi) + Scale(SplitterGap, FDpi),
             FMinListHeight + Scale(SplitterGap, FDpi) + FMinHexHeight + StatusBar1.Height()};
  AdjustWindowRectEx(&Frame, FormStyle, TRUE, 0);
  FMinFrame = {Frame.right - Frame.left, Frame.bottom - Frame.top};
}

void TMainWindow::FormShow() {
  GuardedCall(u"TForm1.FormShow", [&] {
    FCheckForUpdates = true;
    RefreshCaption();
    LoadRegistrySettings();
    FShown = true;
    Layout();
    // The list is the only drop target: files dropped on it are opened.
    DragAcceptFiles(ListView1.Handle(), TRUE);
    RefreshCaption();
    CheckMenuItem(GetMenu(FHandle), IDM_CHECKFORUPDATES, FCheckForUpdates ? MF_CHECKED : MF_UNCHECKED);
    // Nobody who turned the check off is contacted over the network.
    if (FCheckForUpdates) SetTimer(FHandle, UpdateTimer, UpdateTimerMs, nullptr);
    ShowSplash(DisplayName, FHandle);
    if (!FStartFile.empty()) PostMessageW(FHandle, OpenStartFileMessage, 0, 0);
  });
}

void TMainWindow::FormClose() {
  FClosed = true;
  GuardedCall(u"TForm1.FormClose", [&] {
    FFrames->UnloadFile();
    ShowFrameList(-1);
    ShowDetail();
    ShowHexPane();
    RefreshCaption();
    DragAcceptFiles(ListView1.Handle(), FALSE);
    RemoveSubclass(ListView1.Handle(), &FListHandler);
    RemoveSubclass(TreeView1.Handle(), &FTreeHandler);
    if (FShown) SaveRegistrySettings();
    FHexView.CloseFile();
    FCheckWindow.reset();
    FOverviewWindow.reset();
  });
  // The update check never holds up the close: a download still running is ended, and a worker
  // that does not end at once is let go.
  KillTimer(FHandle, UpdateTimer);
  if (FUpdateCheck) FUpdateCheck->Stop(UpdateCheckStopLimit);
  FreeSplash();
}

void TMainWindow::RefreshCaption() {
  GuardedCall(u"TForm1.RefreshCaption", [&] { SetWindowTextW(FHandle, W(FFrames->Caption()).c_str()); });
}

// ------------------------------------------------------------------------------------------------
// Settings: thirteen REG_DWORD values and the recent files as REG_SZ values, read once at show
// and written once at close

TPlacementLimits TMainWindow::PlacementLimits() const {
  TPlacementLimits Limits;
  RECT Design{0, 0, Scale(DesignClientWidth, FDpi), Scale(DesignClientHeight, FDpi) + StatusBar1.Height()};
  AdjustWindowRectEx(&Design, FormStyle, TRUE, 0);
  Limits.DesignFrame = {DesignFormLeft, DesignFormTop, Design.right - Design.left, Design.bottom - Design.top};
  int Columns = 0;
  for (size_t Column = 0; Column < FrameListColumns.size(); ++Column) {
    Limits.DesignColumnWidths[Column] = DesignColumnWidth(Column);
    // A column keeps at least its header's text.
    Limits.MinColumnWidths[Column] = TextWidth(FrameListColumns[Column].Header) + Scale(ColumnHeaderPadding, FDpi);
    Columns += Limits.DesignColumnWidths[Column];
  }
  // The left pane is as wide as the columns at least, with the list's scroll bar and edges.
  Limits.DesignPanel2Width = std::max(Scale(Panel2DesignWidth, FDpi), Columns + GetSystemMetrics(SM_CXVSCROLL) +
                                                                          2 * GetSystemMetrics(SM_CXEDGE));
  Limits.DesignHexPaneHeight = Scale(HexPaneDesignHeight, FDpi);
  Limits.MinWindowWidth = FMinFrame.cx;
  Limits.MinWindowHeight = FMinFrame.cy;
  Limits.MinPanel2Width = Scale(MinPaneWidth, FDpi);
  Limits.MinTreeWidth = Scale(MinPaneWidth, FDpi) + Scale(SplitterGap, FDpi);
  Limits.MinHexPaneHeight = FMinHexHeight;
  Limits.MinUpperHeight = FMinFrame.cy - FMinHexHeight;
  return Limits;
}

void TMainWindow::LoadRegistrySettings() {
  GuardedCall(u"TForm1.LoadRegistrySettings", [&] {
    TStoredSettings Stored;
    HKEY Key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingsRegistryKey, 0, KEY_READ, &Key) == ERROR_SUCCESS) {
      Stored = ReadStoredSettings(Key);
      FRecentFiles.Load(ReadRecentFiles(Key));
      RegCloseKey(Key);
    }
    RebuildRecentMenu();
    const TFormPlacement Placement = ReadPlacement(Stored, PlacementLimits(), WorkAreas());
    for (size_t Column = 0; Column < ColumnCount; ++Column)
      ListView1.SetColumnWidth(static_cast<int>(Column), Placement.ColumnWidths[Column]);
    FPanel2Width = Placement.Panel2Width;
    FHexPaneHeight = Placement.HexPaneHeight;
    FCheckForUpdates = Placement.CheckForUpdates;

    WINDOWPLACEMENT Window{};
    Window.length = sizeof Window;
    GetWindowPlacement(FHandle, &Window);
    const POINT Origin = WorkspaceOrigin();
    const TRect& Frame = Placement.Frame;
    Window.rcNormalPosition = {Frame.Left - Origin.x, Frame.Top - Origin.y, Frame.Right() - Origin.x,
                               Frame.Bottom() - Origin.y};
    Window.showCmd = Placement.State == TWindowState::Minimized   ? SW_SHOWMINIMIZED
                     : Placement.State == TWindowState::Maximized ? SW_SHOWMAXIMIZED
                                                                  : SW_SHOWNORMAL;
    SetWindowPlacement(FHandle, &Window);
  });
}

void TMainWindow::SaveRegistrySettings() {
  HKEY Key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, SettingsRegistryKey, 0, nullptr, 0, KEY_WRITE, nullptr, &Key, nullptr) !=
      ERROR_SUCCESS)
    return;
  // The normal (not maximized or minimized) frame, so that a maximized window comes back
  // maximized over the place it had before.
  WINDOWPLACEMENT Window{};
  Window.length = sizeof Window;
  GetWindowPlacement(FHandle, &Window);
  const POINT Origin = WorkspaceOrigin();
  TFormPlacement Placement;
  Placement.Frame = ToRect(Window.rcNormalPosition);
  Placement.Frame.Left += Origin.x;
  Placement.Frame.Top += Origin.y;
  for (size_t Column = 0; Column < ColumnCount; ++Column)
    Placement.ColumnWidths[Column] = ListView1.ColumnWidth(static_cast<int>(Column));
  Placement.Panel2Width = FPanel2Width;
  Placement.HexPaneHeight = PanesHeight() - UpperHeight() - Scale(SplitterGap, FDpi);
  Placement.State = IsIconic(FHandle)   ? TWindowState::Minimized
                    : IsZoomed(FHandle) ? TWindowState::Maximized
                                        : TWindowState::Normal;
  Placement.CheckForUpdates = FCheckForUpdates;
  const std::array<int32_t, SettingCount> Values = StoredValues(Placement);
  bool Failed = false;
  for (size_t Index = 0; Index < Values.size() && !Failed; ++Index) {
    const DWORD Value = static_cast<DWORD>(Values[Index]);
    const std::wstring Name = W(AsciiToU16(SettingNames[Index]));
    Failed = RegSetValueExW(Key, Name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&Value), sizeof Value) !=
             ERROR_SUCCESS;
  }
  // The recent files as texts, as the registry can hold them; an unused name is removed.
  const auto Recent = FRecentFiles.Stored();
  for (size_t Index = 0; Index < Recent.size() && !Failed; ++Index) {
    const std::wstring Name = W(AsciiToU16(TRecentFiles::StoredNames[Index]));
    const std::wstring Text = W(Recent[Index]);
    if (Text.empty()) {
      RegDeleteValueW(Key, Name.c_str());
      continue;
    }
    Failed = RegSetValueExW(Key, Name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(Text.c_str()),
                            static_cast<DWORD>((Text.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS;
  }
  // The first write that fails ends the save.
  if (Failed) ReportCallFailure(u"TForm1.SaveRegistrySettings");
  RegCloseKey(Key);
}

// ------------------------------------------------------------------------------------------------
// Layout: the list and its bar on the left, the splitter, the tree; below the second splitter
// the hex pane

int TMainWindow::PanesHeight() const {
  RECT Client{};
  GetClientRect(FHandle, &Client);
  return std::max<int>(Client.bottom - StatusBar1.Height(), 0);
}

int TMainWindow::UpperHeight() const {
  // The hex pane keeps the height it was given as far as the list keeps its few rows.
  const int Panes = PanesHeight() - Scale(SplitterGap, FDpi);
  return std::max(Panes - ClampPane(FHexPaneHeight, FMinHexHeight, Panes, FMinListHeight), 0);
}

void TMainWindow::Layout() {
  if (!ListView1.Handle()) return;
  StatusBar1.Resize();
  RECT Client{};
  GetClientRect(FHandle, &Client);
  const int Width = Client.right;
  const int Height = PanesHeight();
  const int Bar = GetSystemMetrics(SM_CXVSCROLL) * static_cast<int>(FDpi) / static_cast<int>(WindowDpi(nullptr));
  const int Gap = Scale(SplitterGap, FDpi);
  const int Upper = UpperHeight();
  const int HexTop = Upper + Gap;
  const int HexHeight = std::max(Height - HexTop, 0);
  const int MinPane = Scale(MinPaneWidth, FDpi);
  FPanel2Width = ClampPane(FPanel2Width, std::min(MinPane, Width), Width, MinPane + Gap);

  HDWP Moves = BeginDeferWindowPos(7);
  const auto Place = [&Moves](HWND Control, int X, int Y, int W, int H) {
    Moves = DeferWindowPos(Moves, Control, nullptr, X, Y, std::max(W, 0), std::max(H, 0), SWP_NOZORDER | SWP_NOACTIVATE);
  };
  Place(ListView1.Handle(), 0, 0, FPanel2Width - Bar, Upper);
  Place(ScrollBar1.Handle(), FPanel2Width - Bar, 0, Bar, Upper);
  Place(TreeView1.Handle(), FPanel2Width + Gap, 0, Width - FPanel2Width - Gap, Upper);
  const int Margin = Scale(4, FDpi);
  const int PaneTop = HexTop + Scale(16, FDpi);
  const int PaneHeight = HexHeight - Scale(18, FDpi);
  Place(lbPacket, Margin, HexTop + Scale(1, FDpi), Scale(200, FDpi), Scale(14, FDpi));
  Place(Memo1.Handle(), Margin, PaneTop, Width - 2 * Margin - Bar, PaneHeight);
  Place(ScrollBar2.Handle(), Width - Margin - Bar, PaneTop, Bar, PaneHeight);
  EndDeferWindowPos(Moves);
  // The splitters are the window's own background between the panes.
  InvalidateRect(FHandle, nullptr, TRUE);
  if (FShown && std::min(ListView1.FullyVisibleRows(), MaxFrameRows) != FFrames->VisibleRows()) FormResize();
}

TMainWindow::TSplitter TMainWindow::SplitterAt(int X, int Y) const {
  const int Upper = UpperHeight();
  const int Gap = Scale(SplitterGap, FDpi);
  if (Y >= Upper && Y < Upper + Gap) return TSplitter::HexPane;
  if (Y < Upper && X >= FPanel2Width && X < FPanel2Width + Gap) return TSplitter::Panes;
  return TSplitter::None;
}

// ------------------------------------------------------------------------------------------------
// Messages

LRESULT TMainWindow::HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
  switch (Message) {
    case WM_SIZE:
      Layout();  // the status bar's parts follow the new width there
      return 0;
    case WM_COMMAND:
      Command(LOWORD(WParam));
      return 0;
    case WM_NOTIFY:
      return Notify(reinterpret_cast<NMHDR*>(LParam));
    case WM_VSCROLL:
      if (reinterpret_cast<HWND>(LParam) == ScrollBar1.Handle())
        ScrollBar1Scroll(LOWORD(WParam));
      else if (reinterpret_cast<HWND>(LParam) == ScrollBar2.Handle())
        FHexView.Scroll(LOWORD(WParam));
      return 0;
    case WM_CONTEXTMENU:
      ContextMenu(reinterpret_cast<HWND>(WParam), LParam);
      return 0;
    case WM_TIMER:
      if (WParam == UpdateTimer) tmUpdateTimer();
      return 0;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(WParam) == FHandle && LOWORD(LParam) == HTCLIENT) {
        POINT At{};
        GetCursorPos(&At);
        ScreenToClient(FHandle, &At);
        const TSplitter Splitter = FDragging != TSplitter::None ? FDragging : SplitterAt(At.x, At.y);
        if (Splitter != TSplitter::None) {
          SetCursor(LoadCursorW(nullptr, Splitter == TSplitter::Panes ? IDC_SIZEWE : IDC_SIZENS));
          return TRUE;
        }
      }
      break;
    case WM_LBUTTONDOWN:
      FDragging = SplitterAt(GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam));
      if (FDragging != TSplitter::None) SetCapture(FHandle);
      return 0;
    case WM_MOUSEMOVE:
      if (FDragging == TSplitter::Panes) {
        FPanel2Width = GET_X_LPARAM(LParam) - Scale(SplitterGap, FDpi) / 2;
        Layout();
      } else if (FDragging == TSplitter::HexPane) {
        // The splitter's middle follows the mouse; the hex pane takes what lies below it.
        const int Gap = Scale(SplitterGap, FDpi);
        FHexPaneHeight = PanesHeight() - (GET_Y_LPARAM(LParam) - Gap / 2) - Gap;
        FHexPaneHeight = PanesHeight() - Gap - UpperHeight();
        Layout();
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (FDragging != TSplitter::None) {
        FDragging = TSplitter::None;
        if (Message == WM_LBUTTONUP) ReleaseCapture();
      }
      return 0;
    case WM_GETMINMAXINFO: {
      auto* Limits = reinterpret_cast<MINMAXINFO*>(LParam);
      if (FMinFrame.cx > 0) Limits->ptMinTrackSize = {FMinFrame.cx, FMinFrame.cy};
      return 0;
    }
    case WM_DPICHANGED: {
      const UINT Old = FDpi;
      FDpi = HIWORD(WParam);
      CreateFonts();
      for (HWND Control : {ListView1.Handle(), lbPacket, StatusBar1.Handle()})
        SendMessageW(Control, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Font()), TRUE);
      SendMessageW(TreeView1.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(FTreeFont.Font()), TRUE);
      for (int Column = 0; Column < ColumnCount; ++Column)
        ListView1.SetColumnWidth(Column, MulDiv(ListView1.ColumnWidth(Column), static_cast<int>(FDpi), static_cast<int>(Old)));
      FPanel2Width = MulDiv(FPanel2Width, static_cast<int>(FDpi), static_cast<int>(Old));
      FHexPaneHeight = MulDiv(FHexPaneHeight, static_cast<int>(FDpi), static_cast<int>(Old));
      FHexView.SetFont();
      MeasureMinimum();
      const auto* Suggested = reinterpret_cast<const RECT*>(LParam);
      SetWindowPos(FHandle, nullptr, Suggested->left, Suggested->top, Suggested->right - Suggested->left,
                   Suggested->bottom - Suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case OpenStartFileMessage:
      OpenFile(FStartFile);
      return 0;
    case WM_CLOSE:
      if (!FClosed) FormClose();
      DestroyWindow(FHandle);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return TWindow::HandleMessage(Message, WParam, LParam);
}

void TMainWindow::Command(int Id) {
  if (Id >= IDM_RECENTFILE && Id < IDM_RECENTFILE + static_cast<int>(TRecentFiles::MaxFiles)) {
    OpenRecentFile(static_cast<size_t>(Id - IDM_RECENTFILE));
    return;
  }
  switch (Id) {
    case IDM_OPEN: Open1Click(); break;
    case IDM_CLOSE: Close1Click(); break;
    case IDM_EXIT: PostMessageW(FHandle, WM_CLOSE, 0, 0); break;
    case IDM_GOTOOFFSET: GoToOffset1Click(); break;
    case IDM_HEXEDIT: HexEditSelectedFrame1Click(); break;
    case IDM_CHECKSTREAM: CheckStream1Click(); break;
    case IDM_STREAMOVERVIEW: StreamOverview1Click(); break;
    case IDM_CHECKFORUPDATES: CheckForUpdates1Click(); break;
    case IDM_ABOUT: About1Click(); break;
    case IDM_COPYLIST: Copy1Click(); break;
    case IDM_COPYTREE: Copy2Click(); break;
    default: break;
  }
}

LRESULT TMainWindow::Notify(NMHDR* Header) {
  if (Header->hwndFrom == ListView1.Handle()) {
    switch (Header->code) {
      case LVN_GETDISPINFOW:
        ListView1Data(reinterpret_cast<NMLVDISPINFOW*>(Header));
        return 0;
      case NM_CUSTOMDRAW:
        return ListView1CustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(Header));
      case LVN_ITEMCHANGED: {
        const auto* Change = reinterpret_cast<NMLISTVIEW*>(Header);
        if (Change->iItem >= 0 && (Change->uChanged & LVIF_STATE) != 0) {
          // The row reported before is painted again with its current state and shade.
          const int32_t Before = FFrames->ListView1Change(Change->iItem);
          if (Before >= 0 && Before < ListView1.RowCount()) ListView1.RedrawRows(Before, Before);
        }
        return 0;
      }
      default:
        return 0;
    }
  }
  if (Header->hwndFrom == TreeView1.Handle()) {
    switch (Header->code) {
      case NM_CUSTOMDRAW:
        return TreeView1CustomDraw(reinterpret_cast<NMTVCUSTOMDRAW*>(Header));
      case TVN_SELCHANGEDW:
        TreeView1Change();
        return 0;
      case TVN_GETDISPINFOW:
        TreeView1GetText(reinterpret_cast<NMTVDISPINFOW*>(Header));
        return 0;
      default:
        return 0;
    }
  }
  return 0;
}

// ------------------------------------------------------------------------------------------------
// File commands

bool TMainWindow::Ask(UINT Style, const std::u16string& Text) {
  const int Answer = MessageBoxW(FHandle, W(Text).c_str(), W(DisplayName).c_str(), Style);
  return Answer == IDYES || Answer == IDOK;
}

TFrameWindow::TAskCallback TMainWindow::OpenAnywayQuestion() {
  return [this](std::u16string_view Question) {
    return Ask(MB_ICONWARNING | MB_YESNO | MB_DEFBUTTON1, std::u16string(Question));
  };
}

TFrameWindow::TTellCallback TMainWindow::TellError() {
  return [this](std::u16string_view Message) { Ask(MB_ICONERROR | MB_OK, std::u16string(Message)); };
}

bool TMainWindow::OpenFile(const std::filesystem::path& FileName) {
  const TStep Step{*this};
  TBusyCursor Busy;
  const int32_t LoadsBefore = FFrames->HexPane().LoadCount;
  const bool Opened = FFrames->OpenConfirmed(FileName, OpenAnywayQuestion(), TellError());
  if (FFrames->HexPane().LoadCount != LoadsBefore) AfterLoad();
  return Opened;
}

void TMainWindow::Open1Click() {
  GuardedCall(u"TForm1.Open1Click", [&] {
    std::wstring Chosen(32768, L'\0');
    const std::wstring Filter = OpenDialogFilter();
    OPENFILENAMEW Dialog{};
    Dialog.lStructSize = sizeof Dialog;
    Dialog.hwndOwner = FHandle;
    Dialog.lpstrFilter = Filter.c_str();
    Dialog.nFilterIndex = 1;
    Dialog.lpstrFile = Chosen.data();
    Dialog.nMaxFile = static_cast<DWORD>(Chosen.size());
    Dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&Dialog)) return;
    Chosen.resize(wcslen(Chosen.c_str()));
    const TStep Step{*this};
    TBusyCursor Busy;
    const int32_t LoadsBefore = FFrames->HexPane().LoadCount;
    FFrames->OpenChosenFile(std::filesystem::path(Chosen), OpenAnywayQuestion(), TellError());
    if (FFrames->HexPane().LoadCount != LoadsBefore) AfterLoad();
  });
}

void TMainWindow::OpenDroppedFiles(HDROP Drop) {
  GuardedCall(u"TForm1.WMDROPFILES", [&] {
    const TStep Step{*this};
    TBusyCursor Busy;
    std::vector<std::filesystem::path> Paths;
    const UINT Count = DragQueryFileW(Drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT Index = 0; Index < Count; ++Index) {
      const UINT Length = DragQueryFileW(Drop, Index, nullptr, 0);
      std::wstring Path(Length + 1, L'\0');
      DragQueryFileW(Drop, Index, Path.data(), Length + 1);
      Path.resize(Length);
      Paths.emplace_back(Path);
    }
    FFrames->OpenDroppedFiles(Paths, OpenAnywayQuestion(), TellError());
    // Each dropped file closes the one before, so the views follow whatever is open now.
    AfterLoad();
  });
  DragFinish(Drop);
}

void TMainWindow::OpenRecentFile(size_t Index) {
  const TRecentFiles::TChoice Choice = FRecentFiles.Choose(Index);
  if (!Choice.File) {
    RebuildRecentMenu();
    if (!Choice.Message.empty()) Ask(MB_ICONINFORMATION | MB_OK, Choice.Message);
    return;
  }
  OpenFile(*Choice.File);
}

void TMainWindow::RebuildRecentMenu() {
  while (GetMenuItemCount(FRecentMenu) > 0) DeleteMenu(FRecentMenu, 0, MF_BYPOSITION);
  const size_t Count = FRecentFiles.Files().size();
  for (size_t Index = 0; Index < Count; ++Index)
    AppendMenuW(FRecentMenu, MF_STRING, static_cast<UINT_PTR>(IDM_RECENTFILE + static_cast<int>(Index)),
                W(FRecentFiles.MenuText(Index)).c_str());
  EnableMenuItem(GetSubMenu(GetMenu(FHandle), 0), 1, MF_BYPOSITION | (Count > 0 ? MF_ENABLED : MF_GRAYED));
}

void TMainWindow::TellCheckWindowWhetherOpen() {
  if (FCheckWindow) FCheckWindow->SetFileOpen(FFrames->IsOpen() && FCheckWindow->File() == FFrames->FileName());
}

void TMainWindow::AfterLoad() {
  if (FFrames->IsOpen()) {
    FRecentFiles.Add(FFrames->FileName());
    RebuildRecentMenu();
  }
  TellCheckWindowWhetherOpen();
  // What was gathered of the file before may no longer hold.
  if (FOverviewWindow) FOverviewWindow->Clear();
  RefreshCaption();
  // A load selects the first row and gives the list the focus.
  ShowFrameList(FFrames->ListRowCount() > 0 ? 0 : -1);
  if (FFrames->ListRowCount() > 0) SetFocus(ListView1.Handle());
  ShowDetail();
  ShowHexPane();
}

void TMainWindow::Close1Click() {
  GuardedCall(u"TForm1.Close1Click", [&] {
    FFrames->UnloadFile();
    AfterLoad();
  });
}

void TMainWindow::GoToOffset1Click() {
  if (!FFrames->IsOpen()) {
    Ask(MB_ICONERROR | MB_OK, u"There is no file loaded.");
    return;
  }
  // The question starts with the value typed last.
  std::u16string Typed = FGoToOffset.LastText();
  if (!AskOffset(FHandle, Typed)) return;
  const TGoToOffset::TAnswer Answer = FGoToOffset.Read(Typed);
  if (!Answer.Offset) {
    Ask(MB_ICONERROR | MB_OK, Answer.Error);
    return;
  }
  TGoToResult Result;
  {
    const TStep Step{*this};
    TBusyCursor Busy;
    Result = FFrames->GoToOffset(*Answer.Offset);
  }
  if (Result == TGoToResult::PastEnd) {
    Ask(MB_ICONERROR | MB_OK, PastEndText(*Answer.Offset, FFrames->FileSize()));
    return;
  }
  ShowMovedWindow();
}

void TMainWindow::ShowMovedWindow() {
  ShowFrameList(FFrames->ListRowCount() > 0 ? 0 : -1);
  SetFocus(ListView1.Handle());
  ShowDetail();
  ShowHexPane();
}

void TMainWindow::HexEditSelectedFrame1Click() {
  GuardedCall(u"TForm1.HexEditSelectedFrame1Click", [&] {
    const TStep Step{*this};
    std::unique_ptr<TFileStream> Stream;
    const std::filesystem::path FileName = FFrames->FileName();
    if (!FileName.empty() && FileExists(FileName)) {
      Stream = std::make_unique<TFileStream>();
      if (!Stream->Open(FileName, TFileStream::TMode::ReadWrite)) {
        Ask(MB_OK, u"File is locked for writing by another application.");
        return;
      }
    }
    if (!Stream) {
      Ask(MB_ICONERROR | MB_OK, u"There is no file loaded.");
      return;
    }
    const int Row = ListView1.SelectedRow();
    if (Row < 0) {
      Ask(MB_ICONERROR | MB_OK, u"There is no frame selected.");
      return;
    }
    int64_t Offset = 0;
    int64_t Size = 0;
    if (!FFrames->RowFrameRange(Row, Offset, Size)) return;
    if (!EditFile(FHandle, Stream.get(), TFrameWindow::HexEditCaptionSuffix(Offset), true, Offset, Size)) return;
    if (!Ask(MB_ICONQUESTION | MB_YESNO, u"Do you want to reload the file with the new changes?")) return;
    TBusyCursor Busy;
    FFrames->UnloadFile();
    FFrames->LoadFile(FileName, false);
    AfterLoad();
    // The read-write stream goes last, after the reload.
  });
}

void TMainWindow::CheckStream1Click() {
  if (!FFrames->IsOpen()) {
    Ask(MB_ICONERROR | MB_OK, u"There is no file loaded.");
    return;
  }
  TCheckReport Report(FFrames->FileName(), FFrames->EAC3());
  TStreamSummary Summary;
  std::string Error;
  const TCheckEnd End = RunStreamCheck(
      FHandle, Report.File(), Report.EAC3(), [&Report](const TStreamFinding& Finding) { return Report.Add(Finding), true; },
      Summary, Error);
  if (!WalkCompleted(End, u"The stream check was cancelled.", u"The stream could not be checked: ", Error)) return;
  Report.SetSummary(Summary);
  if (!FCheckWindow) {
    FCheckWindow = std::make_unique<TStreamCheckWindow>();
    FCheckWindow->OnActivated = [this](int64_t Offset) { ShowCheckedFinding(Offset); };
  }
  FCheckWindow->Show(FHandle, std::move(Report));
}

void TMainWindow::StreamOverview1Click() {
  if (!FFrames->IsOpen()) {
    Ask(MB_ICONERROR | MB_OK, u"There is no file loaded.");
    return;
  }
  if (!FOverviewWindow) {
    FOverviewWindow = std::make_unique<TStreamOverviewWindow>();
    FOverviewWindow->OnActivated = [this](int64_t Offset) { ShowOverviewFrame(Offset); };
  }
  std::string Error;
  const TCheckEnd End = FOverviewWindow->Collect(FHandle, FFrames->FileName(), FFrames->EAC3(), Error);
  if (!WalkCompleted(End, u"The stream overview was cancelled.", u"The stream could not be read: ", Error)) return;
  FOverviewWindow->Show(FHandle);
}

void TMainWindow::ShowOverviewFrame(int64_t Offset) {
  // A question or dialog of the main window is still open.
  if (!IsWindowEnabled(FHandle) || !FFrames->IsOpen()) return;
  GoToFrameInFront(Offset);
}

void TMainWindow::GoToFrameInFront(int64_t Offset) {
  {
    const TStep Step{*this};
    TBusyCursor Busy;
    if (FFrames->GoToOffset(Offset) != TGoToResult::Moved) return;
  }
  ShowMovedWindow();
  // The main window comes in front of the window clicked in, with the list and the tree.
  SetForegroundWindow(FHandle);
  SetFocus(ListView1.Handle());
}

bool TMainWindow::WalkCompleted(TCheckEnd End, std::u16string_view Cancelled, std::u16string_view Failed,
                                const std::string& Error) {
  if (End == TCheckEnd::Cancelled) ShowMessage(std::u16string(Cancelled));
  if (End == TCheckEnd::Failed) Ask(MB_ICONERROR | MB_OK, std::u16string(Failed) + FromUtf8(Error));
  return End == TCheckEnd::Completed;
}

void TMainWindow::ShowCheckedFinding(int64_t Offset) {
  // A question or dialog of the main window is still open.
  if (!IsWindowEnabled(FHandle)) return;
  if (!FCheckWindow || !FFrames->IsOpen() || FCheckWindow->File() != FFrames->FileName()) {
    Ask(MB_ICONERROR | MB_OK, u"The checked file is no longer open.");
    return;
  }
  GoToFrameInFront(Offset);
}

void TMainWindow::Copy1Click() { CopyTextToClipboard(FHandle, FFrames->ListText(LineEnd)); }

void TMainWindow::Copy2Click() { CopyTextToClipboard(FHandle, FFrames->TreeText(LineEnd)); }

void TMainWindow::CopySelectedRows() {
  std::vector<int32_t> Rows;
  if (const int Selected = ListView1.SelectedRow(); Selected >= 0) Rows.push_back(Selected);
  CopyTextToClipboard(FHandle, FFrames->ListText(LineEnd, Rows));
}

void TMainWindow::CopySelectedNode() {
  const LPARAM Node = TreeView1.SelectedData();
  CopyTextToClipboard(FHandle, Node >= 0 ? FFrames->TreeText(LineEnd, static_cast<TTreeModel::TNodeId>(Node))
                                         : FFrames->TreeText(LineEnd));
}

void TMainWindow::CheckForUpdates1Click() {
  FCheckForUpdates = !FCheckForUpdates;
  CheckMenuItem(GetMenu(FHandle), IDM_CHECKFORUPDATES, FCheckForUpdates ? MF_CHECKED : MF_UNCHECKED);
  // The timer polls only while the check is wanted; a check that already ended is not repeated.
  if (!FCheckForUpdates)
    KillTimer(FHandle, UpdateTimer);
  else if (FShown && !FClosed && !FUpdateDone)
    SetTimer(FHandle, UpdateTimer, UpdateTimerMs, nullptr);
}

void TMainWindow::About1Click() { ShowAbout(FHandle, DisplayName, AboutNoticeYear); }

void TMainWindow::tmUpdateTimer() {
  GuardedCall(u"TForm1.tmUpdateTimer", [&] {
    if (!FUpdateCheck) {
      FUpdateCheck = std::make_unique<TUpdateCheckThread>();
      FUpdateCheck->Start(UpdateCheckFolder(ExecutableName()));
    }
    bool NeedToUpdate = false;
    if (FUpdateCheck->Poll(NeedToUpdate)) {
      KillTimer(FHandle, UpdateTimer);
      FUpdateCheck->Stop(UpdateCheckStopLimit);
      FUpdateDone = true;
      if (NeedToUpdate) ShowMessage(std::u16string(UpdateAvailableText));
    }
  });
}

// ------------------------------------------------------------------------------------------------
// The frame list: keys, mouse, scroll bar, drops, resize

bool TMainWindow::ListView1Message(UINT Message, WPARAM WParam, LPARAM LParam, LRESULT& Result) {
  switch (Message) {
    case WM_KEYDOWN:
      if (WParam == 'C' && GetKeyState(VK_CONTROL) < 0) {
        CopySelectedRows();
        Result = 0;
        return true;
      }
      if (!ListView1KeyDown(WParam)) return false;
      Result = 0;
      return true;
    case WM_KEYUP:
      Result = ControlProc(ListView1.Handle(), Message, WParam, LParam);
      ListView1KeyUp();
      return true;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      // The list selects the row under the mouse first.
      Result = ControlProc(ListView1.Handle(), Message, WParam, LParam);
      ListView1MouseDown();
      return true;
    case WM_DROPFILES:
      OpenDroppedFiles(reinterpret_cast<HDROP>(WParam));
      Result = 0;
      return true;
    default:
      return false;
  }
}

bool TMainWindow::ListView1KeyDown(WPARAM Key) {
  if (!IsNavigationKey(Key)) return false;
  const int Selected = ListView1.SelectedRow();
  // Without a selected row the list moves its own focus.
  if (Selected < 0) return false;
  return GuardedCall(u"TForm1.ListView1KeyDown", [&] {
    const TStep Step{*this};
    std::optional<TBusyCursor> Busy;
    if (Key == KeyHome || Key == KeyEnd) Busy.emplace();
    const TNavResult Nav = FFrames->ListView1KeyDown(static_cast<int32_t>(Key), Selected);
    ShowFrameList(Nav.SelectedRow, Nav.Refilled);
    if (Nav.SelectedRow >= 0) ListView_EnsureVisible(ListView1.Handle(), Nav.SelectedRow, FALSE);
    return true;
  });
}

void TMainWindow::ListView1KeyUp() {
  GuardedCall(u"TForm1.ListView1KeyUp", [&] {
    const TStep Step{*this};
    // A release that moved nothing (Ctrl after a Ctrl+wheel over the hex pane) leaves the tree
    // and the hex pane where they are.
    if (!FFrames->ListView1KeyUp(ListView1.SelectedRow())) return;
    ShowDetail();
    ShowHexPane();
  });
}

void TMainWindow::ListView1MouseDown() {
  GuardedCall(u"TForm1.ListView1MouseDown", [&] {
    const TStep Step{*this};
    const int Selected = ListView1.SelectedRow();
    if (Selected < 0) return;
    TBusyCursor Busy;
    FFrames->ShowRow(Selected);
    ShowDetail();
    ShowHexPane();
  });
}

void TMainWindow::ScrollBar1Scroll(int Code) {
  // Each click on an arrow or a page area, and each release of the thumb, is one navigation
  // step from the place the window was left at; a dragged thumb is followed live.
  const int Last = FFrames->ScrollLastPosition();
  const int Max = FFrames->ScrollMax();
  int Position = Last;
  switch (Code) {
    case SB_LINEUP: Position = Last - 1; break;
    case SB_LINEDOWN: Position = Last + 1; break;
    case SB_PAGEUP: Position = Last - ScrollPageStep; break;
    case SB_PAGEDOWN: Position = Last + ScrollPageStep; break;
    case SB_TOP: Position = 0; break;
    case SB_BOTTOM: Position = Max; break;
    case SB_THUMBTRACK:
      TrackListThumb(ScrollBar1.TrackPosition());
      return;
    case SB_THUMBPOSITION: Position = ScrollBar1.TrackPosition(); break;
    default: return;
  }
  MyScrollMouseDown(std::clamp(Position, 0, std::max(Max, 0)));
}

void TMainWindow::TrackListThumb(int Position) {
  // The thumb stays where the user holds it and the list follows it. The bar reports each
  // mouse move while it holds the mouse; moves are merged while a step runs, so a step is never
  // queued behind the mouse.
  GuardedCall(u"TForm1.TrackListThumb", [&] {
    const TStep Step{*this};
    ScrollBar1.SetPosition(Position);
    ListView1.SelectRow(-1);
    if (FFrames->TrackThumb(Position)) {
      RefillList();
      UpdateWindow(ListView1.Handle());
    }
    ShowStatus();
  });
}

void TMainWindow::MyScrollMouseDown(int Position) {
  GuardedCall(u"TForm1.MyScrollMouseDown", [&] {
    const TStep Step{*this};
    TBusyCursor Busy;
    ScrollBar1.SetPosition(Position);
    ListView1.SelectRow(-1);
    const TNavResult Nav = FFrames->MyScrollMouseDown(Position);
    ShowFrameList(-1, Nav.Refilled);
  });
}

void TMainWindow::FormResize() {
  GuardedCall(u"TForm1.FormResize", [&] {
    const TStep Step{*this};
    const int Selected = ListView1.SelectedRow();
    FFrames->FormResize(std::min(ListView1.FullyVisibleRows(), MaxFrameRows));
    ShowFrameList(Selected);
  });
}

void TMainWindow::ListView1Data(NMLVDISPINFOW* Info) {
  GuardedCall(u"TForm1.ListView1Data", [&] {
    if ((Info->item.mask & LVIF_TEXT) == 0 || Info->item.cchTextMax <= 0) return;
    const TRowTexts Texts = FFrames->ListView1Data(Info->item.iItem);
    const int Column = Info->item.iSubItem;
    const std::wstring Text = Column >= 0 && Column < 5 ? W(Texts[static_cast<size_t>(Column)]) : L"";
    lstrcpynW(Info->item.pszText, Text.c_str(), Info->item.cchTextMax);
  });
}

LRESULT TMainWindow::ListView1CustomDraw(NMLVCUSTOMDRAW* Draw) {
  switch (Draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
      const auto Row = static_cast<int32_t>(Draw->nmcd.dwItemSpec);
      const bool Selected = ListView_GetItemState(ListView1.Handle(), Row, LVIS_SELECTED) != 0;
      if (!Selected && FFrames->RowShaded(Row)) Draw->clrTextBk = ShadedRow;
      return CDRF_DODEFAULT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

void TMainWindow::ContextMenu(HWND Control, LPARAM At) {
  HMENU Menu = Control == ListView1.Handle() ? FListMenu : Control == TreeView1.Handle() ? FTreeMenu : nullptr;
  if (!Menu) return;
  POINT Where{GET_X_LPARAM(At), GET_Y_LPARAM(At)};
  if (At == -1) {
    // From the keyboard: at the control's top left corner.
    Where = {0, 0};
    ClientToScreen(Control, &Where);
  }
  TrackPopupMenu(GetSubMenu(Menu, 0), TPM_LEFTALIGN | TPM_RIGHTBUTTON, Where.x, Where.y, 0, FHandle, nullptr);
}

// ------------------------------------------------------------------------------------------------
// The tree

LRESULT TMainWindow::TreeView1CustomDraw(NMTVCUSTOMDRAW* Draw) {
  switch (Draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
      const auto Node = static_cast<TTreeModel::TNodeId>(Draw->nmcd.lItemlParam);
      if (Node < 0 || Node >= static_cast<int32_t>(FSiblingIndex.size())) return CDRF_DODEFAULT;
      const bool Selected = (Draw->nmcd.uItemState & CDIS_SELECTED) != 0;
      if (TFrameWindow::TreeNodeShaded(FSiblingIndex[static_cast<size_t>(Node)], Selected))
        Draw->clrTextBk = ShadedNode;
      if (TFrameWindow::TreeNodeBold(FFrames->Tree().Node(Node).Text)) {
        SelectObject(Draw->nmcd.hdc, FTreeBoldFont.Font());
        return CDRF_NEWFONT;
      }
      return CDRF_DODEFAULT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

void TMainWindow::TreeView1GetText(NMTVDISPINFOW* Info) const {
  if ((Info->item.mask & TVIF_TEXT) == 0 || Info->item.cchTextMax <= 0) return;
  const LPARAM Node = Info->item.lParam;
  const std::wstring Text =
      Node >= 0 && Node < static_cast<LPARAM>(FTreeTexts.size()) ? FTreeTexts[static_cast<size_t>(Node)] : L"";
  lstrcpynW(Info->item.pszText, Text.c_str(), Info->item.cchTextMax);
}

void TMainWindow::TreeView1Change() {
  const LPARAM Node = TreeView1.SelectedData();
  if (Node < 0) return;
  // The element's bytes are marked inside the frame's highlight, as far as the pane shows them.
  FFrames->SelectTreeNode(static_cast<TTreeModel::TNodeId>(Node));
  const THexPaneState& Pane = FFrames->HexPane();
  if (Pane.Exists && !Pane.Blank) FHexView.SetFieldSelection(Pane.FieldStart, Pane.FieldLength, true);
}

// ------------------------------------------------------------------------------------------------
// Showing the frame window's state

int TMainWindow::ShownRowsShift(const std::vector<TShownRow>& Now) const {
  // The smallest move that puts every row still in view where it was: each row then shows the
  // same frame, in the same shade, as the row it came from.
  const int Count = static_cast<int>(Now.size());
  if (Count != static_cast<int>(FShownRows.size()) || Count < 2) return 0;
  for (int Distance = 1; Distance <= Count / 2; ++Distance)
    for (const int Shift : {Distance, -Distance}) {
      bool Same = true;
      for (int Row = std::max(0, -Shift); Same && Row < std::min(Count, Count - Shift); ++Row)
        Same = Now[static_cast<size_t>(Row)] == FShownRows[static_cast<size_t>(Row + Shift)];
      if (Same) return Shift;
    }
  return 0;
}

void TMainWindow::RefillList() {
  const int Count = FFrames->ListRowCount();
  std::vector<TShownRow> Now(static_cast<size_t>(Count));
  for (int Row = 0; Row < Count; ++Row)
    Now[static_cast<size_t>(Row)] = {Row < FFrames->AC3FramesCount() ? FFrames->FrameOffset(Row) : -1,
                                     FFrames->RowShaded(Row)};
  if (const int Shift = ShownRowsShift(Now); Shift != 0) {
    // A step of a row or a few: the rows still in view are moved, only those that come into
    // view are drawn, and the selection is drawn again where it was moved to.
    const int Before = ListView1.SelectedRow();
    ListView1.ScrollRows(Shift);
    if (Before - Shift >= 0 && Before - Shift < Count) ListView1.RedrawRows(Before - Shift, Before - Shift);
  } else {
    ListView1.SetRowCount(Count);
  }
  FShownRows = std::move(Now);
}

void TMainWindow::ShowFrameList(int SelectedRow, bool Refilled) {
  if (Refilled) RefillList();
  ListView1.SelectRow(SelectedRow);
  if (ScrollBar1.Max() != FFrames->ScrollMax()) ScrollBar1.SetRange(0, FFrames->ScrollMax());
  // The bar is painted with the list, not on its own first.
  if (ScrollBar1.Position() != FFrames->ScrollPosition()) ScrollBar1.MovePosition(FFrames->ScrollPosition());
  if (Refilled) UpdateWindow(ListView1.Handle());
  ShowStatus();
}

void TMainWindow::ShowDetail() {
  const TTreeModel& Tree = FFrames->Tree();
  std::vector<TTreeModel::TNodeId> Shape(static_cast<size_t>(Tree.Count()));
  for (TTreeModel::TNodeId Node = 0; Node < Tree.Count(); ++Node) Shape[static_cast<size_t>(Node)] = Tree.Node(Node).Parent;
  std::vector<std::wstring> Texts(static_cast<size_t>(Tree.Count()));
  for (TTreeModel::TNodeId Node = 0; Node < Tree.Count(); ++Node) Texts[static_cast<size_t>(Node)] = W(Tree.Node(Node).Text);
  if (Shape == FTreeShape && FTreeItems.size() == Shape.size()) {
    const std::vector<std::wstring> Before = std::move(FTreeTexts);
    // The next frame of a stream has the same nodes as the one before: the nodes keep their
    // place, expansion and selection, and only the rows whose texts changed are drawn again.
    // The texts stay with the tree view's owner: a text set in the control makes it lay its
    // scroll bars out and paint them at once, with every changed node.
    FTreeTexts = std::move(Texts);
    for (size_t Node = 0; Node < FTreeTexts.size(); ++Node) {
      if (Node < Before.size() && FTreeTexts[Node] == Before[Node]) continue;
      RECT Row;
      if (!TreeView_GetItemRect(TreeView1.Handle(), FTreeItems[Node], &Row, FALSE)) continue;
      // The node is measured again (its text is still asked of the owner), so that the tree
      // scrolls sideways as far as its longest text.
      TVITEMW Item{};
      Item.mask = TVIF_TEXT;
      Item.hItem = FTreeItems[Node];
      Item.pszText = LPSTR_TEXTCALLBACKW;
      TreeView_SetItem(TreeView1.Handle(), &Item);
      InvalidateRect(TreeView1.Handle(), &Row, TRUE);
    }
    ShowStatus();
    return;
  }
  SendMessageW(TreeView1.Handle(), WM_SETREDRAW, FALSE, 0);
  TreeView1.Clear();
  FTreeShape = std::move(Shape);
  FTreeTexts = std::move(Texts);
  FSiblingIndex.assign(static_cast<size_t>(Tree.Count()), 0);
  FTreeItems.assign(static_cast<size_t>(Tree.Count()), nullptr);
  // Parents come before their children in node order.
  const auto AddChildren = [&](HTREEITEM Parent, const std::vector<TTreeModel::TNodeId>& Children) {
    for (size_t Place = 0; Place < Children.size(); ++Place) {
      const TTreeModel::TNodeId Node = Children[Place];
      FSiblingIndex[static_cast<size_t>(Node)] = static_cast<int32_t>(Place);
      FTreeItems[static_cast<size_t>(Node)] = TreeView1.Add(Parent, Node);
    }
  };
  AddChildren(TVI_ROOT, Tree.Roots());
  for (TTreeModel::TNodeId Node = 0; Node < Tree.Count(); ++Node)
    AddChildren(FTreeItems[static_cast<size_t>(Node)], Tree.Node(Node).Children);
  for (TTreeModel::TNodeId Node = 0; Node < Tree.Count(); ++Node)
    if (Tree.Node(Node).Expanded) TreeView1.Expand(FTreeItems[static_cast<size_t>(Node)]);
  SendMessageW(TreeView1.Handle(), WM_SETREDRAW, TRUE, 0);
  InvalidateRect(TreeView1.Handle(), nullptr, TRUE);
  ShowStatus();
}

void TMainWindow::ShowHexPane() {
  const THexPaneState& Pane = FFrames->HexPane();
  if (Pane.LoadCount != FHexLoadCount) {
    // Every load starts the pane over on the new file, from offset 0.
    FHexLoadCount = Pane.LoadCount;
    FHexView.SetSelection(0, 0);
    FHexView.SetFieldSelection(0, 0, false);
    FHexView.OpenFile(Pane.FileName);
    if (Pane.Blank) FHexView.Clear();
    return;
  }
  if (Pane.Blank) {
    FHexView.Clear();
    return;
  }
  FHexView.ShowFrame(Pane.TopOffset, Pane.SelStart, Pane.SelLength, Pane.FieldStart, Pane.FieldLength);
}

void TMainWindow::ShowStatus() {
  // The bar sets again only what changed: each setting repaints it.
  StatusBar1.SetParts({FMessage, FFrames->PackCrcText(), FFrames->StatusText()});
}

void TMainWindow::ShowMessage(const std::u16string& Text) {
  FMessage = Text;
  ShowStatus();
}

}  // namespace corvane::win32
