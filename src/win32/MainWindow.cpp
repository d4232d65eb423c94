#include "win32/MainWindow.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <array>
#include <cwchar>

#include "core/FileStream.h"
#include "core/ODSUtls.h"
#include "core/StringUtils.h"
#include "viewer/FrameRowText.h"
#include "viewer/SettingNames.h"
#include "win32/CheckStream.h"
#include "win32/GoToOffsetDialog.h"
#include "win32/HexEditDialog.h"
#include "win32/MessageLoop.h"
#include "win32/ProductWindows.h"
#include "win32/resource.h"

namespace corvane::win32 {
namespace {

// Design sizes of the window and its panes, in pixels at 96 per inch. Seam: the window's design
// place and size come with the placement rules once the viewer core holds them for both windows.
constexpr int DesignLeft = 111;
constexpr int DesignTop = 77;
constexpr int DesignClientWidth = 1145;
constexpr int DesignClientHeight = 653;
constexpr int Panel2DesignWidth = 513;
constexpr int HexPanelHeight = 210;
constexpr int SplitterWidth = 4;
constexpr int MinPaneWidth = 60;
constexpr int TreeIndent = 19;
constexpr UINT_PTR UpdateTimer = 1;
constexpr UINT UpdateTimerMs = 10;
// Posted once the window is on screen: the file named on the command line is opened then, so
// that the open-anyway question has the window as its owner.
constexpr UINT OpenStartFileMessage = WM_APP + 1;
// How long closing the window waits for a running update check before it lets it go.
constexpr std::chrono::milliseconds UpdateStopLimit{100};

constexpr COLORREF ShadedRow = RGB(240, 240, 240);
constexpr COLORREF ShadedNode = RGB(246, 246, 246);

constexpr std::u16string_view LineEnd = u"\r\n";

const wchar_t OpenDialogFilter[] =
    L"AC3/EAC3 ES Files (*.ac3; *.eac3)\0*.ac3;*.eac3\0AC3 ES Files (*.ac3)\0*.ac3\0"
    L"EAC3 ES Files (*.eac3)\0*.eac3\0All Files (*.*)\0*.*\0";

std::u16string TrimBlanks(const std::u16string& Text) {
  const size_t First = Text.find_first_not_of(u" \t");
  if (First == std::u16string::npos) return u"";
  return Text.substr(First, Text.find_last_not_of(u" \t") - First + 1);
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

std::u16string ExecutableFolder() {
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
  const size_t Slash = Name.find_last_of(L"\\/");
  return U(Slash == std::wstring::npos ? L".\\" : Name.substr(0, Slash + 1));
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
  // The design client area at the resolution of the monitor the window opens on.
  FDpi = WindowDpi(nullptr);
  RECT Frame{0, 0, Scale(DesignClientWidth, FDpi), Scale(DesignClientHeight, FDpi)};
  AdjustWindowRectEx(&Frame, WS_OVERLAPPEDWINDOW, TRUE, 0);
  if (!CreateWindowOf(L"CorvaneMainWindow", 0, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                      W(DisplayName), DesignLeft, DesignTop, Frame.right - Frame.left, Frame.bottom - Frame.top,
                      nullptr))
    return false;
  // Seam: the recent files of the File menu are added here from the viewer core's list, once it
  // keeps one for both windows.
  SetMenu(FHandle, Menu);
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

void TMainWindow::CreateComponents() {
  const auto Font = reinterpret_cast<WPARAM>(FFont.Font());
  ListView1.Create(FHandle, IDC_LISTVIEW1, LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
                   LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  SendMessageW(ListView1.Handle(), WM_SETFONT, Font, FALSE);
  // The design widths were chosen for a small dialog font; with a larger one a column grows until
  // its widest text and its header fit, and the left pane with the columns.
  int Columns = 0;
  for (const TFrameListColumn& Column : FrameListColumns) {
    const auto Measure = [this](std::u16string_view Text) {
      return static_cast<int>(SendMessageW(ListView1.Handle(), LVM_GETSTRINGWIDTHW, 0,
                                           reinterpret_cast<LPARAM>(W(Text).c_str())));
    };
    const int Width = std::max(Scale(Column.DesignWidth, FDpi),
                               std::max(Measure(Column.Widest), Measure(Column.Header)) + Scale(16, FDpi));
    ListView1.AddColumn(W(Column.Header), Width);
    Columns += Width;
  }
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
    Copy2Click();
    Result = 0;
    return true;
  };
  Subclass(TreeView1.Handle(), &FTreeHandler);
  FPanel2Width = std::max(Scale(Panel2DesignWidth, FDpi),
                          Columns + GetSystemMetrics(SM_CXVSCROLL) + 2 * GetSystemMetrics(SM_CXEDGE));
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
  });
  // The update check never holds up the close: a download still running is ended, and a worker
  // that does not end at once is let go.
  KillTimer(FHandle, UpdateTimer);
  if (FUpdateCheck) FUpdateCheck->Stop(UpdateStopLimit);
  FreeSplash();
}

void TMainWindow::RefreshCaption() {
  GuardedCall(u"TForm1.RefreshCaption", [&] { SetWindowTextW(FHandle, W(FFrames->Caption()).c_str()); });
}

// ------------------------------------------------------------------------------------------------
// Settings: twelve REG_DWORD values, read once at show and written once at close

void TMainWindow::LoadRegistrySettings() {
  GuardedCall(u"TForm1.LoadRegistrySettings", [&] {
    HKEY Key = nullptr;
    WINDOWPLACEMENT Placement{};
    Placement.length = sizeof Placement;
    GetWindowPlacement(FHandle, &Placement);
    Placement.showCmd = SW_SHOWNORMAL;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingsRegistryKey, 0, KEY_READ, &Key) == ERROR_SUCCESS) {
      // Each value is applied alone; one that is missing or not a DWORD leaves its setting as it was.
      const auto Read = [Key](int Index, auto&& Apply) {
        DWORD Value = 0;
        DWORD Size = sizeof Value;
        const std::wstring Name = W(AsciiToU16(SettingNames[static_cast<size_t>(Index)]));
        if (RegGetValueW(Key, nullptr, Name.c_str(), RRF_RT_REG_DWORD, nullptr, &Value, &Size) == ERROR_SUCCESS)
          Apply(static_cast<int32_t>(Value));
      };
      RECT& Normal = Placement.rcNormalPosition;
      Read(SettingFormTop, [&](int32_t Top) { OffsetRect(&Normal, 0, Top - Normal.top); });
      Read(SettingFormLeft, [&](int32_t Left) { OffsetRect(&Normal, Left - Normal.left, 0); });
      Read(SettingFormHeight, [&](int32_t Height) { Normal.bottom = Normal.top + Height; });
      Read(SettingFormWidth, [&](int32_t Width) { Normal.right = Normal.left + Width; });
      for (int Column = 0; Column < 5; ++Column)
        Read(SettingOffsetColWidth + Column, [&](int32_t Width) { ListView1.SetColumnWidth(Column, Width); });
      Read(SettingPanel2Width, [&](int32_t Width) { FPanel2Width = Width; });
      // A number that names no window state is taken as normal.
      Read(SettingWindowState, [&](int32_t State) {
        Placement.showCmd = State == 1 ? SW_SHOWMINIMIZED : State == 2 ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
      });
      Read(SettingCheckForUpdates, [&](int32_t Check) { FCheckForUpdates = Check != 0; });
      RegCloseKey(Key);
    }
    // Seam: the placement rules the Linux window follows (the window kept on a screen that
    // exists, widths kept to a usable minimum) plug in here once they are in the viewer core.
    // Until then the system's placement keeps a window that would lie off every screen on one.
    SetWindowPlacement(FHandle, &Placement);
  });
}

