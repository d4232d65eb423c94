#include <string>
#include <vector>

#include "cli/Cli.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "core/StringUtils.h"

int wmain(int argc, wchar_t** argv) {
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
