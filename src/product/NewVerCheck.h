#pragma once
// The background update check: one worker thread per program run finds out whether the
// component files beside the program are current. The main window starts it, polls it from
// its timer until it is ready and releases it when it closes.

#include <atomic>
#include <string>

#include <QThread>

namespace corvane {

class TNeedToHalvernUpdateThread : public QThread {
 public:
  explicit TNeedToHalvernUpdateThread(std::u16string ApplicationEXEName);
  ~TNeedToHalvernUpdateThread() override;

  // True once the worker has finished, whatever happened on the way.
  bool Ready() const { return FReady.load(); }
  // The answer, meaningful once Ready is true: some component file needs an update.
  bool NeedToHalvernUpdate() const { return FNeedToHalvernUpdate.load(); }
  // Asks the worker to end at once: its download is aborted and its pause cut short.
  void RequestStop() { FStop = true; }

 protected:
  // The worker's body (Execute): checks the components of the executable's folder.
  void run() override;
  // The check itself; IsHalvernComponentUpdateRequired for the folder, ended by StopFlag.
  virtual bool CheckComponents(const std::u16string& Folder);
  const std::atomic<bool>* StopFlag() const { return &FStop; }

 private:
  std::u16string FApplicationEXEName;
  std::atomic<bool> FReady{false};
  std::atomic<bool> FNeedToHalvernUpdate{false};
  std::atomic<bool> FStop{false};
};

// Starts the check for the program's own executable, or for the given one. Returns false,
// starting nothing, when a check already exists (or after a caught failure).
bool InitializeHalvernUpdate();
bool InitializeHalvernUpdate(const std::u16string& ApplicationEXEName);
// False while no check exists or it has not finished; then true, with the answer.
bool CheckHalvernUpdateResult(bool& NeedToHalvernUpdate);
// Forgets the check, stops its worker, waits for it to end (a few milliseconds, whatever the
// network does) and frees it. False after a caught failure.
bool DeinitializeHalvernUpdate();

}  // namespace corvane