void TMainWindow::SaveRegistrySettings() {
  HKEY Key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, SettingsRegistryKey, 0, nullptr, 0, KEY_WRITE, nullptr, &Key, nullptr) !=
      ERROR_SUCCESS)
    return;
  // The normal (not maximized or minimized) frame, so that a maximized window comes back
  // maximized over the place it had before.
  WINDOWPLACEMENT Placement{};
  Placement.length = sizeof Placement;
  GetWindowPlacement(FHandle, &Placement);
  const RECT& Normal = Placement.rcNormalPosition;
  const int32_t State = IsIconic(FHandle) ? 1 : IsZoomed(FHandle) ? 2 : 0;
  const std::array<int32_t, SettingCount> Values = {
      Normal.top,          Normal.left,         Normal.bottom - Normal.top, Normal.right - Normal.left,
      ListView1.ColumnWidth(0), ListView1.ColumnWidth(1), ListView1.ColumnWidth(2), ListView1.ColumnWidth(3),
      ListView1.ColumnWidth(4), FPanel2Width,       State,                      FCheckForUpdates ? 1 : 0};
  for (size_t Index = 0; Index < Values.size(); ++Index) {
    const DWORD Value = static_cast<DWORD>(Values[Index]);
    const std::wstring Name = W(AsciiToU16(SettingNames[Index]));
    // The first write that fails ends the save.
    if (RegSetValueExW(Key, Name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&Value), sizeof Value) !=
        ERROR_SUCCESS) {
      ReportCallFailure(u"TForm1.SaveRegistrySettings");
      break;
    }
  }
  RegCloseKey(Key);
}

