#pragma once
// Test-only writer of bit fields, most significant bit first: composes syncframe headers
// with chosen field values.

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace corvane::test {

class TBitWriter {
 public:
  // Appends the low Bits bits of Value (Bits 0..32).
  TBitWriter& Put(uint32_t Value, int Bits) {
    if (Bits < 0 || Bits > 32) throw std::invalid_argument("TBitWriter::Put width");
    for (int Bit = Bits - 1; Bit >= 0; --Bit) PutBit((Value >> Bit) & 1u);
    return *this;
  }
  TBitWriter& PutBytes(const std::vector<uint8_t>& Bytes) {
    for (uint8_t Byte : Bytes) Put(Byte, 8);
    return *this;
  }
  // Pads with zero bits to the next byte boundary.
  TBitWriter& Align() {
    while (FBitCount % 8 != 0) PutBit(0);
    return *this;
  }
  // Pads with zero bytes up to Size bytes in all.
  TBitWriter& PadTo(size_t Size) {
    Align();
    while (FBytes.size() < Size) FBytes.push_back(0);
    return *this;
  }
  size_t BitCount() const { return FBitCount; }
  // The bytes written so far, the last one padded with zero bits.
  const std::vector<uint8_t>& Bytes() const { return FBytes; }

 private:
  void PutBit(uint32_t Bit) {
    if (FBitCount % 8 == 0) FBytes.push_back(0);
    if (Bit) FBytes.back() = static_cast<uint8_t>(FBytes.back() | (0x80u >> (FBitCount % 8)));
    ++FBitCount;
  }
  std::vector<uint8_t> FBytes;
  size_t FBitCount = 0;
};

}  // namespace corvane::test
