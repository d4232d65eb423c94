// Where the decoders say each field sat: on every frame of every committed stream and on
// composed headers that reach every branch of both syntaxes (E-AC-3's audfrm() included), the
// noted fields follow each other without gap or overlap up to the end of what the decoder read,
// each holds the bits its value came from with the width its description gives, and the syntax
// tree's nodes carry exactly those bits.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "analysis/AC3PlusSyntax.h"
#include "analysis/AC3Syntax.h"
#include "core/ODSUtls.h"
#include "core/StringUtils.h"
#include "support/AC3Composer.h"
#include "support/AC3PlusComposer.h"
#include "support/TempFile.h"

namespace corvane {
namespace {

using TBytes = std::vector<uint8_t>;

bool Parse(const uint8_t* Data, int32_t Size, TAC3Frame& Frame) { return parse_ac3_frame(Data, Size, Frame); }
bool Parse(const uint8_t* Data, int32_t Size, TAC3PlusFrame& Frame) { return parse_ac3_plus_frame(Data, Size, Frame); }
void BuildTree(TTreeModel& Tree, const TAC3Frame& Frame) { UpdateTreeView_ac3_frame(&Tree, Frame); }
void BuildTree(TTreeModel& Tree, const TAC3PlusFrame& Frame) { UpdateTreeView_ac3_plus_frame(&Tree, Frame); }

// Bits [Offset, Offset + Width) of Data, most significant bit first; zeros past Size.
uint32_t BitsAt(const uint8_t* Data, int32_t Size, int64_t Offset, int32_t Width) {
  uint32_t Value = 0;
  for (int64_t Bit = Offset; Bit < Offset + Width; ++Bit) {
    const uint32_t Set = Bit / 8 < Size ? (static_cast<uint32_t>(Data[Bit / 8]) >> (7 - Bit % 8)) & 1u : 0u;
    Value = Value << 1 | Set;
  }
  return Value;
}

// Fields that the tree gives no bits of their own: derived values and fields it does not list.
template <typename TFrame>
bool WithoutNodeBits(const TFieldPosition& Position) {
  return Position.Derived() || FieldDescription<TFrame>(Position)->Show == TFieldShow::Hidden;
}

// Decodes the frame at Data and describes every way its layout or its tree's bits are wrong;
// empty when there is none. ExpectedBits, when not negative, is how many bits the header holds.
template <typename TFrame>
std::string LayoutFaults(const uint8_t* Data, int32_t Size, int64_t ExpectedBits = -1) {
  auto Frame = std::make_unique<TFrame>();
  std::memset(Frame.get(), 0, sizeof(TFrame));
  if (!Parse(Data, Size, *Frame)) return "the decode failed\n";
  const auto& Layout = Frame->Layout;
  const auto Decoded = Layout.Decoded();
  std::string Faults;
  const auto Fault = [&](const std::string& Text) { Faults += Text + "\n"; };
  if (Decoded.empty() || Decoded.front().BitOffset != 0) Fault("the first field is not at bit 0");
  if (ExpectedBits >= 0 && Layout.HeaderBits != ExpectedBits)
    Fault("the decoder read " + std::to_string(Layout.HeaderBits) + " bits of a " + std::to_string(ExpectedBits) +
          "-bit header");

  for (size_t Entry = 0; Entry < Decoded.size(); ++Entry) {
    const TFieldPosition& Position = Decoded[Entry];
    const TSyntaxField<TFrame>* Field = FieldDescription<TFrame>(Position);
    if (Field == nullptr) return Faults + "a field without a description\n";
    const std::string Name = std::string(Field->Name) + "[" + std::to_string(Position.Element()) + "] at bit " +
                             std::to_string(Position.BitOffset);
    const uint32_t End = Entry + 1 < Decoded.size() ? Decoded[Entry + 1].BitOffset : Layout.HeaderBits;
    if (End < Position.BitOffset) Fault(Name + " overlaps the field after it");
    const int32_t Width = Layout.BitWidth(Entry);
    if (Position.Derived()) {
      if (Width != 0) Fault(Name + ", a derived value, covers bits");
    } else if (Field->Member != nullptr || Field->Indexed) {
      if (Width != Field->Width) Fault(Name + " is " + std::to_string(Width) + " bits wide");
      if (Position.Value != BitsAt(Data, Size, Position.BitOffset, Width)) Fault(Name + " holds other bits");
      if (Field->Member != nullptr && !Field->Indexed && Frame.get()->*Field->Member != Position.Value)
        Fault(Name + " differs from the record");
    }
  }

  // The tree: its coded nodes in order, each exactly the bits of one field or of a run of
  // fields it shows together; between them only fields the tree gives no bits of their own.
  TTreeModel Tree;
  BuildTree(Tree, *Frame);
  size_t Entry = 0;
  int32_t Unmarked = 0;
  const auto Visit = [&](const auto& Self, TTreeModel::TNodeId Id) -> void {
    const TTreeModel::TNode& Node = Tree.Node(Id);
    const std::string Text = ToUtf8(Node.Text);
    const bool FieldNode = Text.find(" : ") != std::string::npos;
    // A structure measured as a whole (E-AC-3's audfrm()) marks its bits on its own node.
    const bool StructureNode = Text.find("()") != std::string::npos;
    if (Node.BitOffset < 0 && FieldNode) ++Unmarked;
    if (Node.BitOffset >= 0 && !FieldNode && !StructureNode) {
      // A hex-dump line: the bits of the bytes it shows, two hex digits each before its text column.
      const size_t Shown = (Text.substr(0, Text.find_last_not_of(' ', 47) + 1).size() + 1) / 3;
      if (Node.BitWidth != static_cast<int32_t>(8 * Shown)) Fault("dump line \"" + Text + "\" has other bits than its bytes");
    }
    if (Node.BitOffset >= 0) {
      while (Entry < Decoded.size() && WithoutNodeBits<TFrame>(Decoded[Entry]) &&
             (Decoded[Entry].Derived() || Decoded[Entry].BitOffset + Layout.BitWidth(Entry) <= Node.BitOffset))
        ++Entry;
      if (Entry == Decoded.size() || Decoded[Entry].BitOffset != Node.BitOffset) {
        Fault("node \"" + Text + "\" at bit " + std::to_string(Node.BitOffset) + " is not where the next field is");
      } else {
        int64_t End = 0;
        do {
          End = Decoded[Entry].BitOffset + Layout.BitWidth(Entry);
          ++Entry;
        } while (Entry < Decoded.size() && End < Node.BitOffset + Node.BitWidth);
        if (End != Node.BitOffset + Node.BitWidth) Fault("node \"" + Text + "\" does not end where a field ends");
      }
    }
    for (TTreeModel::TNodeId Child : Node.Children) Self(Self, Child);
  };
  for (TTreeModel::TNodeId Root : Tree.Roots()) Visit(Visit, Root);
  for (; Entry < Decoded.size(); ++Entry)
    if (!WithoutNodeBits<TFrame>(Decoded[Entry])) Fault("a field after the last node has no node");
  int32_t Derived = 0;
  for (const TFieldPosition& Position : Decoded)
    if (Position.Derived() && FieldDescription<TFrame>(Position)->Show != TFieldShow::Hidden) ++Derived;
  if (Unmarked != Derived) Fault(std::to_string(Unmarked) + " field nodes without bits for " + std::to_string(Derived) + " derived values");
  return Faults;
}

// ---------------------------------------------------------------------------------------------
// Every frame of every committed stream.

std::vector<std::filesystem::path> CommittedStreams() {
  const std::filesystem::path Tests = std::filesystem::path(CORVANE_TEST_DATA_DIR).parent_path();
  std::vector<std::filesystem::path> Files;
  for (const auto& Folder : {Tests / "data", Tests / "viewer" / "data", Tests.parent_path() / "samples"})
    for (const auto& Item : std::filesystem::directory_iterator(Folder))
      if (Item.path().extension() == ".ac3" || Item.path().extension() == ".eac3") Files.push_back(Item.path());
  return Files;
}

TEST(FieldLayout, EveryFrameOfEveryCommittedStream) {
  const std::vector<std::filesystem::path> Files = CommittedStreams();
  ASSERT_GE(Files.size(), 11u);
  for (const std::filesystem::path& File : Files) {
    SCOPED_TRACE(File.filename().string());
    const TBytes Bytes = test::ReadTestFile(File);
    size_t At = 0;
    while (At + 6 <= Bytes.size()) {
      const uint8_t* Data = Bytes.data() + At;
      const auto Size = static_cast<int32_t>(Bytes.size() - At);
      // bsid, in the same bits for both kinds, tells them apart: up to 8 for AC-3, 16 for E-AC-3.
      const bool EAC3 = (Data[5] >> 3) > 10;
      const std::string Faults = EAC3 ? LayoutFaults<TAC3PlusFrame>(Data, Size) : LayoutFaults<TAC3Frame>(Data, Size);
      ASSERT_EQ(Faults, "") << "frame at byte " << At;
      const int32_t FrameSize = EAC3 ? AC3PlusCodedFrameSize(Data) : AC3CodedFrameSize(Data);
      ASSERT_GT(FrameSize, 0) << "frame at byte " << At;
      At += static_cast<size_t>(FrameSize);
    }
    EXPECT_EQ(At, Bytes.size()) << "the frames fill the file";
  }
}

// ---------------------------------------------------------------------------------------------
// Composed headers: every field a random value of its width, with the fields that steer the
// syntax swept so that every branch is taken many times.

template <typename TFrame, typename TRandom>
void FillFields(TFrame& F, TRandom& Random) {
  for (const TSyntaxField<TFrame>& Field : TSyntax<TFrame>::Fields)
    if (Field.Member != nullptr && Field.Width > 0) F.*Field.Member = static_cast<uint32_t>(Random()) & ((1u << Field.Width) - 1u);
}

TEST(FieldLayout, ComposedAC3Headers) {
  std::mt19937 Random(20240715);
  for (uint32_t Case = 0; Case < 512; ++Case) {
    TAC3Frame F{};
    FillFields(F, Random);
    F.syncword = 0x0B77, F.fscod = Case % 3, F.frmsizecod = 37, F.bsid = 8, F.acmod = (Case / 3) % 8;
    for (uint8_t& Byte : F.addbsi) Byte = static_cast<uint8_t>(Random());
    for (size_t Channel = 0; Channel < std::size(F.blksw); ++Channel)
      F.blksw[Channel] = static_cast<uint8_t>(Random() & 1), F.dithflag[Channel] = static_cast<uint8_t>(Random() & 1);
    size_t HeaderBits = 0;
    TBytes Bytes = test::ComposeAC3Header(F, &HeaderBits);
    Bytes.resize(Bytes.size() + 64, 0);
    ASSERT_EQ(LayoutFaults<TAC3Frame>(Bytes.data(), static_cast<int32_t>(Bytes.size()), static_cast<int64_t>(HeaderBits)),
              "")
        << "case " << Case;
  }
}

TEST(FieldLayout, ComposedAC3PlusHeaders) {
  std::mt19937 Random(20240716);
  for (uint32_t Case = 0; Case < 2048; ++Case) {
    TAC3PlusFrame F = test::PlainAC3PlusFrame();
    FillFields(F, Random);
    F.syncword = 0x0B77, F.frmsiz = 1023, F.bsid = 16;
    F.strmtyp = Case % 3, F.acmod = (Case / 3) % 8, F.numblkscod = (Case / 24) % 4, F.mixdef = (Case / 96) % 4;
    F.fscod = (Case / 384) % 4;
    // Where the decoder derives a value, the composer must steer by that value too.
    if (F.fscod == 3) F.numblkscod = 3;
    if (F.strmtyp == 2 && F.numblkscod == 3) F.blkid = 1;
    for (uint32_t& Block : F.blkmixcfginfo) Block = static_cast<uint32_t>(Random()) & 0x1F;
    for (uint8_t& Byte : F.addbsi) Byte = static_cast<uint8_t>(Random());
    F.blkswe = Random() & 1, F.dithflage = Random() & 1;
    for (size_t Channel = 0; Channel < std::size(F.blksw); ++Channel)
      F.blksw[Channel] = static_cast<uint8_t>(Random() & 1), F.dithflag[Channel] = static_cast<uint8_t>(Random() & 1);
    test::TAC3PlusComposeOptions Options;
    Options.AudfrmSeed = Case + 1;
    Options.BlockFlags = static_cast<uint32_t>(Random()) & 0x3F;
    Options.MixDataFill = static_cast<uint8_t>(Random());
    const test::TComposedAC3PlusFrame Composed = test::ComposeAC3PlusFrame(F, Options);
    ASSERT_EQ(LayoutFaults<TAC3PlusFrame>(Composed.Bytes.data(), static_cast<int32_t>(Composed.Bytes.size()),
                                          static_cast<int64_t>(Composed.HeaderBits)),
              "")
        << "case " << Case;
  }
}

// A frame filled by hand rather than decoded shows the same nodes, none of them with bits.
TEST(FieldLayout, RecordsNotDecodedGiveNodesNoBits) {
  TAC3PlusFrame F = test::PlainAC3PlusFrame();
  F.Layout.Count = 0xFFFF;  // junk: no more entries than the layout holds are looked at
  std::memset(F.Layout.Fields, 0xEE, sizeof F.Layout.Fields);
  TTreeModel Tree;
  UpdateTreeView_ac3_plus_frame(&Tree, F);
  EXPECT_GT(Tree.Count(), 10);
  for (TTreeModel::TNodeId Node = 0; Node < Tree.Count(); ++Node) EXPECT_EQ(Tree.Node(Node).BitOffset, -1);
}

}  // namespace
}  // namespace corvane
