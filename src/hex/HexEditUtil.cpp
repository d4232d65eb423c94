#include "hex/HexEditUtil.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <vector>

#include "core/FileStream.h"
#include "core/ODSUtls.h"
#include "core/SafeWrite.h"
#include "core/StringUtils.h"
#include "hex/HexEditFlow.h"
#include "hex/HexViewUtils_RichEdit.h"

namespace corvane {
namespace {

// The lines of bytes the grid shows at the dialog's smallest size.
constexpr int MinGridLines = 4;

QString ToQString(std::u16string_view Text) {
  return QString::fromUtf16(Text.data(), static_cast<qsizetype>(Text.size()));
}

std::u16string FromQString(const QString& Text) {
  return std::u16string(reinterpret_cast<const char16_t*>(Text.utf16()), static_cast<size_t>(Text.size()));
}

bool IsEnterKey(int Key) { return Key == Qt::Key_Return || Key == Qt::Key_Enter; }

bool DefaultPrompt(QWidget* Parent, THexEditPromptKind Kind, const QString& Text) {
  switch (Kind) {
    case THexEditPromptKind::Confirm:
      return QMessageBox::question(Parent, QStringLiteral("Confirm"), Text, QMessageBox::Yes | QMessageBox::No,
                                   QMessageBox::No) == QMessageBox::Yes;
    case THexEditPromptKind::Information:
      QMessageBox::information(Parent, QStringLiteral("Information"), Text);
      return true;
    case THexEditPromptKind::Error:
      QMessageBox::critical(Parent, QStringLiteral("Error"), Text);
      return true;
  }
  return false;
}

THexEditPrompt& CurrentPrompt() {
  static THexEditPrompt Prompt;
  return Prompt;
}

bool Ask(QWidget* Parent, THexEditPromptKind Kind, const QString& Text) {
  return CurrentPrompt() ? CurrentPrompt()(Parent, Kind, Text) : DefaultPrompt(Parent, Kind, Text);
}

class TWaitCursor {
 public:
  TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;
};

// Asks the form before the current cell moves, whatever moves it (mouse, keys, code).
class TCellGate : public QItemSelectionModel {
 public:
  TCellGate(QAbstractItemModel* Model, THexEditForm* Form) : QItemSelectionModel(Model, Form), FForm(Form) {}

  void setCurrentIndex(const QModelIndex& Index, QItemSelectionModel::SelectionFlags Command) override {
    if (Index.isValid() && Index != currentIndex() && !FForm->StringGrid1SelectCell(Index.column(), Index.row() + 1))
      return;
    QItemSelectionModel::setCurrentIndex(Index, Command);
  }

 private:
  THexEditForm* FForm;
};

// The grid: Enter goes to the form, and a click on a cell that may not become current does nothing.
class THexGrid : public QTableWidget {
 public:
  explicit THexGrid(THexEditForm* Form) : QTableWidget(Form), FForm(Form) {}

 protected:
  void keyPressEvent(QKeyEvent* Event) override {
    if (IsEnterKey(Event->key()) && state() != QAbstractItemView::EditingState) {
      FForm->StringGrid1KeyDown(Event->key());
      Event->accept();
      return;
    }
    QTableWidget::keyPressEvent(Event);
  }

  void mousePressEvent(QMouseEvent* Event) override {
    const QModelIndex Index = indexAt(Event->position().toPoint());
    if (Index.isValid() && !FForm->CanSelectCell(Index.column(), Index.row() + 1)) {
      Event->accept();
      return;
    }
    QTableWidget::mousePressEvent(Event);
  }

 private:
  THexEditForm* FForm;
};

}  // namespace

// Edits byte cells through the form's mask and rules, and paints changed cells.
class THexCellDelegate : public QStyledItemDelegate {
 public:
  explicit THexCellDelegate(THexEditForm* Form) : QStyledItemDelegate(Form), FForm(Form) {}

