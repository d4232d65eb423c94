#pragma once
// The error checks of AC-3 and E-AC-3 syncframes: the CRC-16 of ATSC A/52 (generator
// x^16 + x^15 + x^2 + 1, most significant bit first, register starting at 0, no final inversion),
// the verdict of each CRC word of a frame, and the repair that rewrites a frame's CRC words so
// that it passes its checks again after its bits were changed.
//
// AC-3 carries two words: crc1 (bytes 2 and 3) makes the CRC of bytes 2 up to the 5/8 point of
// the frame come out 0, and crc2 (the frame's last two bytes) makes the CRC of the bytes from the
// 5/8 point to the end come out 0; together, the CRC of bytes 2 to the end is 0. Each word is
// judged on its own stretch, so damage in the first 5/8 fails crc1 only. E-AC-3 carries only the
// final crc2, over bytes 2 to the end.

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvane {

// The CRC register after Size bytes, starting from Crc. Table-driven, sixteen bytes a step.
uint16_t Crc16(const uint8_t* Data, size_t Size, uint16_t Crc = 0);

// Where crc1's stretch ends in an AC-3 frame of FrameBytes bytes: 2 * (words / 2 + words / 8).
inline int32_t AC3Crc1End(int32_t FrameBytes) {
  const int32_t Words = FrameBytes / 2;
  return 2 * (Words / 2 + Words / 8);
}

enum class TCrcVerdict : uint8_t {
  Ok,
  Failed,
  Unchecked,  // the frame's bytes are not all at hand, or its size is unknown
  Absent,     // the frame kind carries no such word (crc1 of E-AC-3)
};

struct TFrameCrc {
  TCrcVerdict crc1 = TCrcVerdict::Unchecked;
  TCrcVerdict crc2 = TCrcVerdict::Unchecked;

  bool Checked() const { return crc2 != TCrcVerdict::Unchecked; }
  bool Passed() const { return crc2 == TCrcVerdict::Ok && crc1 != TCrcVerdict::Failed; }
  bool Failed() const { return crc1 == TCrcVerdict::Failed || crc2 == TCrcVerdict::Failed; }
  bool operator==(const TFrameCrc&) const = default;
};

// "CRC ok", "crc1 fails", "crc2 fails", "crc1 and crc2 fail", or "CRC not checked".
std::u16string CrcVerdictText(const TFrameCrc& Crc);

// The verdicts of the frame that starts at Data, Size bytes at hand. The frame's size is the one
// its header codes; a frame that does not fit in Size bytes, or whose size is unknown, is
// not checked.
TFrameCrc CheckAC3FrameCrc(const uint8_t* Data, int32_t Size);
TFrameCrc CheckAC3PlusFrameCrc(const uint8_t* Data, int32_t Size);

// Rewrites the CRC words of the frame at Data (crc1 first, crc2 last) so that it passes its
// checks. False, with nothing written, when the frame does not fit in Size bytes or its size is
// unknown.
bool RepairAC3FrameCrc(uint8_t* Data, int32_t Size);
bool RepairAC3PlusFrameCrc(uint8_t* Data, int32_t Size);

// For a frame that passed its checks before its bytes From up to To (clear of the CRC words)
// were changed from Old: changes the CRC words by what those bytes alone make them change, so
// that it passes again, without reading the rest of the frame. False, with nothing written, when
// the change lies where this cannot be done (AC-3: past crc1's stretch); Repair then does it.
bool UpdateAC3FrameCrc(uint8_t* Data, int32_t Size, int32_t From, int32_t To, const uint8_t* Old);
bool UpdateAC3PlusFrameCrc(uint8_t* Data, int32_t Size, int32_t From, int32_t To, const uint8_t* Old);

// For bytes whose kind nobody has told: decoders tell the two kinds apart by bsid, which both
// carry in bits 40 to 44 (E-AC-3 uses 11 to 16, AC-3 up to 10). Data must hold 6 bytes.
inline bool HasAC3PlusBsid(const uint8_t* Data) { return (Data[5] >> 3) > 10; }
// The size the frame at Data codes for its kind, 0 where unknown or Size < 6.
int32_t AnyFrameCodedSize(const uint8_t* Data, int32_t Size);
TFrameCrc CheckAnyFrameCrc(const uint8_t* Data, int32_t Size);
bool RepairAnyFrameCrc(uint8_t* Data, int32_t Size);

}  // namespace corvane
