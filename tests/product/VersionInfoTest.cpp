#include "product/VersionInfo.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "core/StringUtils.h"
#include "product/PEResource.h"
#include "product/RcVersionScript.h"
#include "product/VersionResource.h"
#include "support/TempFile.h"

namespace corvane {
namespace {

const std::filesystem::path DataDir = std::filesystem::path(CORVANE_TEST_DATA_DIR) / "product";

TVersionResourceDesc SampleDesc() {
  TVersionResourceDesc D;
  D.FileVersionMS = 0x00010002;
  D.FileVersionLS = 0x0003002D;
  D.FileOS = 0x40004;
  D.FileType = 1;
  D.StringTables.push_back({u"040904E4", {{u"ProductName", u"Sample"}, {u"CompanyName", u"Halvern"}}});
  D.Translation = {0x0409, 1252};
  return D;
}

TVersionInfo FromDesc(const TVersionResourceDesc& D) { return TVersionInfo::FromResource(BuildVersionResource(D)); }

std::string ReadText(const std::filesystem::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  std::stringstream S;
  S << In.rdbuf();
  return S.str();
}

TEST(VersionInfoTest, FileVersionLineOmitsAZeroRelease) {
  const struct {
    uint32_t MS, LS;
    const char16_t* Line;
  } Cases[] = {
      {0x00010002, 0x0003002D, u"Version 1.2.3 (build 45)"},
      {0x00010002, 0x0000002D, u"Version 1.2 (build 45)"},
      {0xFFFF0000, 0xFFFFFFFF, u"Version 65535.0.65535 (build 65535)"},
  };
  for (const auto& C : Cases) {
    TVersionResourceDesc D = SampleDesc();
    D.FileVersionMS = C.MS;
    D.FileVersionLS = C.LS;
    EXPECT_EQ(FromDesc(D).FileVersion(), C.Line) << std::hex << C.MS << " " << C.LS;
  }
}

TEST(VersionInfoTest, FileOSNamesLowAndHighParts) {
  const struct {
    uint32_t OS;
    const char16_t* Text;
  } Cases[] = {
      {0x00040004, u"Windows32 (NT)"}, {0x00010001, u"Windows16 (DOS)"}, {0x00000004, u"Windows32"},
      {0x00040000, u"NT"},             {0, u"Unknown"},                   {0x00020002, u"PM16 (OS2-16)"},
      {0x00030003, u"PM32 (OS2-32)"},  {0x00000009, u"Unknown"},          {0x00050004, u"Windows32 (Unknown)"},
      {0x00090000, u"Unknown"},
  };
  for (const auto& C : Cases) {
    TVersionResourceDesc D = SampleDesc();
    D.FileOS = C.OS;
    EXPECT_EQ(FromDesc(D).FileOS(), C.Text) << std::hex << C.OS;
  }
}

TEST(VersionInfoTest, FileTypeNamesTypeAndSubtype) {
  const struct {
    uint32_t Type, Subtype;
    const char16_t* Text;
  } Cases[] = {
      {1, 0, u"Application"},     {2, 0, u"DLL"},          {3, 0, u"Device driver"},
      {3, 1, u"Printer driver"},  {3, 10, u"Comm driver"}, {3, 12, u"Unknown driver"},
      {4, 0, u"Font"},            {4, 3, u"Truetype font"}, {4, 4, u"Unknown font"},
      {5, 0x1A, u"Virtual device (0000001A)"},  {5, 0xABCDEF12, u"Virtual device (ABCDEF12)"},
      {7, 0, u"Static-link library"},           {6, 0, u"Unknown"}, {0, 0, u"Unknown"},
  };
  for (const auto& C : Cases) {
    TVersionResourceDesc D = SampleDesc();
    D.FileType = C.Type;
    D.FileSubtype = C.Subtype;
    EXPECT_EQ(FromDesc(D).FileType(), C.Text) << C.Type << "/" << C.Subtype;
  }
}

TEST(VersionInfoTest, FlagsAreListedInTheirFixedOrderWithoutTheMask) {
  TVersionResourceDesc D = SampleDesc();
  D.FileFlags = 0x3F;
  D.FileFlagsMask = 0;
  const std::vector<std::u16string> All = {u"DEBUG", u"PATCHED", u"PRERELEASE", u"PRIVATEBUILD", u"SPECIALBUILD"};
  EXPECT_EQ(FromDesc(D).FileFlags(), All);
  D.FileFlags = 0x06;
  EXPECT_EQ(FromDesc(D).FileFlags(), (std::vector<std::u16string>{u"PATCHED", u"PRERELEASE"}));
  D.FileFlags = 0x10;
  EXPECT_TRUE(FromDesc(D).FileFlags().empty());
}

TEST(VersionInfoTest, MalformedResourcesRaiseTheirMessages) {
  TVersionResourceDesc ShortFixed = SampleDesc();
  ShortFixed.FixedInfoSize = 48;
  TVersionResourceDesc NoTranslation = SampleDesc();
  NoTranslation.HasVarFileInfo = false;
  const struct {
    const char* What;
    std::vector<uint8_t> Resource;
    bool NoVersion;
    const char* Message;
  } Cases[] = {
      {"empty", {}, true, "No version information"},
      {"root longer than the data", {0x40, 0x00, 0x34, 0x00, 0x00, 0x00}, false, "Error geting fixed version info"},
      {"fixed info of 48 bytes", BuildVersionResource(ShortFixed), false, "Bad fixed version info size"},
      {"no translation", BuildVersionResource(NoTranslation), false, "Bad translation in version info"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    try {
      TVersionInfo::FromResource(C.Resource);
      ADD_FAILURE() << "no exception";
    } catch (const ENoVersion& E) {
      EXPECT_TRUE(C.NoVersion);
      EXPECT_STREQ(E.what(), C.Message);
    } catch (const EVersion& E) {
      EXPECT_FALSE(C.NoVersion);
      EXPECT_STREQ(E.what(), C.Message);
    }
  }
}

TEST(VersionInfoTest, StringValuesFollowTheFirstTranslation) {
  TVersionResourceDesc D = SampleDesc();
  // A second table the translation does not point at must not be read.
  D.StringTables.insert(D.StringTables.begin(), {u"040704B0", {{u"ProductName", u"Beispiel"}}});
  const TVersionInfo Info = FromDesc(D);
  EXPECT_EQ(Info.NumLanguages(), 1);
  ASSERT_NE(Info.TransTable(), nullptr);
  EXPECT_EQ(Info.TransTable()[0].Language, 0x0409);
  EXPECT_EQ(Info.TransTable()[0].CharSet, 1252);
  EXPECT_EQ(Info.Value(verProductName), u"Sample");
  EXPECT_EQ(Info.Values(u"ProductName"), Info.Value(verProductName));
  EXPECT_EQ(Info.Values(u"companyname"), u"Halvern");  // keys compare without regard to case
  EXPECT_EQ(Info.Value(verComments), u"");
}

TEST(VersionInfoTest, AnEmptyTranslationTableGivesNoValuesInsteadOfReadingPastIt) {
  TVersionResourceDesc D = SampleDesc();
  D.Translation.clear();
  const TVersionInfo Info = FromDesc(D);
  EXPECT_EQ(Info.NumLanguages(), 0);
  EXPECT_EQ(Info.TransTable(), nullptr);
  EXPECT_EQ(Info.Value(verProductName), u"");
  EXPECT_EQ(Info.LanguageName(), u"");
  EXPECT_EQ(Info.FileVersion(), u"Version 1.2.3 (build 45)");
}

TEST(VersionInfoTest, TruncatedOrDamagedResourcesNeverReadOutside) {
  const std::vector<uint8_t> Good = BuildVersionResource(SampleDesc());
  auto Survives = [](std::vector<uint8_t> Bytes) {
    try {
      const TVersionInfo Info = TVersionInfo::FromResource(std::move(Bytes));
      (void)Info.Value(verProductName);
      (void)Info.Value(verCompanyName);
    } catch (const ENoVersion&) {
    } catch (const EVersion&) {
    }
  };
  for (size_t Length = 0; Length <= Good.size(); ++Length) Survives({Good.begin(), Good.begin() + static_cast<std::ptrdiff_t>(Length)});
  for (size_t At = 0; At < Good.size(); ++At)
    for (const uint8_t Value : {uint8_t{0x00}, uint8_t{0x01}, uint8_t{0x7F}, uint8_t{0xFF}}) {
      std::vector<uint8_t> Bad = Good;
      Bad[At] = Value;
      Survives(std::move(Bad));
    }
}

TEST(VersionInfoTest, ReadsTheVersionOfAWindowsProgram) {
  const TVersionInfo Info(DataDir / "versioned.exe");
  EXPECT_EQ(Info.FileVersion(), u"Version 1.2.3 (build 45)");
  EXPECT_EQ(Info.FileOS(), u"Windows32 (NT)");
  EXPECT_EQ(Info.FileType(), u"Application");
  EXPECT_EQ(Info.FileFlags().size(), 5u);
  EXPECT_EQ(Info.FixedInfo()->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(Info.FixedInfo()->dwProductVersionLS, 0x0000002Du);
  EXPECT_EQ(Info.NumLanguages(), 1);
#ifdef _WIN32
  // The platform names the language, in the user's language; no terminating null is kept.
  EXPECT_FALSE(Info.LanguageName().empty());
  EXPECT_EQ(Info.LanguageName().find(u'\0'), std::u16string::npos);
#else
  EXPECT_EQ(Info.LanguageName(), u"English (United States)");
#endif
  EXPECT_EQ(Info.Value(verProductName), u"Fixture Product");
  EXPECT_EQ(Info.Value(verComments), u"Odd length");
  EXPECT_EQ(Info.Value(verLegalTrademarks), u"");
}

TEST(VersionInfoTest, FilesWithoutAVersionResourceRaiseNoVersion) {
  for (const auto& Name : {"noversion.exe", "versioned.rc", "no such file.exe"}) {
    try {
      TVersionInfo Info(DataDir / Name);
      ADD_FAILURE() << Name << ": no exception";
    } catch (const ENoVersion& E) {
      EXPECT_STREQ(E.what(), "No version information") << Name;
    }
  }
}

TEST(VersionInfoTest, TruncatedProgramFilesAreRefusedSafely) {
  const std::vector<uint8_t> Program = test::ReadTestFile(DataDir / "versioned.exe");
  for (size_t Length = 0; Length < Program.size(); Length += (Length > 0xE80 && Length < 0xEA0) ? 1 : 13) {
    const std::vector<uint8_t> Head(Program.begin(), Program.begin() + static_cast<std::ptrdiff_t>(Length));
    const test::TTempFile Truncated(Head, ".exe");
    const auto Resource = ReadPEVersionResource(Truncated.Path());
    // The fixture's resource directory, which holds the version resource, ends at 0xE98.
    EXPECT_EQ(Resource.has_value(), Length >= 0xE98u) << Length;
  }
}

TEST(VersionInfoTest, GeneratorMatchesTheResourceCompilerByteForByte) {
  const auto Compiled = ReadPEVersionResource(DataDir / "versioned.exe");
  ASSERT_TRUE(Compiled);
  EXPECT_EQ(BuildVersionResource(ParseRcVersionScript(ReadText(DataDir / "versioned.rc"))), *Compiled);
}

TEST(VersionInfoTest, ScriptReaderUnderstandsCommentsBracesAndFlagExpressions) {
  const char* Script = R"(#include <winver.h>
/* a comment
   over lines */ IDI_ICON ICON "x.ico"
7 VERSIONINFO
FILEVERSION 3, 4   // release and build default to 0
FILEFLAGS 0x1L | 0x20 + 2
FILEOS 0x40004L
{
  BLOCK "StringFileInfo" { BLOCK "040704B0" { VALUE "Comments", "say ""hi"" \\ bye" } }
  BLOCK "VarFileInfo" { VALUE "Translation", 0x407, 1200, 0x409, 1252 }
})";
  const TVersionResourceDesc D = ParseRcVersionScript(Script);
  EXPECT_EQ(D.FileVersionMS, 0x00030004u);
  EXPECT_EQ(D.FileVersionLS, 0u);
  EXPECT_EQ(D.FileFlags, 0x23u);
  EXPECT_EQ(D.FileOS, 0x40004u);
  ASSERT_EQ(D.StringTables.size(), 1u);
  EXPECT_EQ(D.StringTables[0].Values[0].second, u"say \"hi\" \\ bye");
  EXPECT_EQ(D.Translation, (std::vector<uint16_t>{0x407, 1200, 0x409, 1252}));
  EXPECT_EQ(TVersionInfo::FromResource(BuildVersionResource(D)).NumLanguages(), 2);
}

TEST(VersionInfoTest, ScriptReaderReportsTheLineOfAnError) {
  const struct {
    const char* Script;
    const char* Message;
  } Cases[] = {
      {"1 ICON \"a.ico\"\n", "no VERSIONINFO statement"},
      {"1 VERSIONINFO\nFILEOS 4\nBEGIN\n  BLOCK \"Other\"\nEND\n", "line 4: unknown block Other"},
      {"1 VERSIONINFO\nFILEOS\nBEGIN\nEND\n", "line 3: number expected"},
      {"1 VERSIONINFO\nBEGIN\n  BLOCK \"StringFileInfo\"\n  BEGIN\n", "line 5: unexpected end of script"},
  };
  for (const auto& C : Cases) {
    try {
      ParseRcVersionScript(C.Script);
      ADD_FAILURE() << C.Script;
    } catch (const ERcScript& E) {
      EXPECT_STREQ(E.what(), C.Message);
    }
  }
}

TEST(VersionInfoTest, OwnResourceIsTheOneTheBuildCompiledFromTheProjectVersion) {
  const TVersionInfo Info;
  const TVSFixedFileInfo* Fixed = Info.FixedInfo();
  EXPECT_EQ(Fixed->dwFileVersionMS, (uint32_t(CORVANE_VERSION_MAJOR) << 16) | CORVANE_VERSION_MINOR);
  EXPECT_EQ(Fixed->dwFileVersionLS, (uint32_t(CORVANE_VERSION_PATCH) << 16) | CORVANE_VERSION_TWEAK);
  EXPECT_EQ(Info.Value(verProductName), u"Corvane");
  EXPECT_EQ(Info.Value(verCompanyName), u"Halvern");
  EXPECT_EQ(Info.FileType(), u"Application");
}

TEST(VersionInfoTest, OwnResourceCanBeReplaced) {
  TVersionResourceDesc D = SampleDesc();
  auto Previous = TVersionInfo::SetOwnVersionResource(BuildVersionResource(D));
  EXPECT_EQ(TVersionInfo().FileVersion(), u"Version 1.2.3 (build 45)");
  TVersionInfo::SetOwnVersionResource(std::vector<uint8_t>());
  EXPECT_THROW(TVersionInfo(), ENoVersion);
  TVersionInfo::SetOwnVersionResource(std::move(Previous));
  EXPECT_EQ(TVersionInfo().Value(verProductName), u"Corvane");
}

#ifndef _WIN32
TEST(VersionInfoTest, LanguageNamesInEnglish) {
  const struct {
    uint16_t Id;
    const char16_t* Name;
  } Cases[] = {
      {0x0000, u"Language Neutral"},        {0x0409, u"English (United States)"},
      {0x0809, u"English (United Kingdom)"}, {0x0407, u"German (Germany)"},
      {0x040C, u"French (France)"},          {0x0C0A, u"Spanish (Spain, International Sort)"},
      {0x0410, u"Italian (Italy)"},          {0x0411, u"Japanese (Japan)"},
      {0x0804, u"Chinese (Simplified, PRC)"}, {0x1407, u"German"},
      {0x0400, u"Language Neutral"},         {0x047F, u"Unknown language"},
  };
  for (const auto& C : Cases) EXPECT_EQ(VersionLanguageName(C.Id), C.Name) << std::hex << C.Id;
}
#endif

}  // namespace
}  // namespace corvane
