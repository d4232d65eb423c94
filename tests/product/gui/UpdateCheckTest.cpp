#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <thread>

#include <QCryptographicHash>

#include "LoopbackHttpServer.h"
#include "core/ODSUtls.h"
#include "product/DownloadCancel.h"
#include "product/MD5Utils.h"
#include "product/MediaUtils.h"
#include "product/UpdateCheckThread.h"
#include "product/UpdaterUtils.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

const std::u16string AbcMD5 = u"900150983cd24fb0d6963f7d28e17f72";  // MD5 of "abc" (RFC 1321)
const std::u16string OtherMD5 = u"0cc175b9c0f1b6a831c399e269772661";

std::chrono::milliseconds Since(TClock::time_point Start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - Start);
}

QByteArray List(const std::u16string& Text) { return QString::fromStdU16String(Text).toLatin1(); }

// A folder of component files, removed at the end of the test; the update endpoint and the
// download time limit are restored as well.
class UpdateCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device Random;
    FFolder = std::filesystem::temp_directory_path() / ("corvane_update_" + std::to_string(Random()));
    std::filesystem::create_directories(FFolder);
    FPreviousAddress = SetUpdateServerAddress(u"");
    // Long enough to measure, short enough that the failed fetches cost little.
    SetFetchFailurePause(100ms);
  }
  void TearDown() override {
    SetUpdateServerAddress(FPreviousAddress);
    SetDownloadTimeLimit(DefaultDownloadTimeLimit);
    SetFetchFailurePause(DefaultFetchFailurePause);
    std::filesystem::remove_all(FFolder);
  }

  void Write(const std::u16string& Name, const std::string& Content) {
    std::ofstream(FFolder / std::filesystem::path(Name), std::ios::binary) << Content;
  }
  std::u16string FolderText() const {
    return (FFolder / "").u16string();  // ends in a separator
  }
  static void UseServer(const TLoopbackHttpServer& Server) { SetUpdateServerAddress(Server.Address().toStdU16String()); }

  std::filesystem::path FFolder;
  std::u16string FPreviousAddress;
};

int32_t Download(const QString& Url, std::vector<uint8_t>& Buffer, int32_t& Count) {
  Count = static_cast<int32_t>(Buffer.size());
  return DownloadToBuffer(Url.toStdU16String(), Buffer.data(), Count);
}

TEST_F(UpdateCheckTest, DownloadResults) {
  const QByteArray Big(150000, 'x');
  const struct {
    const char* What;
    QByteArray Response;
    int32_t Result;
    int32_t Count;
  } Cases[] = {
      {"a small body", TLoopbackHttpServer::Response("hello"), DownloadOK, 5},
      {"announced length over the capacity", "HTTP/1.1 200 OK\r\nContent-Length: 102401\r\n\r\n", DownloadTooLarge, 0},
      {"unannounced length is cut at the capacity", TLoopbackHttpServer::Response(Big, 200, false), DownloadOK, 102400},
      {"an error status", TLoopbackHttpServer::Response("missing", 404), DownloadOpenFailed, 0},
      {"a body shorter than announced", "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\nConnection: close\r\n\r\nshort",
       DownloadReadFailed, 5},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    TLoopbackHttpServer Server(C.Response);
    std::vector<uint8_t> Buffer(UpdateListCapacity, 0xAA);
    int32_t Count = 0;
    EXPECT_EQ(Download(Server.Address() + "/download/updt.txt", Buffer, Count), C.Result);
    EXPECT_EQ(Count, C.Count);
    if (C.Result == DownloadOK && C.Count < UpdateListCapacity) {
      EXPECT_EQ(std::string(Buffer.begin(), Buffer.begin() + Count), "hello");
      EXPECT_EQ(Buffer[static_cast<size_t>(Count)], 0) << "the buffer is zeroed before the transfer";
    }
  }
}

TEST_F(UpdateCheckTest, DownloadAsksAfreshUnderTheUpdaterName) {
  TLoopbackHttpServer Server(TLoopbackHttpServer::Response("dl\r\n"));
  UseServer(Server);
  THalvernUpdater Updater(FolderText());
  ASSERT_TRUE(Updater.Parse_upd_txt());
  ASSERT_EQ(Server.Requests().size(), 1);
  const QByteArray Request = Server.Requests()[0];
  EXPECT_TRUE(Request.startsWith("GET /download/updt.txt HTTP/1.1\r\n")) << Request.constData();
  EXPECT_TRUE(Request.contains("\r\nUser-Agent: Halvern Updater\r\n")) << Request.constData();
  EXPECT_TRUE(Request.contains("\r\nCache-Control: no-cache\r\n")) << Request.constData();
  EXPECT_EQ(Updater.FDDLine(), u"dl");
}

