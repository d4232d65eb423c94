#pragma once
// MD5 digests (RFC 1321) of component files for the update check.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

namespace corvane {

using TMD5Digest = std::array<uint8_t, 16>;

// Computes the digest of a file, read in blocks of 1024 bytes with sharing that lets other
// programs read and write it meanwhile. False (and one debug line) when the file does not
// exist or cannot be read.
bool CalculateFileMD5(const std::filesystem::path& FileName, TMD5Digest& Digest);

// The digest as 32 lower-case hexadecimal digits.
std::u16string MD5DigestToStr(const TMD5Digest& Digest);

}  // namespace corvane
