#pragma once
// The text of one syntax-tree element node, shared by the AC-3 and E-AC-3 trees:
//   "<name padded to 20> : <value>[ [<meaning>]] (<n> bits)"   or " (1 bit)"
//   "<name padded to 20> : 0x<4+ hex digits> (16 bits)"        for 16-bit words
// The names line up because they are padded to one width.

#include <cstdint>
#include <string>

namespace corvane {

inline constexpr int32_t SyntaxLabelWidth = 20;

// " (1 bit)" or " (<n> bits)".
std::u16string BitsText(int32_t Bits);
// Element with a plain decimal value.
std::u16string ElementText(const std::u16string& Name, uint32_t Value, int32_t Bits);
// Element with a meaning in brackets.
std::u16string ElementText(const std::u16string& Name, uint32_t Value, const std::u16string& Meaning, int32_t Bits);
// Element whose stream width is not shown (derived values): "<name> : <value>".
std::u16string ElementTextNoWidth(const std::u16string& Name, uint32_t Value);
// A 16-bit word in hexadecimal.
std::u16string HexWordText(const std::u16string& Name, uint32_t Value);

}  // namespace corvane
