#include "product/VersionInfo.h"

#include <mutex>

#include "core/StringUtils.h"
#include "product/VersionResource.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "product/EmbeddedVersion.h"
#include "product/PEResource.h"
#endif

namespace corvane {
namespace {

const char NoVersionMessage[] = "No version information";

std::mutex& OwnResourceMutex() {
  static std::mutex Mutex;
  return Mutex;
}

std::optional<std::vector<uint8_t>>& OwnResourceOverride() {
  static std::optional<std::vector<uint8_t>> Override;
  return Override;
}

uint32_t Le32(const std::vector<uint8_t>& Bytes, size_t At) {
  return uint32_t{Bytes[At]} | (uint32_t{Bytes[At + 1]} << 8) | (uint32_t{Bytes[At + 2]} << 16) |
         (uint32_t{Bytes[At + 3]} << 24);
}

#ifdef _WIN32
std::vector<uint8_t> ReadFileVersionResource(const std::filesystem::path& FileName) {
  DWORD Handle = 0;
  const DWORD Size = GetFileVersionInfoSizeW(FileName.c_str(), &Handle);
  if (Size == 0) throw ENoVersion(NoVersionMessage);
  std::vector<uint8_t> Data(Size);
  if (!GetFileVersionInfoW(FileName.c_str(), 0, Size, Data.data())) throw ENoVersion(NoVersionMessage);
  return Data;
}

std::filesystem::path OwnExecutable() {
  std::wstring Name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD Got = GetModuleFileNameW(nullptr, Name.data(), static_cast<DWORD>(Name.size()));
    if (Got == 0) throw ENoVersion(NoVersionMessage);
    if (Got < Name.size()) {
      Name.resize(Got);
      return Name;
    }
    Name.resize(Name.size() * 2);
  }
}
#else
std::vector<uint8_t> ReadFileVersionResource(const std::filesystem::path& FileName) {
  auto Data = ReadPEVersionResource(FileName);
  if (!Data) throw ENoVersion(NoVersionMessage);
  return std::move(*Data);
}
#endif

std::vector<uint8_t> OwnVersionResource() {
  {
    std::lock_guard<std::mutex> Lock(OwnResourceMutex());
    if (OwnResourceOverride()) return *OwnResourceOverride();
  }
#ifdef _WIN32
  return ReadFileVersionResource(OwnExecutable());
#else
  return std::vector<uint8_t>(EmbeddedVersionResource, EmbeddedVersionResource + EmbeddedVersionResourceSize);
#endif
}

std::u16string DriverName(uint32_t Subtype) {
  static const char16_t* const Names[] = {u"Printer", u"Keyboard", u"Language", u"Display", u"Mouse",
                                          u"Network", u"System",   u"Installable", u"Sound", u"Comm"};
  return Subtype >= 1 && Subtype <= 10 ? Names[Subtype - 1] : u"Unknown";
}

std::u16string FontName(uint32_t Subtype) {
  static const char16_t* const Names[] = {u"Raster", u"Vector", u"Truetype"};
  return Subtype >= 1 && Subtype <= 3 ? Names[Subtype - 1] : u"Unknown";
}

}  // namespace

TVersionInfo::TVersionInfo() { Load(OwnVersionResource()); }

TVersionInfo::TVersionInfo(const std::filesystem::path& FileName) { Load(ReadFileVersionResource(FileName)); }

TVersionInfo::TVersionInfo(TFromBytes, std::vector<uint8_t> Resource) { Load(std::move(Resource)); }

TVersionInfo TVersionInfo::FromResource(std::vector<uint8_t> Resource) { return TVersionInfo(TFromBytes{}, std::move(Resource)); }

std::optional<std::vector<uint8_t>> TVersionInfo::SetOwnVersionResource(std::optional<std::vector<uint8_t>> Resource) {
  std::lock_guard<std::mutex> Lock(OwnResourceMutex());
  std::optional<std::vector<uint8_t>> Previous = std::move(OwnResourceOverride());
  OwnResourceOverride() = std::move(Resource);
  return Previous;
}

