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
  };

  void Clear();
  // Adds a top-level node after the existing ones (the first one on an empty tree).
  TNodeId AddFirst(std::u16string Text);
  // Adds a node as the last child of Parent; NoNode for an unknown parent.
  TNodeId AddChild(TNodeId Parent, std::u16string Text);
  // Expands one node; its children keep their own state.
  void Expand(TNodeId Node);

  bool IsValid(TNodeId Node) const { return Node >= 0 && Node < static_cast<TNodeId>(FNodes.size()); }
  const TNode& Node(TNodeId Id) const { return FNodes.at(static_cast<size_t>(Id)); }
  const std::vector<TNodeId>& Roots() const { return FRoots; }
  int32_t Count() const { return static_cast<int32_t>(FNodes.size()); }
  bool Empty() const { return FNodes.empty(); }

  // Every node's text in depth-first order (parents before children, children in order).
  std::vector<std::u16string> Texts() const;
  // Depth of each node of Texts(), 0 for roots.
  std::vector<int32_t> Depths() const;

 private:
  std::vector<TNode> FNodes;
  std::vector<TNodeId> FRoots;
};

}  // namespace corvane
