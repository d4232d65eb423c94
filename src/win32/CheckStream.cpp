#include "win32/CheckStream.h"

#include <commdlg.h>
#include <windowsx.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "core/ODSUtls.h"
#include "core/StringUtils.h"
#include "viewer/FrameWindow.h"
#include "win32/Dialog.h"
#include "win32/MessageLoop.h"

namespace corvane::win32 {
namespace {

constexpr int ProgressSteps = 1000;
constexpr UINT_PTR PollTimer = 1;
constexpr UINT PollMs = 20;
constexpr int IdProgress = 100;
constexpr int IdList = 101;
constexpr int IdCopy = 102;
constexpr int IdSave = 103;
constexpr COLORREF NotOpenBack = RGB(255, 243, 192);
constexpr std::u16string_view CopyLineEnd = u"\r\n";

// The size of Text in Font as Window would draw it.
SIZE TextSize(HWND Window, HGDIOBJ Font, const wchar_t* Text) {
  const HDC Context = GetDC(Window);
  const HGDIOBJ Previous = SelectObject(Context, Font);
  SIZE Size{};
  GetTextExtentPoint32W(Context, Text, static_cast<int>(wcslen(Text)), &Size);
  SelectObject(Context, Previous);
  ReleaseDC(Window, Context);
  return Size;
}

int LineHeight(HWND Window, HGDIOBJ Font) { return static_cast<int>(TextSize(Window, Font, L"0").cy); }

class TProgressDialog : public TDialog {
 public:
  TProgressDialog(std::wstring Caption, std::wstring Text, const TWalkJob& Job, std::string& Error)
      : FCaption(std::move(Caption)), FText(std::move(Text)), FJob(Job), FError(Error) {}
  // A dialog ended by the program's quit stops the check before it goes.
  ~TProgressDialog() override {
    FCancel = true;
    if (FWorker.joinable()) FWorker.join();
  }
  TCheckEnd End() const { return FEnd; }

 protected:
  std::wstring Title() const override { return FCaption; }
  SIZE DesignClientSize() const override { return {360, 96}; }

  void CreateControls() override {
    AddControl(WC_STATICW, FText.c_str(), 0, 12, 12, 336, 16, -1);
    FBar = AddControl(PROGRESS_CLASSW, L"", 0, 12, 34, 336, 18, IdProgress);
    SendMessageW(FBar, PBM_SETRANGE32, 0, ProgressSteps);
    AddControl(WC_BUTTONW, L"Cancel", WS_TABSTOP | BS_DEFPUSHBUTTON, 273, 64, 75, 23, IDCANCEL);
  }

  void Shown() override {
    FWorker = std::thread([this] {
      try {
        FEnd = FJob(
            [this](int64_t At, int64_t Of) {
              FPosition = At;
              FSize = Of;
            },
            &FCancel, FError);
      } catch (const std::exception& Failure) {
        FEnd = TCheckEnd::Failed;
        FError = Failure.what();
      }
      FDone = true;
    });
    SetTimer(FHandle, PollTimer, PollMs, nullptr);
  }

  bool Command(int Id, int, HWND) override {
    // Cancel asks the worker to stop; the dialog closes once it has.
    if (Id == IDCANCEL) FCancel = true;
    return Id == IDCANCEL || Id == IDOK;
  }

  LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) override {
    if (Message == WM_TIMER && WParam == PollTimer) {
      if (FDone) {
        KillTimer(FHandle, PollTimer);
        FWorker.join();
        EndDialog(IDOK);
      } else if (const int64_t Of = FSize; Of > 0) {
        SendMessageW(FBar, PBM_SETPOS, static_cast<WPARAM>(FPosition * ProgressSteps / Of), 0);
      }
      return 0;
    }
    return TDialog::HandleMessage(Message, WParam, LParam);
  }

 private:
  std::wstring FCaption;
  std::wstring FText;
  const TWalkJob& FJob;
  std::string& FError;
  TCheckEnd FEnd = TCheckEnd::Failed;  // written by the worker, read once it has ended
  std::thread FWorker;
  std::atomic<bool> FCancel{false};
  std::atomic<bool> FDone{false};
  std::atomic<int64_t> FPosition{0};
  std::atomic<int64_t> FSize{0};
  HWND FBar = nullptr;
};

}  // namespace

TCheckEnd RunBehindProgress(HWND Owner, std::wstring Caption, std::wstring Text, const TWalkJob& Job,
                            std::string& Error) {
  TProgressDialog Dialog(std::move(Caption), std::move(Text), Job, Error);
  Dialog.ShowModal(Owner);
  return Dialog.End();
}

