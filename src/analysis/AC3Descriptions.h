#pragma once
// Meanings of coded AC-3 / E-AC-3 header values, as shown in the syntax trees and the frame list.

#include <array>
#include <cstdint>
#include <string>

namespace corvane {

extern const std::array<uint32_t, 4> AC3SamplingRateTable;         // by fscod
extern const std::array<uint32_t, 4> AC3ReducedSamplingRateTable;  // by fscod2

std::u16string FscodToStr(int32_t fscod);
std::u16string Fscod2ToStr(int32_t fscod2);
std::u16string BsmodToStr(int32_t bsmod, int32_t acmod);
std::u16string AcmodToStr(int32_t acmod);
std::u16string CmixlevToStr(int32_t cmixlev);
std::u16string SurmixlevToStr(int32_t surmixlev);
std::u16string DsurmodToStr(int32_t dsurmod);
std::u16string RoomtypToStr(int32_t roomtyp);
std::u16string StrmtypToStr(int32_t strmtyp);
// Audio blocks per syncframe; 0 for a value outside the table.
int32_t NumblkscodToBlocks(int32_t numblkscod);
// Full-bandwidth channels of an audio coding mode (the LFE channel not counted); 0 for a value
// outside the table.
int32_t AcmodToChannels(int32_t acmod);

// Gains of the dynamic range words in dB: dynrng/dynrng2 of an audio block, a 3-bit signed
// exponent of 6.02 dB steps and a 5-bit mantissa 1.YYYYY (binary); compr/compr2 of bsi(), a
// 4-bit signed exponent and a 4-bit mantissa 1.YYYY. Word 0 is 0 dB in both.
double DynrngToDb(uint32_t dynrng);
double ComprToDb(uint32_t compr);
// A gain as the trees show it: two decimals and " dB", negative ones after an en dash as the
// mixing levels' meanings have it ("\u20136.02 dB").
std::u16string DecibelsToStr(double Db);

}  // namespace corvane
