#pragma once
// The body of the two header targets: the input is the bytes from a frame start on, exactly as
// many as the caller has. Decoding, the syntax tree, the row texts, the JSON, the frame-start test
// and the length search all run on it, and their answers must agree with the bytes.

#include <cstring>
#include <memory>
#include <vector>

#include "analysis/AC3PlusSyntax.h"
#include "analysis/AC3Syntax.h"
#include "analysis/FrameKinds.h"
#include "viewer/ViewerJson.h"
#include "fuzz/FuzzSupport.h"
#include "viewer/FrameRowText.h"

namespace corvane::fuzz {

// The layout a decode noted: entries in bit order, each with a description, inside the bits the
// decoder moved over; the tree's nodes lie inside the same bits.
template <typename TFrame>
void CheckLayout(const TFrame& Frame, const TTreeModel& Tree) {
  const auto Fields = Frame.Layout.Decoded();
  FUZZ_CHECK(Frame.Layout.Count == Fields.size());
  int32_t Previous = 0;
  for (size_t Entry = 0; Entry < Fields.size(); ++Entry) {
    FUZZ_CHECK(FieldDescription<TFrame>(Fields[Entry]) != nullptr);
    FUZZ_CHECK(Fields[Entry].BitOffset >= Previous);
    FUZZ_CHECK(Fields[Entry].BitOffset <= Frame.Layout.HeaderBits);
    FUZZ_CHECK(Frame.Layout.BitWidth(Entry) <= 32 || FieldDescription<TFrame>(Fields[Entry])->Width == 0);
    Previous = Fields[Entry].BitOffset;
  }
  for (int32_t Node = 0; Node < Tree.Count(); ++Node) {
    const TTreeModel::TNode& Item = Tree.Node(Node);
    if (Item.BitOffset < 0) continue;
    FUZZ_CHECK(Item.BitWidth >= 0 && Item.BitOffset + Item.BitWidth <= Frame.Layout.HeaderBits);
  }
}

template <typename TKind>
void FuzzFrame(const uint8_t* Data, size_t Bytes) {
  if (Bytes > (1 << 20)) return;
  const auto Size = static_cast<int32_t>(Bytes);

  // Decoding reads nothing past Size (the sanitizer sees to that: the input buffer is exactly
  // Size bytes long), and what it decodes builds a tree, row texts and JSON.
  const auto Frame = NewDecodedFrame<TKind>(Data, Size, 0);
  Frame->Length = Size;
  TTreeModel Tree;
  TKind::BuildTree(&Tree, *Frame);
  if (Size >= 5) FUZZ_CHECK(!Tree.Empty());
  CheckLayout(*Frame, Tree);
  FrameRowTexts(*Frame);
  // The JSON costs as much as all the rest together; one input size in four is enough for it.
  if (Size / 4 % 4 == 0) {
    Dump(FrameJson(*Frame));
    Dump(TreeJson(Tree));
  }

  // The required sampling rate (any, or one of the three) comes from the input's size, so that
  // each input costs one length search.
  const int32_t Fscod = Size % 4 - 1;
  // A frame start begins with the syncword.
  if (Size >= 2 && TKind::ValidFramePoint(Data, Size, Fscod)) FUZZ_CHECK(IsSyncword(Data));
  // The length is the distance to the next acceptable frame start, with at least the four bytes
  // the test needs behind it: 0 < Length <= Size - 4.
  int32_t Length = 0;
  if (TKind::PackLength(Data, Size, Length, Fscod)) {
    FUZZ_CHECK(Length > 0 && Length <= Size - 4);
    FUZZ_CHECK(IsSyncword(Data + Length));
    FUZZ_CHECK(TKind::ValidFramePoint(Data + Length, Size - Length, Fscod));
  }
}

}  // namespace corvane::fuzz
