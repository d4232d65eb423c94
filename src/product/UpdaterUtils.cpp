#include "product/UpdaterUtils.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>

#include "core/FileStream.h"
#include "core/ODSUtls.h"
#include "core/StringUtils.h"
#include "product/MD5Utils.h"
#include "product/MediaUtils.h"
#include "product/ProductConfig.h"

namespace corvane {
namespace {

std::mutex& AddressMutex() {
  static std::mutex Mutex;
  return Mutex;
}

std::u16string& CurrentAddress() {
  static std::u16string Address = CORVANE_UPDATE_SERVER;
  return Address;
}

std::filesystem::path PathOf(const std::u16string& Text) { return std::filesystem::path(Text); }

}  // namespace

std::u16string UpdateServerAddress() {
  std::lock_guard<std::mutex> Lock(AddressMutex());
  return CurrentAddress();
}

std::u16string SetUpdateServerAddress(std::u16string Address) {
  std::lock_guard<std::mutex> Lock(AddressMutex());
  std::swap(CurrentAddress(), Address);
  return Address;
}

std::u16string UpdateListUrl() {
  std::u16string Address = UpdateServerAddress();
  while (!Address.empty() && Address.back() == u'/') Address.pop_back();
  return Address.empty() ? Address : Address + UpdateListPath;
}

std::vector<TComponentFile> HalvernComponentFiles() {
#ifdef _WIN32
  return {{u"msvcp100.dll", false}, {u"msvcr100.dll", false}, {u"Corvane.exe", true}, {u"corvane-cli.exe", true}};
#else
  return {{u"corvane", true}, {u"corvane-cli", true}};
#endif
}

THalvernUpdater::THalvernUpdater(std::u16string DestinationFolder)
    : FDestinationFolder(std::move(DestinationFolder)),
      FTempData(UpdateListCapacity),
      FComponentFiles(HalvernComponentFiles()) {}

bool THalvernUpdater::Parse_upd_txt() {
  try {
    std::fill(FTempData.begin(), FTempData.end(), 0);
    FDD.clear();
    FMD5FileRecords.clear();
    const std::u16string Url = UpdateListUrl();
    if (Url.empty()) return false;  // no endpoint was configured for this build
    int32_t Count = UpdateListCapacity;
    if (DownloadToBuffer(Url, FTempData.data(), Count, FCancel) != DownloadOK) return false;
    // The list is text in the system's 8-bit code page, up to its first zero byte.
    const auto End = std::find(FTempData.begin(), FTempData.begin() + Count, uint8_t(0));
    const std::string_view Bytes(reinterpret_cast<const char*>(FTempData.data()),
                                 static_cast<size_t>(End - FTempData.begin()));
    ParseUpdateList(FromSystemCodePage(Bytes), FDD, FMD5FileRecords);
    return true;
  } catch (...) {
    DebugLog(u"Error in THalvernUpdater.Parse_upd_txt call...");
    return false;
  }
}

namespace {

// Read by the worker thread, set by the thread that starts it.
std::atomic<int64_t>& FetchFailurePauseMs() {
  static std::atomic<int64_t> Pause{DefaultFetchFailurePause.count()};
  return Pause;
}

}  // namespace

std::chrono::milliseconds FetchFailurePause() { return std::chrono::milliseconds(FetchFailurePauseMs().load()); }

std::chrono::milliseconds SetFetchFailurePause(std::chrono::milliseconds Pause) {
  return std::chrono::milliseconds(FetchFailurePauseMs().exchange(Pause.count()));
}

bool THalvernUpdater::CheckAndUpdateFiles(bool CheckOnly) {
  if (!Parse_upd_txt()) {
    // The pause is slept in short steps, so that a raised cancel flag ends it.
    const auto End = std::chrono::steady_clock::now() + FetchFailurePause();
    while (!Cancelled() && std::chrono::steady_clock::now() < End)
      std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(std::chrono::milliseconds(5),
                                                                                End - std::chrono::steady_clock::now()));
    return false;
  }
  return CheckAndUpdateFiles_Analyzers(CheckOnly);
}

bool THalvernUpdater::CheckAndUpdateFiles_Analyzers(bool CheckOnly) {
  try {
    bool NeedsUpdate = false;
    for (const TComponentFile& File : FComponentFiles) {
      if (Cancelled()) return false;
      if (File.OnlyWhenPresent && !FileExists(PathOf(FDestinationFolder + File.FileName))) continue;
      if (CheckAndUpdateFile(File.FileName, CheckOnly)) NeedsUpdate = true;
    }
    return NeedsUpdate;
  } catch (...) {
    DebugLog(u"Error in THalvernUpdater.CheckAndUpdateFiles_Analyzers call...");
    return false;
  }
}

bool THalvernUpdater::CheckAndUpdateFile(const std::u16string& FileName, bool /*CheckOnly*/) {
  try {
    std::u16string MD5;
    if (ExistingFileAndMD5(FileName, MD5) && HasMatchingRecord(FMD5FileRecords, FileName, MD5)) return false;
    return true;
  } catch (...) {
    DebugLog(u"Error in THalvernUpdater.CheckAndUpdateFile call...");
    return true;  // a file that cannot be checked counts as needing an update
  }
}

bool THalvernUpdater::ExistingFileAndMD5(const std::u16string& FileName, std::u16string& MD5) {
  try {
    const std::filesystem::path Path = PathOf(FDestinationFolder + FileName);
    if (!FileExists(Path)) return false;
    TMD5Digest Digest;
    if (!CalculateFileMD5(Path, Digest)) return false;
    MD5 = MD5DigestToStr(Digest);
    return true;
  } catch (...) {
    DebugLog(u"Error in THalvernUpdater.ExistingFileAndMD5 call...");
    return false;
  }
}

bool IsHalvernComponentUpdateRequired(const std::u16string& Folder, TDownloadCancel* Cancel) {
  try {
    THalvernUpdater Updater(Folder);
    Updater.SetCancel(Cancel);
    return Updater.CheckAndUpdateFiles(true);
  } catch (...) {
    DebugLog(u"Error in IsHalvernComponentUpdateRequired call...");
    return false;
  }
}

}  // namespace corvane
