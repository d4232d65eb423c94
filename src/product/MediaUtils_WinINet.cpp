// DownloadToBuffer through WinINet, for the Windows window: the system's proxy settings, a
// fresh download every time, the time limit on connecting and on every read, and an abort from
// another thread that closes the handles a download blocks on.

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

#include "core/ODSUtls.h"
#include "product/DownloadAbort.h"
#include "product/MediaUtils.h"

namespace corvane {
namespace {

constexpr int32_t ReadPieceSize = 10240;

// The connection handles of the downloads running now; an abort closes them, which ends any
// call blocked on them.
std::mutex& OpenMutex() {
  static std::mutex Mutex;
  return Mutex;
}
std::set<HINTERNET>& OpenHandles() {
  static std::set<HINTERNET> Handles;
  return Handles;
}
bool Aborted = false;  // under OpenMutex

class TInternet {
 public:
  ~TInternet() { Close(); }
  bool Open() {
    std::lock_guard<std::mutex> Lock(OpenMutex());
    if (Aborted) return false;
    FHandle = InternetOpenW(L"Halvern Updater", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (FHandle) OpenHandles().insert(FHandle);
    return FHandle != nullptr;
  }
  void Close() {
    std::lock_guard<std::mutex> Lock(OpenMutex());
    // An abort may have closed it already.
    if (FHandle && OpenHandles().erase(FHandle) != 0) InternetCloseHandle(FHandle);
    FHandle = nullptr;
  }
  HINTERNET Handle() const { return FHandle; }

 private:
  HINTERNET FHandle = nullptr;
};

}  // namespace

void AbortDownloads() {
  std::lock_guard<std::mutex> Lock(OpenMutex());
  Aborted = true;
  for (HINTERNET Handle : OpenHandles()) InternetCloseHandle(Handle);
  OpenHandles().clear();
}

int32_t DownloadToBuffer(const std::u16string& Url, uint8_t* Buffer, int32_t& Count, const std::atomic<bool>* Cancel) {
  const int32_t Capacity = Count;
  Count = 0;
  // A raised Cancel is seen between the calls; a call blocked on the network ends with AbortDownloads.
  const auto Cancelled = [Cancel] { return Cancel != nullptr && Cancel->load(); };
  try {
    if (Capacity < 0 || (!Buffer && Capacity > 0)) return DownloadUnexpectedFailure;
    if (Cancelled()) return DownloadNoConnection;
    TInternet Session;
    if (!Session.Open()) return DownloadNoConnection;
    DWORD Limit = static_cast<DWORD>(std::clamp<int64_t>(DownloadTimeLimit().count(), 1, 0x7FFFFFFF));
    for (const DWORD Option : {DWORD{INTERNET_OPTION_CONNECT_TIMEOUT}, DWORD{INTERNET_OPTION_RECEIVE_TIMEOUT},
                               DWORD{INTERNET_OPTION_SEND_TIMEOUT}})
      InternetSetOptionW(Session.Handle(), Option, &Limit, sizeof Limit);

    const std::wstring Address(Url.begin(), Url.end());
    HINTERNET Request = InternetOpenUrlW(Session.Handle(), Address.c_str(), L"", 0,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                             INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI,
                                         0);
    if (!Request) return DownloadOpenFailed;
    // Closed with the session at the latest; closing it here first keeps the order WinINet wants.
    struct TRequest {
      HINTERNET Handle;
      ~TRequest() { InternetCloseHandle(Handle); }
    } Guard{Request};

    DWORD Status = 0;
    DWORD Size = sizeof Status;
    if (HttpQueryInfoW(Request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &Status, &Size, nullptr) &&
        (Status < 200 || Status >= 300))
      return DownloadOpenFailed;

    int64_t ContentLength = -1;
    DWORD Announced = 0;
    Size = sizeof Announced;
    if (HttpQueryInfoW(Request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &Announced, &Size, nullptr) &&
        Size > 0)
      ContentLength = Announced;
    if (ContentLength > Capacity) return DownloadTooLarge;

    if (Capacity > 0) std::memset(Buffer, 0, static_cast<size_t>(Capacity));
    while (Count < Capacity) {
      DWORD Got = 0;
      const DWORD Piece = static_cast<DWORD>(std::min(ReadPieceSize, Capacity - Count));
      if (Cancelled() || !InternetReadFile(Request, Buffer + Count, Piece, &Got)) return DownloadReadFailed;
      if (Got == 0) break;
      Count += static_cast<int32_t>(Got);
    }
    return DownloadOK;
  } catch (...) {
    ReportCallFailure(u"DownloadToBuffer");
    return DownloadUnexpectedFailure;
  }
}

}  // namespace corvane
