#pragma once
// Translation of D2XX call parameters into what libftdi1 expects. Kept free of libftdi so that
// the arithmetic can be checked without a device.
#include <cstdint>

namespace velmora {

// libftdi1's own USB timeout, kept when a D2XX caller asks for write timeout 0.
inline constexpr int kLibftdiUsbTimeoutMs = 5000;

// The baud rate to hand to ftdi_set_baudrate for a D2XX FT_SetBaudRate(baud).
// D2XX programs the same divisor in every mode; in asynchronous bit-bang mode the chip then
// takes a sample at 16 x baud (62500 baud = one sample per microsecond). libftdi1 instead
// multiplies the rate by 4 while bit-bang is enabled, so the rate is divided by 4 (rounded) here
// to end up with the divisor D2XX would set. Returns 0 for a rate no divisor can give.
int LibftdiBaudrate(uint32_t baud, bool bitBangEnabled);

// Word length 7 or 8, stop bits 1 or 2, parity none/odd/even/mark/space. libftdi1 numbers
// these the same way as D2XX.
bool IsValidDataCharacteristics(uint8_t wordLength, uint8_t stopBits, uint8_t parity);

// Exactly one of the FT_FLOW_* values.
bool IsValidFlowControl(uint16_t flowControl);

// USB transfer sizes are multiples of 64 bytes from 64 bytes to 64 KiB.
bool IsValidTransferSize(uint32_t bytes);

// libusb timeout for bulk writes; 0 keeps libftdi1's bound rather than waiting forever on a
// link whose CTS never comes back.
int UsbWriteTimeoutMs(uint32_t writeTimeoutMs);

// Whether a read that started at startTick has used up its timeout at nowTick. Ticks are
// milliseconds that wrap at 32 bits; timeout 0 never expires (the read waits for its count).
bool ReadTimeoutExpired(uint32_t startTick, uint32_t nowTick, uint32_t timeoutMs);

}  // namespace velmora
