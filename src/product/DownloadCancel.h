#pragma once
// How a download is ended from another thread: one cancel for a whole update check, handed to
// each of its downloads and to its pauses. Raising it makes every download that watches it end
// at once, whatever the network does, and every later one fail before it starts. A download
// that blocks in a call only another thread can end (WinINet) registers how to end that call;
// one that runs an event loop (Qt) looks at the cancel between events.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

namespace corvane {

class TDownloadCancel {
 public:
  TDownloadCancel() = default;
  TDownloadCancel(const TDownloadCancel&) = delete;
  TDownloadCancel& operator=(const TDownloadCancel&) = delete;

  // Raises the cancel and runs every registered ending, on the calling thread.
  void Raise();
  bool Raised() const { return FRaised.load(); }

  // Registers how to end a blocked call; 0, registering nothing, when the cancel is raised
  // already. The ending runs at most once, under the cancel's lock.
  uint64_t Watch(std::function<void()> End);
  // Forgets an ending. Once this returns, the ending is not running and never will.
  void Unwatch(uint64_t Ticket);

 private:
  std::mutex FMutex;
  std::atomic<bool> FRaised{false};
  uint64_t FNextTicket = 1;
  std::map<uint64_t, std::function<void()>> FEndings;
};

// A nullable cancel's state: raised only when there is one and it is raised.
inline bool IsRaised(const TDownloadCancel* Cancel) { return Cancel != nullptr && Cancel->Raised(); }

}  // namespace corvane
