// The update check's component list, as it arrives: 8-bit text up to its first zero byte
// (decoded as UTF-8, the locale of every Linux system the program runs on).

#include <algorithm>
#include <string_view>

#include "core/StringUtils.h"
#include "fuzz/FuzzSupport.h"
#include "product/UpdateList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  using namespace corvane;
  const auto* Text = reinterpret_cast<const char*>(Data);
  const std::u16string List = FromUtf8(std::string_view(Text, static_cast<size_t>(std::find(Text, Text + Size, '\0') - Text)));
  std::u16string FDD;
  std::vector<TMD5FileRecord> Records;
  ParseUpdateList(List, FDD, Records);

  // At most 256 records, each a non-empty name and digest without the separators, each one
  // found again by the lookup the check makes, and no line end in the folder line.
  FUZZ_CHECK(Records.size() <= static_cast<size_t>(MaxMD5FileRecords));
  FUZZ_CHECK(FDD.find(u"\r\n") == std::u16string::npos);
  for (const TMD5FileRecord& Record : Records) {
    FUZZ_CHECK(!Record.FileName.empty() && !Record.MD5.empty());
    FUZZ_CHECK(Record.FileName.find(u';') == std::u16string::npos && Record.MD5.find(u';') == std::u16string::npos);
    FUZZ_CHECK(Record.FileName.find(u"\r\n") == std::u16string::npos);
    FUZZ_CHECK(HasMatchingRecord(Records, Record.FileName, Record.MD5));
    FUZZ_CHECK(UpperTrim(UpperTrim(Record.FileName)) == UpperTrim(Record.FileName));
  }
  return 0;
}
