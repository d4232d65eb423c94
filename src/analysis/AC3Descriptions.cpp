#include "analysis/AC3Descriptions.h"

#include <cmath>
#include <initializer_list>

#include "core/StringUtils.h"

namespace corvane {
namespace {

constexpr const char16_t* Unknown = u"Unknown";

// The text of Value in Texts, or "Unknown" outside it (negative values included).
std::u16string Lookup(int32_t Value, std::initializer_list<const char16_t*> Texts) {
  if (Value < 0 || static_cast<size_t>(Value) >= Texts.size()) return Unknown;
  return Texts.begin()[Value];
}

std::u16string RateToStr(uint32_t Code, const std::array<uint32_t, 4>& Table) {
  if (Code > 2) return Unknown;
  return UIntToStr(Table[Code]) + u" Hz";
}

}  // namespace

const std::array<uint32_t, 4> AC3SamplingRateTable = {48000, 44100, 32000, 0};
const std::array<uint32_t, 4> AC3ReducedSamplingRateTable = {24000, 22050, 16000, 0};

std::u16string FscodToStr(int32_t fscod) { return RateToStr(static_cast<uint32_t>(fscod), AC3SamplingRateTable); }

std::u16string Fscod2ToStr(int32_t fscod2) {
  return RateToStr(static_cast<uint32_t>(fscod2), AC3ReducedSamplingRateTable);
}

std::u16string BsmodToStr(int32_t bsmod, int32_t acmod) {
  if (bsmod == 7)
    return acmod == 1 ? u"associated service: voice over (VO)" : u"main audio service: karaoke";
  return Lookup(bsmod, {u"main audio service: complete main (CM)", u"main audio service: music and effects (ME)",
                        u"associated service: visually impaired (VI)", u"associated service: hearing impaired (HI)",
                        u"associated service: dialogue (D)", u"associated service: commentary (C)",
                        u"associated service: emergency (E)"});
}

std::u16string AcmodToStr(int32_t acmod) {
  return Lookup(acmod, {u"1+1 (2) Ch1, Ch2", u"1/0 (1) C", u"2/0 (2) L, R", u"3/0 (3) L, C, R", u"2/1 (3) L, R, S",
                        u"3/1 (4) L, C, R, S", u"2/2 (4) L, R, SL, SR", u"3/2 (5) L, C, R, SL, SR"});
}

std::u16string CmixlevToStr(int32_t cmixlev) {
  return Lookup(cmixlev, {u"0.707 (\u20133.0 dB)", u"0.595 (\u20134.5 dB)", u"0.500 (\u20136.0 dB)", u"reserved"});
}

std::u16string SurmixlevToStr(int32_t surmixlev) {
  return Lookup(surmixlev, {u"0.707 (\u20133 dB)", u"0.500 (\u20136 dB)", u"0", u"reserved"});
}

std::u16string DsurmodToStr(int32_t dsurmod) {
  return Lookup(dsurmod, {u"not indicated", u"Not Dolby Surround encoded", u"Dolby Surround encoded", u"reserved"});
}

std::u16string RoomtypToStr(int32_t roomtyp) {
  return Lookup(roomtyp, {u"not indicated", u"large room, X curve monitor", u"small room, flat monitor", u"reserved"});
}

std::u16string StrmtypToStr(int32_t strmtyp) { return Lookup(strmtyp, {u"Type 0", u"Type 1", u"Type 2", u"Type 3"}); }

int32_t NumblkscodToBlocks(int32_t numblkscod) {
  constexpr int32_t Blocks[4] = {1, 2, 3, 6};
  return numblkscod >= 0 && numblkscod < 4 ? Blocks[numblkscod] : 0;
}

int32_t AcmodToChannels(int32_t acmod) {
  constexpr int32_t Channels[8] = {2, 1, 2, 3, 3, 4, 4, 5};
  return acmod >= 0 && acmod < 8 ? Channels[acmod] : 0;
}

namespace {

// 20 log10(2^Exponent * (1 + Mantissa / 2^MantissaBits)), the exponent being the word's top
// bits as a two's complement number.
double GainWordToDb(uint32_t Word, int32_t MantissaBits, int32_t ExponentBits) {
  const auto Mantissa = static_cast<int32_t>(Word & ((1u << MantissaBits) - 1u));
  auto Exponent = static_cast<int32_t>((Word >> MantissaBits) & ((1u << ExponentBits) - 1u));
  if (Exponent >= 1 << (ExponentBits - 1)) Exponent -= 1 << ExponentBits;
  return 20.0 * std::log10(std::ldexp(1.0 + Mantissa / static_cast<double>(1 << MantissaBits), Exponent));
}

}  // namespace

double DynrngToDb(uint32_t dynrng) { return GainWordToDb(dynrng, 5, 3); }

double ComprToDb(uint32_t compr) { return GainWordToDb(compr, 4, 4); }

std::u16string DecibelsToStr(double Db) {
  const auto Hundredths = static_cast<int64_t>(std::llround(std::fabs(Db) * 100.0));
  std::u16string Text = Db < 0 && Hundredths != 0 ? u"\u2013" : u"";
  const std::u16string Fraction = IntToStr(Hundredths % 100);
  return Text + IntToStr(Hundredths / 100) + u"." + (Fraction.size() < 2 ? u"0" : u"") + Fraction + u" dB";
}

}  // namespace corvane
