#pragma once
// Waiting in Qt widget tests: events keep being processed while a condition is awaited.

#include <QElapsedTimer>
#include <QTest>
#include <functional>

namespace corvane::test {

// Processes events until Condition holds (true) or TimeoutMs have passed (false).
inline bool WaitUntil(const std::function<bool()>& Condition, int TimeoutMs = 5000) {
  QElapsedTimer Clock;
  Clock.start();
  while (!Condition()) {
    if (Clock.elapsed() > TimeoutMs) return false;
    QTest::qWait(5);
  }
  return true;
}

}  // namespace corvane::test
