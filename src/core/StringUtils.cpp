#include "core/StringUtils.h"

#include "core/ODSUtls.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace corvane {
namespace {

constexpr char16_t HexDigits[] = u"0123456789ABCDEF";

constexpr std::array<char16_t, 256> MakePrintableCharTable() {
  std::array<char16_t, 256> Table{};
  for (int Byte = 0; Byte < 256; ++Byte) {
    const bool Control = Byte < 0x20 || (Byte >= 0x7F && Byte <= 0x9F);
    // 0xAD is the soft hyphen, which most fonts draw as nothing.
    Table[static_cast<size_t>(Byte)] = (Control || Byte == 0xAD) ? u'.' : static_cast<char16_t>(Byte);
  }
  return Table;
}

std::u16string ExtractUpTo(std::u16string& Text, std::u16string_view Separator) {
  const size_t Pos = Text.find(Separator);
  if (Pos == std::u16string::npos) {
    std::u16string All = std::move(Text);
    Text.clear();
    return All;
  }
  std::u16string Head = Text.substr(0, Pos);
  Text.erase(0, Pos + Separator.size());
  return Head;
}

}  // namespace

const std::array<char16_t, 256> PrintableCharTable = MakePrintableCharTable();

std::u16string ByteToHex(uint8_t Value) {
  return std::u16string{HexDigits[Value >> 4], HexDigits[Value & 0x0F]};
}

std::u16string PadRight(const std::u16string& Text, int32_t Width) {
  if (static_cast<int64_t>(Text.size()) >= Width) return Text;
  std::u16string Result = Text;
  Result.append(static_cast<size_t>(Width) - Text.size(), u' ');
  return Result;
}

bool MemToStrLinesShort(const uint8_t* Bytes, int32_t Count, TTreeModel* Tree, int32_t Width,
                        TTreeModel::TNodeId Parent) {
  // An absent tree, parent or byte source would crash or lose the dump while reporting success.
  if (Tree == nullptr || !Tree->IsValid(Parent) || (Bytes == nullptr && Count > 0)) {
    return ReportCallFailure(u"MemToStrLinesShort");
  }
  try {
    std::u16string HexPart;
    std::u16string TextPart;
    const auto Emit = [&] { Tree->AddChild(Parent, PadRight(HexPart, Width) + TextPart); };
    for (int32_t Index = 0; Index < Count; ++Index) {
      if (Index > 0 && Index % 16 == 0) {
        Emit();
        HexPart.clear();
        TextPart.clear();
      }
      HexPart += ByteToHex(Bytes[Index]);
      HexPart += u' ';
      TextPart += PrintableCharTable[Bytes[Index]];
    }
    if (!HexPart.empty()) Emit();
    return true;
  } catch (...) {
    return ReportCallFailure(u"MemToStrLinesShort");
  }
}

std::u16string ExtractLine(std::u16string& Text) { return ExtractUpTo(Text, u"\r\n"); }

std::u16string ExtractToken(std::u16string& Text) { return ExtractUpTo(Text, u";"); }

std::string ToUtf8(std::u16string_view Text) {
  std::string Out;
  Out.reserve(Text.size());
  for (size_t I = 0; I < Text.size(); ++I) {
    uint32_t Code = Text[I];
    if (Code >= 0xD800 && Code <= 0xDBFF && I + 1 < Text.size() && Text[I + 1] >= 0xDC00 &&
        Text[I + 1] <= 0xDFFF) {
      Code = 0x10000 + ((Code - 0xD800) << 10) + (Text[I + 1] - 0xDC00);
      ++I;
    } else if (Code >= 0xD800 && Code <= 0xDFFF) {
      Code = 0xFFFD;  // a lone surrogate has no UTF-8 form
    }
    if (Code < 0x80) {
      Out += static_cast<char>(Code);
    } else if (Code < 0x800) {
      Out += static_cast<char>(0xC0 | (Code >> 6));
      Out += static_cast<char>(0x80 | (Code & 0x3F));
    } else if (Code < 0x10000) {
      Out += static_cast<char>(0xE0 | (Code >> 12));
      Out += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
      Out += static_cast<char>(0x80 | (Code & 0x3F));
    } else {
      Out += static_cast<char>(0xF0 | (Code >> 18));
      Out += static_cast<char>(0x80 | ((Code >> 12) & 0x3F));
      Out += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
      Out += static_cast<char>(0x80 | (Code & 0x3F));
    }
  }
  return Out;
}

std::u16string FromSystemCodePage(std::string_view Text) {
#ifdef _WIN32
  if (Text.empty()) return {};
  const int Count = MultiByteToWideChar(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
  std::wstring Wide(static_cast<size_t>(Count > 0 ? Count : 0), L'\0');
  if (Count > 0) MultiByteToWideChar(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), Wide.data(), Count);
  return std::u16string(Wide.begin(), Wide.end());
#else
  return FromUtf8(Text);
#endif
}

