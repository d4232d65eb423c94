#pragma once
// The update check on a thread of its own, for a window that polls it from a timer: start,
// poll, and a stop that raises the check's cancel (which ends a running download and the pause
// after a failed one at once) and never waits longer than it is told, so that closing the
// window never waits for the network. Both windows use it.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace corvane {

class TDownloadCancel;

// How long a closing window waits for the check to end after raising its cancel.
inline constexpr std::chrono::milliseconds UpdateCheckStopLimit{100};

// The folder of an executable's component files: its parent folder with a separator at the end.
std::u16string UpdateCheckFolder(const std::u16string& ExecutableName);

class TUpdateCheckThread {
 public:
  // The check the worker runs: whether the component files in Folder need an update, ended
  // early (answering false) once Cancel is raised. IsHalvernComponentUpdateRequired by default.
  using TCheck = std::function<bool(const std::u16string& Folder, TDownloadCancel* Cancel)>;

  TUpdateCheckThread();
  explicit TUpdateCheckThread(TCheck Check);
  // Stops the check, waiting as long as it takes (a window calls Stop with a limit first).
  ~TUpdateCheckThread();
  TUpdateCheckThread(const TUpdateCheckThread&) = delete;
  TUpdateCheckThread& operator=(const TUpdateCheckThread&) = delete;

  // Starts the check of the component files in Folder (ending in a separator); false when a
  // check was started already or could not be started.
  bool Start(std::u16string Folder);
  bool Started() const { return FState != nullptr; }
  // True once the check has finished, with its answer (false when the check failed).
  bool Poll(bool& NeedToUpdate) const;
  // Raises the check's cancel and waits at most Limit for the worker. True when it ended; a
  // worker still running after the limit is left to end on its own (it touches only its own
  // state, which it keeps alive).
  bool Stop(std::chrono::milliseconds Limit);
  // A worker was left running by Stop: the process should end without running its static
  // destructors under it.
  bool LeftRunning() const { return FLeftRunning; }

 private:
  struct TState;
  TCheck FCheck;
  std::shared_ptr<TState> FState;
  std::thread FWorker;
  bool FLeftRunning = false;
};

}  // namespace corvane
