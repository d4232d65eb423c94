#include "core/ODSUtls.h"

#include <cstdio>

#include "core/StringUtils.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace corvane {
namespace {

void PlatformOutput(const std::u16string& Message) {
#ifdef _WIN32
  std::wstring Wide(Message.begin(), Message.end());
  OutputDebugStringW(Wide.c_str());
#else
  const std::string Line = ToUtf8(Message) + "\n";
  std::fwrite(Line.data(), 1, Line.size(), stderr);
#endif
}

std::mutex& SinkMutex() {
  static std::mutex Mutex;
  return Mutex;
}

TDebugSink& CurrentSink() {
  static TDebugSink Sink;
  return Sink;
}

}  // namespace

void DebugLog(const std::u16string& Message) noexcept {
  try {
    std::lock_guard<std::mutex> Lock(SinkMutex());
    if (CurrentSink())
      CurrentSink()(Message);
    else
      PlatformOutput(Message);
  } catch (...) {
    // The channel itself has nowhere to report to.
  }
}

bool ReportCallFailure(std::u16string_view Name) noexcept {
  try {
    std::u16string Line = u"nox: Error in ";
    Line += Name;
    Line += u" call...";
    DebugLog(Line);
  } catch (...) {
    // Without the memory for the line there is nothing to report it with.
  }
  return false;
}

bool ReportFailure(std::u16string_view Name, std::u16string_view Reason) noexcept {
  try {
    std::u16string Line = u"nox: Error in ";
    Line += Name;
    Line += u" - ";
    Line += Reason;
    DebugLog(Line);
  } catch (...) {
    // As above.
  }
  return false;
}

TDebugSink SetDebugSink(TDebugSink Sink) {
  std::lock_guard<std::mutex> Lock(SinkMutex());
  TDebugSink Previous = std::move(CurrentSink());
  CurrentSink() = std::move(Sink);
  return Previous;
}

TDebugCapture::TDebugCapture() {
  FPrevious = SetDebugSink([this](const std::u16string& Line) {
    std::lock_guard<std::mutex> Lock(FMutex);
    FLines.push_back(Line);
  });
}

TDebugCapture::~TDebugCapture() { SetDebugSink(std::move(FPrevious)); }

std::vector<std::u16string> TDebugCapture::Lines() const {
  std::lock_guard<std::mutex> Lock(FMutex);
  return FLines;
}

void TDebugCapture::Clear() {
  std::lock_guard<std::mutex> Lock(FMutex);
  FLines.clear();
}

}  // namespace corvane
