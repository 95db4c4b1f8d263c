#include "families/pic18/config_pic18.h"

#include <algorithm>

namespace velmora {
namespace {

using ByteMasks = std::array<uint8_t, kPic18ConfigBytes>;

// Longest device list of one layout row.
constexpr int kMaxGroupDevices = 6;

struct Pic18Layout {
  std::array<std::string_view, kMaxGroupDevices> devices;  // unused entries empty
  std::array<std::span<const Pic18Field>, 2> fields;       // device fields, protection fields
  ByteMasks andMask;
  ByteMasks orMask;
};

// Option names follow the maker's bit names. Where the names differ: PIC18OSCEN is OSCS,
// PIC18BKBUG is DEBUG, PIC18FCMEM is FCMEN (FSCM on the older parts), PIC18ICPORT is ICPRT,
// PIC18BBSIZE is BBSIZ. The selection is always the bit value: PIC18PWRTEN 0, for example, enables
// the power-up timer, PIC18CP0 0 protects block 0.

// ---- Device fields -----------------------------------------------------------------------------

// PIC18F242/252/442/452 and PIC18F6520/6620/6720.
constexpr Pic18Field kCoreOriginal[] = {
    {.option = PIC18OSCEN, .byte = kConfig1H, .shift = 5, .width = 1},
    {.option = PIC18FOSC, .byte = kConfig1H, .shift = 0, .width = 3},
    {.option = PIC18BORV, .byte = kConfig2L, .shift = 2, .width = 2},
    {.option = PIC18BOREN, .byte = kConfig2L, .shift = 1, .width = 1},
    {.option = PIC18PWRTEN, .byte = kConfig2L, .shift = 0, .width = 1},
    {.option = PIC18WDTPS, .byte = kConfig2H, .shift = 1, .width = 3},
    {.option = PIC18WDTEN, .byte = kConfig2H, .shift = 0, .width = 1},
    {.option = PIC18CCP2MX, .byte = kConfig3H, .shift = 0, .width = 1},
    {.option = PIC18BKBUG, .byte = kConfig4L, .shift = 7, .width = 1},
    {.option = PIC18LVP, .byte = kConfig4L, .shift = 2, .width = 1},
    {.option = PIC18STVREN, .byte = kConfig4L, .shift = 0, .width = 1},
};

// PIC18F248/258/448/458: as above without the CCP2 multiplexer.
constexpr Pic18Field kCoreOriginalCan[] = {
    {.option = PIC18OSCEN, .byte = kConfig1H, .shift = 5, .width = 1},
    {.option = PIC18FOSC, .byte = kConfig1H, .shift = 0, .width = 3},
    {.option = PIC18BORV, .byte = kConfig2L, .shift = 2, .width = 2},
    {.option = PIC18BOREN, .byte = kConfig2L, .shift = 1, .width = 1},
    {.option = PIC18PWRTEN, .byte = kConfig2L, .shift = 0, .width = 1},
    {.option = PIC18WDTPS, .byte = kConfig2H, .shift = 1, .width = 3},
    {.option = PIC18WDTEN, .byte = kConfig2H, .shift = 0, .width = 1},
    {.option = PIC18BKBUG, .byte = kConfig4L, .shift = 7, .width = 1},
    {.option = PIC18LVP, .byte = kConfig4L, .shift = 2, .width = 1},
    {.option = PIC18STVREN, .byte = kConfig4L, .shift = 0, .width = 1},
};

// PIC18F1220/1320.
constexpr Pic18Field kCore1220[] = {
    {.option = PIC18IESO, .byte = kConfig1H, .shift = 7, .width = 1},
    {.option = PIC18FCMEM, .byte = kConfig1H, .shift = 6, .width = 1},
    {.option = PIC18FOSC, .byte = kConfig1H, .shift = 0, .width = 4},
    {.option = PIC18BORV, .byte = kConfig2L, .shift = 2, .width = 2},
    {.option = PIC18BOREN, .byte = kConfig2L, .shift = 1, .width = 1},
    {.option = PIC18PWRTEN, .byte = kConfig2L, .shift = 0, .width = 1},
    {.option = PIC18WDTPS, .byte = kConfig2H, .shift = 1, .width = 4},
    {.option = PIC18WDTEN, .byte = kConfig2H, .shift = 0, .width = 1},
    {.option = PIC18MCLRE, .byte = kConfig3H, .shift = 7, .width = 1},
    {.option = PIC18BKBUG, .byte = kConfig4L, .shift = 7, .width = 1},
    {.option = PIC18LVP, .byte = kConfig4L, .shift = 2, .width = 1},
    {.option = PIC18STVREN, .byte = kConfig4L, .shift = 0, .width = 1},
};

// PIC18F2220/2320/4220/4320.
constexpr Pic18Field kCore2220[] = {
    {.option = PIC18IESO, .byte = kConfig1H, .shift = 7, .width = 1},
    {.option = PIC18FCMEM, .byte = kConfig1H, .shift = 6, .width = 1},
    {.option = PIC18FOSC, .byte = kConfig1H, .shift = 0, .width = 4},
    {.option = PIC18BORV, .byte = kConfig2L, .shift = 2, .width = 2},
    {.option = PIC18BOREN, .byte = kConfig2L, .shift = 1, .width = 1},
    {.option = PIC18PWRTEN, .byte = kConfig2L, .shift = 0, .width = 1},
    {.option = PIC18WDTPS, .byte = kConfig2H, .shift = 1, .width = 4},
    {.option = PIC18WDTEN, .byte = kConfig2H, .shift = 0, .width = 1},
    {.option = PIC18MCLRE, .byte = kConfig3H, .shift = 7, .width = 1},
    {.option = PIC18PBADEN, .byte = kConfig3H, .shift = 1, .width = 1},
    {.option = PIC18CCP2MX, .byte = kConfig3H, .shift = 0, .width = 1},
    {.option = PIC18BKBUG, .byte = kConfig4L, .shift = 7, .width = 1},
    {.option = PIC18LVP, .byte = kConfig4L, .shift = 2, .width = 1},
    {.option = PIC18STVREN, .byte = kConfig4L, .shift = 0, .width = 1},
};

// PIC18F2331/2431/4331: the PWM bits of CONFIG3L are carried by the common options:
// PIC18COMMON1 = PWMPIN, PIC18COMMON2 = LPOL, PIC18COMMON3 = HPOL.
constexpr Pic18Field kCoreMotorControl[] = {
    {.option = PIC18IESO, .byte = kConfig1H, .shift = 7, .width = 1},
    {.option = PIC18FCMEM, .byte = kConfig1H, .shift = 6, .width = 1},
    {.option = PIC18FOSC, .byte = kConfig1H, .shift = 0, .width = 4},
    {.option = PIC18BORV, .byte = kConfig2L, .shift = 2, .width = 2},
    {.option = PIC18BOREN, .byte = kConfig2L, .shift = 1, .width = 1},
    {.option = PIC18PWRTEN, .byte = kConfig2L, .shift = 0, .width = 1},
    {.option = PIC18WINEN, .byte = kConfig2H, .shift = 5, .width = 1},
    {.option = PIC18WDTPS, .byte = kConfig2H, .shift = 1, .width = 4},
    {.option = PIC18WDTEN, .byte = kConfig2H, .shift = 0, .width = 1},
    {.option = PIC18COMMON3, .byte = kConfig3L, .shift = 4, .width = 1},
    {.option = PIC18COMMON2, .byte = kConfig3L, .shift = 3, .width = 1},
    {.option = PIC18COMMON1, .byte = kConfig3L, .shift = 2, .width = 1},
    {.option = PIC18MCLRE, .byte = kConfig3H, .shift = 7, .width = 1},
    {.option = PIC18BKBUG, .byte = kConfig4L, .shift = 7, .width = 1},
    {.option = PIC18LVP, .byte = kConfig4L, .shift = 2, .width = 1},
    {.option = PIC18STVREN, .byte = kConfig4L, .shift = 0, .width = 1},
};

// PIC18F2585/2680/4585/4680: two boot block size bits.
constexpr Pic18Field kCoreBootSize[] = {
    {.option = PIC18IESO, .byte = kConfig1H, .shift = 7, .width = 1},
    {.option = PIC18FCMEM, .byte = kConfig1H, .shift = 6, .width = 1},
    {.option = PIC18FOSC, .byte = kConfig1H, .shift = 0, .width = 4},
    {.option = PIC18BORV, .byte = kConfig2L, .shift = 3, .width = 2},
    {.option = PIC18BOREN, .byte = kConfig2L, .shift = 1, .width = 2},
    {.option = PIC18PWRTEN, .byte = kConfig2L, .shift = 0, .width = 1},
    {.option = PIC18WDTPS, .byte = kConfig2H, .shift = 1, .width = 4},
    {.option = PIC18WDTEN, .byte = kConfig2H, .shift = 0, .width = 1},
    {.option = PIC18MCLRE, .byte = kConfig3H, .shift = 7, .width = 1},
    {.option = PIC18LPT1OSC, .byte = kConfig3H, .shift = 2, .width = 1},
    {.option = PIC18PBADEN, .byte = kConfig3H, .shift = 1, .width = 1},
    {.option = PIC18BKBUG, .byte = kConfig4L, .shift = 7, .width = 1},
    {.option = PIC18XINST, .byte = kConfig4L, .shift = 6, .width = 1},
    {.option = PIC18BBSIZE, .byte = kConfig4L, .shift = 4, .width = 2},
    {.option = PIC18LVP, .byte = kConfig4L, .shift = 2, .width = 1},
    {.option = PIC18STVREN, .byte = kConfig4L, .shift = 0, .width = 1},
};

// PIC18F2221/2321/4221/4321: as above with the CCP2 multiplexer.
constexpr Pic18Field kCoreBootSizeCcp2[] = {
    {.option = PIC18IESO, .byte = kConfig1H, .shift = 7, .width = 1},
    {.option = PIC18FCMEM, .byte = kConfig1H, .shift = 6, .width = 1},
    {.option = PIC18FOSC, .byte = kConfig1H, .shift = 0, .width = 4},
    {.option = PIC18BORV, .byte = kConfig2L, .shift = 3, .width = 2},
    {.option = PIC18BOREN, .byte = kConfig2L, .shift = 1, .width = 2},
    {.option = PIC18PWRTEN, .byte = kConfig2L, .shift = 0, .width = 1},
    {.option = PIC18WDTPS, .byte = kConfig2H, .shift = 1, .width = 4},
    {.option = PIC18WDTEN, .byte = kConfig2H, .shift = 0, .width = 1},
    {.option = PIC18MCLRE, .byte = kConfig3H, .shift = 7, .width = 1},
    {.option = PIC18LPT1OSC, .byte = kConfig3H, .shift = 2, .width = 1},
    {.option = PIC18PBADEN, .byte = kConfig3H, .shift = 1, .width = 1},
    {.option = PIC18CCP2MX, .byte = kConfig3H, .shift = 0, .width = 1},
    {.option = PIC18BKBUG, .byte = kConfig4L, .shift = 7, .width = 1},
    {.option = PIC18XINST, .byte = kConfig4L, .shift = 6, .width = 1},
    {.option = PIC18BBSIZE, .byte = kConfig4L, .shift = 4, .width = 2},
    {.option = PIC18LVP, .byte = kConfig4L, .shift = 2, .width = 1},
    {.option = PIC18STVREN, .byte = kConfig4L, .shift = 0, .width = 1},
};

// PIC18F2410..4620 (nanoWatt parts without boot block size).
constexpr Pic18Field kCoreNanoWatt[] = {
    {.option = PIC18IESO, .byte = kConfig1H, .shift = 7, .width = 1},
    {.option = PIC18FCMEM, .byte = kConfig1H, .shift = 6, .width = 1},
    {.option = PIC18FOSC, .byte = kConfig1H, .shift = 0, .width = 4},
    {.option = PIC18BORV, .byte = kConfig2L, .shift = 3, .width = 2},
    {.option = PIC18BOREN, .byte = kConfig2L, .shift = 1, .width = 2},
    {.option = PIC18PWRTEN, .byte = kConfig2L, .shift = 0, .width = 1},
    {.option = PIC18WDTPS, .byte = kConfig2H, .shift = 1, .width = 4},
    {.option = PIC18WDTEN, .byte = kConfig2H, .shift = 0, .width = 1},
    {.option = PIC18MCLRE, .byte = kConfig3H, .shift = 7, .width = 1},
    {.option = PIC18LPT1OSC, .byte = kConfig3H, .shift = 2, .width = 1},
    {.option = PIC18PBADEN, .byte = kConfig3H, .shift = 1, .width = 1},
    {.option = PIC18CCP2MX, .byte = kConfig3H, .shift = 0, .width = 1},
    {.option = PIC18BKBUG, .byte = kConfig4L, .shift = 7, .width = 1},
    {.option = PIC18XINST, .byte = kConfig4L, .shift = 6, .width = 1},
    {.option = PIC18LVP, .byte = kConfig4L, .shift = 2, .width = 1},
    {.option = PIC18STVREN, .byte = kConfig4L, .shift = 0, .width = 1},
};

// PIC18F2455/2550/4550 (USB).
constexpr Pic18Field kCoreUsb[] = {
    {.option = PIC18USBDIV, .byte = kConfig1L, .shift = 5, .width = 1},
    {.option = PIC18CPUDIV, .byte = kConfig1L, .shift = 3, .width = 2},
    {.option = PIC18PLLDIV, .byte = kConfig1L, .shift = 0, .width = 3},
    {.option = PIC18IESO, .byte = kConfig1H, .shift = 7, .width = 1},
    {.option = PIC18FCMEM, .byte = kConfig1H, .shift = 6, .width = 1},
    {.option = PIC18FOSC, .byte = kConfig1H, .shift = 0, .width = 4},
    {.option = PIC18VREGEN, .byte = kConfig2L, .shift = 5, .width = 1},
    {.option = PIC18BORV, .byte = kConfig2L, .shift = 3, .width = 2},
    {.option = PIC18BOREN, .byte = kConfig2L, .shift = 1, .width = 2},
    {.option = PIC18PWRTEN, .byte = kConfig2L, .shift = 0, .width = 1},
    {.option = PIC18WDTPS, .byte = kConfig2H, .shift = 1, .width = 4},
    {.option = PIC18WDTEN, .byte = kConfig2H, .shift = 0, .width = 1},
    {.option = PIC18MCLRE, .byte = kConfig3H, .shift = 7, .width = 1},
    {.option = PIC18LPT1OSC, .byte = kConfig3H, .shift = 2, .width = 1},
    {.option = PIC18PBADEN, .byte = kConfig3H, .shift = 1, .width = 1},
    {.option = PIC18CCP2MX, .byte = kConfig3H, .shift = 0, .width = 1},
    {.option = PIC18BKBUG, .byte = kConfig4L, .shift = 7, .width = 1},
    {.option = PIC18XINST, .byte = kConfig4L, .shift = 6, .width = 1},
    {.option = PIC18LVP, .byte = kConfig4L, .shift = 2, .width = 1},
    {.option = PIC18STVREN, .byte = kConfig4L, .shift = 0, .width = 1},
};

// PIC18F2480/2580/4480/4580: one boot block size bit.
constexpr Pic18Field kCoreCanBootSize1[] = {
    {.option = PIC18IESO, .byte = kConfig1H, .shift = 7, .width = 1},
    {.option = PIC18FCMEM, .byte = kConfig1H, .shift = 6, .width = 1},
    {.option = PIC18FOSC, .byte = kConfig1H, .shift = 0, .width = 4},
    {.option = PIC18BORV, .byte = kConfig2L, .shift = 3, .width = 2},
    {.option = PIC18BOREN, .byte = kConfig2L, .shift = 1, .width = 2},
    {.option = PIC18PWRTEN, .byte = kConfig2L, .shift = 0, .width = 1},
    {.option = PIC18WDTPS, .byte = kConfig2H, .shift = 1, .width = 4},
    {.option = PIC18WDTEN, .byte = kConfig2H, .shift = 0, .width = 1},
    {.option = PIC18MCLRE, .byte = kConfig3H, .shift = 7, .width = 1},
    {.option = PIC18LPT1OSC, .byte = kConfig3H, .shift = 2, .width = 1},
    {.option = PIC18PBADEN, .byte = kConfig3H, .shift = 1, .width = 1},
    {.option = PIC18BKBUG, .byte = kConfig4L, .shift = 7, .width = 1},
    {.option = PIC18XINST, .byte = kConfig4L, .shift = 6, .width = 1},
    {.option = PIC18BBSIZE, .byte = kConfig4L, .shift = 4, .width = 1},
    {.option = PIC18LVP, .byte = kConfig4L, .shift = 2, .width = 1},
    {.option = PIC18STVREN, .byte = kConfig4L, .shift = 0, .width = 1},
};

// PIC18F4455/4550: as above with the dedicated ICSP port.
constexpr Pic18Field kCoreUsbIcport[] = {
    {.option = PIC18USBDIV, .byte = kConfig1L, .shift = 5, .width = 1},
    {.option = PIC18CPUDIV, .byte = kConfig1L, .shift = 3, .width = 2},
    {.option = PIC18PLLDIV, .byte = kConfig1L, .shift = 0, .width = 3},
    {.option = PIC18IESO, .byte = kConfig1H, .shift = 7, .width = 1},
    {.option = PIC18FCMEM, .byte = kConfig1H, .shift = 6, .width = 1},
    {.option = PIC18FOSC, .byte = kConfig1H, .shift = 0, .width = 4},
    {.option = PIC18VREGEN, .byte = kConfig2L, .shift = 5, .width = 1},
    {.option = PIC18BORV, .byte = kConfig2L, .shift = 3, .width = 2},
    {.option = PIC18BOREN, .byte = kConfig2L, .shift = 1, .width = 2},
    {.option = PIC18PWRTEN, .byte = kConfig2L, .shift = 0, .width = 1},
    {.option = PIC18WDTPS, .byte = kConfig2H, .shift = 1, .width = 4},
    {.option = PIC18WDTEN, .byte = kConfig2H, .shift = 0, .width = 1},
    {.option = PIC18MCLRE, .byte = kConfig3H, .shift = 7, .width = 1},
    {.option = PIC18LPT1OSC, .byte = kConfig3H, .shift = 2, .width = 1},
    {.option = PIC18PBADEN, .byte = kConfig3H, .shift = 1, .width = 1},
    {.option = PIC18CCP2MX, .byte = kConfig3H, .shift = 0, .width = 1},
    {.option = PIC18BKBUG, .byte = kConfig4L, .shift = 7, .width = 1},
    {.option = PIC18XINST, .byte = kConfig4L, .shift = 6, .width = 1},
    {.option = PIC18ICPORT, .byte = kConfig4L, .shift = 5, .width = 1},
    {.option = PIC18LVP, .byte = kConfig4L, .shift = 2, .width = 1},
    {.option = PIC18STVREN, .byte = kConfig4L, .shift = 0, .width = 1},
};

// PIC18F6310/6390/6410/6490/8390/8490.
constexpr Pic18Field kCore6310[] = {
    {.option = PIC18IESO, .byte = kConfig1H, .shift = 7, .width = 1},
    {.option = PIC18FCMEM, .byte = kConfig1H, .shift = 6, .width = 1},
    {.option = PIC18FOSC, .byte = kConfig1H, .shift = 0, .width = 4},
    {.option = PIC18BORV, .byte = kConfig2L, .shift = 3, .width = 2},
    {.option = PIC18BOREN, .byte = kConfig2L, .shift = 1, .width = 2},
    {.option = PIC18PWRTEN, .byte = kConfig2L, .shift = 0, .width = 1},
    {.option = PIC18WDTPS, .byte = kConfig2H, .shift = 1, .width = 4},
    {.option = PIC18WDTEN, .byte = kConfig2H, .shift = 0, .width = 1},
    {.option = PIC18MCLRE, .byte = kConfig3H, .shift = 7, .width = 1},
    {.option = PIC18LPT1OSC, .byte = kConfig3H, .shift = 2, .width = 1},
    {.option = PIC18CCP2MX, .byte = kConfig3H, .shift = 0, .width = 1},
    {.option = PIC18BKBUG, .byte = kConfig4L, .shift = 7, .width = 1},
    {.option = PIC18XINST, .byte = kConfig4L, .shift = 6, .width = 1},
    {.option = PIC18STVREN, .byte = kConfig4L, .shift = 0, .width = 1},
};

// PIC18F8310/8410 with external bus: PIC18PLLDIV carries the processor mode PM1:PM0,
// PIC18COMMON2 the bus width BW.
constexpr Pic18Field kCore8310[] = {
    {.option = PIC18IESO, .byte = kConfig1H, .shift = 7, .width = 1},
    {.option = PIC18FCMEM, .byte = kConfig1H, .shift = 6, .width = 1},
    {.option = PIC18FOSC, .byte = kConfig1H, .shift = 0, .width = 4},
    {.option = PIC18BORV, .byte = kConfig2L, .shift = 3, .width = 2},
    {.option = PIC18BOREN, .byte = kConfig2L, .shift = 1, .width = 2},
    {.option = PIC18PWRTEN, .byte = kConfig2L, .shift = 0, .width = 1},
    {.option = PIC18WDTPS, .byte = kConfig2H, .shift = 1, .width = 4},
    {.option = PIC18WDTEN, .byte = kConfig2H, .shift = 0, .width = 1},
    {.option = PIC18WAIT, .byte = kConfig3L, .shift = 7, .width = 1},
    {.option = PIC18COMMON2, .byte = kConfig3L, .shift = 6, .width = 1},
    {.option = PIC18PLLDIV, .byte = kConfig3L, .shift = 0, .width = 2},
    {.option = PIC18MCLRE, .byte = kConfig3H, .shift = 7, .width = 1},
    {.option = PIC18LPT1OSC, .byte = kConfig3H, .shift = 2, .width = 1},
    {.option = PIC18CCP2MX, .byte = kConfig3H, .shift = 0, .width = 1},
    {.option = PIC18BKBUG, .byte = kConfig4L, .shift = 7, .width = 1},
    {.option = PIC18XINST, .byte = kConfig4L, .shift = 6, .width = 1},
    {.option = PIC18STVREN, .byte = kConfig4L, .shift = 0, .width = 1},
};

// PIC18F8520/8620/8720: PIC18PLLDIV carries the processor mode PM1:PM0.
constexpr Pic18Field kCoreExternalBus[] = {
    {.option = PIC18OSCEN, .byte = kConfig1H, .shift = 5, .width = 1},
    {.option = PIC18FOSC, .byte = kConfig1H, .shift = 0, .width = 3},
    {.option = PIC18BORV, .byte = kConfig2L, .shift = 2, .width = 2},
    {.option = PIC18BOREN, .byte = kConfig2L, .shift = 1, .width = 1},
    {.option = PIC18PWRTEN, .byte = kConfig2L, .shift = 0, .width = 1},
    {.option = PIC18WDTPS, .byte = kConfig2H, .shift = 1, .width = 3},
    {.option = PIC18WDTEN, .byte = kConfig2H, .shift = 0, .width = 1},
    {.option = PIC18WAIT, .byte = kConfig3L, .shift = 7, .width = 1},
    {.option = PIC18PLLDIV, .byte = kConfig3L, .shift = 0, .width = 2},
    {.option = PIC18CCP2MX, .byte = kConfig3H, .shift = 0, .width = 1},
    {.option = PIC18BKBUG, .byte = kConfig4L, .shift = 7, .width = 1},
    {.option = PIC18LVP, .byte = kConfig4L, .shift = 2, .width = 1},
    {.option = PIC18STVREN, .byte = kConfig4L, .shift = 0, .width = 1},
};

// PIC18F6525/6621.
constexpr Pic18Field kCore6525[] = {
    {.option = PIC18OSCEN, .byte = kConfig1H, .shift = 5, .width = 1},
    {.option = PIC18FOSC, .byte = kConfig1H, .shift = 0, .width = 4},
    {.option = PIC18BORV, .byte = kConfig2L, .shift = 2, .width = 2},
    {.option = PIC18BOREN, .byte = kConfig2L, .shift = 1, .width = 1},
    {.option = PIC18PWRTEN, .byte = kConfig2L, .shift = 0, .width = 1},
    {.option = PIC18WDTPS, .byte = kConfig2H, .shift = 1, .width = 4},
    {.option = PIC18WDTEN, .byte = kConfig2H, .shift = 0, .width = 1},
    {.option = PIC18MCLRE, .byte = kConfig3H, .shift = 7, .width = 1},
    {.option = PIC18CCP2MX, .byte = kConfig3H, .shift = 0, .width = 1},
    {.option = PIC18BKBUG, .byte = kConfig4L, .shift = 7, .width = 1},
    {.option = PIC18LVP, .byte = kConfig4L, .shift = 2, .width = 1},
    {.option = PIC18STVREN, .byte = kConfig4L, .shift = 0, .width = 1},
};

// PIC18F8525/8621: PIC18PLLDIV carries the processor mode PM1:PM0, PIC18COMMON3 ECCPMX.
constexpr Pic18Field kCore8525[] = {
    {.option = PIC18OSCEN, .byte = kConfig1H, .shift = 5, .width = 1},
    {.option = PIC18FOSC, .byte = kConfig1H, .shift = 0, .width = 4},
    {.option = PIC18BORV, .byte = kConfig2L, .shift = 2, .width = 2},
    {.option = PIC18BOREN, .byte = kConfig2L, .shift = 1, .width = 1},
    {.option = PIC18PWRTEN, .byte = kConfig2L, .shift = 0, .width = 1},
    {.option = PIC18WDTPS, .byte = kConfig2H, .shift = 1, .width = 4},
    {.option = PIC18WDTEN, .byte = kConfig2H, .shift = 0, .width = 1},
    {.option = PIC18WAIT, .byte = kConfig3L, .shift = 7, .width = 1},
    {.option = PIC18PLLDIV, .byte = kConfig3L, .shift = 0, .width = 2},
    {.option = PIC18MCLRE, .byte = kConfig3H, .shift = 7, .width = 1},
    {.option = PIC18COMMON3, .byte = kConfig3H, .shift = 1, .width = 1},
    {.option = PIC18CCP2MX, .byte = kConfig3H, .shift = 0, .width = 1},
    {.option = PIC18BKBUG, .byte = kConfig4L, .shift = 7, .width = 1},
    {.option = PIC18LVP, .byte = kConfig4L, .shift = 2, .width = 1},
    {.option = PIC18STVREN, .byte = kConfig4L, .shift = 0, .width = 1},
};

// PIC18F6527/6622/6627/6722.
constexpr Pic18Field kCore6527[] = {
    {.option = PIC18IESO, .byte = kConfig1H, .shift = 7, .width = 1},
    {.option = PIC18FCMEM, .byte = kConfig1H, .shift = 6, .width = 1},
    {.option = PIC18FOSC, .byte = kConfig1H, .shift = 0, .width = 4},
    {.option = PIC18BORV, .byte = kConfig2L, .shift = 3, .width = 2},
    {.option = PIC18BOREN, .byte = kConfig2L, .shift = 1, .width = 2},
    {.option = PIC18PWRTEN, .byte = kConfig2L, .shift = 0, .width = 1},
    {.option = PIC18WDTPS, .byte = kConfig2H, .shift = 1, .width = 4},
    {.option = PIC18WDTEN, .byte = kConfig2H, .shift = 0, .width = 1},
    {.option = PIC18MCLRE, .byte = kConfig3H, .shift = 7, .width = 1},
    {.option = PIC18LPT1OSC, .byte = kConfig3H, .shift = 2, .width = 1},
    {.option = PIC18CCP2MX, .byte = kConfig3H, .shift = 0, .width = 1},
    {.option = PIC18BKBUG, .byte = kConfig4L, .shift = 7, .width = 1},
    {.option = PIC18XINST, .byte = kConfig4L, .shift = 6, .width = 1},
    {.option = PIC18BBSIZE, .byte = kConfig4L, .shift = 4, .width = 2},
    {.option = PIC18LVP, .byte = kConfig4L, .shift = 2, .width = 1},
    {.option = PIC18STVREN, .byte = kConfig4L, .shift = 0, .width = 1},
};

// PIC18F8527/8622/8627/8722: PIC18PLLDIV carries the processor mode PM1:PM0, the common
// options the external bus and ECCP settings: PIC18COMMON1 = ADDRBW (two bits),
// PIC18COMMON2 = DATABW, PIC18COMMON3 = ECCPMX.
constexpr Pic18Field kCore8527[] = {
    {.option = PIC18IESO, .byte = kConfig1H, .shift = 7, .width = 1},
    {.option = PIC18FCMEM, .byte = kConfig1H, .shift = 6, .width = 1},
    {.option = PIC18FOSC, .byte = kConfig1H, .shift = 0, .width = 4},
    {.option = PIC18BORV, .byte = kConfig2L, .shift = 3, .width = 2},
    {.option = PIC18BOREN, .byte = kConfig2L, .shift = 1, .width = 2},
    {.option = PIC18PWRTEN, .byte = kConfig2L, .shift = 0, .width = 1},
    {.option = PIC18WDTPS, .byte = kConfig2H, .shift = 1, .width = 4},
    {.option = PIC18WDTEN, .byte = kConfig2H, .shift = 0, .width = 1},
    {.option = PIC18WAIT, .byte = kConfig3L, .shift = 7, .width = 1},
    {.option = PIC18COMMON2, .byte = kConfig3L, .shift = 6, .width = 1},
    {.option = PIC18COMMON1, .byte = kConfig3L, .shift = 4, .width = 2},
    {.option = PIC18PLLDIV, .byte = kConfig3L, .shift = 0, .width = 2},
    {.option = PIC18MCLRE, .byte = kConfig3H, .shift = 7, .width = 1},
    {.option = PIC18LPT1OSC, .byte = kConfig3H, .shift = 2, .width = 1},
    {.option = PIC18COMMON3, .byte = kConfig3H, .shift = 1, .width = 1},
    {.option = PIC18CCP2MX, .byte = kConfig3H, .shift = 0, .width = 1},
    {.option = PIC18BKBUG, .byte = kConfig4L, .shift = 7, .width = 1},
    {.option = PIC18XINST, .byte = kConfig4L, .shift = 6, .width = 1},
    {.option = PIC18BBSIZE, .byte = kConfig4L, .shift = 4, .width = 2},
    {.option = PIC18LVP, .byte = kConfig4L, .shift = 2, .width = 1},
    {.option = PIC18STVREN, .byte = kConfig4L, .shift = 0, .width = 1},
};

// PIC18F6585/6680.
constexpr Pic18Field kCore6585[] = {
    {.option = PIC18OSCEN, .byte = kConfig1H, .shift = 5, .width = 1},
    {.option = PIC18FOSC, .byte = kConfig1H, .shift = 0, .width = 4},
    {.option = PIC18BORV, .byte = kConfig2L, .shift = 2, .width = 2},
    {.option = PIC18BOREN, .byte = kConfig2L, .shift = 1, .width = 1},
    {.option = PIC18PWRTEN, .byte = kConfig2L, .shift = 0, .width = 1},
    {.option = PIC18WDTPS, .byte = kConfig2H, .shift = 1, .width = 4},
    {.option = PIC18WDTEN, .byte = kConfig2H, .shift = 0, .width = 1},
    {.option = PIC18MCLRE, .byte = kConfig3H, .shift = 7, .width = 1},
    {.option = PIC18CCP2MX, .byte = kConfig3H, .shift = 0, .width = 1},
    {.option = PIC18BKBUG, .byte = kConfig4L, .shift = 7, .width = 1},
    {.option = PIC18LVP, .byte = kConfig4L, .shift = 2, .width = 1},
    {.option = PIC18STVREN, .byte = kConfig4L, .shift = 0, .width = 1},
};

// PIC18F8585/8680: PIC18PLLDIV carries the processor mode PM1:PM0, PIC18COMMON3 ECCPMX.
constexpr Pic18Field kCore8585[] = {
    {.option = PIC18OSCEN, .byte = kConfig1H, .shift = 5, .width = 1},
    {.option = PIC18FOSC, .byte = kConfig1H, .shift = 0, .width = 4},
    {.option = PIC18BORV, .byte = kConfig2L, .shift = 2, .width = 2},
    {.option = PIC18BOREN, .byte = kConfig2L, .shift = 1, .width = 1},
    {.option = PIC18PWRTEN, .byte = kConfig2L, .shift = 0, .width = 1},
    {.option = PIC18WDTPS, .byte = kConfig2H, .shift = 1, .width = 4},
    {.option = PIC18WDTEN, .byte = kConfig2H, .shift = 0, .width = 1},
    {.option = PIC18WAIT, .byte = kConfig3L, .shift = 7, .width = 1},
    {.option = PIC18PLLDIV, .byte = kConfig3L, .shift = 0, .width = 2},
    {.option = PIC18MCLRE, .byte = kConfig3H, .shift = 7, .width = 1},
    {.option = PIC18COMMON3, .byte = kConfig3H, .shift = 1, .width = 1},
    {.option = PIC18CCP2MX, .byte = kConfig3H, .shift = 0, .width = 1},
    {.option = PIC18BKBUG, .byte = kConfig4L, .shift = 7, .width = 1},
    {.option = PIC18LVP, .byte = kConfig4L, .shift = 2, .width = 1},
    {.option = PIC18STVREN, .byte = kConfig4L, .shift = 0, .width = 1},
};

// ---- Code, write and table-read protection -----------------------------------------------------

// Blocks 0..3, boot block, data EEPROM and configuration. The PIC18F242/442/248/448 have blocks 0
// and 1 only; they keep the layout of their 32K siblings, blocks 2 and 3 falling on bits they do
// not implement.
constexpr Pic18Field kProtect4Blocks[] = {
    {.option = PIC18CP3, .byte = kConfig5L, .shift = 3, .width = 1},
    {.option = PIC18CP2, .byte = kConfig5L, .shift = 2, .width = 1},
    {.option = PIC18CP1, .byte = kConfig5L, .shift = 1, .width = 1},
    {.option = PIC18CP0, .byte = kConfig5L, .shift = 0, .width = 1},
    {.option = PIC18CPD, .byte = kConfig5H, .shift = 7, .width = 1},
    {.option = PIC18CPB, .byte = kConfig5H, .shift = 6, .width = 1},
    {.option = PIC18WRT3, .byte = kConfig6L, .shift = 3, .width = 1},
    {.option = PIC18WRT2, .byte = kConfig6L, .shift = 2, .width = 1},
    {.option = PIC18WRT1, .byte = kConfig6L, .shift = 1, .width = 1},
    {.option = PIC18WRT0, .byte = kConfig6L, .shift = 0, .width = 1},
    {.option = PIC18WRTD, .byte = kConfig6H, .shift = 7, .width = 1},
    {.option = PIC18WRTB, .byte = kConfig6H, .shift = 6, .width = 1},
    {.option = PIC18WRTC, .byte = kConfig6H, .shift = 5, .width = 1},
    {.option = PIC18EBTR3, .byte = kConfig7L, .shift = 3, .width = 1},
    {.option = PIC18EBTR2, .byte = kConfig7L, .shift = 2, .width = 1},
    {.option = PIC18EBTR1, .byte = kConfig7L, .shift = 1, .width = 1},
    {.option = PIC18EBTR0, .byte = kConfig7L, .shift = 0, .width = 1},
    {.option = PIC18EBTRB, .byte = kConfig7H, .shift = 6, .width = 1},
};

constexpr Pic18Field kProtect2Blocks[] = {
    {.option = PIC18CP1, .byte = kConfig5L, .shift = 1, .width = 1},
    {.option = PIC18CP0, .byte = kConfig5L, .shift = 0, .width = 1},
    {.option = PIC18CPD, .byte = kConfig5H, .shift = 7, .width = 1},
    {.option = PIC18CPB, .byte = kConfig5H, .shift = 6, .width = 1},
    {.option = PIC18WRT1, .byte = kConfig6L, .shift = 1, .width = 1},
    {.option = PIC18WRT0, .byte = kConfig6L, .shift = 0, .width = 1},
    {.option = PIC18WRTD, .byte = kConfig6H, .shift = 7, .width = 1},
    {.option = PIC18WRTB, .byte = kConfig6H, .shift = 6, .width = 1},
    {.option = PIC18WRTC, .byte = kConfig6H, .shift = 5, .width = 1},
    {.option = PIC18EBTR1, .byte = kConfig7L, .shift = 1, .width = 1},
    {.option = PIC18EBTR0, .byte = kConfig7L, .shift = 0, .width = 1},
    {.option = PIC18EBTRB, .byte = kConfig7H, .shift = 6, .width = 1},
};

// Parts without data EEPROM have no CPD and WRTD.
constexpr Pic18Field kProtect2BlocksNoEeprom[] = {
    {.option = PIC18CP1, .byte = kConfig5L, .shift = 1, .width = 1},
    {.option = PIC18CP0, .byte = kConfig5L, .shift = 0, .width = 1},
    {.option = PIC18CPB, .byte = kConfig5H, .shift = 6, .width = 1},
    {.option = PIC18WRT1, .byte = kConfig6L, .shift = 1, .width = 1},
    {.option = PIC18WRT0, .byte = kConfig6L, .shift = 0, .width = 1},
    {.option = PIC18WRTB, .byte = kConfig6H, .shift = 6, .width = 1},
    {.option = PIC18WRTC, .byte = kConfig6H, .shift = 5, .width = 1},
    {.option = PIC18EBTR1, .byte = kConfig7L, .shift = 1, .width = 1},
    {.option = PIC18EBTR0, .byte = kConfig7L, .shift = 0, .width = 1},
    {.option = PIC18EBTRB, .byte = kConfig7H, .shift = 6, .width = 1},
};

constexpr Pic18Field kProtect3Blocks[] = {
    {.option = PIC18CP2, .byte = kConfig5L, .shift = 2, .width = 1},
    {.option = PIC18CP1, .byte = kConfig5L, .shift = 1, .width = 1},
    {.option = PIC18CP0, .byte = kConfig5L, .shift = 0, .width = 1},
    {.option = PIC18CPD, .byte = kConfig5H, .shift = 7, .width = 1},
    {.option = PIC18CPB, .byte = kConfig5H, .shift = 6, .width = 1},
    {.option = PIC18WRT2, .byte = kConfig6L, .shift = 2, .width = 1},
    {.option = PIC18WRT1, .byte = kConfig6L, .shift = 1, .width = 1},
    {.option = PIC18WRT0, .byte = kConfig6L, .shift = 0, .width = 1},
    {.option = PIC18WRTD, .byte = kConfig6H, .shift = 7, .width = 1},
    {.option = PIC18WRTB, .byte = kConfig6H, .shift = 6, .width = 1},
    {.option = PIC18WRTC, .byte = kConfig6H, .shift = 5, .width = 1},
    {.option = PIC18EBTR2, .byte = kConfig7L, .shift = 2, .width = 1},
    {.option = PIC18EBTR1, .byte = kConfig7L, .shift = 1, .width = 1},
    {.option = PIC18EBTR0, .byte = kConfig7L, .shift = 0, .width = 1},
    {.option = PIC18EBTRB, .byte = kConfig7H, .shift = 6, .width = 1},
};

constexpr Pic18Field kProtect4BlocksNoEeprom[] = {
    {.option = PIC18CP3, .byte = kConfig5L, .shift = 3, .width = 1},
    {.option = PIC18CP2, .byte = kConfig5L, .shift = 2, .width = 1},
    {.option = PIC18CP1, .byte = kConfig5L, .shift = 1, .width = 1},
    {.option = PIC18CP0, .byte = kConfig5L, .shift = 0, .width = 1},
    {.option = PIC18CPB, .byte = kConfig5H, .shift = 6, .width = 1},
    {.option = PIC18WRT3, .byte = kConfig6L, .shift = 3, .width = 1},
    {.option = PIC18WRT2, .byte = kConfig6L, .shift = 2, .width = 1},
    {.option = PIC18WRT1, .byte = kConfig6L, .shift = 1, .width = 1},
    {.option = PIC18WRT0, .byte = kConfig6L, .shift = 0, .width = 1},
    {.option = PIC18WRTB, .byte = kConfig6H, .shift = 6, .width = 1},
    {.option = PIC18WRTC, .byte = kConfig6H, .shift = 5, .width = 1},
    {.option = PIC18EBTR3, .byte = kConfig7L, .shift = 3, .width = 1},
    {.option = PIC18EBTR2, .byte = kConfig7L, .shift = 2, .width = 1},
    {.option = PIC18EBTR1, .byte = kConfig7L, .shift = 1, .width = 1},
    {.option = PIC18EBTR0, .byte = kConfig7L, .shift = 0, .width = 1},
    {.option = PIC18EBTRB, .byte = kConfig7H, .shift = 6, .width = 1},
};

constexpr Pic18Field kProtect3BlocksNoEeprom[] = {
    {.option = PIC18CP2, .byte = kConfig5L, .shift = 2, .width = 1},
    {.option = PIC18CP1, .byte = kConfig5L, .shift = 1, .width = 1},
    {.option = PIC18CP0, .byte = kConfig5L, .shift = 0, .width = 1},
    {.option = PIC18CPB, .byte = kConfig5H, .shift = 6, .width = 1},
    {.option = PIC18WRT2, .byte = kConfig6L, .shift = 2, .width = 1},
    {.option = PIC18WRT1, .byte = kConfig6L, .shift = 1, .width = 1},
    {.option = PIC18WRT0, .byte = kConfig6L, .shift = 0, .width = 1},
    {.option = PIC18WRTB, .byte = kConfig6H, .shift = 6, .width = 1},
    {.option = PIC18WRTC, .byte = kConfig6H, .shift = 5, .width = 1},
    {.option = PIC18EBTR2, .byte = kConfig7L, .shift = 2, .width = 1},
    {.option = PIC18EBTR1, .byte = kConfig7L, .shift = 1, .width = 1},
    {.option = PIC18EBTR0, .byte = kConfig7L, .shift = 0, .width = 1},
    {.option = PIC18EBTRB, .byte = kConfig7H, .shift = 6, .width = 1},
};

// PIC18F6310 family: one code protection bit for the whole program memory (CP).
constexpr Pic18Field kProtectCp[] = {
    {.option = PIC18CP0, .byte = kConfig5L, .shift = 0, .width = 1},
};

// PIC18F8310/8410: CP and one table read protection bit (EBTR).
constexpr Pic18Field kProtectCpEbtr[] = {
    {.option = PIC18CP0, .byte = kConfig5L, .shift = 0, .width = 1},
    {.option = PIC18EBTR0, .byte = kConfig7L, .shift = 0, .width = 1},
};

// Blocks 0..7.
constexpr Pic18Field kProtect8Blocks[] = {
    {.option = PIC18CP7, .byte = kConfig5L, .shift = 7, .width = 1},
    {.option = PIC18CP6, .byte = kConfig5L, .shift = 6, .width = 1},
    {.option = PIC18CP5, .byte = kConfig5L, .shift = 5, .width = 1},
    {.option = PIC18CP4, .byte = kConfig5L, .shift = 4, .width = 1},
    {.option = PIC18CP3, .byte = kConfig5L, .shift = 3, .width = 1},
    {.option = PIC18CP2, .byte = kConfig5L, .shift = 2, .width = 1},
    {.option = PIC18CP1, .byte = kConfig5L, .shift = 1, .width = 1},
    {.option = PIC18CP0, .byte = kConfig5L, .shift = 0, .width = 1},
    {.option = PIC18CPD, .byte = kConfig5H, .shift = 7, .width = 1},
    {.option = PIC18CPB, .byte = kConfig5H, .shift = 6, .width = 1},
    {.option = PIC18WRT7, .byte = kConfig6L, .shift = 7, .width = 1},
    {.option = PIC18WRT6, .byte = kConfig6L, .shift = 6, .width = 1},
    {.option = PIC18WRT5, .byte = kConfig6L, .shift = 5, .width = 1},
    {.option = PIC18WRT4, .byte = kConfig6L, .shift = 4, .width = 1},
    {.option = PIC18WRT3, .byte = kConfig6L, .shift = 3, .width = 1},
    {.option = PIC18WRT2, .byte = kConfig6L, .shift = 2, .width = 1},
    {.option = PIC18WRT1, .byte = kConfig6L, .shift = 1, .width = 1},
    {.option = PIC18WRT0, .byte = kConfig6L, .shift = 0, .width = 1},
    {.option = PIC18WRTD, .byte = kConfig6H, .shift = 7, .width = 1},
    {.option = PIC18WRTB, .byte = kConfig6H, .shift = 6, .width = 1},
    {.option = PIC18WRTC, .byte = kConfig6H, .shift = 5, .width = 1},
    {.option = PIC18EBTR7, .byte = kConfig7L, .shift = 7, .width = 1},
    {.option = PIC18EBTR6, .byte = kConfig7L, .shift = 6, .width = 1},
    {.option = PIC18EBTR5, .byte = kConfig7L, .shift = 5, .width = 1},
    {.option = PIC18EBTR4, .byte = kConfig7L, .shift = 4, .width = 1},
    {.option = PIC18EBTR3, .byte = kConfig7L, .shift = 3, .width = 1},
    {.option = PIC18EBTR2, .byte = kConfig7L, .shift = 2, .width = 1},
    {.option = PIC18EBTR1, .byte = kConfig7L, .shift = 1, .width = 1},
    {.option = PIC18EBTR0, .byte = kConfig7L, .shift = 0, .width = 1},
    {.option = PIC18EBTRB, .byte = kConfig7H, .shift = 6, .width = 1},
};

constexpr Pic18Field kProtect6Blocks[] = {
    {.option = PIC18CP5, .byte = kConfig5L, .shift = 5, .width = 1},
    {.option = PIC18CP4, .byte = kConfig5L, .shift = 4, .width = 1},
    {.option = PIC18CP3, .byte = kConfig5L, .shift = 3, .width = 1},
    {.option = PIC18CP2, .byte = kConfig5L, .shift = 2, .width = 1},
    {.option = PIC18CP1, .byte = kConfig5L, .shift = 1, .width = 1},
    {.option = PIC18CP0, .byte = kConfig5L, .shift = 0, .width = 1},
    {.option = PIC18CPD, .byte = kConfig5H, .shift = 7, .width = 1},
    {.option = PIC18CPB, .byte = kConfig5H, .shift = 6, .width = 1},
    {.option = PIC18WRT5, .byte = kConfig6L, .shift = 5, .width = 1},
    {.option = PIC18WRT4, .byte = kConfig6L, .shift = 4, .width = 1},
    {.option = PIC18WRT3, .byte = kConfig6L, .shift = 3, .width = 1},
    {.option = PIC18WRT2, .byte = kConfig6L, .shift = 2, .width = 1},
    {.option = PIC18WRT1, .byte = kConfig6L, .shift = 1, .width = 1},
    {.option = PIC18WRT0, .byte = kConfig6L, .shift = 0, .width = 1},
    {.option = PIC18WRTD, .byte = kConfig6H, .shift = 7, .width = 1},
    {.option = PIC18WRTB, .byte = kConfig6H, .shift = 6, .width = 1},
    {.option = PIC18WRTC, .byte = kConfig6H, .shift = 5, .width = 1},
    {.option = PIC18EBTR5, .byte = kConfig7L, .shift = 5, .width = 1},
    {.option = PIC18EBTR4, .byte = kConfig7L, .shift = 4, .width = 1},
    {.option = PIC18EBTR3, .byte = kConfig7L, .shift = 3, .width = 1},
    {.option = PIC18EBTR2, .byte = kConfig7L, .shift = 2, .width = 1},
    {.option = PIC18EBTR1, .byte = kConfig7L, .shift = 1, .width = 1},
    {.option = PIC18EBTR0, .byte = kConfig7L, .shift = 0, .width = 1},
    {.option = PIC18EBTRB, .byte = kConfig7H, .shift = 6, .width = 1},
};

// One row per device group. The final masks per byte: AND keeps the bits the options write,
// OR sets the bits a device has but the views do not offer to their default (unprogrammed)
// value; all other bits stay 0.
// clang-format off
constexpr Pic18Layout kLayouts[] = {
    //            1L   1H   2L   2H   3L   3H   4L   4H   5L   5H   6L   6H   7L   7H
    {.devices = {"PIC18F242", "PIC18F252", "PIC18F442", "PIC18F452", "PIC18F6520", "PIC18F6620"},
     .fields  = {kCoreOriginal, kProtect4Blocks},
     .andMask = {0x00,0x27,0x0F,0x0F,0x00,0x01,0x85,0x00,0x0F,0xC0,0x0F,0xE0,0x0F,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F248", "PIC18F258", "PIC18F448", "PIC18F458"},
     .fields  = {kCoreOriginalCan, kProtect4Blocks},
     .andMask = {0x00,0x27,0x0F,0x0F,0x00,0x00,0x85,0x00,0x0F,0xC0,0x0F,0xE0,0x0F,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F1220", "PIC18F1320"},
     .fields  = {kCore1220, kProtect2Blocks},
     .andMask = {0x00,0xCF,0x0F,0x1F,0x00,0x80,0x85,0x00,0x03,0xC0,0x03,0xE0,0x03,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F2220", "PIC18F4220"},
     .fields  = {kCore2220, kProtect2Blocks},
     .andMask = {0x00,0xCF,0x0F,0x1F,0x00,0x83,0x85,0x00,0x03,0xC0,0x03,0xE0,0x03,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F2320", "PIC18F4320"},
     .fields  = {kCore2220, kProtect4Blocks},
     .andMask = {0x00,0xCF,0x0F,0x1F,0x00,0x83,0x85,0x00,0x0F,0xC0,0x0F,0xE0,0x0F,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    // T1OSCMX held at 1.
    {.devices = {"PIC18F2331"},
     .fields  = {kCoreMotorControl, kProtect2Blocks},
     .andMask = {0x00,0xCF,0x0F,0x3F,0x1C,0x80,0x85,0x00,0x03,0xC0,0x03,0xE0,0x03,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x20,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    // T1OSCMX held at 1.
    {.devices = {"PIC18F2431"},
     .fields  = {kCoreMotorControl, kProtect4Blocks},
     .andMask = {0x00,0xCF,0x0F,0x3F,0x1C,0x80,0x85,0x00,0x0F,0xC0,0x0F,0xE0,0x0F,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x20,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    // T1OSCMX and FLTAMX, SSPMX, PWM4MX, EXCLKMX held at 1.
    {.devices = {"PIC18F4331"},
     .fields  = {kCoreMotorControl, kProtect2Blocks},
     .andMask = {0x00,0xCF,0x0F,0x3F,0x1C,0x80,0x85,0x00,0x03,0xC0,0x03,0xE0,0x03,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x20,0x1D,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    // T1OSCMX and FLTAMX, SSPMX, PWM4MX, EXCLKMX held at 1.
    {.devices = {"PIC18F4431"},
     .fields  = {kCoreMotorControl, kProtect4Blocks},
     .andMask = {0x00,0xCF,0x0F,0x3F,0x1C,0x80,0x85,0x00,0x0F,0xC0,0x0F,0xE0,0x0F,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x20,0x1D,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F2221", "PIC18F2321", "PIC18F4221", "PIC18F4321"},
     .fields  = {kCoreBootSizeCcp2, kProtect2Blocks},
     .andMask = {0x00,0xCF,0x1F,0x1F,0x00,0x87,0xF5,0x00,0x03,0xC0,0x03,0xE0,0x03,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F2410", "PIC18F4410"},
     .fields  = {kCoreNanoWatt, kProtect2BlocksNoEeprom},
     .andMask = {0x00,0xCF,0x1F,0x1F,0x00,0x87,0xC5,0x00,0x03,0x40,0x03,0x60,0x03,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F2420", "PIC18F4420"},
     .fields  = {kCoreNanoWatt, kProtect2Blocks},
     .andMask = {0x00,0xCF,0x1F,0x1F,0x00,0x87,0xC5,0x00,0x03,0xC0,0x03,0xE0,0x03,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F2455"},
     .fields  = {kCoreUsb, kProtect3Blocks},
     .andMask = {0x3F,0xCF,0x3F,0x1F,0x00,0x87,0xC5,0x00,0x07,0xC0,0x07,0xE0,0x07,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F2480", "PIC18F4480"},
     .fields  = {kCoreCanBootSize1, kProtect2Blocks},
     .andMask = {0x00,0xCF,0x1F,0x1F,0x00,0x86,0xD5,0x00,0x03,0xC0,0x03,0xE0,0x03,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F2510", "PIC18F2610", "PIC18F4510", "PIC18F4610"},
     .fields  = {kCoreNanoWatt, kProtect4BlocksNoEeprom},
     .andMask = {0x00,0xCF,0x1F,0x1F,0x00,0x87,0xC5,0x00,0x0F,0x40,0x0F,0x60,0x0F,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F2515", "PIC18F4515"},
     .fields  = {kCoreNanoWatt, kProtect3BlocksNoEeprom},
     .andMask = {0x00,0xCF,0x1F,0x1F,0x00,0x87,0xC5,0x00,0x07,0x40,0x07,0x60,0x07,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F2520", "PIC18F2620", "PIC18F4520", "PIC18F4620"},
     .fields  = {kCoreNanoWatt, kProtect4Blocks},
     .andMask = {0x00,0xCF,0x1F,0x1F,0x00,0x87,0xC5,0x00,0x0F,0xC0,0x0F,0xE0,0x0F,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F2525", "PIC18F4525"},
     .fields  = {kCoreNanoWatt, kProtect3Blocks},
     .andMask = {0x00,0xCF,0x1F,0x1F,0x00,0x87,0xC5,0x00,0x07,0xC0,0x07,0xE0,0x07,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F2550"},
     .fields  = {kCoreUsb, kProtect4Blocks},
     .andMask = {0x3F,0xCF,0x3F,0x1F,0x00,0x87,0xC5,0x00,0x0F,0xC0,0x0F,0xE0,0x0F,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F4550"},
     .fields  = {kCoreUsbIcport, kProtect4Blocks},
     .andMask = {0x3F,0xCF,0x3F,0x1F,0x00,0x87,0xE5,0x00,0x0F,0xC0,0x0F,0xE0,0x0F,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F2580", "PIC18F4580"},
     .fields  = {kCoreCanBootSize1, kProtect4Blocks},
     .andMask = {0x00,0xCF,0x1F,0x1F,0x00,0x86,0xD5,0x00,0x0F,0xC0,0x0F,0xE0,0x0F,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F2585", "PIC18F4585"},
     .fields  = {kCoreBootSize, kProtect3Blocks},
     .andMask = {0x00,0xCF,0x1F,0x1F,0x00,0x86,0xF5,0x00,0x07,0xC0,0x07,0xE0,0x07,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F2680", "PIC18F4680"},
     .fields  = {kCoreBootSize, kProtect4Blocks},
     .andMask = {0x00,0xCF,0x1F,0x1F,0x00,0x86,0xF5,0x00,0x0F,0xC0,0x0F,0xE0,0x0F,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F4455"},
     .fields  = {kCoreUsbIcport, kProtect3Blocks},
     .andMask = {0x3F,0xCF,0x3F,0x1F,0x00,0x87,0xE5,0x00,0x07,0xC0,0x07,0xE0,0x07,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F6310", "PIC18F6390", "PIC18F6410", "PIC18F6490", "PIC18F8390",
                 "PIC18F8490"},
     .fields  = {kCore6310, kProtectCp},
     .andMask = {0x00,0xCF,0x1F,0x1F,0x00,0x85,0xC1,0x00,0x01,0x00,0x00,0x00,0x00,0x00},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F8310", "PIC18F8410"},
     .fields  = {kCore8310, kProtectCpEbtr},
     .andMask = {0x00,0xCF,0x1F,0x1F,0xC3,0x85,0xC1,0x00,0x01,0x00,0x00,0x00,0x01,0x00},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F6720"},
     .fields  = {kCoreOriginal, kProtect8Blocks},
     .andMask = {0x00,0x27,0x0F,0x0F,0x00,0x01,0x85,0x00,0xFF,0xC0,0xFF,0xE0,0xFF,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F8520", "PIC18F8620"},
     .fields  = {kCoreExternalBus, kProtect4Blocks},
     .andMask = {0x00,0x27,0x0F,0x0F,0x83,0x01,0x85,0x00,0x0F,0xC0,0x0F,0xE0,0x0F,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F8720"},
     .fields  = {kCoreExternalBus, kProtect8Blocks},
     .andMask = {0x00,0x27,0x0F,0x0F,0x83,0x01,0x85,0x00,0xFF,0xC0,0xFF,0xE0,0xFF,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F6525"},
     .fields  = {kCore6525, kProtect3Blocks},
     .andMask = {0x00,0x2F,0x0F,0x1F,0x00,0x81,0x85,0x00,0x07,0xC0,0x07,0xE0,0x07,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F6621"},
     .fields  = {kCore6525, kProtect4Blocks},
     .andMask = {0x00,0x2F,0x0F,0x1F,0x00,0x81,0x85,0x00,0x0F,0xC0,0x0F,0xE0,0x0F,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F8525"},
     .fields  = {kCore8525, kProtect3Blocks},
     .andMask = {0x00,0x2F,0x0F,0x1F,0x83,0x83,0x85,0x00,0x07,0xC0,0x07,0xE0,0x07,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F8621"},
     .fields  = {kCore8525, kProtect4Blocks},
     .andMask = {0x00,0x2F,0x0F,0x1F,0x83,0x83,0x85,0x00,0x0F,0xC0,0x0F,0xE0,0x0F,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F6527"},
     .fields  = {kCore6527, kProtect3Blocks},
     .andMask = {0x00,0xCF,0x1F,0x1F,0x00,0x85,0xF5,0x00,0x07,0xC0,0x07,0xE0,0x07,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F6622"},
     .fields  = {kCore6527, kProtect4Blocks},
     .andMask = {0x00,0xCF,0x1F,0x1F,0x00,0x85,0xF5,0x00,0x0F,0xC0,0x0F,0xE0,0x0F,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F6627"},
     .fields  = {kCore6527, kProtect6Blocks},
     .andMask = {0x00,0xCF,0x1F,0x1F,0x00,0x85,0xF5,0x00,0x3F,0xC0,0x3F,0xE0,0x3F,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F6722"},
     .fields  = {kCore6527, kProtect8Blocks},
     .andMask = {0x00,0xCF,0x1F,0x1F,0x00,0x85,0xF5,0x00,0xFF,0xC0,0xFF,0xE0,0xFF,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F8527"},
     .fields  = {kCore8527, kProtect3Blocks},
     .andMask = {0x00,0xCF,0x1F,0x1F,0xF3,0x87,0xF5,0x00,0x07,0xC0,0x07,0xE0,0x07,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F8622"},
     .fields  = {kCore8527, kProtect4Blocks},
     .andMask = {0x00,0xCF,0x1F,0x1F,0xF3,0x87,0xF5,0x00,0x0F,0xC0,0x0F,0xE0,0x0F,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F8627"},
     .fields  = {kCore8527, kProtect6Blocks},
     .andMask = {0x00,0xCF,0x1F,0x1F,0xF3,0x87,0xF5,0x00,0x3F,0xC0,0x3F,0xE0,0x3F,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F8722"},
     .fields  = {kCore8527, kProtect8Blocks},
     .andMask = {0x00,0xCF,0x1F,0x1F,0xF3,0x87,0xF5,0x00,0xFF,0xC0,0xFF,0xE0,0xFF,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F6585"},
     .fields  = {kCore6585, kProtect3Blocks},
     .andMask = {0x00,0x2F,0x0F,0x1F,0x00,0x81,0x85,0x00,0x07,0xC0,0x07,0xE0,0x07,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F6680"},
     .fields  = {kCore6585, kProtect4Blocks},
     .andMask = {0x00,0x2F,0x0F,0x1F,0x00,0x81,0x85,0x00,0x0F,0xC0,0x0F,0xE0,0x0F,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F8585"},
     .fields  = {kCore8585, kProtect3Blocks},
     .andMask = {0x00,0x2F,0x0F,0x1F,0x83,0x83,0x85,0x00,0x07,0xC0,0x07,0xE0,0x07,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
    {.devices = {"PIC18F8680"},
     .fields  = {kCore8585, kProtect4Blocks},
     .andMask = {0x00,0x2F,0x0F,0x1F,0x83,0x83,0x85,0x00,0x0F,0xC0,0x0F,0xE0,0x0F,0x40},
     .orMask  = {0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00,0x00}},
};
// clang-format on

// Each field lies inside its byte, fields of a layout do not overlap, and the AND mask is exactly
// the union of the fields while the OR mask lies outside it.
consteval bool LayoutsAreConsistent() {
  for (const Pic18Layout& layout : kLayouts) {
    ByteMasks used{};
    for (auto part : layout.fields) {
      for (const Pic18Field& field : part) {
        if (field.byte >= kPic18ConfigBytes || field.width == 0 || field.shift + field.width > 8) {
          return false;
        }
        if ((used[field.byte] & field.Mask()) != 0) return false;
        used[field.byte] |= field.Mask();
      }
    }
    for (int i = 0; i < kPic18ConfigBytes; ++i) {
      if (used[i] != layout.andMask[i] || (layout.andMask[i] & layout.orMask[i]) != 0) return false;
    }
  }
  return true;
}
static_assert(LayoutsAreConsistent());

const Pic18Layout* FindLayout(std::string_view deviceName) {
  if (deviceName.empty()) return nullptr;
  for (const Pic18Layout& layout : kLayouts) {
    if (std::ranges::find(layout.devices, deviceName) != layout.devices.end()) return &layout;
  }
  return nullptr;
}

uint8_t FieldBits(const Pic18Field& field, int32_t selection) {
  // A check option sets its bit when nonzero; a list index is cut to the field's width so that
  // an out-of-range selection cannot spill into a neighbouring field.
  const uint32_t value = field.width == 1
                             ? (selection != 0 ? 1u : 0u)
                             : static_cast<uint32_t>(selection) & ((1u << field.width) - 1u);
  return static_cast<uint8_t>(value << field.shift);
}

std::string_view NameOf(const CMCUMemoryArchitecture& image) {
  return image.deviceName != nullptr ? image.deviceName : "";
}

}  // namespace

Pic18ConfigCells EncodePic18ConfigurationCells(std::string_view deviceName,
                                               const OptionSelections& options) {
  Pic18ConfigCells cells{};  // unknown devices encode to all zeros
  const Pic18Layout* layout = FindLayout(deviceName);
  if (layout == nullptr) return cells;
  for (auto part : layout->fields) {
    for (const Pic18Field& field : part) {
      cells[field.byte] |= FieldBits(field, options[field.option]);
    }
  }
  for (int i = 0; i < kPic18ConfigBytes; ++i) {
    cells[i] = (cells[i] & layout->andMask[i]) | layout->orMask[i];
  }
  return cells;
}

void DecodePic18ConfigurationCells(std::string_view deviceName,
                                   std::span<const int32_t, kPic18ConfigBytes> cells,
                                   OptionSelections& options) {
  const Pic18Layout* layout = FindLayout(deviceName);
  if (layout == nullptr) return;
  for (auto part : layout->fields) {
    for (const Pic18Field& field : part) {
      const int32_t cell = cells[field.byte];
      if (cell < 0) continue;  // no data: the selection stays as it is
      options[field.option] = (cell & field.Mask()) >> field.shift;
    }
  }
}

void EncodePic18Configuration(const OptionSelections& options, CMCUMemoryArchitecture& image) {
  const Pic18ConfigCells cells = EncodePic18ConfigurationCells(NameOf(image), options);
  std::ranges::copy(cells, image.configuration);
}

void DecodePic18Configuration(const CMCUMemoryArchitecture& image, OptionSelections& options) {
  DecodePic18ConfigurationCells(
      NameOf(image),
      std::span<const int32_t, kPic18ConfigBytes>(image.configuration, kPic18ConfigBytes), options);
}

std::vector<Pic18Field> Pic18FieldsOf(std::string_view deviceName) {
  std::vector<Pic18Field> fields;
  if (const Pic18Layout* layout = FindLayout(deviceName)) {
    for (auto part : layout->fields) fields.insert(fields.end(), part.begin(), part.end());
  }
  return fields;
}

bool Pic18OptionActiveLow(OptionId option) {
  static constexpr OptionId kActiveLow[] = {
      PIC18PWRTEN, PIC18BKBUG, PIC18OSCEN, PIC18WINEN, PIC18WAIT,  PIC18CP0,   PIC18CP1,
      PIC18CP2,    PIC18CP3,   PIC18CP4,   PIC18CP5,   PIC18CP6,   PIC18CP7,   PIC18WRT0,
      PIC18WRT1,   PIC18WRT2,  PIC18WRT3,  PIC18WRT4,  PIC18WRT5,  PIC18WRT6,  PIC18WRT7,
      PIC18EBTR0,  PIC18EBTR1, PIC18EBTR2, PIC18EBTR3, PIC18EBTR4, PIC18EBTR5, PIC18EBTR6,
      PIC18EBTR7,  PIC18CPB,   PIC18CPD,   PIC18WRTB,  PIC18WRTC,  PIC18WRTD,  PIC18EBTRB,
  };
  return std::ranges::find(kActiveLow, option) != std::end(kActiveLow);
}

std::vector<OptionId> Pic18OptionsOffered(std::string_view deviceName) {
  std::vector<OptionId> offered;
  for (const Pic18Field& field : Pic18FieldsOf(deviceName)) offered.push_back(field.option);
  return offered;
}

}  // namespace velmora
