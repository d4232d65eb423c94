#include "app/FrameListModel.h"

#include <QColor>
#include <array>

#include "app/QtText.h"
#include "viewer/FrameWindow.h"

namespace corvane {
namespace {

constexpr std::array<const char*, 5> ColumnHeaders = {"Offset", "Length", "Frame Size", "Sampling Rate", "Bitrate"};
const QColor ShadedRow(240, 240, 240);

}  // namespace

TFrameListModel::TFrameListModel(TFrameWindow& Frames, QObject* Parent) : QAbstractTableModel(Parent), FFrames(Frames) {}

int TFrameListModel::rowCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : FFrames.ListRowCount();
}

int TFrameListModel::columnCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : static_cast<int>(ColumnHeaders.size());
}

QVariant TFrameListModel::data(const QModelIndex& Index, int Role) const {
  if (!Index.isValid()) return {};
  switch (Role) {
    case Qt::DisplayRole:
      return Q(FFrames.ListView1Data(Index.row())[static_cast<size_t>(Index.column())]);
    case Qt::BackgroundRole:
      if (FFrames.RowShaded(Index.row())) return ShadedRow;
      return {};
    default:
      return {};
  }
}

QVariant TFrameListModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
  if (Orientation != Qt::Horizontal || Role != Qt::DisplayRole || Section < 0 ||
      Section >= static_cast<int>(ColumnHeaders.size()))
    return {};
  return QString::fromLatin1(ColumnHeaders[static_cast<size_t>(Section)]);
}

void TFrameListModel::Refresh() {
  beginResetModel();
  endResetModel();
}

}  // namespace corvane
