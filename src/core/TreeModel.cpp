#include "core/TreeModel.h"

namespace corvane {

const TTreeModel::TNode& TTreeModel::Node(TNodeId Id) const {
  static const TNode None;
  return IsValid(Id) ? FNodes[static_cast<size_t>(Id)] : None;
}

void TTreeModel::Clear() {
  FNodes.clear();
  FRoots.clear();
}

TTreeModel::TNodeId TTreeModel::AddFirst(std::u16string Text) {
  const TNodeId Id = Count();
  FNodes.push_back(TNode{std::move(Text), NoNode, {}, false});
  FRoots.push_back(Id);
  return Id;
}

TTreeModel::TNodeId TTreeModel::AddChild(TNodeId Parent, std::u16string Text) {
  if (!IsValid(Parent)) return NoNode;
  const TNodeId Id = Count();
  FNodes.push_back(TNode{std::move(Text), Parent, {}, false});
  FNodes[static_cast<size_t>(Parent)].Children.push_back(Id);
  return Id;
}

void TTreeModel::Expand(TNodeId Node) {
  if (IsValid(Node)) FNodes[static_cast<size_t>(Node)].Expanded = true;
}

void TTreeModel::SetBits(TNodeId Node, int32_t BitOffset, int32_t BitWidth) {
  if (!IsValid(Node)) return;
  FNodes[static_cast<size_t>(Node)].BitOffset = BitOffset;
  FNodes[static_cast<size_t>(Node)].BitWidth = BitWidth;
}

namespace {
template <typename Visit>
void Walk(const TTreeModel& Tree, TTreeModel::TNodeId Id, int32_t Depth, const Visit& Fn) {
  Fn(Id, Depth);
  for (TTreeModel::TNodeId Child : Tree.Node(Id).Children) Walk(Tree, Child, Depth + 1, Fn);
}
}  // namespace

std::vector<std::u16string> TTreeModel::Texts() const {
  std::vector<std::u16string> Result;
  Result.reserve(FNodes.size());
  for (TNodeId Root : FRoots)
    Walk(*this, Root, 0, [&](TNodeId Id, int32_t) { Result.push_back(Node(Id).Text); });
  return Result;
}

std::vector<std::u16string> TTreeModel::Texts(TNodeId From) const {
  std::vector<std::u16string> Result;
  if (IsValid(From)) Walk(*this, From, 0, [&](TNodeId Id, int32_t) { Result.push_back(Node(Id).Text); });
  return Result;
}

std::vector<int32_t> TTreeModel::Depths() const {
  std::vector<int32_t> Result;
  Result.reserve(FNodes.size());
  for (TNodeId Root : FRoots) Walk(*this, Root, 0, [&](TNodeId, int32_t Depth) { Result.push_back(Depth); });
  return Result;
}

}  // namespace corvane
