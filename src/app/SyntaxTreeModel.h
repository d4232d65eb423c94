#pragma once
// The syntax tree's model: a read-only view of the tree that the frame window's detail display
// built. Node texts come from the tree as they are; structure nodes such as "bsi()" are bold and
// every node at an even place among its siblings is shaded.

#include <QAbstractItemModel>
#include <vector>

namespace corvane {

class TTreeModel;

class TSyntaxTreeModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  explicit TSyntaxTreeModel(const TTreeModel& Tree, QObject* Parent = nullptr);

  QModelIndex index(int Row, int Column, const QModelIndex& Parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& Index) const override;
  int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;

  // The tree was rebuilt: the view asks for everything again.
  void Refresh();
  // The index of a node of the tree, for expanding it.
  QModelIndex IndexOf(int32_t Node) const;
  // The tree node an index stands for (-1 for none).
  static int32_t NodeOf(const QModelIndex& Index);

 private:
  const TTreeModel& FTree;
  // Each node's place among its siblings; taken again at every Refresh.
  std::vector<int32_t> FSiblingIndex;
};

}  // namespace corvane
