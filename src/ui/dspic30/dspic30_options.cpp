#include "ui/dspic30/dspic30_options.h"

#include <algorithm>
#include <string_view>

#include "memory/catalogue.h"

namespace velmora {
namespace {

constexpr auto kFlag = DsPic30ControlKind::kFlag;
constexpr auto kCheck = DsPic30ControlKind::kCheck;
constexpr auto kList = DsPic30ControlKind::kList;

// clang-format off
constexpr DsPic30OptionControl kControls[] = {
    // What a Program, Verify or Read takes part in, and how.
    {1600, DSPIC30PROGRAMMEMORY,        "Flash Memory",  "Program, verify or read the program memory.", kFlag, false},
    {1601, DSPIC30PROGRAMEEPROM,        "EEPROM",        "Program, verify or read the data EEPROM.",    kFlag, false},
    {1602, DSPIC30PROGRAMIDLOCATION,    "ID-Location",   "dsPIC30 parts have no ID locations.",         kFlag, false},
    {1603, DSPIC30PROGRAMCONFIGURATION, "Configuration", "Program, verify or read the configuration registers.", kFlag, false},
    {1604, DSPIC30ERASEALWAYS,          "Erase Chip",    "Bulk erase the chip before programming.",     kFlag, false},
    {1605, DSPIC30FASTVERIFY,           "Fast Verify",
     "Verify only non empty areas of the chip. Skip empty areas during verify.",                       kFlag, false},
    {1606, DSPIC30NOVERIFY,             "No Verify",     "Don't verify after programming.",             kFlag, false},
    {1607, DSPIC30IGNORECONFIG,         "Ignore Hex-File Configuration",
     "Use the configuration of this page instead of the file's.",                                      kFlag, false},
    // The configuration registers: lists first, then the check boxes.
    {1620, DSPIC30FPR,   "Primary Oscillator",  "Primary oscillator mode (FOSC: FPR)",                 kList, false},
    {1621, DSPIC30FOS,   "Oscillator Source",   "Oscillator source at reset (FOSC: FOS)",              kList, false},
    {1622, DSPIC30FCKSM, "Clock Switching",     "Clock switching and monitor (FOSC: FCKSM)",           kList, false},
    {1623, DSPIC30FWPSA, "Watchdog Prescaler A", "Watchdog timer prescaler A (FWDT: FWPSA)",           kList, false},
    {1624, DSPIC30FWPSB, "Watchdog Prescaler B", "Watchdog timer prescaler B (FWDT: FWPSB)",           kList, false},
    {1625, DSPIC30FPWRT, "Power-on Reset Timer", "Power-on reset timer value (FBORPOR: FPWRT)",        kList, false},
    {1626, DSPIC30BORV,  "Brown-out Voltage",   "Select brown-out level (FBORPOR: BORV)",              kList, false},
    {1627, DSPIC30ICS,   "Comm. Channel",       "Debugger communication channel (FICD: ICS)",          kList, false},
    {1610, DSPIC30FWDTEN,  "Enable Watchdog",  "Enable the Watch-Dog timer.",                           kCheck, false},
    {1611, DSPIC30BOREN,   "Enable BOR",       "Enable the brown-out reset (BOREN).",                  kCheck, false},
    {1612, DSPIC30MCLREN,  "Enable MCLR",      "MCLR pin enabled (MCLREN).",                           kCheck, false},
    {1613, DSPIC30GCP,     "Code Protection",  "Protect the general code segment against reading (GCP).", kCheck, true},
    {1614, DSPIC30GWRP,    "Write Protection", "Protect the general code segment against writing (GWRP).", kCheck, true},
    {1615, DSPIC30BKBUG,   "BKBUG",            "Debugger/emulator enable bit (FICD: BKBUG)",           kCheck, false},
    {1616, DSPIC30COE,     "COE",              "Clip-on emulation bit (FICD: COE)",                    kCheck, false},
    {1617, DSPIC30PWMPIN,  "PWMPIN",           "Motor control PWM pins at reset (FBORPOR: PWMPIN)",    kCheck, false},
    {1618, DSPIC30HPOL,    "HPOL",             "High-side PWM output polarity (FBORPOR: HPOL)",        kCheck, false},
    {1619, DSPIC30LPOL,    "LPOL",             "Low-side PWM output polarity (FBORPOR: LPOL)",         kCheck, false},
};
// clang-format on

// The choices the maker names, per device and option, from item 0 on.
struct NamedItems {
  std::string_view device;
  OptionId option;
  std::span<const char* const> items;
};

constexpr const char* k2010PrimaryOscillator[] = {
    "XTL (200kHz-4MHz)", "HS (10MHz-25MHz)", "XT (4MHz-10MHz)", "XT w/ PLL 4x",
    "XT w/ PLL 8x",      "XT w/ PLL 16x",    "ERC - OSC2=I/O",
};
constexpr const char* k2010ClockSwitching[] = {"Clock Switching Enabled/Clock Monitor Enabled"};
constexpr const char* k2010OscillatorSource[] = {"Secondary Oscillator (32kHz)",
                                                 "Internal FRC (8MHz)", "Internal LPRC (512kHz)",
                                                 "Primary Oscillator"};

constexpr NamedItems kNamedItems[] = {
    {"dsPIC30F2010", DSPIC30FPR, k2010PrimaryOscillator},
    {"dsPIC30F2010", DSPIC30FCKSM, k2010ClockSwitching},
    {"dsPIC30F2010", DSPIC30FOS, k2010OscillatorSource},
};

std::span<const char* const> NamedItemsOf(int row, OptionId option) {
  if (row < 1 || row > kDsPic30DeviceRows) return {};
  const std::string_view device = kDsPic30Devices[row].name;
  for (const NamedItems& named : kNamedItems) {
    if (named.device == device && named.option == option) return named.items;
  }
  return {};
}

}  // namespace

std::span<const DsPic30OptionControl> DsPic30OptionControls() {
  return kControls;
}

const DsPic30OptionControl* FindDsPic30OptionControl(int id) {
  const auto* it = std::ranges::find(kControls, id, &DsPic30OptionControl::id);
  return it == std::end(kControls) ? nullptr : it;
}

QStringList DsPic30ListItems(int row, const DsPic30Field& field) {
  const std::span<const char* const> named = NamedItemsOf(row, OptionId(field.option));
  QStringList items;
  const int count = 1 << field.width;
  for (int value = 0; value < count; ++value) {
    items << (value < int(named.size())
                  ? QString::fromUtf8(named[value])
                  : QStringLiteral("%1").arg(value, field.width, 2, QLatin1Char('0')));
  }
  return items;
}

}  // namespace velmora
