#include "win32/CheckStream.h"

#include <array>
#include <atomic>
#include <thread>

#include "core/StringUtils.h"
#include "viewer/FrameRowText.h"
#include "win32/Dialog.h"

namespace corvane::win32 {
namespace {

// The findings a check window lists; its summary counts the rest.
constexpr size_t MaxListedFindings = 100000;
constexpr int ProgressSteps = 1000;
constexpr UINT_PTR PollTimer = 1;
constexpr UINT PollMs = 20;
constexpr int IdProgress = 100;

class TProgressDialog : public TDialog {
 public:
  TProgressDialog(const std::filesystem::path& File, bool EAC3, TCheckResult& Result)
      : FFile(File), FEAC3(EAC3), FResult(Result) {}
  // A dialog ended by the program's quit stops the check before it goes.
  ~TProgressDialog() override {
    FCancel = true;
    if (FWorker.joinable()) FWorker.join();
  }

 protected:
  std::wstring Title() const override { return L"Check Stream"; }
  SIZE DesignClientSize() const override { return {360, 96}; }

  void CreateControls() override {
    AddControl(WC_STATICW, L"Checking the stream...", 0, 12, 12, 336, 16, -1);
    FBar = AddControl(PROGRESS_CLASSW, L"", 0, 12, 34, 336, 18, IdProgress);
    SendMessageW(FBar, PBM_SETRANGE32, 0, ProgressSteps);
    AddControl(WC_BUTTONW, L"Cancel", WS_TABSTOP | BS_DEFPUSHBUTTON, 273, 64, 75, 23, IDCANCEL);
  }