TEST_F(UpdateCheckTest, UnreachableOrUnusableAddressesFailToOpen) {
  quint16 ClosedPort = 0;
  {
    TLoopbackHttpServer Gone;
    ClosedPort = Gone.Port();
  }
  std::vector<uint8_t> Buffer(64);
  int32_t Count = 0;
  for (const QString& Url : {QStringLiteral("http://127.0.0.1:%1/download/updt.txt").arg(ClosedPort),
                             QStringLiteral("ftp://127.0.0.1/download/updt.txt"), QStringLiteral("no address")}) {
    EXPECT_EQ(Download(Url, Buffer, Count), DownloadOpenFailed) << Url.toStdString();
  }
}

TEST_F(UpdateCheckTest, AZeroCapacityStillTellsAFailedFetchFromASuccessfulOne) {
  quint16 ClosedPort = 0;
  {
    TLoopbackHttpServer Gone;
    ClosedPort = Gone.Port();
  }
  TLoopbackHttpServer Missing(TLoopbackHttpServer::Response("missing", 404));
  TLoopbackHttpServer Found(TLoopbackHttpServer::Response(""));
  const struct {
    QString Url;
    int32_t Result;
  } Cases[] = {
      {QStringLiteral("http://127.0.0.1:%1/download/updt.txt").arg(ClosedPort), DownloadOpenFailed},
      {Missing.Address() + "/download/updt.txt", DownloadOpenFailed},
      {Found.Address() + "/download/updt.txt", DownloadOK},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Url.toStdString());
    std::vector<uint8_t> Empty;
    int32_t Count = 0;
    EXPECT_EQ(Download(C.Url, Empty, Count), C.Result);
    EXPECT_EQ(Count, 0);
  }
}

