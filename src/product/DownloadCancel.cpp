#include "product/DownloadCancel.h"

namespace corvane {

void TDownloadCancel::Raise() {
  std::lock_guard<std::mutex> Lock(FMutex);
  FRaised = true;
  for (auto& [Ticket, End] : FEndings) End();
  FEndings.clear();
}

uint64_t TDownloadCancel::Watch(std::function<void()> End) {
  std::lock_guard<std::mutex> Lock(FMutex);
  if (FRaised) return 0;
  const uint64_t Ticket = FNextTicket++;
  FEndings.emplace(Ticket, std::move(End));
  return Ticket;
}

void TDownloadCancel::Unwatch(uint64_t Ticket) {
  std::lock_guard<std::mutex> Lock(FMutex);
  FEndings.erase(Ticket);
}

}  // namespace corvane
