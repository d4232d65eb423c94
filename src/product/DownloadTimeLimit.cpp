// The time limit of the update check's downloads, the same for every way of downloading.

#include <atomic>

#include "product/MediaUtils.h"

namespace corvane {
namespace {

// Read by the downloading thread, set by another.
std::atomic<int64_t>& TimeLimitMs() {
  static std::atomic<int64_t> Limit{DefaultDownloadTimeLimit.count()};
  return Limit;
}

}  // namespace

std::chrono::milliseconds DownloadTimeLimit() { return std::chrono::milliseconds(TimeLimitMs().load()); }

std::chrono::milliseconds SetDownloadTimeLimit(std::chrono::milliseconds Limit) {
  return std::chrono::milliseconds(TimeLimitMs().exchange(Limit.count()));
}

}  // namespace corvane
