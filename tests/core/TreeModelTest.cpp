// The widget-free tree that the syntax-tree builders fill.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/TreeModel.h"

namespace corvane {
namespace {

TEST(TreeModel, KeepsChildrenInOrderAndWalksDepthFirst) {
  TTreeModel Tree;
  EXPECT_TRUE(Tree.Empty());
  const auto Frame = Tree.AddFirst(u"ac3_syncframe()");
  const auto SyncInfo = Tree.AddChild(Frame, u"syncinfo()");
  const auto Bsi = Tree.AddChild(Frame, u"bsi()");
  Tree.AddChild(SyncInfo, u"syncword");
  Tree.AddChild(Bsi, u"bsid");
  Tree.AddChild(SyncInfo, u"crc1");
  Tree.AddChild(Frame, u"audblk()");

  EXPECT_EQ(Tree.Count(), 7);
  EXPECT_EQ(Tree.Roots(), std::vector<TTreeModel::TNodeId>{Frame});
  EXPECT_EQ(Tree.Node(Bsi).Parent, Frame);
  EXPECT_EQ(Tree.Texts(), (std::vector<std::u16string>{u"ac3_syncframe()", u"syncinfo()", u"syncword", u"crc1",
                                                       u"bsi()", u"bsid", u"audblk()"}));
  EXPECT_EQ(Tree.Depths(), (std::vector<int32_t>{0, 1, 2, 2, 1, 2, 1}));
}

TEST(TreeModel, ExpandMarksOneNodeOnly) {
  TTreeModel Tree;
  const auto Root = Tree.AddFirst(u"root");
  const auto Child = Tree.AddChild(Root, u"child");
  Tree.Expand(Root);
  Tree.Expand(TTreeModel::NoNode);
  Tree.Expand(42);
  EXPECT_TRUE(Tree.Node(Root).Expanded);
  EXPECT_FALSE(Tree.Node(Child).Expanded);
}

TEST(TreeModel, UnknownParentsAreRefusedAndClearEmptiesTheTree) {
  TTreeModel Tree;
  EXPECT_EQ(Tree.AddChild(0, u"orphan"), TTreeModel::NoNode);
  EXPECT_EQ(Tree.AddChild(TTreeModel::NoNode, u"orphan"), TTreeModel::NoNode);
  EXPECT_TRUE(Tree.Empty());
  const auto First = Tree.AddFirst(u"a");
  const auto Second = Tree.AddFirst(u"b");
  EXPECT_EQ(Tree.Roots(), (std::vector<TTreeModel::TNodeId>{First, Second}));
  // An id the tree does not hold reads as an empty node rather than throwing.
  for (const TTreeModel::TNodeId Unknown : {5, -1, TTreeModel::NoNode}) {
    EXPECT_TRUE(Tree.Node(Unknown).Text.empty());
    EXPECT_TRUE(Tree.Node(Unknown).Children.empty());
    EXPECT_EQ(Tree.Node(Unknown).BitOffset, -1);
  }
  Tree.Clear();
  EXPECT_TRUE(Tree.Empty());
  EXPECT_TRUE(Tree.Roots().empty());
  EXPECT_TRUE(Tree.Texts().empty());
  EXPECT_FALSE(Tree.IsValid(First));
}

TEST(TreeModel, NodesCarryTheBitsTheyStandFor) {
  TTreeModel Tree;
  const auto Root = Tree.AddFirst(u"bsi()");
  const auto Field = Tree.AddChild(Root, u"bsid");
  Tree.SetBits(Field, 40, 5);
  Tree.SetBits(42, 1, 1);
  EXPECT_EQ(Tree.Node(Field).BitOffset, 40);
  EXPECT_EQ(Tree.Node(Field).BitWidth, 5);
  EXPECT_EQ(Tree.Node(Root).BitOffset, -1);
  EXPECT_EQ(Tree.Node(Root).BitWidth, 0);
}

}  // namespace
}  // namespace corvane
