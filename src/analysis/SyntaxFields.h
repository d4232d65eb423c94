#pragma once
// One description of each coded field of a syncframe header, and the record of where a decode
// found each field. The decoders read every field through its description and note its
// position; the syntax trees take each node's label, width and meaning from it, and the
// command-line program's JSON its name. Only the order and the conditions of bsi() are code
// (AC3Syntax.h, AC3PlusSyntax.h), written once for the decoder and the tree alike.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// The syntax walks are written as small functions for reading's sake but run as one: inlined
// into the decoder, the reader's state stays in registers across a whole header.
#if defined(_MSC_VER)
#define CORVANE_SYNTAX_WALK __forceinline
#else
#define CORVANE_SYNTAX_WALK inline __attribute__((always_inline))
#endif

namespace corvane {

// How a field's node reads in the syntax tree.
enum class TFieldShow : uint8_t {
  Value,      // "<label> : <value> (<n> bits)"
  Meaning,    // "<label> : <value> [<meaning>] (<n> bits)"
  HexWord,    // "<label> : 0x<four hex digits> (16 bits)"
  LabelOnly,  // "<label> : ", for a run of bits whose length the syntax sets
  Hidden,     // decoded, but without a node of its own
};

template <typename TFrame>
struct TSyntaxField {
  uint8_t Id = 0;                     // its place in the kind's table
  const char* Name = nullptr;         // the A/52 name
  uint32_t TFrame::*Member = nullptr;  // the record field; null for an element of an array
  int32_t Width = 0;                  // bits in the stream; 0 where the syntax sets the length
  TFieldShow Show = TFieldShow::Value;
  std::u16string (*Meaning)(const TFrame&) = nullptr;  // the bracketed text of TFieldShow::Meaning
  const char* Label = nullptr;        // the tree's label where it is not the name
  bool Indexed = false;               // an array element, or a field read once per audio block or channel
  double (*Decibels)(uint32_t Value) = nullptr;  // the gain a gain word codes, for the JSON

  const char* TreeLabel() const { return Label != nullptr ? Label : Name; }
};

// Where one decode found one field. Its bits run up to where the next field's begin (the last
// field's up to the layout's HeaderBits): the reader moves over nothing between two fields.
struct TFieldPosition {
  uint16_t BitOffset;  // from the frame's first bit
  uint8_t Field;       // Id of the field's description
  uint8_t Index;       // the element or block of an indexed field (0 otherwise), DerivedFlag added
  uint32_t Value;      // the value read, or set for a derived field

  static constexpr uint8_t DerivedFlag = 0x80;  // the decoder set the value without reading bits
  uint32_t Element() const { return Index & (0xFFu ^ DerivedFlag); }
  bool Derived() const { return (Index & DerivedFlag) != 0; }
};

// Every field of one decode in the order read, derived values included. A decode clears it
// first; Capacity is the most fields the kind's syntax can carry in one frame.
template <size_t Capacity>
struct TFieldLayout {
  uint16_t Count;       // entries written to Fields
  uint16_t HeaderBits;  // bits of syncinfo() and bsi() the decoder moved over
  TFieldPosition Fields[Capacity];

  // The entries of the last decode (none beyond Capacity, even in a record that holds junk).
  std::span<const TFieldPosition> Decoded() const { return {Fields, std::min<size_t>(Count, Capacity)}; }
  // The bits entry Entry of Decoded() covers; 0 for a derived value or a read the reader refused.
  int32_t BitWidth(size_t Entry) const {
    const size_t Entries = Decoded().size();
    if (Entry >= Entries) return 0;
    const int32_t End = Entry + 1 < Entries ? Fields[Entry + 1].BitOffset : HeaderBits;
    return std::max(End - Fields[Entry].BitOffset, 0);
  }
};

// Per frame record type: its field ids (TId) and its table of descriptions (Fields), each
// entry at the index of its Id. Specialised by AC3Syntax.h and AC3PlusSyntax.h.
template <typename TFrame>
struct TSyntax;

// The description of a decoded field, or null for an id outside the table (a junk record).
template <typename TFrame>
const TSyntaxField<TFrame>* FieldDescription(const TFieldPosition& Position) {
  const auto& Fields = TSyntax<TFrame>::Fields;
  return Position.Field < Fields.size() ? &Fields[Position.Field] : nullptr;
}

// True when every entry of a table sits at the index of its Id (checked at compile time).
template <typename TTable>
constexpr bool IdsMatchPlaces(const TTable& Fields) {
  for (size_t Index = 0; Index < Fields.size(); ++Index)
    if (Fields[Index].Id != Index || Fields[Index].Name == nullptr) return false;
  return true;
}

}  // namespace corvane