  QWidget* createEditor(QWidget* Parent, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override {
    auto* Editor = new QLineEdit(Parent);
    Editor->setFrame(false);
    Editor->setFont(Option.font);
    Editor->setInputMask(FForm->StringGrid1GetEditMask(Index.column(), Index.row() + 1));
    FEditor = Editor;
    return Editor;
  }

  void setModelData(QWidget* Editor, QAbstractItemModel*, const QModelIndex& Index) const override {
    // The displayed text keeps the position of a blank ("A " and " A" differ).
    if (auto* Line = qobject_cast<QLineEdit*>(Editor))
      FForm->StringGrid1SetEditText(Index.column(), Index.row() + 1, Line->displayText());
  }

  void paint(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override {
    QStyledItemDelegate::paint(Painter, Option, Index);
    FForm->StringGrid1DrawCell(Painter, Index.column(), Index.row() + 1, Option.rect, Index.data().toString());
  }

  void destroyEditor(QWidget* Editor, const QModelIndex& Index) const override {
    if (Editor == FEditor) FEditor = nullptr;
    QStyledItemDelegate::destroyEditor(Editor, Index);
  }

  // Hands an open editor's text to the form and closes it.
  void CommitOpenEditor() {
    if (!FEditor) return;
    QWidget* Editor = FEditor;
    FEditor = nullptr;
    emit commitData(Editor);
    emit closeEditor(Editor, QAbstractItemDelegate::NoHint);
  }

 protected:
  bool eventFilter(QObject* Object, QEvent* Event) override {
    if (Event->type() == QEvent::KeyPress && Object == FEditor) {
      const int Key = static_cast<QKeyEvent*>(Event)->key();
      if (IsEnterKey(Key)) {
        // Enter takes the text as it stands, even half typed, and moves on like Enter outside an editor.
        CommitOpenEditor();
        FForm->StringGrid1KeyDown(Key);
        return true;
      }
    }
    return QStyledItemDelegate::eventFilter(Object, Event);
  }

 private:
  THexEditForm* FForm;
  mutable QPointer<QWidget> FEditor;
};

THexEditPrompt SetHexEditPrompt(THexEditPrompt Prompt) {
  THexEditPrompt Previous = std::move(CurrentPrompt());
  CurrentPrompt() = std::move(Prompt);
  return Previous;
}

THexEditForm::THexEditForm(QWidget* Parent) : QDialog(Parent) {
  setWindowTitle(QStringLiteral("Hex Edit"));
  resize(769, 613);

  auto* Grid = new THexGrid(this);
  StringGrid1 = Grid;
  StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
  StringGrid1->setFont(HexDumpFont(8));
  StringGrid1->setColumnCount(THexEditModel::ColumnCount);
  StringGrid1->horizontalHeader()->setMinimumSectionSize(8);
  StringGrid1->horizontalHeader()->setDefaultSectionSize(24);
  StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  StringGrid1->verticalHeader()->setMinimumSectionSize(8);
  StringGrid1->verticalHeader()->setDefaultSectionSize(24);
  StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  StringGrid1->verticalHeader()->hide();
  // However small the dialog, the grid keeps a few lines of bytes below its header and above
  // the scroll bar it shows when the columns are wider than the dialog.
  StringGrid1->setMinimumHeight(StringGrid1->horizontalHeader()->sizeHint().height() +
                                MinGridLines * StringGrid1->verticalHeader()->defaultSectionSize() +
                                StringGrid1->horizontalScrollBar()->sizeHint().height() + 2 * StringGrid1->frameWidth());
  StringGrid1->setShowGrid(true);
  StringGrid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
  StringGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
  StringGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::AnyKeyPressed);
  FDelegate = new THexCellDelegate(this);
  StringGrid1->setItemDelegate(FDelegate);
  QItemSelectionModel* Previous = StringGrid1->selectionModel();
  StringGrid1->setSelectionModel(new TCellGate(StringGrid1->model(), this));
  delete Previous;

  bbtnOK = new QPushButton(QStringLiteral("Save Changes"), this);
  bbtnOK->setObjectName(QStringLiteral("bbtnOK"));
  bbtnCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
  bbtnCancel->setObjectName(QStringLiteral("bbtnCancel"));
  for (QPushButton* Button : {bbtnOK, bbtnCancel}) {
    Button->setFixedSize(110, 25);
    // Enter belongs to the grid, where it moves to the next byte.
    Button->setAutoDefault(false);
    Button->setDefault(false);
  }
  connect(bbtnOK, &QPushButton::clicked, this, &THexEditForm::bbtnOKClick);
  connect(bbtnCancel, &QPushButton::clicked, this, &QDialog::reject);

  // Set by FormShow once the bytes are read: ticked where they hold a whole frame.
  cbRepairCrc = new QCheckBox(ToQString(HexEditRepairCrcText), this);
  cbRepairCrc->setObjectName(QStringLiteral("cbRepairCrc"));
  cbRepairCrc->setEnabled(false);

  auto* Buttons = new QHBoxLayout;
  Buttons->setSpacing(2);
  Buttons->addSpacing(8);
  Buttons->addWidget(cbRepairCrc);
  Buttons->addStretch(1);
  Buttons->addWidget(bbtnOK);
  Buttons->addWidget(bbtnCancel);
  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(0, 0, 0, 7);
  Layout->setSpacing(12);
  Layout->addWidget(StringGrid1, 1);
  Layout->addLayout(Buttons);
}

THexEditForm::~THexEditForm() = default;

void THexEditForm::SetUp(TFileStream* FileStream, const std::u16string& AdditionalCaption, bool CanModify,
                         int64_t Offset, int64_t Size) {
  FFileStream = FileStream;
  FAdditionalCaption = AdditionalCaption;
  FCanModify = CanModify;
  FOffset = Offset;
  FSize = Size;
}

void THexEditForm::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  if (FShown) return;
  FShown = true;
  FormShow();
}

void THexEditForm::FormShow() {
  TWaitCursor Wait;
  try {
    if (!FFileStream || !LoadHexEdit(FModel, *FFileStream, FOffset, FSize)) {
      ReportCallFailure(u"THexEditForm.FormShow");
      return;
    }
    BuildGrid();
    for (int Row = 1; Row < FModel.RowCount(); ++Row) SyncRow(Row);
    const bool WholeFrame = FModel.WholeFrameSize() > 0;
    cbRepairCrc->setEnabled(WholeFrame);
    cbRepairCrc->setChecked(WholeFrame);

    setWindowTitle(QStringLiteral("Hex Edit") + ToQString(FAdditionalCaption));
    SelectNextCell(FModel.LeadingCells(), 1);
  } catch (...) {
    ReportCallFailure(u"THexEditForm.FormShow");
  }
}

void THexEditForm::BuildGrid() {
  StringGrid1->clearContents();
  StringGrid1->setRowCount(FModel.RowCount() - 1);
  StringGrid1->setColumnWidth(0, 180);
  StringGrid1->setColumnWidth(THexEditModel::TextColumn, 120);
  QStringList Header;
  for (int Column = 0; Column < THexEditModel::ColumnCount; ++Column) Header << ToQString(FModel.Cell(Column, 0));
  StringGrid1->setHorizontalHeaderLabels(Header);
  const QBrush FixedBrush = palette().button();
  for (int Row = 1; Row < FModel.RowCount(); ++Row) {
    for (int Column = 0; Column < THexEditModel::ColumnCount; ++Column) {
      auto* Item = new QTableWidgetItem;
      Item->setFlags(Qt::ItemIsEnabled);
      if (Column == 0) Item->setBackground(FixedBrush);
      StringGrid1->setItem(Row - 1, Column, Item);
    }
    SyncCell(0, Row);
  }
}

void THexEditForm::SyncCell(int Column, int Row) {
  QTableWidgetItem* Item = StringGrid1->item(Row - 1, Column);
  if (!Item) return;
  const QString Text = ToQString(FModel.Cell(Column, Row));
  if (Item->text() != Text) Item->setText(Text);
  const bool ByteCell = Column >= THexEditModel::FirstByteColumn && Column <= THexEditModel::LastByteColumn;
  const Qt::ItemFlags Flags = ByteCell && !Text.isEmpty()
                                  ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                                  : Qt::ItemFlags(Qt::ItemIsEnabled);
  if (Item->flags() != Flags) Item->setFlags(Flags);
}

void THexEditForm::SyncRow(int Row) {
  for (int Column = THexEditModel::FirstByteColumn; Column <= THexEditModel::TextColumn; ++Column)
    SyncCell(Column, Row);
}

void THexEditForm::done(int Result) {
  FormClose();
  QDialog::done(Result);
}

void THexEditForm::reject() {
  // A half-typed cell counts as an edit too.
  FDelegate->CommitOpenEditor();
  if (FModel.HasUnsavedEdits() &&
      !Ask(this, THexEditPromptKind::Confirm, ToQString(DiscardEditsQuestion)))
    return;
  QDialog::reject();
}

void THexEditForm::FormClose() {
  try {
    FModel.Clear();
  } catch (...) {
    ReportCallFailure(u"THexEditForm.FormClose");
  }
}

QString THexEditForm::StringGrid1GetEditMask(int, int) const {
  // Two letters or digits, upper case as typed; the rules below turn non-hex letters into "0".
  return QStringLiteral(">NN");
}

void THexEditForm::StringGrid1SetEditText(int Column, int Row, const QString& Value) {
  FModel.SetEditText(Column, Row, FromQString(Value));
  SyncCell(Column, Row);
  SyncCell(THexEditModel::TextColumn, Row);
  StringGrid1->viewport()->update();
}

bool THexEditForm::CanSelectCell(int Column, int Row) const { return FModel.CanSelect(Column, Row); }

bool THexEditForm::StringGrid1SelectCell(int Column, int Row) {
  const std::optional<THexCell> Leaving = FModel.LastSelected();
  const bool Allowed = FModel.SelectCell(Column, Row);
  if (Leaving) SyncCell(Leaving->Column, Leaving->Row);
  return Allowed;
}

void THexEditForm::StringGrid1DrawCell(QPainter* Painter, int Column, int Row, const QRect& Rect,
                                       const QString& Text) const {
  if (FModel.GetChangedCellIndex(Column, Row) < 0) return;
  Painter->save();
  Painter->fillRect(Rect, QColor(255, 0, 0));
  Painter->setPen(QColor(255, 255, 255));
  Painter->drawText(Rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop, Text);
  Painter->restore();
}

void THexEditForm::StringGrid1KeyDown(int Key) {
  if (!IsEnterKey(Key)) return;
  const QModelIndex Current = StringGrid1->currentIndex();
  if (Current.isValid()) SelectNextCell(Current.column(), Current.row() + 1);
}

void THexEditForm::SelectNextCell(int Column, int Row) {
  const std::optional<THexCell> Next = FModel.NextCell(Column, Row);
  if (Next) StringGrid1->setCurrentCell(Next->Row - 1, Next->Column);
}

bool THexEditForm::AddChangedCell(int Column, int Row, uint8_t Value) {
  return FModel.AddChangedCell(Column, Row, Value);
}

int THexEditForm::GetChangedCellIndex(int Column, int Row) const { return FModel.GetChangedCellIndex(Column, Row); }

bool THexEditForm::GetOriginalValue(int Column, int Row, uint8_t& Value) const {
  return FModel.GetOriginalValue(Column, Row, Value);
}

bool THexEditForm::UpdateRow(int Row) {
  const bool Updated = FModel.UpdateRow(Row);
  SyncCell(THexEditModel::TextColumn, Row);
  return Updated;
}

void THexEditForm::bbtnOKClick() {
  try {
    FDelegate->CommitOpenEditor();
    if (!FFileStream) {
      ReportCallFailure(u"THexEditForm.SaveChanges");
      FSaveFailed = FCanModify;
    } else {
      FSaveFailed = !SaveHexEdit(FModel, *FFileStream, FCanModify, cbRepairCrc->isChecked(),
                                 [this](THexEditMessage Kind, std::u16string_view Text) {
                                   return Ask(this, Kind, ToQString(Text));
                                 });
    }
  } catch (...) {
    ReportCallFailure(u"THexEditForm.bbtnOKClick");
  }
  accept();
}

bool EditFile(TFileStream* FileStream, const std::u16string& AdditionalCaption, bool CanModify, int64_t Offset,
              int64_t Size, QWidget* Parent) {
  if (!FileStream || !FileStream->IsOpen()) {
    ReportFailure(u"EditFile", u"invalid filestream.");
    return false;
  }
  try {
    // An earlier write to the file that was stopped part-way is rolled back before its bytes are
    // shown, so that the dialog never shows (or saves over) a half-written frame.
    const TRecovery Recovery = TUndoJournal(*FileStream).Recover();
    if (Recovery.Outcome == TRecovery::TOutcome::Failed) {
      Ask(Parent, THexEditPromptKind::Error, QString::fromStdString(Recovery.Text));
      return false;
    }
    if (Recovery.Outcome != TRecovery::TOutcome::Nothing)
      Ask(Parent, THexEditPromptKind::Information, QString::fromStdString(Recovery.Text + "."));
    THexEditForm Form(Parent);
    Form.SetUp(FileStream, AdditionalCaption, CanModify, Offset, Size);
    const int Result = Form.exec();
    return Result == QDialog::Accepted && !Form.SaveFailed();
  } catch (...) {
    ReportCallFailure(u"EditFile");
    return false;
  }
}

}  // namespace corvane
