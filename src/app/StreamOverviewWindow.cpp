#include "app/StreamOverviewWindow.h"

#include <QLabel>
#include <QVBoxLayout>

#include "app/OverviewStrip.h"
#include "app/QtText.h"
#include "app/WorkerProgress.h"

namespace corvane {

TStreamOverviewWindow::TStreamOverviewWindow() : QWidget(nullptr, Qt::Window) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWindowTitle(QStringLiteral("Stream Overview"));
  resize(1000, 480);
  lbHead = new QLabel(this);
  lbHead->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lbVerdict = new QLabel(this);
  lbVerdict->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lbVerdict->hide();
  Strip = new TOverviewStrip(this);
  Strip->OnActivated = [this](int64_t Offset) {
    if (OnActivated) OnActivated(Offset);
  };
  auto* Hint = new QLabel(
      QStringLiteral("A click shows the frame at that time in the main window; in the problem lane, the nearest "
                     "problem's frame."),
      this);
  Hint->setForegroundRole(QPalette::PlaceholderText);
  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(6, 6, 6, 6);
  Layout->addWidget(lbHead);
  Layout->addWidget(lbVerdict);
  Layout->addWidget(Strip, 1);
  Layout->addWidget(Hint);
}

TCheckEnd TStreamOverviewWindow::Collect(QWidget* Parent, const std::filesystem::path& File, bool EAC3,
                                         std::string& Error) {
  if (Holds(File)) return TCheckEnd::Completed;
  Clear();
  const TCheckEnd End = RunCheckBehindProgress(
      Parent, QStringLiteral("Stream Overview"), QStringLiteral("Reading the stream..."),
      [&](TWorkerState& State) {
        return CollectOverview(File, EAC3, FOverview, FSummary, State.Progress(), &State.Cancel, Error);
      },
      FStarted, Error);
  if (End != TCheckEnd::Completed) {
    Clear();
    return End;
  }
  FFile = File;
  FHeld = true;
  setWindowTitle(QStringLiteral("Stream Overview - ") + PathToQString(File));
  // Kind, duration, problems and changes: the first, third and last two lines of the summary.
  const std::vector<std::u16string> Lines = SummaryLines(FSummary);
  lbHead->setText(Q(Lines[0] + u"    " + Lines[2] + u"    " + Lines[Lines.size() - 2] + u"    " + Lines.back()));
  Strip->SetNote({});
  Strip->SetOverview(&FOverview);
  return End;
}

void TStreamOverviewWindow::Clear() {
  FOverview = TStreamOverview{};
  FSummary = TStreamSummary{};
  FFile.clear();
  FHeld = false;
  Strip->SetOverview(nullptr);
  Strip->SetNote(QStringLiteral("No stream: View > Stream Overview shows the open file's."));
  lbHead->clear();
  SetVerdict({});
}

void TStreamOverviewWindow::Refresh() { Strip->Refresh(); }

void TStreamOverviewWindow::SetVerdict(const QString& Text) {
  lbVerdict->setText(Text);
  lbVerdict->setVisible(!Text.isEmpty());
}

}  // namespace corvane
