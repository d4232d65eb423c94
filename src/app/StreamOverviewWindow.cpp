#include "app/StreamOverviewWindow.h"

#include <QLabel>
#include <QVBoxLayout>

#include "app/OverviewStrip.h"
#include "app/QtText.h"
#include "app/WorkerProgress.h"
#include "viewer/OverviewPicture.h"

namespace corvane {

TStreamOverviewWindow::TStreamOverviewWindow() : QWidget(nullptr, Qt::Window) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWindowTitle(Q(OverviewTitle));
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
  auto* Hint = new QLabel(Q(OverviewHintText), this);
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
      Parent, Q(OverviewTitle), Q(OverviewProgressText),
      [&](TWorkerState& State) {
        return CollectOverview(File, EAC3, FHeld.Overview, FHeld.Summary, State.Progress(), &State.Cancel, Error);
      },
      FStarted, Error);
  if (End != TCheckEnd::Completed) {
    Clear();
    return End;
  }
  FHeld.File = File;
  setWindowTitle(Q(OverviewWindowTitle(File)));
  lbHead->setText(Q(OverviewHeadLine(FHeld.Summary)));
  Strip->SetNote({});
  Strip->SetOverview(&FHeld.Overview);
  return End;
}

void TStreamOverviewWindow::Clear() {
  FHeld = THeldOverview{};
  Strip->SetOverview(nullptr);
  Strip->SetNote(Q(OverviewNoStreamText));
  lbHead->clear();
  SetVerdict({});
}

void TStreamOverviewWindow::Refresh() { Strip->Refresh(); }

void TStreamOverviewWindow::SetVerdict(const QString& Text) {
  lbVerdict->setText(Text);
  lbVerdict->setVisible(!Text.isEmpty());
}

}  // namespace corvane
