#pragma once
// Reading and writing the binary version resource of Windows executables (VS_VERSIONINFO):
// a tree of nodes, each with a length, a value length, a type (0 binary, 1 text), a
// UTF-16 key, a value and child nodes, every part aligned to 4 bytes. All multi-byte
// numbers are little-endian. The reader never reads outside the given bytes.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane {

// One value found by QueryVersionValue: where its bytes start inside the resource and how
// many bytes it has (for a text value, the bytes of its characters, terminator included when
// the resource counts it).
struct TVersionValue {
  size_t Offset = 0;
  size_t Size = 0;
  bool IsText = false;
};

// Looks up a value by its path, as the platform's version API does: "\" is the root's value
// (the fixed file information), "\VarFileInfo\Translation" and "\StringFileInfo\040904E4\Key"
// walk the child nodes by key (keys compare without regard to ASCII case).
// Returns false when the path does not lead to a node or the resource is malformed there.
bool QueryVersionValue(const std::vector<uint8_t>& Resource, std::u16string_view Path, TVersionValue& Value);

// The text of a text value: the characters before its terminating null.
std::u16string VersionValueText(const std::vector<uint8_t>& Resource, const TVersionValue& Value);

// Everything a version resource holds, for building one.
struct TVersionResourceDesc {
  uint32_t FileVersionMS = 0;
  uint32_t FileVersionLS = 0;
  uint32_t ProductVersionMS = 0;
  uint32_t ProductVersionLS = 0;
  uint32_t FileFlagsMask = 0;
  uint32_t FileFlags = 0;
  uint32_t FileOS = 0;
  uint32_t FileType = 0;
  uint32_t FileSubtype = 0;
  uint32_t FileDateMS = 0;
  uint32_t FileDateLS = 0;

  struct TStringTable {
    std::u16string Key;  // language and code page as 8 hex digits, "040904E4"
    std::vector<std::pair<std::u16string, std::u16string>> Values;
  };
  std::vector<TStringTable> StringTables;
  // The words of "\VarFileInfo\Translation": language, code page, language, code page...
  std::vector<uint16_t> Translation;
  bool HasVarFileInfo = true;
  // Length in bytes given to the fixed file information; 52 for a sound resource.
  uint16_t FixedInfoSize = 52;
};

// Builds the binary resource the way resource compilers lay it out.
std::vector<uint8_t> BuildVersionResource(const TVersionResourceDesc& Desc);

}  // namespace corvane