  void Shown() override {
    FWorker = std::thread([this] {
      try {
        FResult.End = CheckStream(
            FFile, FEAC3,
            [this](const TStreamFinding& Finding) {
              if (FResult.Findings.size() < MaxListedFindings)
                FResult.Findings.push_back(Finding);
              else
                ++FResult.NotKept;
              return true;
            },
            FResult.Summary,
            [this](int64_t At, int64_t Of) {
              FPosition = At;
              FSize = Of;
            },
            &FCancel, FResult.Error);
      } catch (const std::exception& Failure) {
        FResult.End = TCheckEnd::Failed;
        FResult.Error = Failure.what();
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
  std::filesystem::path FFile;
  bool FEAC3;
  TCheckResult& FResult;
  std::thread FWorker;
  std::atomic<bool> FCancel{false};
  std::atomic<bool> FDone{false};
  std::atomic<int64_t> FPosition{0};
  std::atomic<int64_t> FSize{0};
  HWND FBar = nullptr;
};

}  // namespace

bool RunStreamCheck(HWND Owner, const std::filesystem::path& File, bool EAC3, TCheckResult& Result) {
  TProgressDialog Dialog(File, EAC3, Result);
  Dialog.ShowModal(Owner);
  return Result.End == TCheckEnd::Completed;
}

TStreamCheckWindow::TStreamCheckWindow() = default;
TStreamCheckWindow::~TStreamCheckWindow() = default;

void TStreamCheckWindow::Show(HWND Owner, const std::filesystem::path& File, TCheckResult& Result) {
  if (!FHandle) {
    FDpi = WindowDpi(Owner);
    // Over the main window, a little down and to the right of its top left corner.
    RECT Over{};
    GetWindowRect(Owner, &Over);
    if (!CreateWindowOf(L"CorvaneStreamCheck", 0, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, L"Stream Check",
                        Over.left + Scale(40, FDpi), Over.top + Scale(40, FDpi), Scale(760, FDpi), Scale(560, FDpi),
                        Owner))
      return;
    FFont.Reset(CreateMessageFont(FDpi));
    FFixedFont.Reset(CreatePixelFont(L"Courier New", Scale(13, FDpi), false, true));
    Memo1 = CreateWindowExW(WS_EX_CLIENTEDGE, WC_EDITW, L"",
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                                ES_AUTOHSCROLL | ES_AUTOVSCROLL,
                            0, 0, 0, 0, FHandle, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(Memo1, WM_SETFONT, reinterpret_cast<WPARAM>(FFixedFont.Font()), FALSE);
    ListView1.Create(FHandle, 1, LVS_SINGLESEL | LVS_SHOWSELALWAYS, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    SendMessageW(ListView1.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(FFixedFont.Font()), FALSE);
    ListView1.AddColumn(L"Offset", Scale(170, FDpi));
    ListView1.AddColumn(L"Type", Scale(70, FDpi));
    ListView1.AddColumn(L"Finding", Scale(480, FDpi));
    Layout();
  }
  FFile = File;
  // Seam: the report's copy and save (as text or JSON) come with its rows from the viewer core.
  SetWindowTextW(FHandle, (L"Stream Check - " + W(PathToText(File))).c_str());
  std::u16string Summary = u"File: " + PathToText(File);
  for (const std::u16string& Line : SummaryLines(Result.Summary)) Summary += u"\r\n" + Line;
  if (Result.NotKept > 0)
    Summary += u"\r\nThe list shows the first " + IntToStr(static_cast<int64_t>(Result.Findings.size())) +
               u" findings; " + IntToStr(Result.NotKept) + u" more are left out.";
  SetWindowTextW(Memo1, W(Summary).c_str());
  FFindings = std::move(Result.Findings);
  FRows.clear();
  FRows.reserve(FFindings.size());
  for (const TStreamFinding& Finding : FFindings)
    FRows.push_back({W(OffsetText(Finding.Offset)), Finding.IsProblem() ? L"problem" : L"change",
                     W(FindingText(Finding))});
  ListView1.SetRowCount(static_cast<int>(FRows.size()));
  ListView1.SelectRow(FRows.empty() ? -1 : 0);
  ShowWindow(FHandle, SW_SHOWNORMAL);
  SetForegroundWindow(FHandle);
  // The findings have the focus, so that Enter and the arrow keys act on them at once.
  SetFocus(ListView1.Handle());
}

void TStreamCheckWindow::Layout() {
  RECT Client{};
  GetClientRect(FHandle, &Client);
  const int Margin = Scale(4, FDpi);
  const int SummaryHeight = std::min(Scale(200, FDpi), static_cast<int>(Client.bottom) / 2);
  MoveWindow(Memo1, Margin, Margin, Client.right - 2 * Margin, SummaryHeight, TRUE);
  const int Top = 2 * Margin + SummaryHeight;
  MoveWindow(ListView1.Handle(), Margin, Top, Client.right - 2 * Margin, std::max<int>(Client.bottom - Top - Margin, 0),
             TRUE);
}

void TStreamCheckWindow::Activate(int Row) {
  if (Row < 0 || Row >= static_cast<int>(FFindings.size()) || !OnActivated) return;
  OnActivated(FFindings[static_cast<size_t>(Row)].Offset);
}

LRESULT TStreamCheckWindow::HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
  switch (Message) {
    case WM_SIZE:
      Layout();
      return 0;
    case WM_CLOSE:
      ShowWindow(FHandle, SW_HIDE);
      return 0;
    case WM_NOTIFY: {
      auto* Header = reinterpret_cast<NMHDR*>(LParam);
      if (Header->hwndFrom != ListView1.Handle()) break;
      if (Header->code == LVN_GETDISPINFOW) {
        auto* Info = reinterpret_cast<NMLVDISPINFOW*>(LParam);
        const int Row = Info->item.iItem;
        const int Column = Info->item.iSubItem;
        if ((Info->item.mask & LVIF_TEXT) && Row >= 0 && Row < static_cast<int>(FRows.size()) && Column >= 0 &&
            Column < 3)
          lstrcpynW(Info->item.pszText, FRows[static_cast<size_t>(Row)][static_cast<size_t>(Column)].c_str(),
                    Info->item.cchTextMax);
        return 0;
      }
      if (Header->code == LVN_GETINFOTIPW) {
        // A finding too long for its column shows whole in a tip.
        auto* Tip = reinterpret_cast<NMLVGETINFOTIPW*>(LParam);
        if (Tip->iItem >= 0 && Tip->iItem < static_cast<int>(FRows.size()))
          lstrcpynW(Tip->pszText, FRows[static_cast<size_t>(Tip->iItem)][2].c_str(), Tip->cchTextMax);
        return 0;
      }
      if (Header->code == NM_DBLCLK) {
        Activate(reinterpret_cast<NMITEMACTIVATE*>(LParam)->iItem);
        return 0;
      }
      if (Header->code == NM_RETURN) {
        Activate(ListView1.SelectedRow());
        return 0;
      }
      break;
    }
    default:
      break;
  }
  return TWindow::HandleMessage(Message, WParam, LParam);
}

}  // namespace corvane::win32
