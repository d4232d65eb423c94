#pragma once
// A widget-free tree of text nodes: the syntax-tree builders fill it, the GUI renders it
// and the command-line program prints it.

#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

class TTreeModel {
 public:
  // Nodes are named by their index; a handle stays valid until Clear.
  using TNodeId = int32_t;
  static constexpr TNodeId NoNode = -1;

  struct TNode {
    std::u16string Text;
    TNodeId Parent = NoNode;
    std::vector<TNodeId> Children;  // in the order they were added
    bool Expanded = false;
    // Where the bits a node stands for sit, counted from the first bit of the frame; -1 (and
    // width 0) for a node that stands for no coded bits (a structure, a derived value).
    int32_t BitOffset = -1;
    int32_t BitWidth = 0;
  };

  void Clear();
  // Adds a top-level node after the existing ones (the first one on an empty tree).
  TNodeId AddFirst(std::u16string Text);
  // Adds a node as the last child of Parent; NoNode for an unknown parent.
  TNodeId AddChild(TNodeId Parent, std::u16string Text);
  // Expands one node; its children keep their own state.
  void Expand(TNodeId Node);
  // Records which bits of the frame a node stands for.
  void SetBits(TNodeId Node, int32_t BitOffset, int32_t BitWidth);

  bool IsValid(TNodeId Node) const { return Node >= 0 && Node < static_cast<TNodeId>(FNodes.size()); }
  // The node, or an empty node without children for an id the tree does not hold.
  const TNode& Node(TNodeId Id) const;
  const std::vector<TNodeId>& Roots() const { return FRoots; }
  int32_t Count() const { return static_cast<int32_t>(FNodes.size()); }
  bool Empty() const { return FNodes.empty(); }

  // Every node's text in depth-first order (parents before children, children in order).
  std::vector<std::u16string> Texts() const;
  // The texts of Node and the nodes under it, in the same order; none for an id the tree does
  // not hold.
  std::vector<std::u16string> Texts(TNodeId Node) const;
  // Depth of each node of Texts(), 0 for roots.
  std::vector<int32_t> Depths() const;

 private:
  std::vector<TNode> FNodes;
  std::vector<TNodeId> FRoots;
};

}  // namespace corvane
