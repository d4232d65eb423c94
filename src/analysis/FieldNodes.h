#pragma once
// The syntax-tree side of a kind's syntax walk (AC3Syntax.h, AC3PlusSyntax.h): adds one node
// per field the record carries, its text made from the field's description, and marks the
// node with the bits the decode found the field in.
//
// The walk's conditions look at the record's values, so a record filled by hand shows the
// same nodes as one the decoder filled; its nodes just carry no bits.

#include <cstddef>
#include <cstdint>
#include <string>

#include "analysis/SyntaxFields.h"
#include "analysis/SyntaxNodeText.h"
#include "core/StringUtils.h"
#include "core/TreeModel.h"

namespace corvane {

template <typename TFrame>
class TFieldNodes {
 public:
  using TId = typename TSyntax<TFrame>::TId;

  TFieldNodes(TTreeModel& Tree, const TFrame& Frame) : FTree(Tree), FFrame(Frame) {}

  // The node that the next fields go under.
  void SetParent(TTreeModel::TNodeId Parent) { FParent = Parent; }

  const TFrame& Record() const { return FFrame; }

  void Field(TId Id) { Add(Id, FFrame.*Describe(Id).Member, 0, false); }
  template <typename T>
  void Field(TId Id, const T& Storage, uint32_t Index) {
    Add(Id, Storage, Index, false);
  }
  // Shown with the record's value and without a width, since no bits code it.
  void Derived(TId Id, uint32_t /*Value*/) { Add(Id, FFrame.*Describe(Id).Member, 0, true); }

  int Mark() const { return 0; }
  template <typename TBytes>
  void CopyBytes(int /*Start*/, const TBytes& /*Bytes*/, uint32_t /*Count*/) const {}
  void SkipTo(TId Id, int /*Start*/, int64_t /*Bits*/) { Add(Id, 0, 0, false); }
  template <typename TMeasure>
  void Structure(TId Id, TMeasure /*Measure*/) {
    Add(Id, 0, 0, false);
  }

  // The entry of Layout.Decoded() for occurrence Index of field Id, looking on from the last
  // one found (fields come in decode order); NotDecoded when the decode has no such field.
  static constexpr size_t NotDecoded = SIZE_MAX;
  size_t Find(TId Id, uint32_t Index) {
    const auto Decoded = FFrame.Layout.Decoded();
    for (size_t At = FNext; At < Decoded.size(); ++At) {
      if (Decoded[At].Field == static_cast<uint8_t>(Id) && Decoded[At].Element() == Index) {
        FNext = At + 1;
        return At;
      }
    }
    return NotDecoded;
  }

 private:
  static const TSyntaxField<TFrame>& Describe(TId Id) { return TSyntax<TFrame>::Fields[static_cast<size_t>(Id)]; }

  void Add(TId Id, uint32_t Value, uint32_t Index, bool Derived) {
    const TSyntaxField<TFrame>& Description = Describe(Id);
    if (Description.Show == TFieldShow::Hidden) return;
    const TTreeModel::TNodeId Node = FTree.AddChild(FParent, Text(Description, Value, Index, Derived));
    const size_t Entry = Find(Id, Index);
    if (Entry != NotDecoded && !Derived && !FFrame.Layout.Fields[Entry].Derived())
      FTree.SetBits(Node, FFrame.Layout.Fields[Entry].BitOffset, FFrame.Layout.BitWidth(Entry));
  }

  // An element of a per-channel array is labelled with its index ("blksw[0]") unless its
  // description names it otherwise.
  std::u16string Text(const TSyntaxField<TFrame>& Description, uint32_t Value, uint32_t Index, bool Derived) const {
    std::u16string Label = AsciiToU16(Description.TreeLabel());
    if (Description.Indexed && Description.Label == nullptr) Label.append(u"[").append(UIntToStr(Index)).append(u"]");
    if (Derived) return ElementTextNoWidth(Label, Value);
    switch (Description.Show) {
      case TFieldShow::Meaning:
        return ElementText(Label, Value, Description.Meaning(FFrame), Description.Width);
      case TFieldShow::HexWord:
        return HexWordText(Label, Value);
      case TFieldShow::LabelOnly:
        return PadRight(Label, SyntaxLabelWidth) + u" : ";
      default:
        return ElementText(Label, Value, Description.Width);
    }
  }

  TTreeModel& FTree;
  const TFrame& FFrame;
  TTreeModel::TNodeId FParent = TTreeModel::NoNode;
  size_t FNext = 0;
};

}  // namespace corvane
