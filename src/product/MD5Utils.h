#pragma once
// MD5 digests (RFC 1321) of component files for the update check.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace corvane {

using TMD5Digest = std::array<uint8_t, 16>;

// The MD5 message digest, fed in pieces of any size.
class TMD5 {
 public:
  TMD5();
  void Add(const uint8_t* Data, size_t Count);
  // The digest of everything added; the object is spent afterwards.
  TMD5Digest Finish();

 private:
  void Block(const uint8_t* Data);

  uint32_t FState[4];
  uint64_t FLength = 0;
  uint8_t FPending[64] = {};
  size_t FPendingCount = 0;
};

// Computes the digest of a file, read in blocks of 1024 bytes with sharing that lets other
// programs read and write it meanwhile. False (and one debug line) when the file does not
// exist or cannot be read.
bool CalculateFileMD5(const std::filesystem::path& FileName, TMD5Digest& Digest);

// The digest as 32 lower-case hexadecimal digits.
std::u16string MD5DigestToStr(const TMD5Digest& Digest);

}  // namespace corvane
