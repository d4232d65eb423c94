#include "analysis/SyntaxNodeText.h"

#include "core/StringUtils.h"

namespace corvane {

std::u16string BitsText(int32_t Bits) {
  return Bits == 1 ? std::u16string(u" (1 bit)") : u" (" + IntToStr(Bits) + u" bits)";
}

std::u16string ElementText(const std::u16string& Name, uint32_t Value, int32_t Bits) {
  return PadRight(Name, SyntaxLabelWidth) + u" : " + UIntToStr(Value) + BitsText(Bits);
}

std::u16string ElementText(const std::u16string& Name, uint32_t Value, const std::u16string& Meaning, int32_t Bits) {
  return PadRight(Name, SyntaxLabelWidth) + u" : " + UIntToStr(Value) + u" [" + Meaning + u"]" + BitsText(Bits);
}

std::u16string ElementTextNoWidth(const std::u16string& Name, uint32_t Value) {
  return PadRight(Name, SyntaxLabelWidth) + u" : " + UIntToStr(Value);
}

std::u16string HexWordText(const std::u16string& Name, uint32_t Value) {
  return PadRight(Name, SyntaxLabelWidth) + u" : 0x" + IntToHex(Value, 4) + BitsText(16);
}

}  // namespace corvane