TEST_F(UpdateCheckTest, DownloadsEndAtTheTimeLimit) {
  SetDownloadTimeLimit(300ms);
  const struct {
    const char* What;
    QByteArray Sent;
    int32_t Result;
  } Cases[] = {
      {"server never answers", "", DownloadOpenFailed},
      {"server stops in the middle of the body", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart", DownloadReadFailed},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    TLoopbackHttpServer Server(C.Sent, /*Silent=*/true);
    std::vector<uint8_t> Buffer(1024);
    int32_t Count = 0;
    const auto Start = TClock::now();
    EXPECT_EQ(Download(Server.Address() + "/download/updt.txt", Buffer, Count), C.Result);
    EXPECT_GE(Since(Start), 250ms);
    EXPECT_LT(Since(Start), 3000ms);
  }
}

TEST_F(UpdateCheckTest, ComponentFilesAgainstTheList) {
  Write(u"a.dll", "abc");
  Write(u"c.exe", "abc");
  const std::vector<TComponentFile> A = {{u"a.dll", false}};
  const struct {
    const char* What;
    std::u16string List;
    std::vector<TComponentFile> Files;
    bool NeedsUpdate;
  } Cases[] = {
      {"current list", u"dl\r\na.dll;" + AbcMD5 + u"\r\n", A, false},
      {"changed digest", u"dl\r\na.dll;" + OtherMD5 + u"\r\n", A, true},
      {"first equal record counts", u"dl\r\na.dll;" + OtherMD5 + u"\r\na.dll;" + AbcMD5 + u"\r\n", A, false},
      {"missing file", u"dl\r\na.dll;" + AbcMD5 + u"\r\nb.dll;" + AbcMD5 + u"\r\n", {{u"a.dll", false}, {u"b.dll", false}}, true},
      {"empty second line", u"dl\r\n\r\na.dll;" + AbcMD5 + u"\r\n", A, true},
      {"name and ';' but no digest", u"dl\r\na.dll;\r\n", A, true},
      {"case and spaces", u"dl\r\n  A.DLL ; 900150983CD24FB0D6963F7D28E17F72 \r\n", A, false},
      {"file not listed", u"dl\r\na.dll;" + AbcMD5 + u"\r\n", {{u"a.dll", false}, {u"c.exe", false}}, true},
      {"optional file absent", u"dl\r\na.dll;" + AbcMD5 + u"\r\n", {{u"a.dll", false}, {u"x.exe", true}}, false},
      {"optional file present and different", u"dl\r\na.dll;" + AbcMD5 + u"\r\nc.exe;" + OtherMD5 + u"\r\n",
       {{u"a.dll", false}, {u"c.exe", true}}, true},
  };
  TLoopbackHttpServer Server;
  UseServer(Server);
  for (const auto& C : Cases) {
    Server.SetResponse(TLoopbackHttpServer::Response(List(C.List)));
    THalvernUpdater Updater(FolderText());
    Updater.SetComponentFiles(C.Files);
    EXPECT_EQ(Updater.CheckAndUpdateFiles(true), C.NeedsUpdate) << C.What;
  }
}

TEST_F(UpdateCheckTest, FailedFetchAnswersFalseAfterAPause) {
  quint16 ClosedPort = 0;
  {
    TLoopbackHttpServer Gone;
    ClosedPort = Gone.Port();
  }
  TLoopbackHttpServer TooLong("HTTP/1.1 200 OK\r\nContent-Length: 102401\r\n\r\n");
  const struct {
    const char* What;
    std::u16string Address;
  } Cases[] = {
      {"announced length over 102400", TooLong.Address().toStdU16String()},
      {"unreachable port", QStringLiteral("http://127.0.0.1:%1").arg(ClosedPort).toStdU16String()},
      {"no endpoint configured", u""},
  };
  for (const auto& C : Cases) {
    SetUpdateServerAddress(C.Address);
    THalvernUpdater Updater(FolderText());
    Updater.SetComponentFiles({{u"missing.dll", false}});  // would need an update if the list were read
    const auto Start = TClock::now();
    EXPECT_FALSE(Updater.CheckAndUpdateFiles(true)) << C.What;
    EXPECT_GE(Since(Start), FetchFailurePause()) << C.What;
  }
}

TEST_F(UpdateCheckTest, ASilentServerCannotHoldTheCheck) {
  SetDownloadTimeLimit(300ms);
  TLoopbackHttpServer Silent({}, /*Silent=*/true);
  UseServer(Silent);
  const auto Start = TClock::now();
  EXPECT_FALSE(IsHalvernComponentUpdateRequired(FolderText()));
  EXPECT_LT(Since(Start), FetchFailurePause() + 300ms + 2000ms);
}

bool WaitForResult(const TUpdateCheckThread& Check, bool& NeedToUpdate) {
  const auto Start = TClock::now();
  while (!Check.Poll(NeedToUpdate)) {
    if (Since(Start) > 20s) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

TEST_F(UpdateCheckTest, WorkerAnswersForTheProgramsComponentSet) {
  std::u16string Current = u"dl\r\n";
  std::u16string Changed = u"dl\r\n";
  const std::vector<TComponentFile> Files = HalvernComponentFiles();
  for (const TComponentFile& File : Files) {
    Write(File.FileName, "abc");
    Current += File.FileName + u";" + AbcMD5 + u"\r\n";
    Changed += File.FileName + u";" + (&File == &Files.back() ? OtherMD5 : AbcMD5) + u"\r\n";
  }
  TLoopbackHttpServer Server;
  UseServer(Server);
  const std::u16string Folder = UpdateCheckFolder((FFolder / "corvane").u16string());
  EXPECT_EQ(Folder, FolderText());
  for (const auto& [Text, Expected] : {std::pair{Current, false}, std::pair{Changed, true}}) {
    Server.SetResponse(TLoopbackHttpServer::Response(List(Text)));
    TUpdateCheckThread Check;
    bool NeedToUpdate = !Expected;
    EXPECT_FALSE(Check.Poll(NeedToUpdate)) << "no check yet";
    ASSERT_TRUE(Check.Start(Folder));
    EXPECT_FALSE(Check.Start(Folder)) << "a second check starts nothing";
    ASSERT_TRUE(WaitForResult(Check, NeedToUpdate));
    EXPECT_EQ(NeedToUpdate, Expected);
    EXPECT_TRUE(Check.Stop(UpdateCheckStopLimit));
    EXPECT_FALSE(Check.LeftRunning());
  }
}

// A server that takes the request and never answers: stopping the check cancels the download
// and returns at once, long before the download's own time limit.
TEST_F(UpdateCheckTest, StoppingTheCheckCancelsAHangingDownloadAtOnce) {
  SetFetchFailurePause(DefaultFetchFailurePause);
  TLoopbackHttpServer Silent({}, /*Silent=*/true);
  UseServer(Silent);
  {
    TUpdateCheckThread Check;
    ASSERT_TRUE(Check.Start(FolderText()));
    const auto Asked = TClock::now();
    while (Silent.Requests().isEmpty() && Since(Asked) < 5s) std::this_thread::sleep_for(5ms);
    ASSERT_FALSE(Silent.Requests().isEmpty());
    std::this_thread::sleep_for(50ms);  // well inside the hanging download
    const auto Start = TClock::now();
    // The cancel is seen within 5 ms; the wait allowed leaves room for the sanitizers.
    EXPECT_TRUE(Check.Stop(500ms));
    EXPECT_LT(Since(Start), 500ms);
    bool NeedToUpdate = true;
    EXPECT_TRUE(Check.Poll(NeedToUpdate));
    EXPECT_FALSE(NeedToUpdate);
  }

  // A stop during the pause after a failed fetch ends the pause as well.
  SetUpdateServerAddress(u"");
  TUpdateCheckThread Check;
  ASSERT_TRUE(Check.Start(FolderText()));
  std::this_thread::sleep_for(50ms);
  const auto Paused = TClock::now();
  EXPECT_TRUE(Check.Stop(500ms));
  EXPECT_LT(Since(Paused), 500ms);
}

// The cancel a download watches: raised before it starts, the download does not start; raised
// while it hangs, it ends at once with its own answer.
TEST_F(UpdateCheckTest, ARaisedCancelEndsADownloadWithItsOwnAnswer) {
  TLoopbackHttpServer Silent({}, /*Silent=*/true);
  std::vector<uint8_t> Buffer(100);
  {
    TDownloadCancel Raised;
    Raised.Raise();
    int32_t Count = 100;
    EXPECT_EQ(DownloadToBuffer(Silent.Address().toStdU16String(), Buffer.data(), Count, &Raised), DownloadCancelled);
    EXPECT_TRUE(Silent.Requests().isEmpty());
  }
  TDownloadCancel Cancel;
  std::thread Raiser([&] {
    while (Silent.Requests().isEmpty()) std::this_thread::sleep_for(5ms);
    Cancel.Raise();
  });
  int32_t Count = 100;
  const auto Start = TClock::now();
  EXPECT_EQ(DownloadToBuffer(Silent.Address().toStdU16String(), Buffer.data(), Count, &Cancel), DownloadCancelled);
  Raiser.join();
  EXPECT_LT(Since(Start), DefaultDownloadTimeLimit / 2);
  EXPECT_EQ(Count, 0);
}

TEST_F(UpdateCheckTest, AWorkerWhoseBodyFailsStillEndsReadyWithTheAnswerFalse) {
  TDebugCapture Capture;
  TUpdateCheckThread Check([](const std::u16string&, TDownloadCancel*) -> bool { throw std::runtime_error("broken"); });
  ASSERT_TRUE(Check.Start(u"/nowhere/"));
  bool NeedToUpdate = true;
  ASSERT_TRUE(WaitForResult(Check, NeedToUpdate));
  EXPECT_FALSE(NeedToUpdate);
  EXPECT_EQ(Capture.Lines(), std::vector<std::u16string>{u"nox: Error in TNeedToHalvernUpdateThread.Execute call..."});
}

TEST_F(UpdateCheckTest, FileDigests) {
  const std::string Long(2500, 'z');  // several 1024-byte blocks and a short one
  const QByteArray LongDigest =
      QCryptographicHash::hash(QByteArray::fromStdString(Long), QCryptographicHash::Md5).toHex();
  const struct {
    std::string Content;
    std::u16string Digest;
  } Cases[] = {
      {"", u"d41d8cd98f00b204e9800998ecf8427e"},
      {"abc", AbcMD5},
      {Long, QString::fromLatin1(LongDigest).toStdU16String()},
  };
  for (const auto& C : Cases) {
    Write(u"f.bin", C.Content);
    TMD5Digest Digest{};
    ASSERT_TRUE(CalculateFileMD5(FFolder / "f.bin", Digest));
    EXPECT_EQ(MD5DigestToStr(Digest), C.Digest) << C.Content.size();
  }
  TDebugCapture Capture;
  TMD5Digest Digest{};
  EXPECT_FALSE(CalculateFileMD5(FFolder / "absent.bin", Digest));
  EXPECT_EQ(Capture.Lines(), std::vector<std::u16string>{u"nox: Error in CalculateFileMD5 - file not found."});
}

}  // namespace
}  // namespace corvane
