#pragma once
// Long work on a worker thread behind a modal progress dialog that can cancel it: the stream
// check, the overview's walk, the loudness measurement. The work sees only its own state; the
// dialog's side reads how far it got.

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>

#include "viewer/FrameWindow.h"
#include "viewer/StreamCheck.h"

class QProgressDialog;
class QWidget;

namespace corvane {

// What the work and the dialog share.
struct TWorkerState {
  std::atomic<bool> Cancel{false};
  std::atomic<int64_t> Position{0};
  std::atomic<int64_t> Size{0};
  // For a walk's progress.
  TFrameWindow::TWalkProgress Progress() {
    return [this](int64_t At, int64_t Of) {
      Position = At;
      Size = Of;
    };
  }
};

// Runs Work on a worker thread and returns once it has ended, while a modal progress dialog
// (Title, Label) shows how far it got; the dialog's Cancel raises the state's Cancel, which Work
// is to look at. Started is told the dialog once it is up; Poll runs on this thread a few times
// a second while Work runs, and once after it. Work catches its own failures.
void RunBehindProgress(QWidget* Parent, const QString& Title, const QString& Label,
                       const std::function<void(TWorkerState& State)>& Work,
                       const std::function<void(QProgressDialog* Dialog)>& Started,
                       const std::function<void()>& Poll = {});

// The same for work that ends as a check does; an exception from Work ends it as Failed, with
// its text in Error.
TCheckEnd RunCheckBehindProgress(QWidget* Parent, const QString& Title, const QString& Label,
                                 const std::function<TCheckEnd(TWorkerState& State)>& Work,
                                 const std::function<void(QProgressDialog* Dialog)>& Started, std::string& Error);

}  // namespace corvane
