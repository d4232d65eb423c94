// The version information reader: the input as a Windows executable (the PE reader finds its
// version resource) and as a version resource itself.

#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "product/PEResource.h"
#include "product/VersionInfo.h"
#include "product/VersionResource.h"

namespace {

using namespace corvane;

// Every value the about window and the version API read, each within the resource's bytes.
void ReadResource(const std::vector<uint8_t>& Resource) {
  for (const std::u16string_view Path : {u"\\", u"\\VarFileInfo\\Translation", u"\\StringFileInfo\\040904E4\\FileVersion",
                                         u"\\StringFileInfo\\040904b0\\CompanyName", u"\\StringFileInfo", u"\\x\\"}) {
    TVersionValue Value;
    if (!QueryVersionValue(Resource, Path, Value)) continue;
    FUZZ_CHECK(Value.Offset <= Resource.size() && Value.Size <= Resource.size() - Value.Offset);
    if (Value.IsText) FUZZ_CHECK(VersionValueText(Resource, Value).size() <= Value.Size / 2);
  }
  try {
    const TVersionInfo Info = TVersionInfo::FromResource(Resource);
    Info.FileVersion();
    Info.FileOS();
    Info.FileType();
    Info.FileFlags();
    Info.LanguageName();
    // The sanitizer checks that the translation table holds as many entries as it claims.
    if (Info.NumLanguages() > 0) {
      FUZZ_CHECK(Info.TransTable() != nullptr);
      volatile uint16_t Last = Info.TransTable()[Info.NumLanguages() - 1].Language;
      (void)Last;
    }
    for (int Name = verCompanyName; Name <= verComments; ++Name) Info.Value(static_cast<TVerNames>(Name));
    Info.Values(u"SpecialBuild");
  } catch (const ENoVersion&) {
  } catch (const EVersion&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static fuzz::TMemoryFile File;
  File.Set(Data, Size);
  if (const auto Resource = ReadPEVersionResource(File.Path())) {
    FUZZ_CHECK(!Resource->empty() && Resource->size() <= (1u << 20));
    ReadResource(*Resource);
  }
  try {
    TVersionInfo Info(File.Path());
    Info.FileVersion();
  } catch (const ENoVersion&) {
  } catch (const EVersion&) {
  }
  ReadResource(std::vector<uint8_t>(Data, Data + Size));
  return 0;
}
