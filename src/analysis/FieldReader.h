#pragma once
// The decoder side of a kind's syntax walk (AC3Syntax.h, AC3PlusSyntax.h): reads each field
// with the width its description gives, stores the value in the record and notes in the
// record's Layout where the field sat. The walks are inline so that the reader's state stays
// in registers across a whole header.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "analysis/SyntaxFields.h"
#include "core/BitStream4.h"

namespace corvane {

template <typename TFrame>
class TFieldReader {
 public:
  using TId = typename TSyntax<TFrame>::TId;

  // Starts a decode into Frame from the bytes Bits holds, which begin at the frame's first byte
  // (positions count from there). Only the layout is cleared; the fields the frame does not
  // carry keep what they held.
  TFieldReader(TFrame& Frame, TBitStream4& Bits)
      : FFrame(Frame), FBits(Bits), FDataBits(Bits.RemainBits()) {
    FFrame.Layout.Count = 0;
    FFrame.Layout.HeaderBits = 0;
  }
  // However the decode ends, the layout holds the fields noted and how far the reader got.
  ~TFieldReader() {
    FFrame.Layout.Count = FCount;
    FFrame.Layout.HeaderBits = static_cast<uint16_t>(std::clamp(Position(), 0, 0xFFFF));
  }
  TFieldReader(const TFieldReader&) = delete;
  TFieldReader& operator=(const TFieldReader&) = delete;

  TFrame& Record() { return FFrame; }

  // A field with a record field of its own.
  void Field(TId Id) {
    const TSyntaxField<TFrame>& Description = Describe(Id);
    FFrame.*Description.Member = Read(Id, Description.Width, 0);
  }
  // An array element, or a field read once per audio block, stored in Storage.
  template <typename T>
  void Field(TId Id, T& Storage, uint32_t Index) {
    Storage = static_cast<T>(Read(Id, Describe(Id).Width, Index));
  }
  // A value the syntax implies without coding it.
  void Derived(TId Id, uint32_t Value) {
    FFrame.*Describe(Id).Member = Value;
    Note(Id, TFieldPosition::DerivedFlag, Value, Position());
  }

  // A run of bits whose length the syntax sets (A/52's "mixdata" of a mixing data block):
  // Mark() where it begins, CopyBytes() keeps its bytes, SkipTo() moves on to its end.
  TBitStream4 Mark() const { return FBits; }
  template <typename TByte, size_t Capacity>
  void CopyBytes(TBitStream4 From, TByte (&Bytes)[Capacity], uint32_t Count) const {
    const size_t Copied = std::min<size_t>(Count, Capacity);
    for (size_t Index = 0; Index < Copied; ++Index) Bytes[Index] = static_cast<TByte>(From.ReadBitsDW(8));
  }
  // A structure whose length only a parse of its own tells (E-AC-3's audfrm()): Measure(Record,
  // Bits) reads it from a copy of the reader, keeps in the record what the syntax after it
  // depends on, and returns its length in bits; the reader moves over it, noting it as field Id.
  template <typename TMeasure>
  void Structure(TId Id, TMeasure Measure) {
    const TBitStream4 Start = FBits;
    SkipTo(Id, Start, Measure(FFrame, Start));
  }
  // Moves on to the end of the Bits that begin at Start, noting what lies between as field Id.
  // A run that ends before the reader does is not gone back into, and the reader goes no
  // further than it admits past the end of its data, so every later field of a truncated
  // header reads as zero rather than from bytes inside the run.
  void SkipTo(TId Id, const TBitStream4& Start, int64_t Bits) {
    Note(Id, 0, 0, Position());
    int64_t Left = Bits - (Start.RemainBits() - FBits.RemainBits());
    Left = std::min<int64_t>(Left, FBits.RemainBits() + 32);
    if (Left > 0) FBits.DumpBits(static_cast<int32_t>(Left));
  }

 private:
  static const TSyntaxField<TFrame>& Describe(TId Id) { return TSyntax<TFrame>::Fields[static_cast<size_t>(Id)]; }

  uint32_t Read(TId Id, int32_t Width, uint32_t Index) {
    const int32_t Offset = Position();
    const uint32_t Value = FBits.ReadBitsDW(Width);
    Note(Id, Index, Value, Offset);
    return Value;
  }

  // Bits moved over from the frame's first bit.
  int32_t Position() const { return static_cast<int32_t>(FDataBits - FBits.RemainBits()); }

  // Each field ends where the next one (or the header) begins, so its start is all there is to note.
  void Note(TId Id, uint32_t Index, uint32_t Value, int32_t Offset) {
    // The capacity is the most fields the syntax can carry, so this never drops a field; it
    // only keeps a write inside the array whatever happens.
    if (FCount >= std::size(FFrame.Layout.Fields)) return;
    FFrame.Layout.Fields[FCount++] = {static_cast<uint16_t>(Offset), static_cast<uint8_t>(Id),
                                      static_cast<uint8_t>(Index), Value};
  }

  TFrame& FFrame;
  TBitStream4& FBits;
  int64_t FDataBits;  // the reader's remaining bits at the frame's first bit
  // Kept here rather than in the record while the decode runs, so that it can stay in a register.
  uint16_t FCount = 0;
};

}  // namespace corvane
