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

 protected:
  // The worker's body (Execute): checks the components of the executable's folder.
  void run() override;
  // The check itself; IsHalvernComponentUpdateRequired for the folder.
  virtual bool CheckComponents(const std::u16string& Folder);

 private:
  std::u16string FApplicationEXEName;
  std::atomic<bool> FReady{false};
  std::atomic<bool> FNeedToHalvernUpdate{false};
};

// Starts the check for the program's own executable, or for the given one. Returns false,
// starting nothing, when a check already exists (or after a caught failure).
bool InitializeHalvernUpdate();
bool InitializeHalvernUpdate(const std::u16string& ApplicationEXEName);
// False while no check exists or it has not finished; then true, with the answer.
bool CheckHalvernUpdateResult(bool& NeedToHalvernUpdate);
// Forgets the check, waits for its worker to end and frees it. False after a caught failure.
bool DeinitializeHalvernUpdate();

}  // namespace corvane
