#include "product/MediaUtils.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include "core/ODSUtls.h"

namespace corvane {
namespace {

constexpr int32_t ReadPieceSize = 10240;
// How often a transfer looks at its cancel flag.
constexpr std::chrono::milliseconds CancelPollInterval{5};

// The system's proxy settings, except for the loopback addresses, which are never proxied.
class TUpdaterProxyFactory : public QNetworkProxyFactory {
 public:
  QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& Query) override {
    const QString Host = Query.peerHostName();
    if (Host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || QHostAddress(Host).isLoopback())
      return {QNetworkProxy(QNetworkProxy::NoProxy)};
    return systemProxyForQuery(Query);
  }
};

// One transfer: collects the body into the caller's buffer as it arrives.
class TTransfer {
 public:
  TTransfer(QNetworkReply* Reply, uint8_t* Buffer, int32_t Capacity, const TDownloadCancel* Cancel)
      : FReply(Reply), FBuffer(Buffer), FCapacity(Capacity), FCancel(Cancel) {}

  // Runs the transfer to its end or the time limit and returns the download result.
  int32_t Run(std::chrono::milliseconds Limit) {
    QEventLoop Loop;
    QTimer Timer;
    Timer.setSingleShot(true);
    QObject::connect(&Timer, &QTimer::timeout, &Loop, [&] {
      FTimedOut = true;
      Loop.quit();
    });
    QObject::connect(FReply, &QNetworkReply::metaDataChanged, &Loop, [&] {
      if (!CheckHeaders()) Loop.quit();
    });
    QObject::connect(FReply, &QNetworkReply::readyRead, &Loop, [&] {
      if (!CheckHeaders() || !Collect()) Loop.quit();
    });
    QObject::connect(FReply, &QNetworkReply::finished, &Loop, &QEventLoop::quit);
    QTimer CancelPoll;
    QObject::connect(&CancelPoll, &QTimer::timeout, &Loop, [&] {
      if (!Cancelled()) return;
      FResult = DownloadCancelled;
      Loop.quit();
    });
    if (FCancel) CancelPoll.start(CancelPollInterval);
    Timer.start(Limit);
    if (Cancelled()) FResult = DownloadCancelled;
    if (FResult == DownloadOK && !FReply->isFinished()) Loop.exec();

    if (FResult == DownloadOK && !FTimedOut && !FFull && FReply->isFinished() && CheckHeaders() && Collect()) {
      if (FReply->error() != QNetworkReply::NoError)
        FResult = FHeadersSeen ? DownloadReadFailed : DownloadOpenFailed;
      else if (!FHeadersSeen)  // ended without a success status, say on a redirection not followed
        FResult = DownloadOpenFailed;
    }
    if (FResult == DownloadOK && FTimedOut) FResult = FHeadersSeen ? DownloadReadFailed : DownloadOpenFailed;
    if (!FReply->isFinished()) FReply->abort();
    return FResult;
  }

  int32_t Received() const { return FCount; }

 private:
  bool Cancelled() const { return IsRaised(FCancel); }

  // Looks at the response headers once they are there: an error status means the address
  // could not be fetched; an announced length beyond the capacity ends the transfer.
  bool CheckHeaders() {
    if (FResult != DownloadOK) return false;
    if (FHeadersSeen) return true;
    const QVariant Status = FReply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!Status.isValid()) return true;  // nothing received yet
    const int Code = Status.toInt();
    if (Code >= 300 && Code < 400) return true;  // a redirection, followed by the manager
    if (Code < 200 || Code >= 300) {
      FResult = DownloadOpenFailed;
      return false;
    }
    FHeadersSeen = true;
    const QVariant Length = FReply->header(QNetworkRequest::ContentLengthHeader);
    if (Length.isValid() && Length.toLongLong() > FCapacity) {
      FResult = DownloadTooLarge;
      return false;
    }
    return true;
  }

  // Moves what has arrived into the buffer, in pieces of at most ReadPieceSize bytes;
  // false when the transfer should end (capacity used up or a failed read).
  bool Collect() {
    // Nothing counts as received before a success status: a failed transfer must not pass
    // for a full buffer, not even one of no bytes.
    if (!FHeadersSeen) return true;
    while (FCount < FCapacity && FReply->bytesAvailable() > 0) {
      const int32_t Piece = std::min(ReadPieceSize, FCapacity - FCount);
      const qint64 Got = FReply->read(reinterpret_cast<char*>(FBuffer + FCount), Piece);
      if (Got < 0) {
        FResult = DownloadReadFailed;
        return false;
      }
      if (Got == 0) break;
      FCount += static_cast<int32_t>(Got);
    }
    if (FCount >= FCapacity) FFull = true;
    return !FFull;
  }

  QNetworkReply* FReply;
  uint8_t* FBuffer;
  int32_t FCapacity;
  int32_t FCount = 0;
  int32_t FResult = DownloadOK;
  bool FHeadersSeen = false;
  bool FTimedOut = false;
  bool FFull = false;
  const TDownloadCancel* FCancel;
};

}  // namespace

int32_t DownloadToBuffer(const std::u16string& Url, uint8_t* Buffer, int32_t& Count,
                         TDownloadCancel* Cancel) {
  const int32_t Capacity = Count;
  Count = 0;
  try {
    if (Capacity < 0 || (!Buffer && Capacity > 0)) return DownloadUnexpectedFailure;
    if (!QCoreApplication::instance()) return DownloadNoConnection;
    QNetworkAccessManager Manager;
    Manager.setProxyFactory(new TUpdaterProxyFactory);  // the manager takes ownership

    const QUrl Address(QString::fromStdU16String(Url), QUrl::StrictMode);
    if (!Address.isValid() || (Address.scheme() != QLatin1String("http") && Address.scheme() != QLatin1String("https")))
      return DownloadOpenFailed;
    QNetworkRequest Request(Address);
    Request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Halvern Updater"));
    Request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    Request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    Request.setRawHeader("Cache-Control", "no-cache");
    Request.setRawHeader("Pragma", "no-cache");

    if (Capacity > 0) std::memset(Buffer, 0, static_cast<size_t>(Capacity));
    QNetworkReply* Reply = Manager.get(Request);  // owned by the manager
    TTransfer Transfer(Reply, Buffer, Capacity, Cancel);
    const int32_t Result = Transfer.Run(DownloadTimeLimit());
    Count = Transfer.Received();
    return Result;
  } catch (...) {
    ReportCallFailure(u"DownloadToBuffer");
    return DownloadUnexpectedFailure;
  }
}

}  // namespace corvane
