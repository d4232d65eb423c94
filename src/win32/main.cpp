// The program entry of the Windows window: the common controls, the main window, and the message
// loop until the window closes. The first command-line parameter names a file to open at start.

#include <filesystem>

#include "core/ODSUtls.h"
#include "win32/MainWindow.h"
#include "win32/MessageLoop.h"

#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX Controls{};
  Controls.dwSize = sizeof Controls;
  Controls.dwICC = ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS |
                   ICC_STANDARD_CLASSES;
  InitCommonControlsEx(&Controls);

  std::filesystem::path StartFile;
  int Count = 0;
  if (LPWSTR* Arguments = CommandLineToArgvW(GetCommandLineW(), &Count)) {
    if (Count > 1 && Arguments[1][0] != L'\0') StartFile = Arguments[1];
    LocalFree(Arguments);
  }

  int ExitCode = 1;
  bool LeftRunning = false;
  {
    corvane::win32::TMainWindow Form;
    if (!Form.Create(StartFile)) {
      corvane::ReportCallFailure(u"TForm1.FormCreate");
      return 1;
    }
    ExitCode = corvane::win32::RunMessageLoop();
    LeftRunning = Form.UpdateCheckLeftRunning();
  }
  // An update check still waiting on the network is not waited for: the process ends at once,
  // without running its static destructors under the worker.
  if (LeftRunning) ExitProcess(static_cast<UINT>(ExitCode));
  return ExitCode;
}
