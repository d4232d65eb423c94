#pragma once
// The debug channel: every caught failure of the program is reported here as one line.
// On Windows the line goes to the debugger output; elsewhere to stderr, one line per message.
// Tests replace the sink to capture the exact lines.

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace corvane {

using TDebugSink = std::function<void(const std::u16string&)>;

// Writes one message to the debug channel. Never throws towards its caller.
void DebugLog(const std::u16string& Message) noexcept;

// The two failure lines of the program. ReportCallFailure writes "nox: Error in " + Name +
// " call..." for a failure an operation caught; ReportFailure writes "nox: Error in " + Name +
// " - " + Reason for one it found by a test. Both return false, the failure value of the
// boolean operations, so that `return ReportCallFailure(u"IsAC3ES");` ends one.
bool ReportCallFailure(std::u16string_view Name) noexcept;
bool ReportFailure(std::u16string_view Name, std::u16string_view Reason) noexcept;

// Runs Body, the work of the operation Name, so that no exception leaves the operation: one
// that Body throws is reported with Name's call line, and the call returns Failed instead.
template <typename TResult, typename TBody>
TResult GuardedCall(std::u16string_view Name, TResult Failed, TBody&& Body) noexcept {
  try {
    return std::forward<TBody>(Body)();
  } catch (...) {
    ReportCallFailure(Name);
    return Failed;
  }
}

// The same for a Body that returns nothing, or whose failure value is its type's zero (false,
// 0, an empty text).
template <typename TBody>
std::invoke_result_t<TBody&> GuardedCall(std::u16string_view Name, TBody&& Body) noexcept {
  using TResult = std::invoke_result_t<TBody&>;
  try {
    return std::forward<TBody>(Body)();
  } catch (...) {
    ReportCallFailure(Name);
    if constexpr (!std::is_void_v<TResult>) return TResult{};
  }
}

// Replaces the sink that receives every message; an empty sink restores the platform default.
// Returns the sink that was installed before. The sink runs under the channel's lock, so that
// lines from several threads never interleave; it must not call DebugLog itself.
TDebugSink SetDebugSink(TDebugSink Sink);

// Captures every debug line written while it lives (tests use it to assert exact texts).
class TDebugCapture {
 public:
  TDebugCapture();
  ~TDebugCapture();
  TDebugCapture(const TDebugCapture&) = delete;
  TDebugCapture& operator=(const TDebugCapture&) = delete;

  std::vector<std::u16string> Lines() const;
  void Clear();

 private:
  mutable std::mutex FMutex;
  std::vector<std::u16string> FLines;
  TDebugSink FPrevious;
};

}  // namespace corvane
