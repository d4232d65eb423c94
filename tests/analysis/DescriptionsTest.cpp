// Meanings of coded header values and the text of syntax-tree element nodes.

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/AC3Descriptions.h"
#include "analysis/SyntaxNodeText.h"

namespace corvane {
namespace {

struct TDescriptionTable {
  const char* Name;
  std::function<std::u16string(int32_t)> Describe;
  std::vector<std::u16string> Texts;  // by coded value from 0; every other value is "Unknown"
};

TEST(Descriptions, EveryCodedValueAndTheValuesAroundThem) {
  const TDescriptionTable Tables[] = {
      {"fscod", FscodToStr, {u"48000 Hz", u"44100 Hz", u"32000 Hz"}},
      {"fscod2", Fscod2ToStr, {u"24000 Hz", u"22050 Hz", u"16000 Hz"}},
      {"acmod",
       AcmodToStr,
       {u"1+1 (2) Ch1, Ch2", u"1/0 (1) C", u"2/0 (2) L, R", u"3/0 (3) L, C, R", u"2/1 (3) L, R, S",
        u"3/1 (4) L, C, R, S", u"2/2 (4) L, R, SL, SR", u"3/2 (5) L, C, R, SL, SR"}},
      {"cmixlev", CmixlevToStr, {u"0.707 (\u20133.0 dB)", u"0.595 (\u20134.5 dB)", u"0.500 (\u20136.0 dB)", u"reserved"}},
      {"surmixlev", SurmixlevToStr, {u"0.707 (\u20133 dB)", u"0.500 (\u20136 dB)", u"0", u"reserved"}},
      {"dsurmod", DsurmodToStr, {u"not indicated", u"Not Dolby Surround encoded", u"Dolby Surround encoded", u"reserved"}},
      {"roomtyp", RoomtypToStr, {u"not indicated", u"large room, X curve monitor", u"small room, flat monitor", u"reserved"}},
      {"strmtyp", StrmtypToStr, {u"Type 0", u"Type 1", u"Type 2", u"Type 3"}},
  };
  for (const TDescriptionTable& Table : Tables) {
    const auto Count = static_cast<int32_t>(Table.Texts.size());
    for (int32_t Value : {INT32_MIN, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 15, 63, INT32_MAX}) {
      const std::u16string Expected = Value >= 0 && Value < Count ? Table.Texts[static_cast<size_t>(Value)] : u"Unknown";
      EXPECT_EQ(Table.Describe(Value), Expected) << Table.Name << " " << Value;
    }
  }
}

// Gain words: exponent steps of 6.02 dB and the mantissa's fraction, at both ends of each range.
TEST(Descriptions, GainWordsInDecibels) {
  struct TCase {
    const char* Word;
    double (*ToDb)(uint32_t);
    uint32_t Value;
    double Db;
    std::u16string Text;
  };
  const TCase Cases[] = {
      {"dynrng", DynrngToDb, 0x00, 0.0, u"0.00 dB"},
      {"dynrng", DynrngToDb, 0x20, 6.02, u"6.02 dB"},           // exponent 1
      {"dynrng", DynrngToDb, 0x10, 3.52, u"3.52 dB"},           // mantissa 1.5
      {"dynrng", DynrngToDb, 0xE0, -6.02, u"–6.02 dB"},    // exponent -1
      {"dynrng", DynrngToDb, 0x80, -24.08, u"–24.08 dB"},  // the lowest
      {"dynrng", DynrngToDb, 0x7F, 23.95, u"23.95 dB"},         // the highest
      {"compr", ComprToDb, 0x00, 0.0, u"0.00 dB"},
      {"compr", ComprToDb, 0x10, 6.02, u"6.02 dB"},
      {"compr", ComprToDb, 0x08, 3.52, u"3.52 dB"},
      {"compr", ComprToDb, 0xF0, -6.02, u"–6.02 dB"},
      {"compr", ComprToDb, 0x80, -48.16, u"–48.16 dB"},
      {"compr", ComprToDb, 0x7F, 47.89, u"47.89 dB"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(std::string(Case.Word) + " " + std::to_string(Case.Value));
    EXPECT_NEAR(Case.ToDb(Case.Value), Case.Db, 0.005);
    EXPECT_EQ(DecibelsToStr(Case.ToDb(Case.Value)), Case.Text);
  }
  EXPECT_EQ(DecibelsToStr(-0.001), u"0.00 dB");  // no sign on a gain that rounds to zero
}

TEST(Descriptions, MixLevelsUseAnEnDash) {
  for (int32_t Level = 0; Level < 2; ++Level) {
    EXPECT_NE(CmixlevToStr(Level).find(u'\u2013'), std::u16string::npos);
    EXPECT_EQ(CmixlevToStr(Level).find(u'-'), std::u16string::npos);
    EXPECT_NE(SurmixlevToStr(Level).find(u'\u2013'), std::u16string::npos);
  }
}

TEST(Descriptions, BsmodSevenDependsOnAcmod) {
  const char16_t* Services[] = {u"main audio service: complete main (CM)",
                                u"main audio service: music and effects (ME)",
                                u"associated service: visually impaired (VI)",
                                u"associated service: hearing impaired (HI)",
                                u"associated service: dialogue (D)",
                                u"associated service: commentary (C)",
                                u"associated service: emergency (E)"};
  for (int32_t Acmod = -1; Acmod <= 8; ++Acmod) {
    for (int32_t Bsmod = 0; Bsmod < 7; ++Bsmod) EXPECT_EQ(BsmodToStr(Bsmod, Acmod), Services[Bsmod]) << Bsmod;
    EXPECT_EQ(BsmodToStr(7, Acmod),
              Acmod == 1 ? u"associated service: voice over (VO)" : u"main audio service: karaoke")
        << Acmod;
    EXPECT_EQ(BsmodToStr(8, Acmod), u"Unknown");
    EXPECT_EQ(BsmodToStr(-1, Acmod), u"Unknown");
  }
}

TEST(Descriptions, BlocksPerSyncframe) {
  const std::pair<int32_t, int32_t> Cases[] = {{0, 1}, {1, 2}, {2, 3}, {3, 6}, {4, 0}, {-1, 0}, {INT32_MAX, 0}};
  for (const auto& [Code, Blocks] : Cases) EXPECT_EQ(NumblkscodToBlocks(Code), Blocks) << Code;
}

// The name followed by spaces up to column 20.
std::u16string Label(const std::u16string& Name, size_t Spaces) { return Name + std::u16string(Spaces, u' '); }

TEST(SyntaxNodeText, ElementLinesLineUpTheirColumns) {
  EXPECT_EQ(ElementText(u"bsid", 8, 5), Label(u"bsid", 16) + u" : 8 (5 bits)");
  EXPECT_EQ(ElementText(u"lfeon", 1, 1), Label(u"lfeon", 15) + u" : 1 (1 bit)");
  EXPECT_EQ(ElementText(u"acmod", 7, AcmodToStr(7), 3), Label(u"acmod", 15) + u" : 7 [3/2 (5) L, C, R, SL, SR] (3 bits)");
  EXPECT_EQ(ElementText(u"frmsizecod", 28, u"1536 words", 6), Label(u"frmsizecod", 10) + u" : 28 [1536 words] (6 bits)");
  EXPECT_EQ(ElementText(u"dialnorm", 4294967295u, 5), Label(u"dialnorm", 12) + u" : 4294967295 (5 bits)");
  EXPECT_EQ(HexWordText(u"syncword", 0x0B77), Label(u"syncword", 12) + u" : 0x0B77 (16 bits)");
  EXPECT_EQ(HexWordText(u"crc1", 0xBEEF), Label(u"crc1", 16) + u" : 0xBEEF (16 bits)");
  EXPECT_EQ(HexWordText(u"crc1", 0x3), Label(u"crc1", 16) + u" : 0x0003 (16 bits)");
  EXPECT_EQ(ElementTextNoWidth(u"frame size", 1536), Label(u"frame size", 10) + u" : 1536");
  // Names of 20 characters or more are not cut.
  EXPECT_EQ(ElementText(u"a_name_of_twenty_one", 0, 14), u"a_name_of_twenty_one : 0 (14 bits)");
}

}  // namespace
}  // namespace corvane
