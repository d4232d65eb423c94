#include "app/StreamCheckWindow.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/QtText.h"
#include "core/StringUtils.h"
#include "hex/HexViewUtils_RichEdit.h"
#include "viewer/FrameRowText.h"

namespace corvane {

TStreamCheckWindow::TStreamCheckWindow(QWidget* Parent) : QDialog(Parent) {
  setWindowTitle(QStringLiteral("Stream Check"));
  resize(760, 560);
  const QFont Fixed = HexDumpFont(9);

  Memo1 = new QPlainTextEdit(this);
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setFont(Fixed);

  ListView1 = new QTreeWidget(this);
  ListView1->setRootIsDecorated(false);
  ListView1->setUniformRowHeights(true);
  ListView1->setAlternatingRowColors(true);
  ListView1->setHeaderLabels({QStringLiteral("Offset"), QStringLiteral("Type"), QStringLiteral("Finding")});
  ListView1->header()->setStretchLastSection(true);
  ListView1->setColumnWidth(0, 170);
  ListView1->setColumnWidth(1, 70);
  ListView1->setFont(Fixed);
  connect(ListView1, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* Item) {
    const int64_t Offset = FindingOffset(ListView1->indexOfTopLevelItem(Item));
    if (Offset >= 0 && OnActivated) OnActivated(Offset);
  });

  auto* Split = new QSplitter(Qt::Vertical, this);
  Split->addWidget(Memo1);
  Split->addWidget(ListView1);
  Split->setStretchFactor(1, 1);
  Split->setSizes({200, 360});
  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(4, 4, 4, 4);
  Layout->addWidget(Split);
}

void TStreamCheckWindow::SetResult(const std::filesystem::path& File, const TStreamSummary& Summary,
                                   const std::vector<TStreamFinding>& Findings, int64_t NotKept) {
  FFile = File;
  setWindowTitle(QStringLiteral("Stream Check - ") + PathToQString(File));
  QStringList Lines;
  Lines << QStringLiteral("File: ") + PathToQString(File);
  for (const std::u16string& Line : SummaryLines(Summary)) Lines << Q(Line);
  if (NotKept > 0)
    Lines << QStringLiteral("The list shows the first %1 findings; %2 more are left out.")
                 .arg(static_cast<qlonglong>(Findings.size()))
                 .arg(static_cast<qlonglong>(NotKept));
  Memo1->setPlainText(Lines.join(QLatin1Char('\n')));

  ListView1->clear();
  QList<QTreeWidgetItem*> Items;
  Items.reserve(static_cast<qsizetype>(Findings.size()));
  for (const TStreamFinding& Finding : Findings) {
    auto* Item = new QTreeWidgetItem({Q(OffsetText(Finding.Offset)),
                                      Finding.IsProblem() ? QStringLiteral("problem") : QStringLiteral("change"),
                                      Q(FindingText(Finding))});
    Item->setData(0, Qt::UserRole, static_cast<qlonglong>(Finding.Offset));
    Items.push_back(Item);
  }
  ListView1->addTopLevelItems(Items);
  if (!Items.isEmpty()) ListView1->setCurrentItem(Items.front());
}

int64_t TStreamCheckWindow::FindingOffset(int Row) const {
  const QTreeWidgetItem* Item = ListView1->topLevelItem(Row);
  return Item ? Item->data(0, Qt::UserRole).toLongLong() : -1;
}

}  // namespace corvane
