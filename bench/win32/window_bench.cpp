// The Windows window's navigation steps on the 2 GiB listing file, each timed from the input (a
// key, a scroll-bar action) to the end of the repaint it causes: the window, its list, tree and
// hex pane are on screen, and every step runs its handlers and then paints all that it changed.
// Prints the median and the largest time of each kind of step, and whether every step stayed
// within 16 ms (one frame of a 60 Hz screen). Google Benchmark is not built for Windows here, so
// this is a plain program that prints figures; it never fails on a time.
// A console program that opens the window. Usage (under wine on a display):
//   corvane_win32_bench [REPETITIONS [PART-OF-A-STEP-NAME]]

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bench/BenchFiles.h"
#include "win32/MainWindow.h"
// After the window headers, which bring <windows.h>.
#include <psapi.h>
#include "win32/resource.h"

namespace {

using corvane::win32::TMainWindow;

double Now() {
  LARGE_INTEGER Counter;
  LARGE_INTEGER Frequency;
  QueryPerformanceCounter(&Counter);
  QueryPerformanceFrequency(&Frequency);
  return static_cast<double>(Counter.QuadPart) * 1000.0 / static_cast<double>(Frequency.QuadPart);
}

// Handles what is queued (posted opens, timers, paints) for a while.
void Pump(int Milliseconds) {
  const double Until = Now() + Milliseconds;
  MSG Message;
  while (Now() < Until) {
    while (PeekMessageW(&Message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&Message);
      DispatchMessageW(&Message);
    }
    Sleep(1);
  }
}

// The process's committed memory (what Windows calls its page file usage), in MiB.
double CommittedMiB() {
  PROCESS_MEMORY_COUNTERS Counters{};
  Counters.cb = sizeof Counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &Counters, sizeof Counters)) return 0;
  return static_cast<double>(Counters.PagefileUsage) / (1 << 20);
}

struct TStepKind {
  const char* Name;
  std::function<void()> Prepare;  // not timed
  std::function<void()> Input;    // timed, with the repaint that follows
};

}  // namespace

