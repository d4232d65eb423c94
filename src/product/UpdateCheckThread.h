#pragma once
// The update check on a thread of the standard library, for a window that polls it from a
// timer: start, poll, and a stop that asks a running download to end and never waits longer
// than it is told, so that closing the window never waits for the network.

#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace corvane {

class TUpdateCheckThread {
 public:
  TUpdateCheckThread();
  // Stops the check, waiting as long as it takes (a window calls Stop with a limit first).
  ~TUpdateCheckThread();
  TUpdateCheckThread(const TUpdateCheckThread&) = delete;
  TUpdateCheckThread& operator=(const TUpdateCheckThread&) = delete;

  // Starts the check of the component files in Folder (ending in a separator); false when a
  // check was started already.
  bool Start(std::u16string Folder);
  // True once the check has finished, with its answer.
  bool Poll(bool& NeedToUpdate) const;
  // Ends the running download and waits at most Limit for the worker. True when it ended; a
  // worker still running after the limit is left to end on its own (it touches only its own
  // state, which it keeps alive).
  bool Stop(std::chrono::milliseconds Limit);
  // A worker was left running by Stop: the process should end without running its static
  // destructors under it.
  bool LeftRunning() const { return FLeftRunning; }

 private:
  struct TState;
  std::shared_ptr<TState> FState;
  std::thread FWorker;
  bool FLeftRunning = false;
};

}  // namespace corvane