void TVersionInfo::Load(std::vector<uint8_t> Resource) {
  if (Resource.empty()) throw ENoVersion(NoVersionMessage);
  fVerLen = static_cast<uint32_t>(Resource.size());
  fVersionData = std::move(Resource);

  TVersionValue Fixed;
  if (!QueryVersionValue(fVersionData, u"\\", Fixed)) throw EVersion("Error geting fixed version info");
  if (Fixed.Size < FixedFileInfoSize) throw EVersion("Bad fixed version info size");
  uint32_t* const Fields[] = {
      &fFixedInfo.dwSignature,      &fFixedInfo.dwStrucVersion,   &fFixedInfo.dwFileVersionMS,
      &fFixedInfo.dwFileVersionLS,  &fFixedInfo.dwProductVersionMS, &fFixedInfo.dwProductVersionLS,
      &fFixedInfo.dwFileFlagsMask,  &fFixedInfo.dwFileFlags,      &fFixedInfo.dwFileOS,
      &fFixedInfo.dwFileType,       &fFixedInfo.dwFileSubtype,    &fFixedInfo.dwFileDateMS,
      &fFixedInfo.dwFileDateLS};
  for (size_t I = 0; I < std::size(Fields); ++I) *Fields[I] = Le32(fVersionData, Fixed.Offset + 4 * I);

  TVersionValue Trans;
  if (!QueryVersionValue(fVersionData, u"\\VarFileInfo\\Translation", Trans))
    throw EVersion("Bad translation in version info");
  fTransLen = static_cast<uint32_t>(Trans.Size);
  for (size_t At = Trans.Offset; At + 4 <= Trans.Offset + Trans.Size; At += 4) {
    const uint32_t Entry = Le32(fVersionData, At);
    fTransTable.push_back({static_cast<uint16_t>(Entry), static_cast<uint16_t>(Entry >> 16)});
  }

  // The order of the names is the one users of this class have always seen; the flags mask
  // is deliberately not applied.
  const uint32_t Flags = fFixedInfo.dwFileFlags;
  if (Flags & 0x01) fFileFlags.push_back(u"DEBUG");
  if (Flags & 0x04) fFileFlags.push_back(u"PATCHED");
  if (Flags & 0x02) fFileFlags.push_back(u"PRERELEASE");
  if (Flags & 0x08) fFileFlags.push_back(u"PRIVATEBUILD");
  if (Flags & 0x20) fFileFlags.push_back(u"SPECIALBUILD");
}

std::u16string TVersionInfo::FileVersion() const {
  const uint32_t Major = fFixedInfo.dwFileVersionMS >> 16;
  const uint32_t Minor = fFixedInfo.dwFileVersionMS & 0xFFFF;
  const uint32_t Release = fFixedInfo.dwFileVersionLS >> 16;
  const uint32_t Build = fFixedInfo.dwFileVersionLS & 0xFFFF;
  std::u16string Text = u"Version " + UIntToStr(Major) + u"." + UIntToStr(Minor);
  if (Release != 0) Text += u"." + UIntToStr(Release);
  return Text + u" (build " + UIntToStr(Build) + u")";
}

std::u16string TVersionInfo::FileOS() const {
  const uint32_t OS = fFixedInfo.dwFileOS;
  if (OS == 0) return u"Unknown";
  std::u16string Low;
  switch (OS & 0xFFFF) {
    case 0: break;
    case 1: Low = u"Windows16"; break;
    case 2: Low = u"PM16"; break;
    case 3: Low = u"PM32"; break;
    case 4: Low = u"Windows32"; break;
    default: Low = u"Unknown"; break;
  }
  std::u16string High;
  switch (OS & 0xFFFF0000u) {
    case 0: break;
    case 0x10000: High = u"DOS"; break;
    case 0x20000: High = u"OS2-16"; break;
    case 0x30000: High = u"OS2-32"; break;
    case 0x40000: High = u"NT"; break;
    default: High = u"Unknown"; break;
  }
  if (Low.empty()) return High;
  if (High.empty()) return Low;
  return Low + u" (" + High + u")";
}

std::u16string TVersionInfo::FileType() const {
  const uint32_t Subtype = fFixedInfo.dwFileSubtype;
  switch (fFixedInfo.dwFileType) {
    case 1: return u"Application";
    case 2: return u"DLL";
    case 3: return Subtype == 0 ? u"Device driver" : DriverName(Subtype) + u" driver";
    case 4: return Subtype == 0 ? u"Font" : FontName(Subtype) + u" font";
    case 5: return u"Virtual device (" + IntToHex(Subtype, 8) + u")";
    case 7: return u"Static-link library";
    default: return u"Unknown";
  }
}

std::u16string TVersionInfo::GetValue(TVerNames Name) const {
  static const char16_t* const Keys[] = {u"CompanyName",      u"FileDescription",  u"FileVersion",
                                         u"InternalName",     u"LegalCopyright",   u"LegalTrademarks",
                                         u"OriginalFilename", u"ProductName",      u"ProductVersion",
                                         u"Comments"};
  if (Name < verCompanyName || Name > verComments) return {};
  return GetValues(Keys[Name]);
}

std::u16string TVersionInfo::GetValues(const std::u16string& Key) const {
  // A resource with an empty translation table has no string values to offer.
  if (fLangIndex < 0 || size_t(fLangIndex) >= fTransTable.size()) return {};
  const TTransEntry& Trans = fTransTable[static_cast<size_t>(fLangIndex)];
  const std::u16string Path =
      u"\\StringFileInfo\\" + IntToHex(Trans.Language, 4) + IntToHex(Trans.CharSet, 4) + u"\\" + Key;
  TVersionValue Found;
  if (!QueryVersionValue(fVersionData, Path, Found)) return {};
  return VersionValueText(fVersionData, Found);
}

std::u16string TVersionInfo::LanguageName() const {
  if (fLangIndex < 0 || size_t(fLangIndex) >= fTransTable.size()) return {};
  return VersionLanguageName(fTransTable[static_cast<size_t>(fLangIndex)].Language);
}

}  // namespace corvane
