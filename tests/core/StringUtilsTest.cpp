// The text helpers shared by the hex displays, the syntax trees and the update check.

#include <gtest/gtest.h>

#include <filesystem>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/ODSUtls.h"
#include "core/StringUtils.h"
#include "core/TreeModel.h"

namespace corvane {
namespace {

using TLines = std::vector<std::u16string>;

TEST(StringUtils, ByteToHexIsTwoUpperCaseDigits) {
  const std::pair<uint8_t, std::u16string> Cases[] = {
      {0x00, u"00"}, {0x0A, u"0A"}, {0x10, u"10"}, {0xAB, u"AB"}, {0xF0, u"F0"}, {0xFF, u"FF"}};
  for (const auto& [Value, Text] : Cases) EXPECT_EQ(ByteToHex(Value), Text) << int{Value};
}

TEST(StringUtils, PadRightAppendsSpacesUpToTheWidthOnly) {
  EXPECT_EQ(PadRight(u"syncinfo()", 20), u"syncinfo()" + std::u16string(10, u' '));
  const std::u16string Long = u"a name of 25 characters..";
  ASSERT_EQ(Long.size(), 25u);
  EXPECT_EQ(PadRight(Long, 20), Long);
  EXPECT_EQ(PadRight(u"abc", 3), u"abc");
  EXPECT_EQ(PadRight(u"", 4), u"    ");
  EXPECT_EQ(PadRight(u"abc", 0), u"abc");
  EXPECT_EQ(PadRight(u"abc", -5), u"abc");
  EXPECT_EQ(PadRight(u"x", 1000).size(), 1000u);
}

TEST(StringUtils, PrintableCharTableHidesControlCharactersAndTheSoftHyphen) {
  for (int Byte = 0; Byte < 256; ++Byte) {
    const bool Dot = Byte < 0x20 || (Byte >= 0x7F && Byte <= 0x9F) || Byte == 0xAD;
    EXPECT_EQ(PrintableCharTable[static_cast<size_t>(Byte)], Dot ? u'.' : static_cast<char16_t>(Byte)) << Byte;
  }
  EXPECT_EQ(PrintableCharTable[0x20], u' ');
  EXPECT_EQ(PrintableCharTable[0xE9], u'\u00E9');
}

class MemToStrLinesShortTest : public ::testing::Test {
 protected:
  std::vector<std::u16string> Dump(const std::vector<uint8_t>& Bytes, int32_t Width = 60) {
    Tree.Clear();
    Parent = Tree.AddFirst(u"addbsi");
    EXPECT_TRUE(MemToStrLinesShort(Bytes.data(), static_cast<int32_t>(Bytes.size()), &Tree, Width, Parent));
    std::vector<std::u16string> Texts;
    for (TTreeModel::TNodeId Child : Tree.Node(Parent).Children) Texts.push_back(Tree.Node(Child).Text);
    return Texts;
  }
  TTreeModel Tree;
  TTreeModel::TNodeId Parent = TTreeModel::NoNode;
};

TEST_F(MemToStrLinesShortTest, ShortLinePaddedSoTheTextColumnLinesUp) {
  EXPECT_EQ(Dump({0x41, 0x42, 0x00}), TLines{u"41 42 00 " + std::u16string(51, u' ') + u"AB."});
}

TEST_F(MemToStrLinesShortTest, SixteenBytesALine) {
  EXPECT_TRUE(Dump({}).empty());

  std::vector<uint8_t> Bytes;
  for (int I = 0; I < 17; ++I) Bytes.push_back(static_cast<uint8_t>(0x30 + I));
  const std::u16string FullLine =
      u"30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F " + std::u16string(12, u' ') + u"0123456789:;<=>?";
  const TLines Lines = Dump(Bytes);
  EXPECT_EQ(Lines, (TLines{FullLine, u"40 " + std::u16string(57, u' ') + u"@"}));

  Bytes.pop_back();
  EXPECT_EQ(Dump(Bytes), TLines{FullLine});
  // A width below the hex part's length pads nothing.
  EXPECT_EQ(Dump({0xFF, 0x0A}, 2), TLines{u"FF 0A \u00FF."});
  EXPECT_EQ(Tree.Node(Parent).Children.size(), 1u);
}

TEST_F(MemToStrLinesShortTest, AbsentTreeParentOrBytesReportAFailure) {
  TDebugCapture Capture;
  const uint8_t Bytes[] = {1, 2, 3};
  EXPECT_FALSE(MemToStrLinesShort(Bytes, 3, nullptr, 60, 0));
  EXPECT_FALSE(MemToStrLinesShort(Bytes, 3, &Tree, 60, 7));
  Parent = Tree.AddFirst(u"root");
  EXPECT_FALSE(MemToStrLinesShort(nullptr, 3, &Tree, 60, Parent));
  EXPECT_EQ(Capture.Lines(), TLines(3, u"nox: Error in MemToStrLinesShort call..."));
  EXPECT_EQ(Tree.Count(), 1);
}

struct TSplitCase {
  std::u16string Text;
  std::u16string Head;
  std::u16string Rest;
};

TEST(StringUtils, ExtractLineSplitsAtTheFirstCrLf) {
  const TSplitCase Cases[] = {
      {u"a\r\nb", u"a", u"b"},
      {u"abc", u"abc", u""},
      {u"", u"", u""},
      {u"\r\nx", u"", u"x"},
      {u"one\r\ntwo\r\n", u"one", u"two\r\n"},
      {u"lone\rcr\nlf", u"lone\rcr\nlf", u""},  // only the pair ends a line
  };
  for (const TSplitCase& Case : Cases) {
    std::u16string Text = Case.Text;
    EXPECT_EQ(ExtractLine(Text), Case.Head) << ToUtf8(Case.Text);
    EXPECT_EQ(Text, Case.Rest) << ToUtf8(Case.Text);
  }
}

TEST(StringUtils, ExtractTokenSplitsAtTheFirstSemicolon) {
  const TSplitCase Cases[] = {
      {u"x;y;z", u"x", u"y;z"}, {u";rest", u"", u"rest"}, {u"abc", u"abc", u""}, {u"", u"", u""}, {u"end;", u"end", u""},
  };
  for (const TSplitCase& Case : Cases) {
    std::u16string Text = Case.Text;
    EXPECT_EQ(ExtractToken(Text), Case.Head) << ToUtf8(Case.Text);
    EXPECT_EQ(Text, Case.Rest) << ToUtf8(Case.Text);
  }
}

TEST(StringUtils, Utf8RoundTripsEveryPlane) {
  const std::u16string Text = u"A\u00E9\u2013\uFFFD\U0001F600z";
  const std::string Utf8 = ToUtf8(Text);
  EXPECT_EQ(Utf8, "A\xC3\xA9\xE2\x80\x93\xEF\xBF\xBD\xF0\x9F\x98\x80z");
  EXPECT_EQ(FromUtf8(Utf8), Text);
  // A lone surrogate has no UTF-8 form.
  EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
}

TEST(StringUtils, MalformedUtf8BecomesReplacementCharacters) {
  const std::pair<std::string, std::u16string> Cases[] = {
      {"\x80x", u"\uFFFDx"},                                // stray continuation byte
      {"\xC3", u"\uFFFD"},                                  // cut short
      {"\xE2\x28\xA1", u"\uFFFD(\uFFFD"},                   // broken sequence
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                        // overlong "/"
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},              // an encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},    // past U+10FFFF
      {"\xF7\xBF\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
  };
  for (const auto& [Utf8, Text] : Cases) {
    const std::u16string Got = FromUtf8(Utf8);
    EXPECT_EQ(Got, Text) << ToUtf8(Got);
  }
}

// A Linux file name may be any bytes; shown, those that are not UTF-8 become U+FFFD, and the
// conversion never throws as path::u16string() does for them.
TEST(StringUtils, PathsShowAsTextWithTheBytesThatAreNotUtf8Replaced) {
  const struct {
    std::u16string Name;
    bool Exact;
  } Texts[] = {{u"/tmp/a b.ac3", true}, {u"/tmp/Stra\u00DFe \u266B.ac3", true}, {u"", true}};
  for (const auto& Case : Texts) {
    const std::filesystem::path Path(Case.Name);
    EXPECT_EQ(PathToText(Path), Case.Name);
    EXPECT_EQ(PathIsText(Path), Case.Exact);
  }
#ifndef _WIN32
  const struct {
    std::string Bytes;
    std::u16string Shown;
  } Names[] = {{"/tmp/\xE9t\xE9.ac3", u"/tmp/\uFFFDt\uFFFD.ac3"},
               {"\xFF\xFE", u"\uFFFD\uFFFD"},
               {"cut \xE2\x99", u"cut \uFFFD\uFFFD"}};
  for (const auto& Case : Names) {
    const std::filesystem::path Path(Case.Bytes);
    EXPECT_EQ(PathToText(Path), Case.Shown);
    EXPECT_FALSE(PathIsText(Path));
  }
#endif
}

TEST(StringUtils, NumbersAsText) {
  EXPECT_EQ(IntToStr(0), u"0");
  EXPECT_EQ(IntToStr(-42), u"-42");
  EXPECT_EQ(IntToStr(INT64_MIN), u"-9223372036854775808");
  EXPECT_EQ(UIntToStr(UINT64_MAX), u"18446744073709551615");
  EXPECT_EQ(IntToHex(0x0B77, 4), u"0B77");
  EXPECT_EQ(IntToHex(0xABCDE, 4), u"ABCDE");
  EXPECT_EQ(IntToHex(0, 0), u"0");
  EXPECT_EQ(AsciiToU16("frmsizecod"), u"frmsizecod");
}

TEST(StringUtils, ParsePositionTakesDecimalOrHexAfter0x) {
  struct TCase {
    std::u16string_view Text;
    std::optional<int64_t> Value;
  };
  const TCase Cases[] = {
      {u"0", 0},
      {u"50000", 50000},
      {u"0x600", 0x600},
      {u"0XaBc", 0xABC},
      {u"0x7FFFFFFFFFFFFFFF", INT64_MAX},
      {u"9223372036854775807", INT64_MAX},
      {u"9223372036854775808", std::nullopt},  // past the largest signed 64-bit value
      {u"0x8000000000000000", std::nullopt},
      {u"", std::nullopt},
      {u"0x", std::nullopt},
      {u"-1", std::nullopt},
      {u"12a", std::nullopt},
      {u" 12", std::nullopt},
      {u"0x1g", std::nullopt},
      {u"\uFF11", std::nullopt},  // a full-width digit is no digit here
  };
  for (const TCase& Case : Cases) EXPECT_EQ(ParsePosition(Case.Text), Case.Value) << ToUtf8(Case.Text);
}


}  // namespace
}  // namespace corvane
