#include "app/SyntaxTreeModel.h"

#include <QColor>
#include <QFont>

#include "app/QtText.h"
#include "core/TreeModel.h"
#include "viewer/FrameWindow.h"

namespace corvane {
namespace {

const QColor ShadedNode(246, 246, 246);

}  // namespace

TSyntaxTreeModel::TSyntaxTreeModel(const TTreeModel& Tree, QObject* Parent) : QAbstractItemModel(Parent), FTree(Tree) {
  Refresh();
}

void TSyntaxTreeModel::Refresh() {
  beginResetModel();
  FSiblingIndex.assign(static_cast<size_t>(FTree.Count()), 0);
  const auto Number = [this](const std::vector<TTreeModel::TNodeId>& Siblings) {
    for (size_t Place = 0; Place < Siblings.size(); ++Place)
      if (FTree.IsValid(Siblings[Place])) FSiblingIndex[static_cast<size_t>(Siblings[Place])] = static_cast<int32_t>(Place);
  };
  Number(FTree.Roots());
  for (TTreeModel::TNodeId Node = 0; Node < FTree.Count(); ++Node) Number(FTree.Node(Node).Children);
  endResetModel();
}

QModelIndex TSyntaxTreeModel::index(int Row, int Column, const QModelIndex& Parent) const {
  if (Row < 0 || Column != 0) return {};
  const std::vector<TTreeModel::TNodeId>* Siblings = &FTree.Roots();
  if (Parent.isValid()) {
    const int32_t ParentNode = NodeOf(Parent);
    if (!FTree.IsValid(ParentNode)) return {};
    Siblings = &FTree.Node(ParentNode).Children;
  }
  if (Row >= static_cast<int>(Siblings->size())) return {};
  return createIndex(Row, Column, static_cast<quintptr>((*Siblings)[static_cast<size_t>(Row)]));
}

QModelIndex TSyntaxTreeModel::parent(const QModelIndex& Index) const {
  const int32_t Node = NodeOf(Index);
  if (!FTree.IsValid(Node)) return {};
  const int32_t ParentNode = FTree.Node(Node).Parent;
  if (!FTree.IsValid(ParentNode)) return {};
  return createIndex(FSiblingIndex[static_cast<size_t>(ParentNode)], 0, static_cast<quintptr>(ParentNode));
}

int TSyntaxTreeModel::rowCount(const QModelIndex& Parent) const {
  if (!Parent.isValid()) return static_cast<int>(FTree.Roots().size());
  const int32_t Node = NodeOf(Parent);
  return FTree.IsValid(Node) ? static_cast<int>(FTree.Node(Node).Children.size()) : 0;
}

int TSyntaxTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant TSyntaxTreeModel::data(const QModelIndex& Index, int Role) const {
  const int32_t Node = NodeOf(Index);
  if (!FTree.IsValid(Node)) return {};
  const std::u16string& Text = FTree.Node(Node).Text;
  switch (Role) {
    case Qt::DisplayRole:
      return Q(Text);
    case Qt::FontRole:
      if (TFrameWindow::TreeNodeBold(Text)) {
        QFont Bold;
        Bold.setBold(true);
        return Bold;
      }
      return {};
    case Qt::BackgroundRole:
      // A selected node is painted in the selection colour over this.
      if (TFrameWindow::TreeNodeShaded(FSiblingIndex[static_cast<size_t>(Node)], false)) return ShadedNode;
      return {};
    default:
      return {};
  }
}

QModelIndex TSyntaxTreeModel::IndexOf(int32_t Node) const {
  if (!FTree.IsValid(Node)) return {};
  return createIndex(FSiblingIndex[static_cast<size_t>(Node)], 0, static_cast<quintptr>(Node));
}

int32_t TSyntaxTreeModel::NodeOf(const QModelIndex& Index) {
  return Index.isValid() ? static_cast<int32_t>(Index.internalId()) : -1;
}

}  // namespace corvane