TCheckEnd RunStreamCheck(HWND Owner, const std::filesystem::path& File, bool EAC3, const TFindingSink& Sink,
                         TStreamSummary& Summary, std::string& Error) {
  return RunBehindProgress(
      Owner, L"Check Stream", L"Checking the stream...",
      [&](const TFrameWindow::TWalkProgress& Progress, const std::atomic<bool>* Cancel, std::string& Failure) {
        return CheckStream(File, EAC3, Sink, Summary, Progress, Cancel, Failure);
      },
      Error);
}

TStreamCheckWindow::TStreamCheckWindow() = default;

TStreamCheckWindow::~TStreamCheckWindow() {
  if (FHandle) SetWindowKeys(FHandle, nullptr);
}

void TStreamCheckWindow::Show(HWND Over, TCheckReport Report) {
  if (!FHandle) {
    FDpi = WindowDpi(Over);
    // A window of its own, not owned by the main window, so that the main window can come in
    // front of it; first a little down and to the right of the main window's corner.
    RECT Main{};
    GetWindowRect(Over, &Main);
    if (!CreateWindowOf(L"CorvaneStreamCheck", WS_EX_CONTROLPARENT, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                        L"Stream Check", Main.left + Scale(40, FDpi), Main.top + Scale(40, FDpi), Scale(820, FDpi),
                        Scale(560, FDpi), nullptr))
      return;
    CreateControls();
  }
  FReport = std::move(Report);
  FFileOpen = false;
  SetFileOpen(true);
  std::u16string Summary;
  for (const std::u16string& Line : FReport.SummaryLines()) Summary += (Summary.empty() ? u"" : u"\r\n") + Line;
  SetWindowTextW(Memo1, W(Summary).c_str());
  const int Lines = static_cast<int>(SendMessageW(Memo1, EM_GETLINECOUNT, 0, 0));
  FSummaryHeight = Lines * LineHeight(Memo1, FFixedFont.Get()) + 2 * GetSystemMetrics(SM_CYEDGE) + Scale(4, FDpi);
  Layout();
  // The finding column is as wide as the longest finding (the list scrolls sideways), and each
  // finding shows whole in its tip as well.
  size_t Longest = 0;
  for (const TStreamFinding& Finding : FReport.Findings()) Longest = std::max(Longest, FindingText(Finding).size());
  const SIZE Digit = TextSize(ListView1.Handle(), FFixedFont.Get(), L"0");
  ListView1.SetColumnWidth(2, std::max<int>(Scale(480, FDpi), static_cast<int>(Longest) * Digit.cx + Scale(16, FDpi)));
  ListView1.SetRowCount(static_cast<int>(FReport.Findings().size()));
  // The first finding is the current one, none selected: Enter and the arrow keys act on it,
  // and Copy gives the whole report until findings are selected.
  ListView1.SelectRow(-1);
  if (!FReport.Findings().empty()) ListView_SetItemState(ListView1.Handle(), 0, LVIS_FOCUSED, LVIS_FOCUSED);
  ListView_EnsureVisible(ListView1.Handle(), 0, FALSE);
  ShowWindow(FHandle, IsIconic(FHandle) ? SW_RESTORE : SW_SHOWNORMAL);
  SetForegroundWindow(FHandle);
  SetFocus(ListView1.Handle());
}

