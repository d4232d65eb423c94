#pragma once
// Texts the windows show beside the frame list and the tree: numbers with grouped digits, a
// duration as hours, minutes and seconds, the open dialog's filters, the Go to Offset question's
// answers and the reason a file cannot be opened. None of them follows the user's locale: a
// desktop running under one with a comma for the decimal point shows the same digits.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// 1234567 as "1,234,567".
std::u16string GroupedDigits(int64_t Value);
// Milliseconds as "h:mm:ss.mmm": 38400000 as "10:40:00.000".
std::u16string DurationText(int64_t Milliseconds);

// One entry of the open dialog's list of file types.
struct TFileFilter {
  std::u16string_view Name;
  std::u16string_view Patterns;  // separated by spaces: "*.ac3 *.eac3"
};
inline constexpr std::array<TFileFilter, 4> OpenDialogFilters = {{
    {u"AC3/EAC3 ES Files", u"*.ac3 *.eac3 *.ec3"},
    {u"AC3 ES Files", u"*.ac3"},
    {u"EAC3 ES Files", u"*.eac3 *.ec3"},
    {u"All Files", u"*"},
}};

// Go to Offset: reads what the user typed and remembers it for the next question while the
// program runs.
class TGoToOffset {
 public:
  struct TAnswer {
    std::optional<int64_t> Offset;  // nothing: Error says why
    std::u16string Error;
  };
  // The text the question starts with: the last one typed, empty at first.
  const std::u16string& LastText() const { return FLastText; }
  // A decimal number, or a hexadecimal one after 0x, blanks around it ignored.
  TAnswer Read(std::u16string_view Typed);

 private:
  std::u16string FLastText;
};

// "Offset 2,150,400,000 is past the end of the file, which has 2,150,400,000 bytes."
std::u16string PastEndText(int64_t Offset, int64_t FileSize);

// Why FileName cannot be opened for reading ("No such file or directory"), or nothing when it
// can. Only regular files open.
std::optional<std::u16string> OpenFailureReason(const std::filesystem::path& FileName);
// "Cannot open FILE: REASON."
std::u16string CannotOpenText(const std::filesystem::path& FileName, std::u16string_view Reason);

}  // namespace corvane