// ------------------------------------------------------------------------------------------------
// Layout: the list and its bar on the left, the splitter, the tree, the hex pane below

void TMainWindow::Layout() {
  if (!ListView1.Handle()) return;
  StatusBar1.Resize();
  RECT Client{};
  GetClientRect(FHandle, &Client);
  const int Width = Client.right;
  const int Height = std::max<int>(Client.bottom - StatusBar1.Height(), 0);
  const int Bar = GetSystemMetrics(SM_CXVSCROLL) * static_cast<int>(FDpi) / static_cast<int>(WindowDpi(nullptr));
  const int HexHeight = std::min(Scale(HexPanelHeight, FDpi), Height);
  const int Upper = Height - HexHeight;
  const int Gap = Scale(SplitterWidth, FDpi);
  FPanel2Width = std::clamp(FPanel2Width, std::min(Scale(MinPaneWidth, FDpi), Width), std::max(Width - Gap, 0));

  HDWP Moves = BeginDeferWindowPos(7);
  const auto Place = [&Moves](HWND Control, int X, int Y, int W, int H) {
    Moves = DeferWindowPos(Moves, Control, nullptr, X, Y, std::max(W, 0), std::max(H, 0), SWP_NOZORDER | SWP_NOACTIVATE);
  };
  Place(ListView1.Handle(), 0, 0, FPanel2Width - Bar, Upper);
  Place(ScrollBar1.Handle(), FPanel2Width - Bar, 0, Bar, Upper);
  Place(TreeView1.Handle(), FPanel2Width + Gap, 0, Width - FPanel2Width - Gap, Upper);
  const int Margin = Scale(4, FDpi);
  const int Top = Upper + Scale(16, FDpi);
  const int PaneHeight = HexHeight - Scale(18, FDpi);
  Place(lbPacket, Margin, Upper + Scale(2, FDpi), Scale(200, FDpi), Scale(14, FDpi));
  Place(Memo1.Handle(), Margin, Top, Width - 2 * Margin - Bar, PaneHeight);
  Place(ScrollBar2.Handle(), Width - Margin - Bar, Top, Bar, PaneHeight);
  EndDeferWindowPos(Moves);
  if (FShown && std::min(ListView1.FullyVisibleRows(), MaxFrameRows) != FFrames->VisibleRows()) FormResize();
}

bool TMainWindow::SplitterHit(int X, int Y) const {
  RECT Client{};
  GetClientRect(FHandle, &Client);
  const int Upper = Client.bottom - StatusBar1.Height() - Scale(HexPanelHeight, FDpi);
  return Y < Upper && X >= FPanel2Width && X < FPanel2Width + Scale(SplitterWidth, FDpi);
}

// ------------------------------------------------------------------------------------------------
// Messages

