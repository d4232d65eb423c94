#include "product/UpdateCheckThread.h"

#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "core/ODSUtls.h"
#include "product/DownloadCancel.h"
#include "product/UpdaterUtils.h"

namespace corvane {

std::u16string UpdateCheckFolder(const std::u16string& ExecutableName) {
  std::u16string Folder = std::filesystem::path(ExecutableName).parent_path().u16string();
  const char16_t Separator = static_cast<char16_t>(std::filesystem::path::preferred_separator);
  if (Folder.empty() || (Folder.back() != Separator && Folder.back() != u'/')) Folder.push_back(Separator);
  return Folder;
}

struct TUpdateCheckThread::TState {
  TDownloadCancel Cancel;
  std::mutex Mutex;
  std::condition_variable Ended;
  bool Ready = false;
  bool NeedToUpdate = false;
};

TUpdateCheckThread::TUpdateCheckThread()
    : TUpdateCheckThread([](const std::u16string& Folder, TDownloadCancel* Cancel) {
        return IsHalvernComponentUpdateRequired(Folder, Cancel);
      }) {}

TUpdateCheckThread::TUpdateCheckThread(TCheck Check) : FCheck(std::move(Check)) {}

TUpdateCheckThread::~TUpdateCheckThread() {
  if (FWorker.joinable()) {
    FState->Cancel.Raise();
    FWorker.join();
  }
}

bool TUpdateCheckThread::Start(std::u16string Folder) {
  if (FState) return false;
  try {
    auto State = std::make_shared<TState>();
    FWorker = std::thread([State, Check = FCheck, Folder = std::move(Folder)] {
      bool Answer = false;
      try {
        Answer = Check(Folder, &State->Cancel);
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
  FState->Cancel.Raise();
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
