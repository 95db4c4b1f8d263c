#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace velmora {

uint32_t SystemClock::TickCount() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SystemClock::Sleep(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

LocalTime SystemClock::Now() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&seconds, &tm);
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  return LocalTime{
      tm.tm_year + 1900,        tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
      static_cast<int>(ms / 10)};
}

LocalTime VirtualClock::Now() {
  // A fixed day; the time of day follows the tick count.
  const uint32_t t = ticks_.load();
  return LocalTime{2026,
                   1,
                   1,
                   static_cast<int>((t / 3600000) % 24),
                   static_cast<int>((t / 60000) % 60),
                   static_cast<int>((t / 1000) % 60),
                   static_cast<int>((t / 10) % 100)};
}

namespace {
SystemClock systemClock;
std::atomic<IClock*> defaultClock{&systemClock};
}  // namespace

IClock& DefaultClock() {
  return *defaultClock.load();
}

void SetDefaultClock(IClock* clock) {
  defaultClock.store(clock ? clock : &systemClock);
}

}  // namespace velmora