LRESULT TMainWindow::HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
  switch (Message) {
    case WM_SIZE:
      Layout();
      // The status bar's parts follow the new width.
      FStatusParts.clear();
      ShowStatus();
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
        if (SplitterHit(At.x, At.y)) {
          SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
          return TRUE;
        }
      }
      break;
    case WM_LBUTTONDOWN:
      if (SplitterHit(GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam))) {
        FSplitterDragging = true;
        SetCapture(FHandle);
      }
      return 0;
    case WM_MOUSEMOVE:
      if (FSplitterDragging) {
        FPanel2Width = GET_X_LPARAM(LParam) - Scale(SplitterWidth, FDpi) / 2;
        Layout();
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (FSplitterDragging) {
        FSplitterDragging = false;
        if (Message == WM_LBUTTONUP) ReleaseCapture();
      }
      return 0;
    case WM_GETMINMAXINFO: {
      auto* Limits = reinterpret_cast<MINMAXINFO*>(LParam);
      Limits->ptMinTrackSize = {Scale(400, FDpi), Scale(360, FDpi)};
      return 0;
    }
    case WM_DPICHANGED: {
      const UINT Old = FDpi;
      FDpi = HIWORD(WParam);
      CreateFonts();
      for (HWND Control : {ListView1.Handle(), lbPacket, StatusBar1.Handle()})
        SendMessageW(Control, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Font()), TRUE);
      SendMessageW(TreeView1.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(FTreeFont.Font()), TRUE);
      for (int Column = 0; Column < 5; ++Column)
        ListView1.SetColumnWidth(Column, MulDiv(ListView1.ColumnWidth(Column), static_cast<int>(FDpi), static_cast<int>(Old)));
      FPanel2Width = MulDiv(FPanel2Width, static_cast<int>(FDpi), static_cast<int>(Old));
      FHexView.SetFont();
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
  switch (Id) {
    case IDM_OPEN: Open1Click(); break;
    case IDM_CLOSE: Close1Click(); break;
    case IDM_EXIT: PostMessageW(FHandle, WM_CLOSE, 0, 0); break;
    case IDM_GOTOOFFSET: GoToOffset1Click(); break;
    case IDM_HEXEDIT: HexEditSelectedFrame1Click(); break;
    case IDM_CHECKSTREAM: CheckStream1Click(); break;
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

bool TMainWindow::OpenFile(const std::filesystem::path& FileName) {
  const TStep Step{*this};
  TBusyCursor Busy;
  const int32_t LoadsBefore = FFrames->HexPane().LoadCount;
  const bool Opened = FFrames->OpenConfirmed(FileName, [this](std::u16string_view Question) {
    return Ask(MB_ICONWARNING | MB_YESNO | MB_DEFBUTTON1, std::u16string(Question));
  });
  if (FFrames->HexPane().LoadCount != LoadsBefore) AfterLoad();
  return Opened;
}

void TMainWindow::Open1Click() {
  GuardedCall(u"TForm1.Open1Click", [&] {
    std::wstring Chosen(32768, L'\0');
    OPENFILENAMEW Dialog{};
    Dialog.lStructSize = sizeof Dialog;
    Dialog.hwndOwner = FHandle;
    Dialog.lpstrFilter = OpenDialogFilter;
    Dialog.nFilterIndex = 1;
    Dialog.lpstrFile = Chosen.data();
    Dialog.nMaxFile = static_cast<DWORD>(Chosen.size());
    Dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&Dialog)) return;
    Chosen.resize(wcslen(Chosen.c_str()));
    const TStep Step{*this};
    TBusyCursor Busy;
    const int32_t LoadsBefore = FFrames->HexPane().LoadCount;
    FFrames->OpenChosenFile(std::filesystem::path(Chosen), [this](std::u16string_view Question) {
      return Ask(MB_ICONWARNING | MB_YESNO | MB_DEFBUTTON1, std::u16string(Question));
    });
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
    FFrames->OpenDroppedFiles(Paths, [this](std::u16string_view Question) {
      return Ask(MB_ICONWARNING | MB_YESNO | MB_DEFBUTTON1, std::u16string(Question));
    });
    // Each dropped file closes the one before, so the views follow whatever is open now.
    AfterLoad();
  });
  DragFinish(Drop);
}

