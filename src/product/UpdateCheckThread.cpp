#include "product/UpdateCheckThread.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "core/ODSUtls.h"
#include "product/DownloadAbort.h"
#include "product/UpdaterUtils.h"

namespace corvane {

struct TUpdateCheckThread::TState {
  std::mutex Mutex;
  std::condition_variable Ended;
  bool Ready = false;
  bool NeedToUpdate = false;
};

TUpdateCheckThread::TUpdateCheckThread() = default;

TUpdateCheckThread::~TUpdateCheckThread() {
  if (FWorker.joinable()) {
    AbortDownloads();
    FWorker.join();
  }
}

bool TUpdateCheckThread::Start(std::u16string Folder) {
  if (FState) return false;
  try {
    auto State = std::make_shared<TState>();
    FWorker = std::thread([State, Folder = std::move(Folder)] {
      bool Answer = false;
      try {
        Answer = IsHalvernComponentUpdateRequired(Folder);
      } catch (...) {
        ReportCallFailure(u"TNeedToHalvernUpdateThread.Execute");
      }
      // Set on every path, after the answer, so that the poll always comes to an end.
      std::lock_guard<std::mutex> Lock(State->Mutex);
      State->NeedToUpdate = Answer;
      State->Ready = true;
      State->Ended.notify_all();
    });
    FState = std::move(State);
    return true;
  } catch (...) {
    ReportCallFailure(u"TNeedToHalvernUpdateThread.Create");
    return false;
  }
}

bool TUpdateCheckThread::Poll(bool& NeedToUpdate) const {
  if (!FState) return false;
  std::lock_guard<std::mutex> Lock(FState->Mutex);
  if (!FState->Ready) return false;
  NeedToUpdate = FState->NeedToUpdate;
  return true;
}

bool TUpdateCheckThread::Stop(std::chrono::milliseconds Limit) {
  if (!FWorker.joinable()) return true;
  AbortDownloads();
  bool Ended = false;
  {
    std::unique_lock<std::mutex> Lock(FState->Mutex);
    Ended = FState->Ended.wait_for(Lock, Limit, [this] { return FState->Ready; });
  }
  if (Ended) {
    FWorker.join();
    return true;
  }
  FWorker.detach();
  FLeftRunning = true;
  return false;
}

}  // namespace corvane
