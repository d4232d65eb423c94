#pragma once
// A tiny HTTP server on 127.0.0.1 for the update-check tests. It runs in a thread of its own,
// reads each request up to its blank line and answers with the canned response, then closes
// the connection. A silent server sends its response (if any) and then never says more.

#include <future>
#include <mutex>

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace corvane {

class TLoopbackHttpServer : public QThread {
 public:
  explicit TLoopbackHttpServer(QByteArray Response = {}, bool Silent = false)
      : FResponse(std::move(Response)), FSilent(Silent) {
    start();
    FPort = FListening.get_future().get();
  }
  ~TLoopbackHttpServer() override {
    quit();
    wait();
  }

  quint16 Port() const { return FPort; }
  QString Address() const { return QStringLiteral("http://127.0.0.1:%1").arg(FPort); }

  void SetResponse(QByteArray Response) {
    std::lock_guard<std::mutex> Lock(FMutex);
    FResponse = std::move(Response);
  }
  QList<QByteArray> Requests() const {
    std::lock_guard<std::mutex> Lock(FMutex);
    return FRequests;
  }

  // A complete response; without a length header the body ends when the connection closes.
  static QByteArray Response(const QByteArray& Body, int Status = 200, bool AnnounceLength = true) {
    QByteArray R = "HTTP/1.1 " + QByteArray::number(Status) + (Status == 200 ? " OK" : " Not Found") + "\r\n";
    if (AnnounceLength) R += "Content-Length: " + QByteArray::number(Body.size()) + "\r\n";
    return R + "Connection: close\r\nContent-Type: text/plain\r\n\r\n" + Body;
  }

 protected:
  void run() override {
    QTcpServer Server;
    const bool Listening = Server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&Server, &QTcpServer::newConnection, &Server, [&] {
      while (QTcpSocket* Socket = Server.nextPendingConnection()) {
        QObject::connect(Socket, &QTcpSocket::readyRead, Socket, [this, Socket] { Serve(Socket); });
      }
    });
    FListening.set_value(Listening ? Server.serverPort() : 0);
    exec();
  }

 private:
  void Serve(QTcpSocket* Socket) {
    QByteArray Request = Socket->property("request").toByteArray() + Socket->readAll();
    Socket->setProperty("request", Request);
    if (!Request.contains("\r\n\r\n") || Socket->property("answered").toBool()) return;
    Socket->setProperty("answered", true);
    QByteArray Answer;
    {
      std::lock_guard<std::mutex> Lock(FMutex);
      FRequests.push_back(Request);
      Answer = FResponse;
    }
    Socket->write(Answer);
    if (!FSilent) Socket->disconnectFromHost();
  }

  mutable std::mutex FMutex;
  QByteArray FResponse;
  QList<QByteArray> FRequests;
  bool FSilent;
  std::promise<quint16> FListening;
  quint16 FPort = 0;
};

}  // namespace corvane