void TMainWindow::AfterLoad() {
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
  // Seam: the value typed last is remembered by the viewer core once it keeps it; the dialog
  // then starts with it.
  std::u16string Typed;
  if (!AskOffset(FHandle, Typed)) return;
  const std::u16string Trimmed = TrimBlanks(Typed);
  const std::optional<int64_t> Offset = ParsePosition(Trimmed);
  if (!Offset) {
    Ask(MB_ICONERROR | MB_OK,
        u"\"" + Trimmed + u"\" is not a byte offset. Type a decimal number, or a hexadecimal one after 0x.");
    return;
  }
  TGoToResult Result;
  {
    const TStep Step{*this};
    TBusyCursor Busy;
    Result = FFrames->GoToOffset(*Offset);
  }
  if (Result == TGoToResult::PastEnd) {
    // Seam: numbers shown to the user take the viewer core's formatting once it has it.
    Ask(MB_ICONERROR | MB_OK, u"Offset " + IntToStr(*Offset) + u" is past the end of the file, which has " +
                                  IntToStr(FFrames->FileSize()) + u" bytes.");
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
  TCheckResult Result;
  const std::filesystem::path File = FFrames->FileName();
  if (!RunStreamCheck(FHandle, File, FFrames->EAC3(), Result)) {
    if (Result.End == TCheckEnd::Cancelled)
      ShowMessage(u"The stream check was cancelled.");
    else
      Ask(MB_ICONERROR | MB_OK, u"The stream could not be checked: " + FromUtf8(Result.Error));
    return;
  }
  if (!FCheckWindow) {
    FCheckWindow = std::make_unique<TStreamCheckWindow>();
    FCheckWindow->OnActivated = [this](int64_t Offset) { ShowCheckedFinding(Offset); };
  }
  FCheckWindow->Show(FHandle, File, Result);
}

void TMainWindow::ShowCheckedFinding(int64_t Offset) {
  if (!FCheckWindow || FCheckWindow->File() != FFrames->FileName()) {
    Ask(MB_ICONERROR | MB_OK, u"The checked file is no longer open.");
    return;
  }
  {
    const TStep Step{*this};
    TBusyCursor Busy;
    if (FFrames->GoToOffset(Offset) != TGoToResult::Moved) return;
  }
  ShowMovedWindow();
  SetForegroundWindow(FHandle);
}

void TMainWindow::Copy1Click() { CopyTextToClipboard(FHandle, FFrames->ListText(LineEnd)); }

void TMainWindow::Copy2Click() { CopyTextToClipboard(FHandle, FFrames->TreeText(LineEnd)); }

void TMainWindow::CheckForUpdates1Click() {
  FCheckForUpdates = !FCheckForUpdates;
  CheckMenuItem(GetMenu(FHandle), IDM_CHECKFORUPDATES, FCheckForUpdates ? MF_CHECKED : MF_UNCHECKED);
  // The timer polls only while the check is wanted; a check that already ended is not repeated.
  if (!FCheckForUpdates)
    KillTimer(FHandle, UpdateTimer);
  else if (FShown && !FClosed && !FUpdateDone)
    SetTimer(FHandle, UpdateTimer, UpdateTimerMs, nullptr);
}

void TMainWindow::About1Click() { ShowAbout(FHandle, DisplayName, u"2017"); }

void TMainWindow::tmUpdateTimer() {
  GuardedCall(u"TForm1.tmUpdateTimer", [&] {
    if (!FUpdateCheck) {
      FUpdateCheck = std::make_unique<TUpdateCheckThread>();
      FUpdateCheck->Start(ExecutableFolder());
    }
    bool NeedToUpdate = false;
    if (FUpdateCheck->Poll(NeedToUpdate)) {
      KillTimer(FHandle, UpdateTimer);
      FUpdateCheck->Stop(UpdateStopLimit);
      FUpdateDone = true;
      if (NeedToUpdate) ShowMessage(u"An update of Corvane is available.");
    }
  });
}

// ------------------------------------------------------------------------------------------------
// The frame list: keys, mouse, scroll bar, drops, resize

bool TMainWindow::ListView1Message(UINT Message, WPARAM WParam, LPARAM LParam, LRESULT& Result) {
  switch (Message) {
    case WM_KEYDOWN:
      if (WParam == 'C' && GetKeyState(VK_CONTROL) < 0) {
        Copy1Click();
        Result = 0;
        return true;
      }
      if (!ListView1KeyDown(WParam)) return false;
      Result = 0;
      return true;
    case WM_KEYUP:
      Result = DefSubclassProc(ListView1.Handle(), Message, WParam, LParam);
      ListView1KeyUp();
      return true;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      // The list selects the row under the mouse first.
      Result = DefSubclassProc(ListView1.Handle(), Message, WParam, LParam);
      ListView1KeyUp();
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
  // step from the place the window was left at.
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
      ScrollBar1.SetPosition(ScrollBar1.TrackPosition());
      return;
    case SB_THUMBPOSITION: Position = ScrollBar1.TrackPosition(); break;
    default: return;
  }
  MyScrollMouseDown(std::clamp(Position, 0, std::max(Max, 0)));
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

void TMainWindow::ShowFrameList(int SelectedRow, bool Refilled) {
  if (Refilled) ListView1.SetRowCount(FFrames->ListRowCount());
  ListView1.SelectRow(SelectedRow);
  if (ScrollBar1.Max() != FFrames->ScrollMax()) ScrollBar1.SetRange(0, FFrames->ScrollMax());
  if (ScrollBar1.Position() != FFrames->ScrollPosition()) ScrollBar1.SetPosition(FFrames->ScrollPosition());
  if (Refilled) ListView1.Repaint();
  ShowStatus();
}

void TMainWindow::ShowDetail() {
  const TTreeModel& Tree = FFrames->Tree();
  std::vector<TTreeModel::TNodeId> Shape(static_cast<size_t>(Tree.Count()));
  for (TTreeModel::TNodeId Node = 0; Node < Tree.Count(); ++Node) Shape[static_cast<size_t>(Node)] = Tree.Node(Node).Parent;
  if (Shape == FTreeShape && FTreeItems.size() == Shape.size()) {
    // The next frame of a stream has the same nodes as the one before: only texts change, and
    // the nodes keep their place, expansion and selection.
    for (TTreeModel::TNodeId Node = 0; Node < Tree.Count(); ++Node) {
      const std::wstring Text = W(Tree.Node(Node).Text);
      wchar_t Shown[512] = L"";
      TVITEMW Item{};
      Item.mask = TVIF_TEXT;
      Item.hItem = FTreeItems[static_cast<size_t>(Node)];
      Item.pszText = Shown;
      Item.cchTextMax = static_cast<int>(std::size(Shown));
      if (TreeView_GetItem(TreeView1.Handle(), &Item) && Text == Shown) continue;
      Item.pszText = const_cast<wchar_t*>(Text.c_str());
      TreeView_SetItem(TreeView1.Handle(), &Item);
    }
    ShowStatus();
    return;
  }
  SendMessageW(TreeView1.Handle(), WM_SETREDRAW, FALSE, 0);
  TreeView1.Clear();
  FTreeShape = std::move(Shape);
  FSiblingIndex.assign(static_cast<size_t>(Tree.Count()), 0);
  FTreeItems.assign(static_cast<size_t>(Tree.Count()), nullptr);
  // Parents come before their children in node order.
  const auto AddChildren = [&](HTREEITEM Parent, const std::vector<TTreeModel::TNodeId>& Children) {
    for (size_t Place = 0; Place < Children.size(); ++Place) {
      const TTreeModel::TNodeId Node = Children[Place];
      FSiblingIndex[static_cast<size_t>(Node)] = static_cast<int32_t>(Place);
      FTreeItems[static_cast<size_t>(Node)] = TreeView1.Add(Parent, W(Tree.Node(Node).Text), Node);
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
  std::vector<std::u16string> Parts = {FMessage, FFrames->PackCrcText(), FFrames->StatusText()};
  // Unchanged texts are not set again: each setting repaints the whole bar.
  if (Parts == FStatusParts) return;
  StatusBar1.SetParts(Parts);
  FStatusParts = std::move(Parts);
}

void TMainWindow::ShowMessage(const std::u16string& Text) {
  FMessage = Text;
  ShowStatus();
}

}  // namespace corvane::win32
