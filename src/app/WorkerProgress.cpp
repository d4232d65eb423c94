#include "app/WorkerProgress.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <thread>

namespace corvane {
namespace {

constexpr int ProgressSteps = 1000;
constexpr int PollMs = 20;

}  // namespace

void RunBehindProgress(QWidget* Parent, const QString& Title, const QString& Label,
                       const std::function<void(TWorkerState& State)>& Work,
                       const std::function<void(QProgressDialog* Dialog)>& Started, const std::function<void()>& Poll) {
  TWorkerState State;
  std::atomic<bool> Done{false};
  QProgressDialog Progress(Label, QStringLiteral("Cancel"), 0, ProgressSteps, Parent);
  Progress.setWindowTitle(Title);
  Progress.setWindowModality(Qt::ApplicationModal);
  Progress.setMinimumDuration(0);
  Progress.setAutoClose(false);
  Progress.setAutoReset(false);
  QObject::connect(&Progress, &QProgressDialog::canceled, &Progress, [&State] { State.Cancel = true; });
  Progress.show();
  if (Started) Started(&Progress);
  if (Progress.wasCanceled()) State.Cancel = true;

  std::thread Worker([&] {
    Work(State);
    Done = true;
  });
  QEventLoop Loop;
  QTimer Timer;
  Timer.setInterval(PollMs);
  QObject::connect(&Timer, &QTimer::timeout, &Loop, [&] {
    if (Done) {
      Loop.quit();
      return;
    }
    if (Progress.wasCanceled()) State.Cancel = true;
    if (const int64_t Of = State.Size; Of > 0)
      Progress.setValue(static_cast<int>(State.Position * ProgressSteps / Of));
    if (Poll) Poll();
  });
  Timer.start();
  Loop.exec();
  Worker.join();
  if (Poll) Poll();
  Progress.close();
}

TCheckEnd RunCheckBehindProgress(QWidget* Parent, const QString& Title, const QString& Label,
                                 const std::function<TCheckEnd(TWorkerState& State)>& Work,
                                 const std::function<void(QProgressDialog* Dialog)>& Started, std::string& Error) {
  TCheckEnd End = TCheckEnd::Failed;  // written by the worker, read once it has ended
  RunBehindProgress(
      Parent, Title, Label,
      [&](TWorkerState& State) {
        try {
          End = Work(State);
        } catch (const std::exception& Failure) {
          End = TCheckEnd::Failed;
          Error = Failure.what();
        }
      },
      Started);
  return End;
}

}  // namespace corvane