int main(int argc, char** argv) {
  const int Repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;
  const std::string Only = argc > 2 ? argv[2] : "";  // runs only the steps whose names hold it
  INITCOMMONCONTROLSEX Controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES |
                                                                  ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&Controls);

  const double Writing = Now();
  const std::filesystem::path File = corvane::bench::Files().Listing();
  std::printf("listing file written in %.1f s\n", (Now() - Writing) / 1000);
  std::fflush(stdout);
  {
    // The viewer core alone, for comparison: the same Page Down steps without any control.
    corvane::TFrameWindow Core;
    Core.SetVisibleRows(28);
    Core.LoadFile(File, false);
    std::vector<double> Steps;
    for (int Round = 0; Round < Repetitions; ++Round) {
      const double Start = Now();
      Core.ListView1KeyDown(corvane::KeyPageDown, 0);
      Core.ShowRow(0);
      Steps.push_back(Now() - Start);
    }
    std::sort(Steps.begin(), Steps.end());
    std::printf("viewer core alone, Page Down and the detail of its first row: median %.2f ms, max %.2f ms\n",
                Steps[Steps.size() / 2], Steps.back());
  }

  TMainWindow Form;
  if (!Form.Create(File)) return 1;
  Pump(4000);  // the open, the first paints; the splash closes after three seconds
  const double Opened = CommittedMiB();
  const HWND Main = Form.Handle();
  const HWND List = GetDlgItem(Main, IDC_LISTVIEW1);
  const HWND Bar = GetDlgItem(Main, IDC_SCROLLBAR1);
  const HWND Hex = GetDlgItem(Main, IDC_MEMO1);
  const auto Key = [](HWND Window, WPARAM Code) {
    SendMessageW(Window, WM_KEYDOWN, Code, 0);
    SendMessageW(Window, WM_KEYUP, Code, 0);
  };
  const auto Select = [List](int Row) {
    ListView_SetItemState(List, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(List, Row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  };
  const auto LastRow = [List] { return ListView_GetItemCount(List) - 1; };
  const auto Middle = [&] {
    Select(0);
    Key(List, VK_HOME);
    for (int Page = 0; Page < 3; ++Page) Key(List, VK_NEXT);
  };

  const std::vector<TStepKind> Kinds = {
      {"list: Down on the last row", [&] { Select(LastRow()); }, [&] { Key(List, VK_DOWN); }},
      {"list: Up on the first row", [&] { Select(0); }, [&] { Key(List, VK_UP); }},
      {"list: Page Down", [&] { Select(0); }, [&] { Key(List, VK_NEXT); }},
      // From the middle each time: repeated from one place it would soon reach the start.
      {"list: Page Up", [&] { Middle(); Select(0); }, [&] { Key(List, VK_PRIOR); }},
      {"list: End", [&] { Middle(); }, [&] { Key(List, VK_END); }},
      {"list: Home", [&] { Middle(); }, [&] { Key(List, VK_HOME); }},
      {"scroll bar: page below the thumb", [] {}, [&] { SendMessageW(Main, WM_VSCROLL, SB_PAGEDOWN, reinterpret_cast<LPARAM>(Bar)); }},
      {"scroll bar: thumb to the end", [&] { Middle(); }, [&] { SendMessageW(Main, WM_VSCROLL, SB_BOTTOM, reinterpret_cast<LPARAM>(Bar)); }},
      {"scroll bar: thumb to the top", [&] { Middle(); }, [&] { SendMessageW(Main, WM_VSCROLL, SB_TOP, reinterpret_cast<LPARAM>(Bar)); }},
      {"hex pane: Page Down", [] {}, [&] { Key(Hex, VK_NEXT); }},
      {"hex pane: Down", [] {}, [&] { Key(Hex, VK_DOWN); }},
      // What a repaint of each control alone costs, whatever changed.
      {"repaint: the frame list", [] {}, [&] { InvalidateRect(List, nullptr, FALSE); UpdateWindow(List); }},
      {"repaint: the tree", [] {}, [&] { const HWND Tree = GetDlgItem(Main, IDC_TREEVIEW1); InvalidateRect(Tree, nullptr, FALSE); UpdateWindow(Tree); }},
      {"repaint: the hex pane", [] {}, [&] { InvalidateRect(Hex, nullptr, FALSE); UpdateWindow(Hex); }},
      {"repaint: the scroll bar", [] {}, [&] { InvalidateRect(Bar, nullptr, FALSE); UpdateWindow(Bar); }},
      {"repaint: the status bar", [] {}, [&] { const HWND Status = GetDlgItem(Main, IDC_STATUSBAR); InvalidateRect(Status, nullptr, FALSE); UpdateWindow(Status); }},
  };

  {
    // The layout being timed: a tree that shows scroll bars repaints them with every frame.
    RECT Frame;
    RECT TreeArea;
    const HWND Tree = GetDlgItem(Main, IDC_TREEVIEW1);
    GetWindowRect(Main, &Frame);
    GetClientRect(Tree, &TreeArea);
    const LONG_PTR TreeStyle = GetWindowLongPtrW(Tree, GWL_STYLE);
    const bool Across = (TreeStyle & WS_HSCROLL) != 0;
    const bool Down = (TreeStyle & WS_VSCROLL) != 0;
    std::printf("window %ld x %ld px, tree %ld x %ld px with %s\n", Frame.right - Frame.left, Frame.bottom - Frame.top,
                TreeArea.right, TreeArea.bottom,
                Across && Down ? "both scroll bars"
                : Across       ? "a horizontal scroll bar"
                : Down         ? "a vertical scroll bar"
                               : "no scroll bar");
  }
  std::printf("%lld MiB listing file, %d repetitions of each step, times from input to repaint:\n",
              static_cast<long long>(std::filesystem::file_size(File) >> 20), Repetitions);
  double Worst = 0;
  for (const TStepKind& Kind : Kinds) {
    if (std::string(Kind.Name).find(Only) == std::string::npos) continue;
    Middle();
    std::vector<double> Times;
    std::vector<double> Handled;  // the handlers alone, before the repaint of what they left
    for (int Round = 0; Round < Repetitions; ++Round) {
      Kind.Prepare();
      RedrawWindow(Main, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
      const double Start = Now();
      Kind.Input();
      Handled.push_back(Now() - Start);
      RedrawWindow(Main, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
      Times.push_back(Now() - Start);
    }
    std::sort(Times.begin(), Times.end());
    std::sort(Handled.begin(), Handled.end());
    Worst = std::max(Worst, Times.back());
    std::printf("  %-36s median %6.2f ms   max %6.2f ms   (handlers: median %6.2f ms)\n", Kind.Name,
                Times[Times.size() / 2], Times.back(), Handled[Handled.size() / 2]);
  }
  std::printf("largest step: %.2f ms; every step within 16 ms: %s\n", Worst, Worst <= 16.0 ? "yes" : "no");
  std::printf("committed memory: %.1f MiB with the file open, %.1f MiB after all the steps\n", Opened, CommittedMiB());
  std::fflush(stdout);
  DestroyWindow(Main);
  return 0;
}