std::u16string FromUtf8(std::string_view Text) {
  std::u16string Out;
  Out.reserve(Text.size());
  size_t I = 0;
  while (I < Text.size()) {
    const auto Byte = static_cast<uint8_t>(Text[I]);
    int Extra = Byte < 0x80 ? 0 : (Byte >> 5) == 0x6 ? 1 : (Byte >> 4) == 0xE ? 2 : (Byte >> 3) == 0x1E ? 3 : -1;
    if (Extra < 0 || I + static_cast<size_t>(Extra) >= Text.size()) {
      Out += u'\uFFFD';
      ++I;
      continue;
    }
    uint32_t Code = Extra == 0 ? Byte : Byte & (0x3Fu >> Extra);
    bool Valid = true;
    for (int K = 1; K <= Extra; ++K) {
      const auto Next = static_cast<uint8_t>(Text[I + static_cast<size_t>(K)]);
      if ((Next & 0xC0) != 0x80) {
        Valid = false;
        break;
      }
      Code = (Code << 6) | (Next & 0x3F);
    }
    // Overlong forms, encoded surrogates and values past U+10FFFF have no UTF-16 form.
    constexpr uint32_t Smallest[4] = {0, 0x80, 0x800, 0x10000};
    if (Valid && (Code < Smallest[Extra] || (Code >= 0xD800 && Code <= 0xDFFF) || Code > 0x10FFFF)) Valid = false;
    if (!Valid) {
      Out += u'\uFFFD';
      ++I;
      continue;
    }
    I += static_cast<size_t>(Extra) + 1;
    if (Code >= 0x10000) {
      Code -= 0x10000;
      Out += static_cast<char16_t>(0xD800 + (Code >> 10));
      Out += static_cast<char16_t>(0xDC00 + (Code & 0x3FF));
    } else {
      Out += static_cast<char16_t>(Code);
    }
  }
  return Out;
}

std::u16string PathToText(const std::filesystem::path& Path) {
#ifdef _WIN32
  const std::wstring& Wide = Path.native();
  return std::u16string(Wide.begin(), Wide.end());
#else
  return FromUtf8(Path.native());
#endif
}

bool PathIsText(const std::filesystem::path& Path) {
#ifdef _WIN32
  // A lone surrogate is the one thing a Windows name can hold that is no text.
  const std::u16string Text = PathToText(Path);
  return FromUtf8(ToUtf8(Text)) == Text;
#else
  return ToUtf8(PathToText(Path)) == Path.native();
#endif
}

std::string PathText(const std::filesystem::path& Path) { return ToUtf8(PathToText(Path)); }

std::u16string AsciiToU16(std::string_view Text) { return std::u16string(Text.begin(), Text.end()); }

std::u16string UIntToStr(uint64_t Value) {
  char16_t Buffer[24];
  size_t Pos = sizeof(Buffer) / sizeof(Buffer[0]);
  do {
    Buffer[--Pos] = static_cast<char16_t>(u'0' + Value % 10);
    Value /= 10;
  } while (Value != 0);
  return std::u16string(Buffer + Pos, Buffer + sizeof(Buffer) / sizeof(Buffer[0]));
}

std::u16string IntToStr(int64_t Value) {
  if (Value >= 0) return UIntToStr(static_cast<uint64_t>(Value));
  std::u16string Text = UIntToStr(0 - static_cast<uint64_t>(Value));
  Text.insert(Text.begin(), u'-');
  return Text;
}

std::u16string IntToHex(uint64_t Value, int32_t Digits) {
  std::u16string Out;
  do {
    Out.insert(Out.begin(), HexDigits[Value & 0xF]);
    Value >>= 4;
  } while (Value != 0);
  if (static_cast<int32_t>(Out.size()) < Digits) Out.insert(0, static_cast<size_t>(Digits) - Out.size(), u'0');
  return Out;
}

std::optional<int64_t> ParsePosition(std::u16string_view Text) {
  uint64_t Base = 10;
  if (Text.size() > 2 && Text[0] == u'0' && (Text[1] == u'x' || Text[1] == u'X')) {
    Base = 16;
    Text.remove_prefix(2);
  }
  if (Text.empty()) return std::nullopt;
  uint64_t Value = 0;
  for (const char16_t Digit : Text) {
    uint64_t Nibble;
    if (Digit >= u'0' && Digit <= u'9')
      Nibble = static_cast<uint64_t>(Digit - u'0');
    else if (Base == 16 && Digit >= u'a' && Digit <= u'f')
      Nibble = static_cast<uint64_t>(Digit - u'a' + 10);
    else if (Base == 16 && Digit >= u'A' && Digit <= u'F')
      Nibble = static_cast<uint64_t>(Digit - u'A' + 10);
    else
      return std::nullopt;
    if (Value > (static_cast<uint64_t>(INT64_MAX) - Nibble) / Base) return std::nullopt;
    Value = Value * Base + Nibble;
  }
  return static_cast<int64_t>(Value);
}

}  // namespace corvane
