// DownloadToBuffer through WinINet, for the Windows window: the system's proxy settings, a
// fresh download every time, the time limit on connecting and on every read, and a cancel from
// another thread that closes the session handle a download blocks on.

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

#include "core/ODSUtls.h"
#include "product/MediaUtils.h"

namespace corvane {
namespace {

constexpr int32_t ReadPieceSize = 10240;

// One download's session. Closing it ends any call blocked on it (or on a handle opened from
// it), so the download's cancel closes it from the thread that raises the cancel.
class TInternet {
 public:
  explicit TInternet(TDownloadCancel* Cancel) : FCancel(Cancel) {}
  ~TInternet() { Close(); }
  TInternet(const TInternet&) = delete;
  TInternet& operator=(const TInternet&) = delete;

  bool Open() {
    FHandle = InternetOpenW(L"Halvern Updater", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!FHandle) return false;
    if (!FCancel) return true;
    FTicket = FCancel->Watch([this] {
      InternetCloseHandle(FHandle);
      FClosedByCancel = true;
    });
    return FTicket != 0;  // raised already: Close gives the handle back
  }
  void Close() {
    // After Unwatch the cancel's ending has run completely or never will.
    if (FTicket != 0) FCancel->Unwatch(FTicket);
    FTicket = 0;
    if (FHandle && !FClosedByCancel) InternetCloseHandle(FHandle);
    FHandle = nullptr;
  }
  HINTERNET Handle() const { return FHandle; }

 private:
  TDownloadCancel* FCancel;
  HINTERNET FHandle = nullptr;
  uint64_t FTicket = 0;
  bool FClosedByCancel = false;
};

}  // namespace

int32_t DownloadToBuffer(const std::u16string& Url, uint8_t* Buffer, int32_t& Count, TDownloadCancel* Cancel) {
  const int32_t Capacity = Count;
  Count = 0;
  // A raised cancel is seen between the calls; a call blocked on the network ends when the
  // cancel closes the session under it. Either way the download answers DownloadCancelled.
  try {
    if (Capacity < 0 || (!Buffer && Capacity > 0)) return DownloadUnexpectedFailure;
    if (IsRaised(Cancel)) return DownloadCancelled;
    TInternet Session(Cancel);
    if (!Session.Open()) return IsRaised(Cancel) ? DownloadCancelled : DownloadNoConnection;
    DWORD Limit = static_cast<DWORD>(std::clamp<int64_t>(DownloadTimeLimit().count(), 1, 0x7FFFFFFF));
    for (const DWORD Option : {DWORD{INTERNET_OPTION_CONNECT_TIMEOUT}, DWORD{INTERNET_OPTION_RECEIVE_TIMEOUT},
                               DWORD{INTERNET_OPTION_SEND_TIMEOUT}})
      InternetSetOptionW(Session.Handle(), Option, &Limit, sizeof Limit);

    const std::wstring Address(Url.begin(), Url.end());
    HINTERNET Request = InternetOpenUrlW(Session.Handle(), Address.c_str(), L"", 0,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                             INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI,
                                         0);
    if (!Request) return IsRaised(Cancel) ? DownloadCancelled : DownloadOpenFailed;
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
      if (IsRaised(Cancel)) return DownloadCancelled;
      if (!InternetReadFile(Request, Buffer + Count, Piece, &Got))
        return IsRaised(Cancel) ? DownloadCancelled : DownloadReadFailed;
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
