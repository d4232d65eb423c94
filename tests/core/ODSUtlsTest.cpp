// The debug channel: one message per call, passed on unchanged, to a replaceable sink.

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/ODSUtls.h"

namespace corvane {
namespace {

using TLines = std::vector<std::u16string>;

TEST(DebugLog, PassesEachMessageOnUnchangedAsOneLine) {
  TDebugCapture Capture;
  DebugLog(u"nox: Error in IsAC3ES call...");
  DebugLog(u"nox: Error in parse_ac3_frame - insufficient memory.");
  DebugLog(u"");
  DebugLog(u"two\r\nparts \u00E9\u2013");
  EXPECT_EQ(Capture.Lines(), (TLines{u"nox: Error in IsAC3ES call...",
                                     u"nox: Error in parse_ac3_frame - insufficient memory.", u"",
                                     u"two\r\nparts \u00E9\u2013"}));
  Capture.Clear();
  EXPECT_TRUE(Capture.Lines().empty());
}

TEST(DebugLog, CapturesNestAndRestoreTheSinkBefore) {
  TLines Outer;
  const TDebugSink Before = SetDebugSink([&Outer](const std::u16string& Line) { Outer.push_back(Line); });
  {
    TDebugCapture Capture;
    DebugLog(u"inner");
    EXPECT_EQ(Capture.Lines(), TLines{u"inner"});
  }
  DebugLog(u"outer");
  EXPECT_EQ(Outer, TLines{u"outer"});
  SetDebugSink(Before);
}

TEST(DebugLog, ASinkThatThrowsDoesNotReachTheCaller) {
  const TDebugSink Before = SetDebugSink([](const std::u16string&) { throw std::runtime_error("sink"); });
  EXPECT_NO_THROW(DebugLog(u"lost"));
  SetDebugSink(Before);
}

TEST(DebugLog, GuardedCallsReportAThrowWithTheOperationsNameAndReturnTheFailureValue) {
  TDebugCapture Capture;
  EXPECT_EQ(GuardedCall(u"TForm1.LoadFile", [] { return 7; }), 7);
  EXPECT_EQ(GuardedCall(u"TForm1.LoadFile", [] { return std::u16string(u"done"); }), u"done");
  EXPECT_TRUE(Capture.Lines().empty());

  const auto Throws = []() -> bool { throw std::runtime_error("read"); };
  EXPECT_FALSE(GuardedCall(u"TForm1.LoadFile", Throws));
  EXPECT_EQ(GuardedCall(u"THexView.Init", -5, []() -> int { throw 1; }), -5);
  bool Ran = false;
  GuardedCall(u"TForm1.FormResize", [&] {
    Ran = true;
    throw std::bad_alloc();
  });
  EXPECT_TRUE(Ran);
  EXPECT_FALSE(ReportFailure(u"parse_ac3_frame", u"insufficient memory."));
  EXPECT_FALSE(ReportCallFailure(u"IsAC3ES"));
  EXPECT_EQ(Capture.Lines(), (TLines{u"nox: Error in TForm1.LoadFile call...", u"nox: Error in THexView.Init call...",
                                     u"nox: Error in TForm1.FormResize call...",
                                     u"nox: Error in parse_ac3_frame - insufficient memory.",
                                     u"nox: Error in IsAC3ES call..."}));
}

TEST(DebugLog, LinesFromSeveralThreadsStayWhole) {
  TDebugCapture Capture;
  std::vector<std::thread> Threads;
  for (int T = 0; T < 4; ++T)
    Threads.emplace_back([] {
      for (int I = 0; I < 250; ++I) DebugLog(u"nox: Error in TUpdateThread.Execute call...");
    });
  for (std::thread& Thread : Threads) Thread.join();
  const TLines Lines = Capture.Lines();
  ASSERT_EQ(Lines.size(), 1000u);
  for (const std::u16string& Line : Lines) ASSERT_EQ(Line, u"nox: Error in TUpdateThread.Execute call...");
}

}  // namespace
}  // namespace corvane
