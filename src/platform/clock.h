#pragma once
// Time seam: tick counts for elapsed times and time-outs, sleeps for protocol waits, and the
// local time for log stamps. The GUI and CLI use SystemClock; tests use VirtualClock so that
// relay delays and waits never slow them down.
#include <atomic>
#include <cstdint>

namespace velmora {

struct LocalTime {
  int year = 0;
  int month = 0;   // 1..12
  int day = 0;     // 1..31
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
  int second = 0;  // 0..59
  int hundredths = 0;
};

class IClock {
 public:
  virtual ~IClock() = default;
  // Milliseconds since an arbitrary start; wraps like a 32-bit tick counter.
  virtual uint32_t TickCount() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
  virtual LocalTime Now() = 0;
};

class SystemClock final : public IClock {
 public:
  uint32_t TickCount() override;
  void Sleep(uint32_t milliseconds) override;
  LocalTime Now() override;
};

// Advances instantly: Sleep moves the tick count forward and returns at once.
class VirtualClock final : public IClock {
 public:
  explicit VirtualClock(uint32_t startTick = 0) : ticks_(startTick) {}
  uint32_t TickCount() override { return ticks_.load(); }
  void Sleep(uint32_t milliseconds) override { ticks_ += milliseconds; }
  LocalTime Now() override;
  void Advance(uint32_t milliseconds) { ticks_ += milliseconds; }
  // Total of all sleeps and advances since construction (for asserting protocol waits).
  uint64_t ElapsedMilliseconds() const { return ticks_.load() - start_; }

 private:
  std::atomic<uint32_t> ticks_;
  uint32_t start_ = ticks_.load();
};

// The process-wide clock used by code that has none handed to it.
IClock& DefaultClock();
void SetDefaultClock(IClock* clock);  // nullptr restores the system clock

}  // namespace velmora
