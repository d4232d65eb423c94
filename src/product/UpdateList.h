#pragma once
// The component list of the update check: the text served at "/download/updt.txt".
// Lines end with CR LF. Line 1 names the download folder on the service; every further line
// is one record "name;digest" (text after a second ";" is ignored). The list ends at the first
// empty line or the end of the text; at most MaxMD5FileRecords records are kept.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

struct TMD5FileRecord {
  std::u16string FileName;
  std::u16string MD5;  // the digest as hexadecimal digits
};

inline constexpr int32_t MaxMD5FileRecords = 256;

// Splits the list into its first line (FDD) and its records; a line whose name or digest is
// empty is no record.
void ParseUpdateList(std::u16string Text, std::u16string& FDD, std::vector<TMD5FileRecord>& Records);

// ASCII upper case without the characters up to and including the space at either end:
// the form in which names and digests are compared.
std::u16string UpperTrim(std::u16string_view Text);

// True when a record has this file's name and digest (both compared in their UpperTrim form).
bool HasMatchingRecord(const std::vector<TMD5FileRecord>& Records, std::u16string_view FileName,
                       std::u16string_view MD5);

}  // namespace corvane
