#include "platform/clock.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(VirtualClock, SleepAdvancesTicksWithoutWaiting) {
  VirtualClock clock(1000);
  clock.Sleep(5000);
  clock.Sleep(250);
  EXPECT_EQ(clock.TickCount(), 6250u);
  EXPECT_EQ(clock.ElapsedMilliseconds(), 5250u);
  const LocalTime t = clock.Now();
  EXPECT_EQ(t.second, 6);
  EXPECT_EQ(t.hundredths, 25);
}

TEST(DefaultClock, CanBeReplacedAndRestored) {
  VirtualClock clock;
  SetDefaultClock(&clock);
  DefaultClock().Sleep(60000);
  EXPECT_EQ(clock.TickCount(), 60000u);
  SetDefaultClock(nullptr);
  EXPECT_NE(&DefaultClock(), static_cast<IClock*>(&clock));
}

}  // namespace
}  // namespace velmora
