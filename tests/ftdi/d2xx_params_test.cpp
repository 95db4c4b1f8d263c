#include "ftdi/d2xx_params.h"

#include <ftdi.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <memory>

#include "ftdi/d2xx_abi.h"

// libftdi1's own divisor calculation, exported for its unit tests.
extern "C" int convert_baudrate_UT_export(int baudrate, struct ftdi_context* ftdi,
                                          unsigned short* value, unsigned short* index);

namespace velmora {
namespace {

struct Divisor {
  int actualBaud = 0;
  unsigned short value = 0;
  unsigned short index = 0;
  bool operator==(const Divisor&) const = default;
};

// The divisor libftdi1 programs into an FT232R for a rate it is handed.
Divisor Ft232rDivisorFor(int baud) {
  std::unique_ptr<ftdi_context, void (*)(ftdi_context*)> ftdi(ftdi_new(), ftdi_free);
  ftdi->type = TYPE_R;
  Divisor divisor;
  divisor.actualBaud = convert_baudrate_UT_export(baud, ftdi.get(), &divisor.value, &divisor.index);
  return divisor;
}

TEST(LibftdiBaudrate, SerialRatesPassUnchanged) {
  EXPECT_EQ(LibftdiBaudrate(1'250'000, false), 1'250'000);
  EXPECT_EQ(LibftdiBaudrate(62'500, false), 62'500);
  EXPECT_EQ(LibftdiBaudrate(0, false), 0);
  EXPECT_EQ(LibftdiBaudrate(UINT32_MAX, false), INT_MAX);
}

// In bit-bang mode libftdi1 multiplies the rate it is handed by 4 before it computes the divisor;
// the chip must still get the divisor of the D2XX rate, so that at 62500 baud it samples at
// 16 x 62500 = 1 MHz.
TEST(LibftdiBaudrate, BitBangRateGivesTheSerialDivisorOfTheD2xxRate) {
  for (const uint32_t baud : {62'500u, 20'833u, 9'600u, 115'200u, 300u, 1'000'000u, 3'000'000u}) {
    SCOPED_TRACE(baud);
    const int handed = LibftdiBaudrate(baud, true);
    EXPECT_EQ(Ft232rDivisorFor(4 * handed), Ft232rDivisorFor(static_cast<int>(baud)));
  }
  EXPECT_EQ(LibftdiBaudrate(62'500, true), 15'625);
}

TEST(LibftdiBaudrate, BitBangRatesRoundToTheNearestQuarter) {
  EXPECT_EQ(LibftdiBaudrate(20'833, true), 5'208);  // 20832 after libftdi1's x4
  EXPECT_EQ(LibftdiBaudrate(20'834, true), 5'209);  // halfway rounds up
  EXPECT_EQ(LibftdiBaudrate(2, true), 1);
  EXPECT_EQ(LibftdiBaudrate(1, true), 0);  // too slow to express: rejected by the caller
  EXPECT_EQ(LibftdiBaudrate(UINT32_MAX, true), 1'073'741'824);
}

TEST(DataCharacteristics, AcceptsTheD2xxSettingsOnly) {
  struct Case {
    uint8_t word, stop, parity;
    bool valid;
  };
  const Case cases[] = {
      {.word = FT_BITS_8, .stop = FT_STOP_BITS_2, .parity = FT_PARITY_NONE, .valid = true},
      {.word = FT_BITS_7, .stop = FT_STOP_BITS_1, .parity = FT_PARITY_SPACE, .valid = true},
      {.word = 9, .stop = FT_STOP_BITS_1, .parity = FT_PARITY_NONE, .valid = false},
      {.word = 5, .stop = FT_STOP_BITS_1, .parity = FT_PARITY_NONE, .valid = false},
      {.word = FT_BITS_8, .stop = 1, .parity = FT_PARITY_NONE, .valid = false},
      {.word = FT_BITS_8, .stop = 3, .parity = FT_PARITY_NONE, .valid = false},
      {.word = FT_BITS_8, .stop = FT_STOP_BITS_1, .parity = 5, .valid = false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsValidDataCharacteristics(c.word, c.stop, c.parity), c.valid)
        << int(c.word) << " " << int(c.stop) << " " << int(c.parity);
  }
}

TEST(FlowControl, AcceptsExactlyOneMode) {
  for (const uint16_t flow : {FT_FLOW_NONE, FT_FLOW_RTS_CTS, FT_FLOW_DTR_DSR, FT_FLOW_XON_XOFF}) {
    EXPECT_TRUE(IsValidFlowControl(flow)) << flow;
  }
  for (const uint16_t flow : {0x0001, 0x0300, 0x0800, 0xFFFF}) {
    EXPECT_FALSE(IsValidFlowControl(static_cast<uint16_t>(flow))) << flow;
  }
}

TEST(TransferSize, IsAMultipleOf64UpTo64KiB) {
  for (const uint32_t size : {64u, 4096u, 65536u}) EXPECT_TRUE(IsValidTransferSize(size)) << size;
  for (const uint32_t size : {0u, 32u, 100u, 65600u, 131072u}) {
    EXPECT_FALSE(IsValidTransferSize(size)) << size;
  }
}

TEST(WriteTimeout, ZeroKeepsLibftdisBoundAndLargeValuesClamp) {
  EXPECT_EQ(UsbWriteTimeoutMs(0), kLibftdiUsbTimeoutMs);
  EXPECT_EQ(UsbWriteTimeoutMs(1000), 1000);
  EXPECT_EQ(UsbWriteTimeoutMs(UINT32_MAX), INT_MAX);
}

TEST(ReadTimeout, ExpiresAfterTheTimeoutAcrossTickWrap) {
  struct Case {
    uint32_t start, now, timeout;
    bool expired;
  };
  const Case cases[] = {
      {.start = 100, .now = 1099, .timeout = 1000, .expired = false},
      {.start = 100, .now = 1100, .timeout = 1000, .expired = true},
      {.start = 0xFFFF'FF00, .now = 0x0000'0010, .timeout = 1000, .expired = false},
      {.start = 0xFFFF'FF00, .now = 0x0000'02E8, .timeout = 1000, .expired = true},
      {.start = 0, .now = 0xFFFF'FFFF, .timeout = 0, .expired = false},  // 0: never
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadTimeoutExpired(c.start, c.now, c.timeout), c.expired)
        << c.start << " " << c.now << " " << c.timeout;
  }
}

}  // namespace
}  // namespace velmora
