#include "app/StreamCheckWindow.h"

#include <QAction>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/QtText.h"
#include "core/StringUtils.h"
#include "hex/HexViewUtils_RichEdit.h"

namespace corvane {
namespace {

#ifdef _WIN32
constexpr std::u16string_view CopyLineEnd = u"\r\n";
#else
constexpr std::u16string_view CopyLineEnd = u"\n";
#endif

// The lines the summary and the findings keep at the window's smallest size, and the width of
// a finding's text that stays in view beside its offset and type.
constexpr int MinVisibleLines = 4;
constexpr int MinFindingWidth = 160;


}  // namespace

TStreamCheckWindow::TStreamCheckWindow() : QWidget(nullptr, Qt::Window) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  resize(820, 560);
  const QFont Fixed = HexDumpFont(9);

  lbClosed = new QLabel(this);
  lbClosed->setWordWrap(true);
  lbClosed->setStyleSheet(QStringLiteral("QLabel { background: #fff3c0; padding: 4px; }"));
  lbClosed->hide();

  Memo1 = new QPlainTextEdit(this);
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setFont(Fixed);
  Memo1->setFocusPolicy(Qt::ClickFocus);

  ListView1 = new QTreeWidget(this);
  ListView1->setRootIsDecorated(false);
  ListView1->setUniformRowHeights(true);
  ListView1->setAlternatingRowColors(true);
  ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListView1->setHeaderLabels({QStringLiteral("Offset"), QStringLiteral("Type"), QStringLiteral("Finding")});
  // Long findings are shown whole: the list scrolls sideways instead of cutting them, and each
  // row's tooltip holds its full text.
  ListView1->setTextElideMode(Qt::ElideNone);
  ListView1->header()->setStretchLastSection(false);
  ListView1->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
  ListView1->setColumnWidth(0, 170);
  ListView1->setColumnWidth(1, 70);
  ListView1->setFont(Fixed);
  ListView1->setContextMenuPolicy(Qt::ActionsContextMenu);
  // However small the window, the summary and the findings keep a few lines each above their
  // sideways scroll bars, and the list its Offset and Type columns with the start of a finding.
  const QFontMetrics Lines(Fixed);
  Memo1->setMinimumHeight(MinVisibleLines * Lines.lineSpacing() + 2 * Memo1->frameWidth() +
                          2 * static_cast<int>(Memo1->document()->documentMargin()) +
                          Memo1->horizontalScrollBar()->sizeHint().height());
  // A row's height is measured on a row of the list's own.
  ListView1->addTopLevelItem(new QTreeWidgetItem({QStringLiteral("0x0")}));
  const int RowHeight = ListView1->sizeHintForRow(0);
  ListView1->clear();
  ListView1->setMinimumHeight(ListView1->header()->sizeHint().height() + MinVisibleLines * RowHeight +
                              ListView1->horizontalScrollBar()->sizeHint().height() + 2 * ListView1->frameWidth());
  ListView1->setMinimumWidth(ListView1->columnWidth(0) + ListView1->columnWidth(1) + MinFindingWidth);
  connect(ListView1, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* Item) {
    const int64_t Offset = FindingOffset(ListView1->indexOfTopLevelItem(Item));
    if (Offset >= 0 && OnActivated) OnActivated(Offset);
  });

  auto* CopyAction = new QAction(QStringLiteral("&Copy"), ListView1);
  CopyAction->setShortcut(QKeySequence::Copy);
  CopyAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(CopyAction, &QAction::triggered, this, &TStreamCheckWindow::CopyReport);
  auto* SaveAction = new QAction(QStringLiteral("&Save Report..."), ListView1);
  SaveAction->setShortcut(QKeySequence::Save);
  SaveAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(SaveAction, &QAction::triggered, this, &TStreamCheckWindow::SaveReport);
  // The list would copy its current cell itself; Ctrl+C copies the findings as the menu does.
  ListView1->installEventFilter(this);
  ListView1->addAction(CopyAction);
  ListView1->addAction(SaveAction);
  addAction(SaveAction);

  btnCopy = new QPushButton(QStringLiteral("&Copy"), this);
  btnCopy->setToolTip(QStringLiteral("The selected findings, or the whole report when none is selected (Ctrl+C)"));
  connect(btnCopy, &QPushButton::clicked, this, &TStreamCheckWindow::CopyReport);
  btnSave = new QPushButton(QStringLiteral("&Save Report..."), this);
  btnSave->setToolTip(QStringLiteral("As text, or as JSON for a name ending in .json (Ctrl+S)"));
  connect(btnSave, &QPushButton::clicked, this, &TStreamCheckWindow::SaveReport);

  FChooseSaveFile = [](QWidget* Parent, const QString& Suggested) {
    return QFileDialog::getSaveFileName(Parent, QStringLiteral("Save Report"), Suggested,
                                        QStringLiteral("Text files (*.txt);;JSON files (*.json);;All Files (*)"));
  };
  FTell = [](QWidget* Parent, const QString& Text) { QMessageBox::critical(Parent, QStringLiteral("Corvane"), Text); };

  auto* Split = new QSplitter(Qt::Vertical, this);
  Split->addWidget(Memo1);
  Split->addWidget(ListView1);
  Split->setStretchFactor(1, 1);
  Split->setSizes({200, 360});
  auto* Buttons = new QHBoxLayout;
  Buttons->addStretch(1);
  Buttons->addWidget(btnCopy);
  Buttons->addWidget(btnSave);
  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(6, 6, 6, 6);
  Layout->addWidget(lbClosed);
  Layout->addWidget(Split, 1);
  Layout->addLayout(Buttons);
  setFocusProxy(ListView1);
}

