#include "product/UpdateList.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(UpdateListTest, ParsesFolderLineAndRecordsUpToTheFirstEmptyLine) {
  const struct {
    const char* What;
    std::u16string Text;
    std::u16string FDD;
    std::vector<std::u16string> Names;
  } Cases[] = {
      {"records", u"dl/1\r\na.dll;D1\r\nb.exe;D2;ignored\r\n", u"dl/1", {u"a.dll", u"b.exe"}},
      {"no final line end", u"dl\r\na.dll;D1", u"dl", {u"a.dll"}},
      {"empty second line", u"dl\r\n\r\na.dll;D1\r\n", u"dl", {}},
      {"stops at an empty line", u"dl\r\na.dll;D1\r\n\r\nb.exe;D2\r\n", u"dl", {u"a.dll"}},
      {"name without digest", u"dl\r\na.dll;\r\nb.exe;D2\r\n", u"dl", {u"b.exe"}},
      {"digest without name", u"dl\r\n;D1\r\nb.exe;D2\r\n", u"dl", {u"b.exe"}},
      {"name alone", u"dl\r\na.dll\r\n", u"dl", {}},
      {"folder line only", u"dl", u"dl", {}},
      {"empty", u"", u"", {}},
  };
  for (const auto& C : Cases) {
    std::u16string FDD;
    std::vector<TMD5FileRecord> Records{{u"stale", u"stale"}};
    ParseUpdateList(C.Text, FDD, Records);
    EXPECT_EQ(FDD, C.FDD) << C.What;
    std::vector<std::u16string> Names;
    for (const auto& R : Records) Names.push_back(R.FileName);
    EXPECT_EQ(Names, C.Names) << C.What;
  }
  std::u16string FDD;
  std::vector<TMD5FileRecord> Records;
  ParseUpdateList(u"dl\r\nb.exe;D2;ignored\r\n", FDD, Records);
  ASSERT_EQ(Records.size(), 1u);
  EXPECT_EQ(Records[0].MD5, u"D2");
}

TEST(UpdateListTest, KeepsAtMost256Records) {
  std::u16string Text = u"dl\r\n";
  for (int I = 0; I < 300; ++I) {
    Text.push_back(char16_t(u'A' + I % 26));
    Text.append(u".dll;D\r\n");
  }
  std::u16string FDD;
  std::vector<TMD5FileRecord> Records;
  ParseUpdateList(Text, FDD, Records);
  EXPECT_EQ(Records.size(), size_t(MaxMD5FileRecords));
}

TEST(UpdateListTest, MatchesNamesAndDigestsWithoutRegardToCaseAndSurroundingSpaces) {
  const std::vector<TMD5FileRecord> Records = {
      {u"a.dll", u"00000000000000000000000000000000"},
      {u"  A.DLL\t", u" 900150983CD24FB0D6963F7D28E17F72 "},
  };
  EXPECT_TRUE(HasMatchingRecord(Records, u"a.dll", u"900150983cd24fb0d6963f7d28e17f72"));
  EXPECT_TRUE(HasMatchingRecord(Records, u" a.DLL ", u"900150983CD24FB0D6963F7D28E17F72"));
  EXPECT_FALSE(HasMatchingRecord(Records, u"b.dll", u"900150983cd24fb0d6963f7d28e17f72"));
  EXPECT_FALSE(HasMatchingRecord(Records, u"a.dll", u"900150983cd24fb0d6963f7d28e17f73"));
  EXPECT_FALSE(HasMatchingRecord(Records, u"a.dl", u"900150983cd24fb0d6963f7d28e17f72"));
  EXPECT_EQ(UpperTrim(u" \tab c\r\n"), u"AB C");
}

}  // namespace
}  // namespace corvane
