#include "ui/pic18/pic18_options.h"

#include <algorithm>
#include <array>

namespace velmora {
namespace {

constexpr auto kCheck = OptionKind::kCheck;
constexpr auto kList = OptionKind::kList;
constexpr auto kBasic = Pic18Page::kBasic;
constexpr auto kExtended = Pic18Page::kExtended;

// clang-format off
constexpr Pic18OptionControl kControls[] = {
    // The PIC18 page: lists first, then the check boxes.
    {1210, PIC18FOSC,   "Oscillator",          "Select Clock Source",                 kList, kBasic},
    {1215, PIC18CPUDIV, "CPU Clock",           "Select the system clock postscaler",  kList, kBasic},
    {1216, PIC18PLLDIV, "PLL Prescaler",       "Select the PLL input divider",        kList, kBasic},
    {1211, PIC18BORV,   "Brown-out Voltage",   "Select brown-out level",              kList, kBasic},
    {1212, PIC18BOREN,  "Brown-out Reset",     "Select the brown-out reset mode",     kList, kBasic},
    {1213, PIC18WDTPS,  "Watchdog Postscale",  "Select the watchdog postscaler",      kList, kBasic},
    {1214, PIC18CCP2MX, "CCP2 Pin",            "Select the CCP2 pin",                 kList, kBasic},
    {1217, PIC18BBSIZE, "Boot Block Size",     "Select the boot block size",          kList, kBasic},
    {1218, PIC18COMMON1, "Option 1",           "Device specific option",              kList, kBasic},
    {1219, PIC18COMMON2, "Option 2",           "Device specific option",              kList, kBasic},
    {1220, PIC18COMMON3, "Option 3",           "Device specific option",              kList, kBasic},
    {1200, PIC18WDTEN,  "Watchdog Timer",      "Enable the Watch-Dog timer.",         kCheck, kBasic},
    {1201, PIC18PWRTEN, "Power-up Timer",      "Enable the power-up timer (PWRTEN)",  kCheck, kBasic},
    {1204, PIC18MCLRE,  "MCLRE",               "MCLR pin enabled (RE3 input off)",    kCheck, kBasic},
    {1205, PIC18WINEN,  "WINEN",               "Watchdog timer window enable",        kCheck, kBasic},
    {1207, PIC18T5REN,  "T5REN",               "Timer5 reset input enable",           kCheck, kBasic},
    {1202, PIC18LVP,    "Low Voltage Programming", "Single-supply ICSP (LVP bit)",    kCheck, kBasic},
    {1203, PIC18STVREN, "Reset on Stack Overflow", "Stack full/underflow reset",      kCheck, kBasic},
    {1206, PIC18OSCEN,  "Low Power System Clock enable", "Oscillator system clock switch enable", kCheck, kBasic},
    // The extended page: block protection in a grid, then further options.
    {1230, PIC18CP0, "CP0", "Code protection of block 0", kCheck, kExtended},
    {1231, PIC18CP1, "CP1", "Code protection of block 1", kCheck, kExtended},
    {1232, PIC18CP2, "CP2", "Code protection of block 2", kCheck, kExtended},
    {1233, PIC18CP3, "CP3", "Code protection of block 3", kCheck, kExtended},
    {1234, PIC18CP4, "CP4", "Code protection of block 4", kCheck, kExtended},
    {1235, PIC18CP5, "CP5", "Code protection of block 5", kCheck, kExtended},
    {1236, PIC18CP6, "CP6", "Code protection of block 6", kCheck, kExtended},
    {1237, PIC18CP7, "CP7", "Code protection of block 7", kCheck, kExtended},
    {1240, PIC18WRT0, "WRT0", "Write protection of block 0", kCheck, kExtended},
    {1241, PIC18WRT1, "WRT1", "Write protection of block 1", kCheck, kExtended},
    {1242, PIC18WRT2, "WRT2", "Write protection of block 2", kCheck, kExtended},
    {1243, PIC18WRT3, "WRT3", "Write protection of block 3", kCheck, kExtended},
    {1244, PIC18WRT4, "WRT4", "Write protection of block 4", kCheck, kExtended},
    {1245, PIC18WRT5, "WRT5", "Write protection of block 5", kCheck, kExtended},
    {1246, PIC18WRT6, "WRT6", "Write protection of block 6", kCheck, kExtended},
    {1247, PIC18WRT7, "WRT7", "Write protection of block 7", kCheck, kExtended},
    {1250, PIC18EBTR0, "EBTR0", "Table read protection of block 0", kCheck, kExtended},
    {1251, PIC18EBTR1, "EBTR1", "Table read protection of block 1", kCheck, kExtended},
    {1252, PIC18EBTR2, "EBTR2", "Table read protection of block 2", kCheck, kExtended},
    {1253, PIC18EBTR3, "EBTR3", "Table read protection of block 3", kCheck, kExtended},
    {1254, PIC18EBTR4, "EBTR4", "Table read protection of block 4", kCheck, kExtended},
    {1255, PIC18EBTR5, "EBTR5", "Table read protection of block 5", kCheck, kExtended},
    {1256, PIC18EBTR6, "EBTR6", "Table read protection of block 6", kCheck, kExtended},
    {1257, PIC18EBTR7, "EBTR7", "Table read protection of block 7", kCheck, kExtended},
    {1260, PIC18CPB,   "CPB",   "Code protection of the boot block",        kCheck, kExtended},
    {1261, PIC18CPD,   "CPD",   "Code protection of the data EEPROM",       kCheck, kExtended},
    {1262, PIC18WRTB,  "WRTB",  "Write protection of the boot block",       kCheck, kExtended},
    {1263, PIC18WRTC,  "WRTC",  "Write protection of the configuration",    kCheck, kExtended},
    {1264, PIC18WRTD,  "WRTD",  "Write protection of the data EEPROM",      kCheck, kExtended},
    {1265, PIC18EBTRB, "EBTRB", "Table read protection of the boot block",  kCheck, kExtended},
    {1270, PIC18BKBUG,   "Background Debugger", "Background debugger enable (DEBUG bit)", kCheck, kExtended},
    {1271, PIC18XINST,   "XINST",   "Extended instruction set enable",        kCheck, kExtended},
    {1272, PIC18IESO,    "IESO",    "Internal/external oscillator switchover", kCheck, kExtended},
    {1273, PIC18FCMEM,   "FCMEM",   "Fail-safe clock monitor enable",        kCheck, kExtended},
    {1274, PIC18ICPORT,  "ICPORT",  "Dedicated in-circuit debug port enable", kCheck, kExtended},
    {1275, PIC18VREGEN,  "VREGEN",  "USB voltage regulator enable",          kCheck, kExtended},
    {1276, PIC18LPT1OSC, "LPT1OSC", "Low-power Timer1 oscillator",           kCheck, kExtended},
    {1277, PIC18PBADEN,  "PBADEN",  "PORTB A/D enable",                      kCheck, kExtended},
    {1278, PIC18USBDIV,  "USBDIV",  "USB clock from the PLL divided by 2",   kCheck, kExtended},
    {1279, PIC18WAIT,    "Wait",    "External bus wait enable",              kCheck, kExtended},
};
// clang-format on

}  // namespace

std::span<const Pic18OptionControl> Pic18OptionControls() {
  return kControls;
}

const Pic18OptionControl* FindPic18OptionControl(int id) {
  const auto* it = std::find_if(std::begin(kControls), std::end(kControls),
                                [id](const Pic18OptionControl& c) { return c.id == id; });
  return it == std::end(kControls) ? nullptr : it;
}

}  // namespace velmora
