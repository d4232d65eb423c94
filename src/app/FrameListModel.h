#pragma once
// The frame list's model: five columns over the frame window's rows. It keeps nothing: the row
// count and every text come from the frame window each time the view asks, so the list always
// shows the window as it is now.

#include <QAbstractTableModel>

namespace corvane {

class TFrameWindow;

class TFrameListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit TFrameListModel(TFrameWindow& Frames, QObject* Parent = nullptr);

  int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
  QVariant headerData(int Section, Qt::Orientation Orientation, int Role = Qt::DisplayRole) const override;

  // The frame window was refilled: the view asks for every row again.
  void Refresh();

 private:
  TFrameWindow& FFrames;
};

}  // namespace corvane
