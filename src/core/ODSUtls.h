#pragma once
// The debug channel: every caught failure of the program is reported here as one line.
// On Windows the line goes to the debugger output; elsewhere to stderr, one line per message.
// Tests replace the sink to capture the exact lines.

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace corvane {

using TDebugSink = std::function<void(const std::u16string&)>;

// Writes one message to the debug channel. Never throws towards its caller.
void DebugLog(const std::u16string& Message) noexcept;

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
