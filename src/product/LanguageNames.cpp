// Names of Windows language identifiers for TVersionInfo.LanguageName.

#include <cwchar>
#include <iterator>

#include "product/VersionInfo.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace corvane {

#ifdef _WIN32

std::u16string VersionLanguageName(uint16_t Language) {
  // The first call tells the length of the name, the second fetches all of it.
  wchar_t Probe[256] = {};
  const DWORD Length = VerLanguageNameW(Language, Probe, 255);
  std::wstring Name(Length + 1, L'\0');
  VerLanguageNameW(Language, Name.data(), Length + 1);
  // Whether the count returned includes the terminating null differs between implementations
  // of the call; the name ends at the first null either way.
  Name.resize(std::wcslen(Name.c_str()));
  return std::u16string(Name.begin(), Name.end());
}

#else

namespace {

struct TLanguage {
  uint16_t Id;
  const char16_t* Name;
};

// The names the platform gives for the common languages, by full identifier.
constexpr TLanguage Languages[] = {
    {0x0000, u"Language Neutral"},
    {0x0401, u"Arabic (Saudi Arabia)"},
    {0x0404, u"Chinese (Traditional, Taiwan)"},
    {0x0405, u"Czech (Czech Republic)"},
    {0x0406, u"Danish (Denmark)"},
    {0x0407, u"German (Germany)"},
    {0x0408, u"Greek (Greece)"},
    {0x0409, u"English (United States)"},
    {0x040A, u"Spanish (Spain, Traditional Sort)"},
    {0x040B, u"Finnish (Finland)"},
    {0x040C, u"French (France)"},
    {0x040D, u"Hebrew (Israel)"},
    {0x040E, u"Hungarian (Hungary)"},
    {0x0410, u"Italian (Italy)"},
    {0x0411, u"Japanese (Japan)"},
    {0x0412, u"Korean (Korea)"},
    {0x0413, u"Dutch (Netherlands)"},
    {0x0414, u"Norwegian, Bokm\u00E5l (Norway)"},
    {0x0415, u"Polish (Poland)"},
    {0x0416, u"Portuguese (Brazil)"},
    {0x0419, u"Russian (Russia)"},
    {0x041D, u"Swedish (Sweden)"},
    {0x041F, u"Turkish (Turkey)"},
    {0x0804, u"Chinese (Simplified, PRC)"},
    {0x0807, u"German (Switzerland)"},
    {0x0809, u"English (United Kingdom)"},
    {0x080A, u"Spanish (Mexico)"},
    {0x080C, u"French (Belgium)"},
    {0x0810, u"Italian (Switzerland)"},
    {0x0816, u"Portuguese (Portugal)"},
    {0x0C04, u"Chinese (Traditional, Hong Kong S.A.R.)"},
    {0x0C07, u"German (Austria)"},
    {0x0C09, u"English (Australia)"},
    {0x0C0A, u"Spanish (Spain, International Sort)"},
    {0x0C0C, u"French (Canada)"},
    {0x1009, u"English (Canada)"},
    {0x100C, u"French (Switzerland)"},
};

// Primary languages, for identifiers whose region is not in the table above.
constexpr TLanguage PrimaryLanguages[] = {
    {0x01, u"Arabic"},  {0x04, u"Chinese"},   {0x05, u"Czech"},     {0x06, u"Danish"},  {0x07, u"German"},
    {0x08, u"Greek"},   {0x09, u"English"},   {0x0A, u"Spanish"},   {0x0B, u"Finnish"}, {0x0C, u"French"},
    {0x0D, u"Hebrew"},  {0x0E, u"Hungarian"}, {0x10, u"Italian"},   {0x11, u"Japanese"}, {0x12, u"Korean"},
    {0x13, u"Dutch"},   {0x14, u"Norwegian"}, {0x15, u"Polish"},    {0x16, u"Portuguese"}, {0x19, u"Russian"},
    {0x1D, u"Swedish"}, {0x1F, u"Turkish"},
};

}  // namespace

std::u16string VersionLanguageName(uint16_t Language) {
  for (const TLanguage& L : Languages)
    if (L.Id == Language) return L.Name;
  const uint16_t Primary = Language & 0x3FF;
  if (Primary == 0) return u"Language Neutral";
  for (const TLanguage& L : PrimaryLanguages)
    if (L.Id == Primary) return L.Name;
  return u"Unknown language";
}

#endif

}  // namespace corvane
