// corvane_peversion: prints the version resource of a Windows executable, read on any system,
// so that a build can check that its programs carry the project's version:
//   <file version from the fixed information, as a.b.c.d> <FileVersion string> <ProductVersion string>
// Exit status 1 when the file has no readable version resource.

#include <cstdio>
#include <exception>

#include "core/StringUtils.h"
#include "product/PEResource.h"
#include "product/VersionInfo.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: corvane_peversion FILE.exe\n");
    return 2;
  }
  try {
    auto Resource = corvane::ReadPEVersionResource(argv[1]);
    if (!Resource) {
      std::fprintf(stderr, "%s: no version resource\n", argv[1]);
      return 1;
    }
    const auto Info = corvane::TVersionInfo::FromResource(std::move(*Resource));
    const auto* Fixed = Info.FixedInfo();
    std::printf("%u.%u.%u.%u %s %s\n", Fixed->dwFileVersionMS >> 16, Fixed->dwFileVersionMS & 0xFFFF,
                Fixed->dwFileVersionLS >> 16, Fixed->dwFileVersionLS & 0xFFFF,
                corvane::ToUtf8(Info.GetValue(corvane::verFileVersion)).c_str(),
                corvane::ToUtf8(Info.GetValue(corvane::verProductVersion)).c_str());
    return 0;
  } catch (const std::exception& Failure) {
    std::fprintf(stderr, "%s: %s\n", argv[1], Failure.what());
    return 1;
  }
}
