#include "product/UpdateList.h"

#include "core/StringUtils.h"

namespace corvane {

void ParseUpdateList(std::u16string Text, std::u16string& FDD, std::vector<TMD5FileRecord>& Records) {
  Records.clear();
  FDD = ExtractLine(Text);
  while (Records.size() < size_t(MaxMD5FileRecords)) {
    std::u16string Line = ExtractLine(Text);
    if (Line.empty()) break;
    std::u16string Name = ExtractToken(Line);
    std::u16string MD5 = ExtractToken(Line);
    if (!Name.empty() && !MD5.empty()) Records.push_back({std::move(Name), std::move(MD5)});
  }
}

std::u16string UpperTrim(std::u16string_view Text) {
  size_t Begin = 0;
  size_t End = Text.size();
  while (Begin < End && Text[Begin] <= u' ') ++Begin;
  while (End > Begin && Text[End - 1] <= u' ') --End;
  std::u16string Result(Text.substr(Begin, End - Begin));
  for (char16_t& C : Result)
    if (C >= u'a' && C <= u'z') C = static_cast<char16_t>(C - (u'a' - u'A'));
  return Result;
}

bool HasMatchingRecord(const std::vector<TMD5FileRecord>& Records, std::u16string_view FileName,
                       std::u16string_view MD5) {
  const std::u16string Name = UpperTrim(FileName);
  const std::u16string Digest = UpperTrim(MD5);
  for (const TMD5FileRecord& R : Records)
    if (UpperTrim(R.FileName) == Name && UpperTrim(R.MD5) == Digest) return true;
  return false;
}

}  // namespace corvane