void TStreamCheckWindow::CreateControls() {
  FFont.Reset(CreateMessageFont(FDpi));
  FFixedFont.Reset(CreatePixelFont(L"Courier New", Scale(13, FDpi), false, true));
  const HINSTANCE Instance = GetModuleHandleW(nullptr);
  const auto Child = [&](DWORD ExStyle, const wchar_t* Class, const wchar_t* Text, DWORD Style, int Id, HGDIOBJ Font) {
    HWND Control = CreateWindowExW(ExStyle, Class, Text, WS_CHILD | Style, 0, 0, 0, 0, FHandle,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)), Instance, nullptr);
    SendMessageW(Control, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
    return Control;
  };
  lbClosed = Child(0, WC_STATICW, L"", SS_LEFT | SS_NOPREFIX, -1, FFont.Get());
  Memo1 = Child(WS_EX_CLIENTEDGE, WC_EDITW, L"",
                WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | ES_AUTOVSCROLL,
                -1, FFixedFont.Get());
  ListView1.Create(FHandle, IdList, LVS_SHOWSELALWAYS, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
  SendMessageW(ListView1.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(FFixedFont.Get()), FALSE);
  ListView1.AddColumn(L"Offset", Scale(170, FDpi));
  ListView1.AddColumn(L"Type", Scale(70, FDpi));
  ListView1.AddColumn(L"Finding", Scale(480, FDpi));
  btnCopy = Child(0, WC_BUTTONW, L"&Copy", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, IdCopy, FFont.Get());
  btnSave = Child(0, WC_BUTTONW, L"&Save Report...", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, IdSave, FFont.Get());
  // Ctrl+C in the list copies the findings as Copy does; Ctrl+A selects them all; Enter belongs
  // to the list, which activates its current finding.
  FListKeys = [this](HWND, UINT Message, WPARAM WParam, LPARAM LParam, LRESULT& Result) {
    if (Message == WM_GETDLGCODE && LParam && reinterpret_cast<const MSG*>(LParam)->message == WM_KEYDOWN &&
        reinterpret_cast<const MSG*>(LParam)->wParam == VK_RETURN) {
      Result = DLGC_WANTALLKEYS;
      return true;
    }
    if (Message != WM_KEYDOWN || GetKeyState(VK_CONTROL) >= 0 || (WParam != 'C' && WParam != 'A')) return false;
    if (WParam == 'C')
      CopyReport();
    else
      ListView_SetItemState(ListView1.Handle(), -1, LVIS_SELECTED, LVIS_SELECTED);
    Result = 0;
    return true;
  };
  Subclass(ListView1.Handle(), &FListKeys);
  // Ctrl+S anywhere in the window saves the report; Tab, Escape and the access keys work as in
  // a dialog.
  ACCEL Save{FCONTROL | FVIRTKEY, 'S', IdSave};
  SetWindowKeys(FHandle, CreateAcceleratorTableW(&Save, 1));
  Layout();
}

void TStreamCheckWindow::SetFileOpen(bool Open) {
  if (Open == FFileOpen) return;
  FFileOpen = Open;
  SetWindowTextW(lbClosed, W(FReport.NotOpenText()).c_str());
  ShowWindow(lbClosed, Open ? SW_HIDE : SW_SHOW);
  SetWindowTextW(FHandle, W(FReport.WindowTitle(Open)).c_str());
  Layout();
}

void TStreamCheckWindow::Layout() {
  if (!ListView1.Handle()) return;
  RECT Client{};
  GetClientRect(FHandle, &Client);
  const int Margin = Scale(6, FDpi);
  const int Width = std::max<int>(Client.right - 2 * Margin, 0);
  const int ButtonHeight = Scale(25, FDpi);
  const int ButtonWidth = Scale(110, FDpi);
  int Top = Margin;
  if (!FFileOpen) {
    const int Banner = Scale(36, FDpi);
    MoveWindow(lbClosed, Margin, Top, Width, Banner, TRUE);
    Top += Banner + Margin;
  }
  const int Buttons = Client.bottom - Margin - ButtonHeight;
  const int Room = std::max(Buttons - Margin - Top, 0);
  // The summary as high as its lines, as far as it leaves the findings half the room.
  const int SummaryHeight = std::min(FSummaryHeight, Room / 2);
  MoveWindow(Memo1, Margin, Top, Width, SummaryHeight, TRUE);
  Top += SummaryHeight + Scale(4, FDpi);
  MoveWindow(ListView1.Handle(), Margin, Top, Width, std::max(Buttons - Margin - Top, 0), TRUE);
  MoveWindow(btnSave, Client.right - Margin - ButtonWidth, Buttons, ButtonWidth, ButtonHeight, TRUE);
  MoveWindow(btnCopy, Client.right - Margin - 2 * ButtonWidth - Scale(6, FDpi), Buttons, ButtonWidth, ButtonHeight,
             TRUE);
  // The controls moved as a whole (the banner came or went): the list's header too is painted
  // afresh, not left with what lay there before.
  RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TStreamCheckWindow::Activate(int Row) {
  if (Row < 0 || Row >= static_cast<int>(FReport.Findings().size()) || !OnActivated) return;
  OnActivated(FReport.Findings()[static_cast<size_t>(Row)].Offset);
}

void TStreamCheckWindow::CopyReport() {
  std::vector<size_t> Rows;
  for (int Row = -1; (Row = ListView_GetNextItem(ListView1.Handle(), Row, LVNI_SELECTED)) >= 0;)
    Rows.push_back(static_cast<size_t>(Row));
  CopyTextToClipboard(FHandle, FReport.CopyText(Rows, CopyLineEnd));
}

void TStreamCheckWindow::SaveReport() {
  std::wstring Chosen = W(PathToText(FReport.SuggestedSaveName()));
  Chosen.resize(std::max<size_t>(Chosen.size() + 1, 32768), L'\0');
  OPENFILENAMEW Dialog{};
  Dialog.lStructSize = sizeof Dialog;
  Dialog.hwndOwner = FHandle;
  Dialog.lpstrFilter = L"Text files (*.txt)\0*.txt\0JSON files (*.json)\0*.json\0All Files (*.*)\0*.*\0";
  Dialog.nFilterIndex = 1;
  Dialog.lpstrFile = Chosen.data();
  Dialog.nMaxFile = static_cast<DWORD>(Chosen.size());
  Dialog.lpstrTitle = L"Save Report";
  // A name typed without an extension takes the chosen type's.
  Dialog.lpstrDefExt = L"txt";
  Dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetSaveFileNameW(&Dialog)) return;
  const std::filesystem::path File(Chosen.c_str());
  TBusyCursor Busy;
  const std::u16string Error =
      SaveCheckReport(FReport, File, ReportFormatFor(File),
                      [this](const TFindingSink& Sink, TStreamSummary& Summary, std::string& Failure) {
                        return RunStreamCheck(FHandle, FReport.File(), FReport.EAC3(), Sink, Summary, Failure);
                      });
  if (!Error.empty()) MessageBoxW(FHandle, W(Error).c_str(), W(DisplayName).c_str(), MB_ICONERROR | MB_OK);
}

