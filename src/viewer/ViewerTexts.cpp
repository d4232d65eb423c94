#include "viewer/ViewerTexts.h"

#include <cmath>

#include "core/FileStream.h"
#include "core/StringUtils.h"

namespace corvane {
namespace {

bool IsBlank(char16_t Char) { return Char == u' ' || Char == u'\t' || Char == u'\r' || Char == u'\n'; }

std::u16string_view Trimmed(std::u16string_view Text) {
  while (!Text.empty() && IsBlank(Text.front())) Text.remove_prefix(1);
  while (!Text.empty() && IsBlank(Text.back())) Text.remove_suffix(1);
  return Text;
}

std::u16string TwoDigits(int64_t Value) {
  std::u16string Text = IntToStr(Value);
  if (Text.size() < 2) Text.insert(0, 1, u'0');
  return Text;
}

}  // namespace

std::u16string GroupedDigits(int64_t Value) {
  const std::u16string Digits = IntToStr(Value);
  std::u16string Text;
  const size_t Lead = Digits[0] == u'-' ? 1 : 0;
  for (size_t Index = 0; Index < Digits.size(); ++Index) {
    const size_t Left = Digits.size() - Index;
    if (Index > Lead && Left % 3 == 0) Text += u',';
    Text += Digits[Index];
  }
  return Text;
}

std::u16string DurationText(int64_t Milliseconds) {
  const int64_t Millis = std::max<int64_t>(Milliseconds, 0);
  const int64_t Whole = Millis / 1000;
  std::u16string Fraction = IntToStr(Millis % 1000);
  Fraction.insert(0, 3 - Fraction.size(), u'0');
  return IntToStr(Whole / 3600) + u":" + TwoDigits(Whole / 60 % 60) + u":" + TwoDigits(Whole % 60) + u"." + Fraction;
}

TGoToOffset::TAnswer TGoToOffset::Read(std::u16string_view Typed) {
  FLastText = Trimmed(Typed);
  TAnswer Answer;
  Answer.Offset = ParsePosition(FLastText);
  if (!Answer.Offset)
    Answer.Error = u"\"" + FLastText + u"\" is not a byte offset. Type a decimal number, or a hexadecimal one after 0x.";
  return Answer;
}

std::u16string PastEndText(int64_t Offset, int64_t FileSize) {
  return u"Offset " + GroupedDigits(Offset) + u" is past the end of the file, which has " + GroupedDigits(FileSize) +
         (FileSize == 1 ? u" byte." : u" bytes.");
}

std::optional<std::u16string> OpenFailureReason(const std::filesystem::path& FileName) {
  TFileStream Stream;
  if (Stream.Open(FileName, TFileStream::TMode::Read)) return std::nullopt;
  // The stream says which call failed ("open: ..."); the user needs only the reason.
  std::string Reason = Stream.LastError();
  if (const size_t Colon = Reason.find(": "); Colon != std::string::npos) Reason.erase(0, Colon + 2);
  if (Reason.empty()) Reason = "unknown error";
  return FromUtf8(Reason);
}

std::u16string CannotOpenText(const std::filesystem::path& FileName, std::u16string_view Reason) {
  return u"Cannot open " + PathToText(FileName) + u": " + std::u16string(Reason) + u".";
}

}  // namespace corvane
