#pragma once
// TVersionInfo: the version resource of an executable file as readable texts (the version
// line of the about window, target system, file type, flags, translations, string values).
// On Windows the resource comes from the platform's version API; elsewhere it is read out of
// the file's PE resource section, and the program's own resource is the copy the build embeds.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvane {

// The file has no version resource.
class ENoVersion : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The version resource is malformed.
class EVersion : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The fixed file information record of a version resource (VS_FIXEDFILEINFO, 52 bytes).
struct TVSFixedFileInfo {
  uint32_t dwSignature = 0;
  uint32_t dwStrucVersion = 0;
  uint32_t dwFileVersionMS = 0;
  uint32_t dwFileVersionLS = 0;
  uint32_t dwProductVersionMS = 0;
  uint32_t dwProductVersionLS = 0;
  uint32_t dwFileFlagsMask = 0;
  uint32_t dwFileFlags = 0;
  uint32_t dwFileOS = 0;
  uint32_t dwFileType = 0;
  uint32_t dwFileSubtype = 0;
  uint32_t dwFileDateMS = 0;
  uint32_t dwFileDateLS = 0;
};
inline constexpr uint32_t FixedFileInfoSize = 52;

// One translation: language identifier and code page.
struct TTransEntry {
  uint16_t Language = 0;
  uint16_t CharSet = 0;
};

// The standard string values of a version resource.
enum TVerNames {
  verCompanyName,
  verFileDescription,
  verFileVersion,
  verInternalName,
  verLegalCopyright,
  verLegalTrademarks,
  verOriginalFilename,
  verProductName,
  verProductVersion,
  verComments
};

class TVersionInfo {
 public:
  // The program's own version resource.
  TVersionInfo();
  // The version resource of the named file. Raises ENoVersion or EVersion.
  explicit TVersionInfo(const std::filesystem::path& FileName);
  // A version resource given as its bytes. Raises ENoVersion (no bytes) or EVersion.
  static TVersionInfo FromResource(std::vector<uint8_t> Resource);

  std::u16string FileVersion() const;
  std::u16string FileOS() const;
  std::u16string FileType() const;
  const std::vector<std::u16string>& FileFlags() const { return fFileFlags; }
  const TVSFixedFileInfo* FixedInfo() const { return &fFixedInfo; }
  // The translation table (NumLanguages entries), or null when it is empty.
  const TTransEntry* TransTable() const { return fTransTable.empty() ? nullptr : fTransTable.data(); }
  int32_t NumLanguages() const { return static_cast<int32_t>(fTransLen / 4); }
  std::u16string LanguageName() const;
  std::u16string Value(TVerNames Name) const { return GetValue(Name); }
  std::u16string Values(const std::u16string& Key) const { return GetValues(Key); }
  std::u16string GetValue(TVerNames Name) const;
  std::u16string GetValues(const std::u16string& Key) const;

  // Replaces what the constructor without arguments reads, for tests and hosting programs:
  // the given bytes (an empty vector stands for a program without a version resource), or
  // the program's own resource again when nothing is given. Returns the replacement before.
  static std::optional<std::vector<uint8_t>> SetOwnVersionResource(std::optional<std::vector<uint8_t>> Resource);

 private:
  struct TFromBytes {};
  TVersionInfo(TFromBytes, std::vector<uint8_t> Resource);
  void Load(std::vector<uint8_t> Resource);

  std::vector<std::u16string> fFileFlags;
  TVSFixedFileInfo fFixedInfo;
  int32_t fLangIndex = 0;
  uint32_t fTransLen = 0;
  std::vector<TTransEntry> fTransTable;
  uint32_t fVerLen = 0;
  std::vector<uint8_t> fVersionData;
};

// The English name of a Windows language identifier ("English (United States)" for 0x0409,
// "Language Neutral" for 0), as the platform gives it.
std::u16string VersionLanguageName(uint16_t Language);

}  // namespace corvane
