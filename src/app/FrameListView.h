#pragma once
// The frame list's widget: a table of whole-row single selection whose events the main window
// handles. Key presses go to the window before the table's own handling; key releases, mouse
// presses and dropped files reach the window after it.

#include <QTableView>
#include <QStringList>
#include <functional>

namespace corvane {

class TFrameListView : public QTableView {
  Q_OBJECT

 public:
  explicit TFrameListView(QWidget* Parent = nullptr);

  // Answers true when it handled the key itself; the table then does nothing more with it.
  std::function<bool(QKeyEvent*)> OnKeyDown;
  std::function<void(QKeyEvent*)> OnKeyUp;
  std::function<void(QMouseEvent*)> OnMouseDown;
  std::function<void(const QStringList& Files)> OnFilesDropped;
  std::function<void()> OnViewportResized;

  // The row that is selected, or -1.
  int SelectedRow() const;
  // Selects Row (none for -1) and makes it the current row, without telling the window.
  void SelectRow(int Row);
  // How many rows fit in full in the list's height.
  int FullyVisibleRows() const;

 protected:
  void keyPressEvent(QKeyEvent* Event) override;
  void keyReleaseEvent(QKeyEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void dragEnterEvent(QDragEnterEvent* Event) override;
  void dragMoveEvent(QDragMoveEvent* Event) override;
  void dropEvent(QDropEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
};

}  // namespace corvane
