#include <string>
#include <vector>

#include "cli/Cli.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "core/StringUtils.h"

namespace {

// The program writes UTF-8; a console shows it as such only under code page 65001, which is
// set for the run and given back at its end, so the console is left as it was found.
class TConsoleUtf8 {
 public:
  TConsoleUtf8() : FPrevious(GetConsoleOutputCP()) {
    if (FPrevious != 0) SetConsoleOutputCP(CP_UTF8);
  }
  ~TConsoleUtf8() {
    if (FPrevious != 0) SetConsoleOutputCP(FPrevious);
  }
  TConsoleUtf8(const TConsoleUtf8&) = delete;
  TConsoleUtf8& operator=(const TConsoleUtf8&) = delete;

 private:
  UINT FPrevious;  // 0 without a console
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const TConsoleUtf8 Console;
  // Lines end in "\n" on every platform.
  _setmode(_fileno(stdout), _O_BINARY);
  std::vector<std::string> Args;
  for (int Index = 1; Index < argc; ++Index) {
    const std::wstring Wide(argv[Index]);
    Args.push_back(corvane::ToUtf8(std::u16string(Wide.begin(), Wide.end())));
  }
  return corvane::cli::RunCli(Args, stdout, stderr);
}
#else
int main(int argc, char** argv) {
  return corvane::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
}
#endif