void TStreamCheckWindow::ContextMenu(LPARAM At) {
  POINT Where{GET_X_LPARAM(At), GET_Y_LPARAM(At)};
  if (At == -1) {
    // From the keyboard: at the list's top left corner.
    Where = {0, 0};
    ClientToScreen(ListView1.Handle(), &Where);
  }
  const HMENU Menu = CreatePopupMenu();
  AppendMenuW(Menu, MF_STRING, IdCopy, L"&Copy\tCtrl+C");
  AppendMenuW(Menu, MF_STRING, IdSave, L"&Save Report...\tCtrl+S");
  TrackPopupMenu(Menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, Where.x, Where.y, 0, FHandle, nullptr);
  DestroyMenu(Menu);
}

LRESULT TStreamCheckWindow::HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
  switch (Message) {
    case WM_SIZE:
      Layout();
      return 0;
    case WM_CLOSE:
      ShowWindow(FHandle, SW_HIDE);
      return 0;
    case WM_COMMAND:
      switch (LOWORD(WParam)) {
        case IdCopy: CopyReport(); break;
        case IdSave: SaveReport(); break;
        case IDCANCEL: ShowWindow(FHandle, SW_HIDE); break;
        default: break;
      }
      return 0;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(WParam) == ListView1.Handle()) ContextMenu(LParam);
      return 0;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(LParam) == lbClosed) {
        static const HBRUSH Back = CreateSolidBrush(NotOpenBack);
        SetBkColor(reinterpret_cast<HDC>(WParam), NotOpenBack);
        return reinterpret_cast<LRESULT>(Back);
      }
      break;
    case WM_NOTIFY: {
      auto* Header = reinterpret_cast<NMHDR*>(LParam);
      if (Header->hwndFrom != ListView1.Handle()) break;
      switch (Header->code) {
        case LVN_GETDISPINFOW: {
          auto* Info = reinterpret_cast<NMLVDISPINFOW*>(LParam);
          const int Row = Info->item.iItem;
          const int Column = Info->item.iSubItem;
          if ((Info->item.mask & LVIF_TEXT) && Row >= 0 && Column >= 0 && Column < 3)
            lstrcpynW(Info->item.pszText, W(FReport.RowTexts(static_cast<size_t>(Row))[static_cast<size_t>(Column)]).c_str(),
                      Info->item.cchTextMax);
          return 0;
        }
        case LVN_GETINFOTIPW: {
          auto* Tip = reinterpret_cast<NMLVGETINFOTIPW*>(LParam);
          if (Tip->iItem >= 0)
            lstrcpynW(Tip->pszText, W(FReport.RowTexts(static_cast<size_t>(Tip->iItem))[2]).c_str(), Tip->cchTextMax);
          return 0;
        }
        case NM_DBLCLK:
          Activate(reinterpret_cast<NMITEMACTIVATE*>(LParam)->iItem);
          return 0;
        case NM_RETURN:
          Activate(ListView_GetNextItem(ListView1.Handle(), -1, LVNI_FOCUSED));
          return 0;
        default:
          return 0;
      }
    }
    case WM_NCDESTROY:
      SetWindowKeys(FHandle, nullptr);
      break;
    default:
      break;
  }
  return TWindow::HandleMessage(Message, WParam, LParam);
}

}  // namespace corvane::win32