void TStreamCheckWindow::SetReport(TCheckReport Report) {
  FReport = std::move(Report);
  FFileOpen = true;
  lbClosed->hide();
  UpdateTitle();
  ShowSummary();

  ListView1->clear();
  QList<QTreeWidgetItem*> Items;
  Items.reserve(static_cast<qsizetype>(FReport.Findings().size()));
  for (size_t Row = 0; Row < FReport.Findings().size(); ++Row) {
    const auto Texts = FReport.RowTexts(Row);
    auto* Item = new QTreeWidgetItem({Q(Texts[0]), Q(Texts[1]), Q(Texts[2])});
    Item->setData(0, Qt::UserRole, static_cast<qlonglong>(FReport.Findings()[Row].Offset));
    Item->setToolTip(2, Q(Texts[2]));
    Items.push_back(Item);
  }
  ListView1->addTopLevelItems(Items);
  if (!Items.isEmpty()) ListView1->setCurrentItem(Items.front(), 0, QItemSelectionModel::NoUpdate);
  ListView1->setFocus();
}

void TStreamCheckWindow::SetLoudnessLines(std::vector<std::u16string> Lines) {
  FReport.SetLoudnessLines(std::move(Lines));
  ShowSummary();
}

void TStreamCheckWindow::ShowSummary() {
  QStringList Lines;
  for (const std::u16string& Line : FReport.SummaryLines()) Lines << Q(Line);
  Memo1->setPlainText(Lines.join(QLatin1Char('\n')));
}

bool TStreamCheckWindow::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == ListView1 && Event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(Event)->matches(QKeySequence::Copy)) {
    CopyReport();
    return true;
  }
  return QWidget::eventFilter(Watched, Event);
}

int64_t TStreamCheckWindow::FindingOffset(int Row) const {
  const QTreeWidgetItem* Item = ListView1->topLevelItem(Row);
  return Item ? Item->data(0, Qt::UserRole).toLongLong() : -1;
}

void TStreamCheckWindow::SetFileOpen(bool Open) {
  if (Open == FFileOpen) return;
  FFileOpen = Open;
  lbClosed->setText(Q(FReport.NotOpenText()));
  lbClosed->setVisible(!Open);
  UpdateTitle();
}

void TStreamCheckWindow::UpdateTitle() {
  setWindowTitle(Q(FReport.WindowTitle(FFileOpen)));
}

QString TStreamCheckWindow::CopyText() const {
  std::vector<size_t> Rows;
  for (int Row = 0; Row < ListView1->topLevelItemCount(); ++Row)
    if (ListView1->topLevelItem(Row)->isSelected()) Rows.push_back(static_cast<size_t>(Row));
  return Q(FReport.CopyText(Rows, CopyLineEnd));
}

void TStreamCheckWindow::CopyReport() { QGuiApplication::clipboard()->setText(CopyText()); }

void TStreamCheckWindow::SaveReport() {
  const QString Suggested = PathToQString(FReport.SuggestedSaveName());
  const QString Chosen = FChooseSaveFile ? FChooseSaveFile(this, Suggested) : QString();
  if (Chosen.isEmpty() || !FWriteReport) return;
  const std::filesystem::path File = PathFromQString(Chosen);
  const QString Error = FWriteReport(File, ReportFormatFor(File));
  if (!Error.isEmpty() && FTell) FTell(this, Error);
}

}  // namespace corvane
