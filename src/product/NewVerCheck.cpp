#include "product/NewVerCheck.h"

#include <filesystem>
#include <mutex>

#include <QCoreApplication>

#include "core/ODSUtls.h"
#include "product/UpdaterUtils.h"

namespace corvane {
namespace {

std::mutex WorkerMutex;
TNeedToHalvernUpdateThread* Worker = nullptr;

std::u16string FolderOf(const std::u16string& ExeName) {
  std::u16string Folder = std::filesystem::path(ExeName).parent_path().u16string();
  const char16_t Separator = static_cast<char16_t>(std::filesystem::path::preferred_separator);
  if (Folder.empty() || (Folder.back() != Separator && Folder.back() != u'/')) Folder.push_back(Separator);
  return Folder;
}

}  // namespace

TNeedToHalvernUpdateThread::TNeedToHalvernUpdateThread(std::u16string ApplicationEXEName)
    : FApplicationEXEName(std::move(ApplicationEXEName)) {}

TNeedToHalvernUpdateThread::~TNeedToHalvernUpdateThread() {
  try {
    wait();
  } catch (...) {
    ReportCallFailure(u"TNeedToHalvernUpdateThread.Destroy");
  }
}

void TNeedToHalvernUpdateThread::run() {
  try {
    FNeedToHalvernUpdate = CheckComponents(FolderOf(FApplicationEXEName));
  } catch (...) {
    FNeedToHalvernUpdate = false;
    ReportCallFailure(u"TNeedToHalvernUpdateThread.Execute");
  }
  // Set on every path, after the answer, so that the poll always comes to an end.
  FReady = true;
}

bool TNeedToHalvernUpdateThread::CheckComponents(const std::u16string& Folder) {
  return IsHalvernComponentUpdateRequired(Folder, StopFlag());
}

bool InitializeHalvernUpdate() {
  try {
    return InitializeHalvernUpdate(QCoreApplication::applicationFilePath().toStdU16String());
  } catch (...) {
    ReportCallFailure(u"InitializeHalvernUpdate");
    return false;
  }
}

bool InitializeHalvernUpdate(const std::u16string& ApplicationEXEName) {
  std::lock_guard<std::mutex> Lock(WorkerMutex);
  if (Worker) return false;
  TNeedToHalvernUpdateThread* Created = nullptr;
  try {
    Created = new TNeedToHalvernUpdateThread(ApplicationEXEName);
  } catch (...) {
    ReportCallFailure(u"TNeedToHalvernUpdateThread.Create");
    return false;
  }
  try {
    Created->start();
    Worker = Created;
    return true;
  } catch (...) {
    delete Created;
    ReportCallFailure(u"InitializeHalvernUpdate");
    return false;
  }
}

bool CheckHalvernUpdateResult(bool& NeedToHalvernUpdate) {
  try {
    std::lock_guard<std::mutex> Lock(WorkerMutex);
    if (!Worker || !Worker->Ready()) return false;
    NeedToHalvernUpdate = Worker->NeedToHalvernUpdate();
    return true;
  } catch (...) {
    ReportCallFailure(u"CheckHalvernUpdateResult");
    return false;
  }
}

bool DeinitializeHalvernUpdate() {
  TNeedToHalvernUpdateThread* Ending = nullptr;
  try {
    {
      std::lock_guard<std::mutex> Lock(WorkerMutex);
      Ending = Worker;
      Worker = nullptr;
    }
    if (Ending) Ending->RequestStop();
    delete Ending;  // waits for the worker, which the stop ends within milliseconds
    return true;
  } catch (...) {
    ReportCallFailure(u"DeinitializeHalvernUpdate");
    return false;
  }
}

}  // namespace corvane
