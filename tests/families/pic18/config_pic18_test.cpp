// Configuration encoding checked against the maker's device data shipped with gputils: gpasm
// assembles CONFIG directives into the bytes at 0x300000, which the encoder must produce from the
// matching option selections, and which the decoder must turn back into them.
#include "families/pic18/config_pic18.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "memory/catalogue.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// ---- Reference data: the maker's CONFIG settings for each option -------------------------------

// One CONFIG value and the option selection it stands for.
struct Choice {
  int32_t value;
  const char* token;
};

// A CONFIG setting of the maker with two of its values (complementary bit patterns where the
// device allows).
struct Probe {
  OptionId option;
  std::string setting;
  std::array<Choice, 2> choices;
};

// Devices sharing the same CONFIG names and values. The probes list the settings other than
// protection; the protection settings (CPn, WRTn, EBTRn, CPB, ...) are taken from gpasm's
// device data, each ON = 0 and OFF = 1.
struct MakerGroup {
  std::vector<std::string> devices;
  std::span<const Probe> probes;
  // Options offered for these devices for which the maker has no setting.
  std::vector<OptionId> withoutMakerSetting;
  // Maker settings that the devices have but do not offer: the encoder holds them at the
  // device's default.
  std::vector<std::string> heldAtDefault;
};

void PrintTo(const MakerGroup& group, std::ostream* out) {
  *out << group.devices.front();
}

// PIC18F242, PIC18F442, PIC18F252, PIC18F452, PIC18F6520, PIC18F6620, PIC18F6720
const Probe kProbes242[] = {
    {PIC18FOSC, "OSC", {{{1, "XT"}, {6, "HSPLL"}}}},
    {PIC18BORV, "BORV", {{{1, "42"}, {2, "27"}}}},
    {PIC18BOREN, "BOR", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PWRTEN, "PWRT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDTPS", {{{1, "2"}, {6, "64"}}}},
    {PIC18WDTEN, "WDT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18LVP, "LVP", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18STVREN, "STVR", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18OSCEN, "OSCS", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18CCP2MX, "CCP2MUX", {{{0, "OFF"}, {1, "ON"}}}},
};

// PIC18F248, PIC18F448, PIC18F258, PIC18F458
const Probe kProbes248[] = {
    {PIC18FOSC, "OSC", {{{1, "XT"}, {6, "HSPLL"}}}},
    {PIC18BORV, "BORV", {{{1, "42"}, {2, "27"}}}},
    {PIC18BOREN, "BOR", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PWRTEN, "PWRT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDTPS", {{{1, "2"}, {6, "64"}}}},
    {PIC18WDTEN, "WDT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18LVP, "LVP", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18STVREN, "STVR", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18OSCEN, "OSCS", {{{0, "ON"}, {1, "OFF"}}}},
};

// PIC18F1220, PIC18F1320
const Probe kProbes1220[] = {
    {PIC18FOSC, "OSC", {{{7, "RCIO"}, {8, "INTIO2"}}}},
    {PIC18BORV, "BORV", {{{1, "42"}, {2, "27"}}}},
    {PIC18BOREN, "BOR", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PWRTEN, "PWRT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDTPS", {{{3, "8"}, {12, "4096"}}}},
    {PIC18WDTEN, "WDT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18LVP, "LVP", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18STVREN, "STVR", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18IESO, "IESO", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18FCMEM, "FSCM", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18MCLRE, "MCLRE", {{{0, "OFF"}, {1, "ON"}}}},
};

// PIC18F2220, PIC18F4220, PIC18F2320, PIC18F4320
const Probe kProbes2220[] = {
    {PIC18FOSC, "OSC", {{{7, "RCIO"}, {8, "INTIO2"}}}},
    {PIC18BORV, "BORV", {{{1, "42"}, {2, "27"}}}},
    {PIC18BOREN, "BOR", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PWRTEN, "PWRT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDTPS", {{{3, "8"}, {12, "4096"}}}},
    {PIC18WDTEN, "WDT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18LVP, "LVP", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18STVREN, "STVR", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18CCP2MX, "CCP2MX", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18IESO, "IESO", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18FCMEM, "FSCM", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18MCLRE, "MCLRE", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PBADEN, "PBAD", {{{0, "DIG"}, {1, "ANA"}}}},
};

// PIC18F2331, PIC18F2431, PIC18F4331
const Probe kProbes2331[] = {
    {PIC18FOSC, "OSC", {{{3, "RC2"}, {12, "RC"}}}},
    {PIC18BORV, "BORV", {{{1, "42"}, {2, "27"}}}},
    {PIC18BOREN, "BOREN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PWRTEN, "PWRTEN", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDPS", {{{3, "8"}, {12, "4096"}}}},
    {PIC18WDTEN, "WDTEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18LVP, "LVP", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18STVREN, "STVREN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18IESO, "IESO", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18FCMEM, "FCMEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18MCLRE, "MCLRE", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18COMMON1, "PWMPIN", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18COMMON2, "LPOL", {{{0, "LOW"}, {1, "HIGH"}}}},
    {PIC18COMMON3, "HPOL", {{{0, "LOW"}, {1, "HIGH"}}}},
    {PIC18WINEN, "WINEN", {{{0, "ON"}, {1, "OFF"}}}},
};

// PIC18F4431
const Probe kProbes4431[] = {
    {PIC18FOSC, "OSC", {{{3, "RC2"}, {12, "RC"}}}},
    {PIC18BORV, "BORV", {{{1, "42"}, {2, "27"}}}},
    {PIC18PWRTEN, "PWRTEN", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDPS", {{{3, "8"}, {12, "4096"}}}},
    {PIC18WDTEN, "WDTEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18LVP, "LVP", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18STVREN, "STVREN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18IESO, "IESO", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18FCMEM, "FCMEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18MCLRE, "MCLRE", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18COMMON1, "PWMPIN", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18COMMON2, "LPOL", {{{0, "LOW"}, {1, "HIGH"}}}},
    {PIC18COMMON3, "HPOL", {{{0, "LOW"}, {1, "HIGH"}}}},
    {PIC18WINEN, "WINEN", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18BOREN, "BOREN", {{{0, "OFF"}, {1, "ON"}}}},
};

// PIC18F2221, PIC18F4221
const Probe kProbes2221[] = {
    {PIC18FOSC, "OSC", {{{7, "RCIO"}, {8, "INTIO2"}}}},
    {PIC18BORV, "BORV", {{{1, "1"}, {2, "2"}}}},
    {PIC18BOREN, "BOR", {{{1, "SOFT"}, {2, "NOSLP"}}}},
    {PIC18PWRTEN, "PWRT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDTPS", {{{3, "8"}, {12, "4096"}}}},
    {PIC18WDTEN, "WDT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18LVP, "LVP", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18STVREN, "STVREN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18IESO, "IESO", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18FCMEM, "FCMEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18XINST, "XINST", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18MCLRE, "MCLRE", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18LPT1OSC, "LPT1OSC", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PBADEN, "PBADEN", {{{0, "DIG"}, {1, "ANA"}}}},
    {PIC18BBSIZE, "BBSIZ", {{{0, "BB256"}, {3, "BB512"}}}},
    {PIC18CCP2MX, "CCP2MX", {{{0, "RB3"}, {1, "RC1"}}}},
};

// PIC18F2321, PIC18F4321
const Probe kProbes2321[] = {
    {PIC18FOSC, "OSC", {{{7, "RCIO"}, {8, "INTIO2"}}}},
    {PIC18BORV, "BORV", {{{1, "1"}, {2, "2"}}}},
    {PIC18BOREN, "BOR", {{{1, "SOFT"}, {2, "NOSLP"}}}},
    {PIC18PWRTEN, "PWRT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDTPS", {{{3, "8"}, {12, "4096"}}}},
    {PIC18WDTEN, "WDT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18LVP, "LVP", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18STVREN, "STVREN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18IESO, "IESO", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18FCMEM, "FCMEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18XINST, "XINST", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18MCLRE, "MCLRE", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18LPT1OSC, "LPT1OSC", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PBADEN, "PBADEN", {{{0, "DIG"}, {1, "ANA"}}}},
    {PIC18BBSIZE, "BBSIZ", {{{0, "BB256"}, {3, "BB1K"}}}},
    {PIC18CCP2MX, "CCP2MX", {{{0, "RB3"}, {1, "RC1"}}}},
};

// PIC18F2410, PIC18F2510, PIC18F2515, PIC18F2520, PIC18F2525, PIC18F2610, PIC18F2620, PIC18F4410,
// PIC18F4420, PIC18F4510, PIC18F4515, PIC18F4520, PIC18F4525, PIC18F4610, PIC18F4620
const Probe kProbes2410[] = {
    {PIC18FOSC, "OSC", {{{7, "RCIO6"}, {8, "INTIO67"}}}},
    {PIC18BORV, "BORV", {{{1, "1"}, {2, "2"}}}},
    {PIC18BOREN, "BOREN", {{{1, "ON"}, {2, "NOSLP"}}}},
    {PIC18PWRTEN, "PWRT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDTPS", {{{3, "8"}, {12, "4096"}}}},
    {PIC18WDTEN, "WDT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18LVP, "LVP", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18STVREN, "STVREN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18CCP2MX, "CCP2MX", {{{0, "PORTBE"}, {1, "PORTC"}}}},
    {PIC18IESO, "IESO", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18FCMEM, "FCMEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18XINST, "XINST", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18MCLRE, "MCLRE", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18LPT1OSC, "LPT1OSC", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PBADEN, "PBADEN", {{{0, "OFF"}, {1, "ON"}}}},
};

// PIC18F2420
const Probe kProbes2420[] = {
    {PIC18FOSC, "OSC", {{{7, "RCIO6"}, {8, "INTIO67"}}}},
    {PIC18BORV, "BORV", {{{1, "1"}, {2, "2"}}}},
    {PIC18BOREN, "BOREN", {{{1, "ON"}, {2, "NOSLP"}}}},
    {PIC18PWRTEN, "PWRT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDTPS", {{{3, "8"}, {12, "4096"}}}},
    {PIC18WDTEN, "WDT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18LVP, "LVP", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18STVREN, "STVREN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18CCP2MX, "CCP2MX", {{{0, "PORTB"}, {1, "PORTC"}}}},
    {PIC18IESO, "IESO", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18FCMEM, "FCMEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18XINST, "XINST", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18MCLRE, "MCLRE", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18LPT1OSC, "LPT1OSC", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PBADEN, "PBADEN", {{{0, "OFF"}, {1, "ON"}}}},
};

// PIC18F2455, PIC18F2550, PIC18F4550
const Probe kProbes2455[] = {
    {PIC18FOSC, "FOSC", {{{5, "EC_EC"}, {10, "INTOSC_XT"}}}},
    {PIC18BORV, "BORV", {{{1, "1"}, {2, "2"}}}},
    {PIC18BOREN, "BOR", {{{1, "SOFT"}, {2, "ON_ACTIVE"}}}},
    {PIC18PWRTEN, "PWRT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDTPS", {{{3, "8"}, {12, "4096"}}}},
    {PIC18WDTEN, "WDT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18LVP, "LVP", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18STVREN, "STVREN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18CCP2MX, "CCP2MX", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18USBDIV, "USBDIV", {{{0, "1"}, {1, "2"}}}},
    {PIC18IESO, "IESO", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18FCMEM, "FCMEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18XINST, "XINST", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18VREGEN, "VREGEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18MCLRE, "MCLRE", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18LPT1OSC, "LPT1OSC", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PBADEN, "PBADEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18CPUDIV, "CPUDIV", {{{1, "OSC2_PLL3"}, {2, "OSC3_PLL4"}}}},
    {PIC18PLLDIV, "PLLDIV", {{{1, "2"}, {6, "10"}}}},
};

// PIC18F2480, PIC18F2580, PIC18F4480, PIC18F4580
const Probe kProbes2480[] = {
    {PIC18FOSC, "OSC", {{{7, "RCIO"}, {8, "IRCIO67"}}}},
    {PIC18BORV, "BORV", {{{1, "1"}, {2, "2"}}}},
    {PIC18BOREN, "BOREN", {{{1, "SBORENCTRL"}, {2, "BOACTIVE"}}}},
    {PIC18PWRTEN, "PWRT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDTPS", {{{3, "8"}, {12, "4096"}}}},
    {PIC18WDTEN, "WDT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18LVP, "LVP", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18STVREN, "STVREN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18IESO, "IESO", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18FCMEM, "FCMEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18XINST, "XINST", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18MCLRE, "MCLRE", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18LPT1OSC, "LPT1OSC", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PBADEN, "PBADEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BBSIZE, "BBSIZ", {{{0, "1024"}, {1, "2048"}}}},
};

// PIC18F2585, PIC18F2680, PIC18F4585, PIC18F4680
const Probe kProbes2585[] = {
    {PIC18FOSC, "OSC", {{{7, "RCIO"}, {8, "IRCIO67"}}}},
    {PIC18BORV, "BORV", {{{1, "1"}, {2, "2"}}}},
    {PIC18BOREN, "BOREN", {{{1, "SBORENCTRL"}, {2, "BOACTIVE"}}}},
    {PIC18PWRTEN, "PWRT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDTPS", {{{3, "8"}, {12, "4096"}}}},
    {PIC18WDTEN, "WDT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18LVP, "LVP", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18STVREN, "STVREN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18IESO, "IESO", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18FCMEM, "FCMEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18XINST, "XINST", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18MCLRE, "MCLRE", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18LPT1OSC, "LPT1OSC", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PBADEN, "PBADEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BBSIZE, "BBSIZ", {{{1, "2048"}, {2, "4096"}}}},
};

// PIC18F4455
const Probe kProbes4455[] = {
    {PIC18FOSC, "FOSC", {{{5, "EC_EC"}, {10, "INTOSC_XT"}}}},
    {PIC18BORV, "BORV", {{{1, "1"}, {2, "2"}}}},
    {PIC18BOREN, "BOR", {{{1, "SOFT"}, {2, "ON_ACTIVE"}}}},
    {PIC18PWRTEN, "PWRT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDTPS", {{{3, "8"}, {12, "4096"}}}},
    {PIC18WDTEN, "WDT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18LVP, "LVP", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18STVREN, "STVREN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18CCP2MX, "CCP2MX", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18USBDIV, "USBDIV", {{{0, "1"}, {1, "2"}}}},
    {PIC18IESO, "IESO", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18FCMEM, "FCMEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18XINST, "XINST", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18ICPORT, "ICPRT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18VREGEN, "VREGEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18MCLRE, "MCLRE", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18LPT1OSC, "LPT1OSC", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PBADEN, "PBADEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18CPUDIV, "CPUDIV", {{{1, "OSC2_PLL3"}, {2, "OSC3_PLL4"}}}},
    {PIC18PLLDIV, "PLLDIV", {{{1, "2"}, {6, "10"}}}},
};

// PIC18F6310, PIC18F6410: CCP2 on port C or E
const Probe kProbes6310[] = {
    {PIC18FOSC, "OSC", {{{7, "RCIO"}, {8, "INTIO67"}}}},
    {PIC18BORV, "BORV", {{{1, "1"}, {2, "2"}}}},
    {PIC18BOREN, "BOREN", {{{1, "ON"}, {2, "NOSLP"}}}},
    {PIC18PWRTEN, "PWRT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDTPS", {{{3, "8"}, {12, "4096"}}}},
    {PIC18WDTEN, "WDT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18STVREN, "STVREN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18IESO, "IESO", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18FCMEM, "FCMEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18XINST, "XINST", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18MCLRE, "MCLRE", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18LPT1OSC, "LPT1OSC", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18CCP2MX, "CCP2MX", {{{0, "PORTE"}, {1, "PORTC"}}}},
};
// PIC18F6390, PIC18F6490, PIC18F8390, PIC18F8490: CCP2 on port B or E
const Probe kProbes6390[] = {
    {PIC18FOSC, "OSC", {{{7, "RCIO"}, {8, "INTIO67"}}}},
    {PIC18BORV, "BORV", {{{1, "1"}, {2, "2"}}}},
    {PIC18BOREN, "BOREN", {{{1, "ON"}, {2, "NOSLP"}}}},
    {PIC18PWRTEN, "PWRT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDTPS", {{{3, "8"}, {12, "4096"}}}},
    {PIC18WDTEN, "WDT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18STVREN, "STVREN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18IESO, "IESO", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18FCMEM, "FCMEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18XINST, "XINST", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18MCLRE, "MCLRE", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18LPT1OSC, "LPT1OSC", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18CCP2MX, "CCP2MX", {{{0, "PORTBE"}, {1, "PORTC"}}}},
};

// PIC18F8310, PIC18F8410
const Probe kProbes8310[] = {
    {PIC18FOSC, "OSC", {{{7, "RCIO"}, {8, "INTIO67"}}}},
    {PIC18BORV, "BORV", {{{1, "1"}, {2, "2"}}}},
    {PIC18BOREN, "BOREN", {{{1, "ON"}, {2, "NOSLP"}}}},
    {PIC18PWRTEN, "PWRT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDTPS", {{{3, "8"}, {12, "4096"}}}},
    {PIC18WDTEN, "WDT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18STVREN, "STVREN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18CCP2MX, "CCP2MX", {{{0, "PORTBE"}, {1, "PORTC"}}}},
    {PIC18IESO, "IESO", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18FCMEM, "FCMEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18XINST, "XINST", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18MCLRE, "MCLRE", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18LPT1OSC, "LPT1OSC", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PLLDIV, "PM", {{{1, "MPB"}, {2, "MP"}}}},
    {PIC18WAIT, "WAIT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18COMMON2, "BW", {{{0, "8"}, {1, "16"}}}},
};

// PIC18F8520, PIC18F8620, PIC18F8720
const Probe kProbes8520[] = {
    {PIC18FOSC, "OSC", {{{1, "XT"}, {6, "HSPLL"}}}},
    {PIC18BORV, "BORV", {{{1, "42"}, {2, "27"}}}},
    {PIC18BOREN, "BOR", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PWRTEN, "PWRT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDTPS", {{{1, "2"}, {6, "64"}}}},
    {PIC18WDTEN, "WDT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18LVP, "LVP", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18STVREN, "STVR", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18OSCEN, "OSCS", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18CCP2MX, "CCP2MUX", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PLLDIV, "MODE", {{{1, "MPB"}, {2, "MP"}}}},
    {PIC18WAIT, "WAIT", {{{0, "ON"}, {1, "OFF"}}}},
};

// PIC18F6525, PIC18F6621
const Probe kProbes6525[] = {
    {PIC18FOSC, "OSC", {{{3, "RC"}, {12, "ECIOPLL"}}}},
    {PIC18BORV, "BORV", {{{1, "42"}, {2, "27"}}}},
    {PIC18BOREN, "BOR", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PWRTEN, "PWRT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDTPS", {{{3, "8"}, {12, "4096"}}}},
    {PIC18WDTEN, "WDT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18LVP, "LVP", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18STVREN, "STVR", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18OSCEN, "OSCS", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18CCP2MX, "CCP2MX", {{{0, "PORTBE"}, {1, "PORTC"}}}},
    {PIC18MCLRE, "MCLRE", {{{0, "OFF"}, {1, "ON"}}}},
};

// PIC18F8525, PIC18F8621
const Probe kProbes8525[] = {
    {PIC18FOSC, "OSC", {{{3, "RC"}, {12, "ECIOPLL"}}}},
    {PIC18BORV, "BORV", {{{1, "42"}, {2, "27"}}}},
    {PIC18BOREN, "BOR", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PWRTEN, "PWRT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDTPS", {{{3, "8"}, {12, "4096"}}}},
    {PIC18WDTEN, "WDT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18LVP, "LVP", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18STVREN, "STVR", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18OSCEN, "OSCS", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18CCP2MX, "CCP2MX", {{{0, "PORTBE"}, {1, "PORTC"}}}},
    {PIC18MCLRE, "MCLRE", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PLLDIV, "MODE", {{{1, "MPB"}, {2, "MP"}}}},
    {PIC18WAIT, "WAIT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18COMMON3, "ECCPMX", {{{0, "PORTH"}, {1, "PORTE"}}}},
};

// PIC18F6527, PIC18F6622, PIC18F6627, PIC18F6722
const Probe kProbes6527[] = {
    {PIC18FOSC, "OSC", {{{7, "RCIO6"}, {8, "INTIO67"}}}},
    {PIC18BORV, "BORV", {{{1, "1"}, {2, "2"}}}},
    {PIC18BOREN, "BOREN", {{{1, "ON"}, {2, "NOSLP"}}}},
    {PIC18PWRTEN, "PWRT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDTPS", {{{3, "8"}, {12, "4096"}}}},
    {PIC18WDTEN, "WDT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18LVP, "LVP", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18STVREN, "STVREN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18CCP2MX, "CCP2MX", {{{0, "PORTE"}, {1, "PORTC"}}}},
    {PIC18IESO, "IESO", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18FCMEM, "FCMEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18XINST, "XINST", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18MCLRE, "MCLRE", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18LPT1OSC, "LPT1OSC", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BBSIZE, "BBSIZ", {{{1, "BB4K"}, {2, "BB8K"}}}},
};

// PIC18F8527, PIC18F8622, PIC18F8627, PIC18F8722
const Probe kProbes8527[] = {
    {PIC18FOSC, "OSC", {{{7, "RCIO6"}, {8, "INTIO67"}}}},
    {PIC18BORV, "BORV", {{{1, "1"}, {2, "2"}}}},
    {PIC18BOREN, "BOREN", {{{1, "ON"}, {2, "NOSLP"}}}},
    {PIC18PWRTEN, "PWRT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDTPS", {{{3, "8"}, {12, "4096"}}}},
    {PIC18WDTEN, "WDT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18LVP, "LVP", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18STVREN, "STVREN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18CCP2MX, "CCP2MX", {{{0, "PORTBE"}, {1, "PORTC"}}}},
    {PIC18IESO, "IESO", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18FCMEM, "FCMEN", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18XINST, "XINST", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18MCLRE, "MCLRE", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18LPT1OSC, "LPT1OSC", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PLLDIV, "MODE", {{{1, "MPB"}, {2, "MP"}}}},
    {PIC18BBSIZE, "BBSIZ", {{{1, "BB4K"}, {2, "BB8K"}}}},
    {PIC18WAIT, "WAIT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18COMMON1, "ADDRBW", {{{1, "ADDR12BIT"}, {2, "ADDR16BIT"}}}},
    {PIC18COMMON2, "DATABW", {{{0, "DATA8BIT"}, {1, "DATA16BIT"}}}},
    {PIC18COMMON3, "ECCPMX", {{{0, "PORTH"}, {1, "PORTE"}}}},
};

// PIC18F6585, PIC18F6680
const Probe kProbes6585[] = {
    {PIC18FOSC, "OSC", {{{3, "RC"}, {12, "ECIOPLL"}}}},
    {PIC18BORV, "BORV", {{{1, "42"}, {2, "27"}}}},
    {PIC18BOREN, "BOR", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PWRTEN, "PWRT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDTPS", {{{3, "8"}, {12, "4096"}}}},
    {PIC18WDTEN, "WDT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18LVP, "LVP", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18STVREN, "STVR", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18OSCEN, "OSCS", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18MCLRE, "MCLRE", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18CCP2MX, "CCP2MX", {{{0, "OFF"}, {1, "ON"}}}},
};

// PIC18F8585, PIC18F8680
const Probe kProbes8585[] = {
    {PIC18FOSC, "OSC", {{{3, "RC"}, {12, "ECIOPLL"}}}},
    {PIC18BORV, "BORV", {{{1, "42"}, {2, "27"}}}},
    {PIC18BOREN, "BOR", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PWRTEN, "PWRT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18WDTPS, "WDTPS", {{{3, "8"}, {12, "4096"}}}},
    {PIC18WDTEN, "WDT", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18BKBUG, "DEBUG", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18LVP, "LVP", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18STVREN, "STVR", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18OSCEN, "OSCS", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18MCLRE, "MCLRE", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18PLLDIV, "MODE", {{{1, "MPB"}, {2, "MP"}}}},
    {PIC18WAIT, "WAIT", {{{0, "ON"}, {1, "OFF"}}}},
    {PIC18CCP2MX, "CCP2MX", {{{0, "OFF"}, {1, "ON"}}}},
    {PIC18COMMON3, "ECCPMX", {{{0, "PORTH"}, {1, "PORTE"}}}},
};

const MakerGroup kMakerGroups[] = {
    {.devices = {"PIC18F242", "PIC18F442"},
     .probes = kProbes242,
     .withoutMakerSetting = {PIC18CP2, PIC18CP3, PIC18WRT2, PIC18WRT3, PIC18EBTR2, PIC18EBTR3},
     .heldAtDefault = {}},
    {.devices = {"PIC18F248", "PIC18F448"},
     .probes = kProbes248,
     .withoutMakerSetting = {PIC18CP2, PIC18CP3, PIC18WRT2, PIC18WRT3, PIC18EBTR2, PIC18EBTR3},
     .heldAtDefault = {}},
    {.devices = {"PIC18F252", "PIC18F452", "PIC18F6520", "PIC18F6620"},
     .probes = kProbes242,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F6720"},
     .probes = kProbes242,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F258", "PIC18F458"},
     .probes = kProbes248,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F1220", "PIC18F1320"},
     .probes = kProbes1220,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F2220", "PIC18F4220", "PIC18F2320", "PIC18F4320"},
     .probes = kProbes2220,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F2331"},
     .probes = kProbes2331,
     .withoutMakerSetting = {},
     .heldAtDefault = {"T1OSCMX"}},
    {.devices = {"PIC18F2431"},
     .probes = kProbes2331,
     .withoutMakerSetting = {},
     .heldAtDefault = {"T1OSCMX"}},
    {.devices = {"PIC18F4331"},
     .probes = kProbes2331,
     .withoutMakerSetting = {},
     .heldAtDefault = {"T1OSCMX", "FLTAMX", "SSPMX", "PWM4MX", "EXCLKMX"}},
    {.devices = {"PIC18F4431"},
     .probes = kProbes4431,
     .withoutMakerSetting = {},
     .heldAtDefault = {"T1OSCMX", "FLTAMX", "SSPMX", "PWM4MX", "EXCLKMX"}},
    {.devices = {"PIC18F2221", "PIC18F4221"},
     .probes = kProbes2221,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F2321", "PIC18F4321"},
     .probes = kProbes2321,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F2410", "PIC18F2510", "PIC18F2515", "PIC18F2520", "PIC18F2525", "PIC18F2610",
                 "PIC18F2620", "PIC18F4410", "PIC18F4420", "PIC18F4510", "PIC18F4515", "PIC18F4520",
                 "PIC18F4525", "PIC18F4610", "PIC18F4620"},
     .probes = kProbes2410,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F2420"},
     .probes = kProbes2420,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F2455", "PIC18F2550"},
     .probes = kProbes2455,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F4550"},
     .probes = kProbes4455,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F2480", "PIC18F2580", "PIC18F4480", "PIC18F4580"},
     .probes = kProbes2480,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F2585", "PIC18F2680", "PIC18F4585", "PIC18F4680"},
     .probes = kProbes2585,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F4455"},
     .probes = kProbes4455,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F6310", "PIC18F6410"},
     .probes = kProbes6310,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F6390", "PIC18F6490", "PIC18F8390", "PIC18F8490"},
     .probes = kProbes6390,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F8310", "PIC18F8410"},
     .probes = kProbes8310,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F8520", "PIC18F8620"},
     .probes = kProbes8520,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F8720"},
     .probes = kProbes8520,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F6525", "PIC18F6621"},
     .probes = kProbes6525,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F8525", "PIC18F8621"},
     .probes = kProbes8525,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F6527", "PIC18F6622", "PIC18F6627"},
     .probes = kProbes6527,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F6722"},
     .probes = kProbes6527,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F8527", "PIC18F8622", "PIC18F8627"},
     .probes = kProbes8527,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F8722"},
     .probes = kProbes8527,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F6585", "PIC18F6680"},
     .probes = kProbes6585,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
    {.devices = {"PIC18F8585", "PIC18F8680"},
     .probes = kProbes8585,
     .withoutMakerSetting = {},
     .heldAtDefault = {}},
};

// ---- gpasm -------------------------------------------------------------------------------------

struct CommandResult {
  int status;
  std::string output;  // standard output and error
};

CommandResult RunCommand(const std::string& command) {
  CommandResult result{.status = -1, .output = ""};
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 4096> buffer;
  for (size_t n; (n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) {
    result.output.append(buffer.data(), n);
  }
  result.status = pclose(pipe);
  return result;
}

bool GpasmAvailable() {
  return RunCommand("gpasm -v").status == 0;
}

// "PIC18F4550" -> "18f4550", gpasm's processor name.
std::string ProcessorName(std::string_view device) {
  std::string name(device.substr(3));
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

// What gpasm's device data says of a part's configuration: the implemented bits of each byte
// and the names of its CONFIG settings.
struct MakerConfiguration {
  std::array<int32_t, kPic18ConfigBytes> implemented{};
  std::vector<std::string> settings;
};

MakerConfiguration ListMakerConfiguration(std::string_view device) {
  static const std::regex kWord(
      R"(Config Word\s*: address = 0x([0-9A-Fa-f]+), mask = 0x([0-9A-Fa-f]+))");
  static const std::regex kDirective(R"(Directive: (\w+))");
  const CommandResult listing = RunCommand("gpasm -s -p " + ProcessorName(device));
  EXPECT_EQ(listing.status, 0) << listing.output;
  MakerConfiguration maker;
  std::istringstream lines(listing.output);
  for (std::string line; std::getline(lines, line);) {
    std::smatch match;
    if (std::regex_search(line, match, kWord)) {
      const uint32_t address = std::stoul(match[1], nullptr, 16);
      if (address >= 0x300000 && address < 0x300000 + kPic18ConfigBytes) {
        maker.implemented[address - 0x300000] = std::stoi(match[2], nullptr, 16);
      }
    } else if (std::regex_search(line, match, kDirective)) {
      maker.settings.push_back(match[1]);
    }
  }
  return maker;
}

// One gpasm listing per device and test run.
const MakerConfiguration& ReadMakerConfiguration(const std::string& device) {
  static std::map<std::string, MakerConfiguration> listed;
  auto it = listed.find(device);
  if (it == listed.end()) it = listed.emplace(device, ListMakerConfiguration(device)).first;
  return it->second;
}

bool IsProtectionSetting(std::string_view setting) {
  static const std::regex kProtection(R"(CP\d?|WRT\d|EBTR\d?|CPB|CPD|WRTB|WRTC|WRTD|EBTRB)");
  return std::regex_match(setting.begin(), setting.end(), kProtection);
}

// The protection settings of a part (all ON = 0, OFF = 1) as probes of their options; CP and
// EBTR of the single-block parts are block 0.
std::vector<Probe> ProtectionProbes(const MakerConfiguration& maker) {
  std::vector<Probe> probes;
  for (const std::string& setting : maker.settings) {
    if (!IsProtectionSetting(setting)) continue;
    const std::string name = setting == "CP" ? "CP0" : setting == "EBTR" ? "EBTR0" : setting;
    const std::optional<OptionId> option = OptionIdFromName("PIC18" + name);
    if (!option) {
      ADD_FAILURE() << "no option for " << setting;
      continue;
    }
    probes.push_back({*option, setting, {{{0, "ON"}, {1, "OFF"}}}});
  }
  return probes;
}

// The 14 configuration bytes of an Intel HEX file; a byte the file does not hold reads 0.
Pic18ConfigCells ConfigurationFromHex(const std::string& text) {
  Pic18ConfigCells cells{};
  std::istringstream hex(text);
  uint32_t base = 0;
  for (std::string line; std::getline(hex, line);) {
    if (line.size() < 11 || line[0] != ':') continue;
    auto byteAt = [&](size_t i) { return std::stoi(line.substr(1 + 2 * i, 2), nullptr, 16); };
    const int count = byteAt(0);
    const uint32_t offset = (byteAt(1) << 8) | byteAt(2);
    const int type = byteAt(3);
    if (type == 4) base = static_cast<uint32_t>((byteAt(4) << 8) | byteAt(5)) << 16;
    if (type != 0) continue;
    for (int i = 0; i < count; ++i) {
      const uint32_t address = base + offset + i;
      if (address >= 0x300000 && address < 0x300000 + kPic18ConfigBytes) {
        cells[address - 0x300000] = byteAt(4 + i);
      }
    }
  }
  return cells;
}

// ---- Cases -------------------------------------------------------------------------------------

// Six cases give every probed option a distinct on/off pattern (bit c of its number), so that two
// options trading places, or a field on the wrong bits, show in at least one case.
constexpr int kCases = 6;

constexpr int32_t kNotOffered = 0x5A5A5A5A;  // what a device's layout must ignore
constexpr int32_t kUntouched = -77;          // what decoding must leave alone

struct Case {
  std::string device;
  int number;
  MakerConfiguration maker;
  std::vector<Probe> probes;    // the group's probes, then the device's protection settings
  std::vector<int32_t> values;  // the option value of each probe in this case
  OptionSelections options;     // the selections standing for the same settings
  std::string source;           // the .asm text
};

std::string Describe(const Case& c) {
  return c.device + " case " + std::to_string(c.number) + ":\n" + c.source;
}

Case MakeCase(const MakerGroup& group, const std::string& device, int number) {
  Case c{.device = device,
         .number = number,
         .maker = ReadMakerConfiguration(device),
         .probes = {group.probes.begin(), group.probes.end()},
         .values = {},
         .options = {},
         .source = ""};
  for (const Probe& probe : ProtectionProbes(c.maker)) {
    if (std::ranges::find(group.heldAtDefault, probe.setting) == group.heldAtDefault.end()) {
      c.probes.push_back(probe);
    }
  }
  std::ranges::fill(c.options, kNotOffered);
  for (OptionId option : group.withoutMakerSetting) c.options[option] = number % 2;
  for (size_t i = 0; i < c.probes.size(); ++i) {
    const Choice& choice = c.probes[i].choices[((i + 1) >> number) & 1];
    c.values.push_back(choice.value);
    c.options[c.probes[i].option] = choice.value;
    c.source += "  CONFIG " + c.probes[i].setting + " = " + choice.token + "\n";
  }
  c.source += "  END\n";
  return c;
}

// Which cases run on which device: every case on some device, every device at least once.
std::vector<std::pair<std::string, int>> Schedule(const MakerGroup& group) {
  std::vector<std::pair<std::string, int>> runs;
  const int devices = static_cast<int>(group.devices.size());
  for (int c = 0; c < kCases; ++c) runs.emplace_back(group.devices[c % devices], c);
  for (int k = kCases; k < devices; ++k) runs.emplace_back(group.devices[k], k % kCases);
  return runs;
}

bool Contains(const std::vector<OptionId>& options, OptionId option) {
  return std::ranges::find(options, option) != options.end();
}

std::string GroupName(const ::testing::TestParamInfo<MakerGroup>& info) {
  return info.param.devices.front();
}

class GpasmReferenceTest : public ::testing::TestWithParam<MakerGroup> {
 protected:
  void SetUp() override {
    if (!GpasmAvailable()) GTEST_SKIP() << "gpasm (gputils) is not installed";
    std::string pattern = (fs::temp_directory_path() / "velmora-config-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
  }
  void TearDown() override {
    if (!directory_.empty()) fs::remove_all(directory_);
  }

  // Assembles the case and returns the configuration bytes of the HEX file.
  Pic18ConfigCells Assemble(const Case& c) {
    const fs::path source = directory_ / "case.asm";
    const fs::path hex = directory_ / "case.hex";
    std::ofstream(source) << c.source;
    fs::remove(hex);
    const CommandResult run = RunCommand("gpasm -q -p " + ProcessorName(c.device) + " -o " +
                                         hex.string() + " " + source.string());
    EXPECT_EQ(run.status, 0) << Describe(c) << run.output;
    std::stringstream text;
    text << std::ifstream(hex).rdbuf();
    return ConfigurationFromHex(text.str());
  }

  fs::path directory_;
};

// ---- Offered options and the maker's settings ---------------------------------------------------

// Every setting the maker lists is either offered (and probed) or held at its default, and
// every offered option is probed unless the maker has no setting for it.
TEST_P(GpasmReferenceTest, OfferedOptionsAreTheMakersSettings) {
  const MakerGroup& group = GetParam();
  for (const std::string& device : group.devices) {
    const Case c = MakeCase(group, device, 0);
    const std::vector<OptionId> offered = Pic18OptionsOffered(device);
    std::set<std::string> accounted(group.heldAtDefault.begin(), group.heldAtDefault.end());
    std::set<OptionId> probed;
    for (const Probe& probe : c.probes) {
      accounted.insert(probe.setting);
      probed.insert(probe.option);
      EXPECT_TRUE(Contains(offered, probe.option))
          << device << " does not offer " << kOptionNames[probe.option];
    }
    for (const std::string& setting : c.maker.settings) {
      EXPECT_TRUE(accounted.contains(setting)) << device << " has no probe for " << setting;
    }
    std::set<OptionId> unmatched;
    for (OptionId option : offered) {
      if (!probed.contains(option)) unmatched.insert(option);
    }
    EXPECT_EQ(unmatched, std::set<OptionId>(group.withoutMakerSetting.begin(),
                                            group.withoutMakerSetting.end()))
        << device;
  }
}

// ---- Encoding and decoding against gpasm --------------------------------------------------------

// Every bit the part implements is compared, except those of options without a maker setting.
TEST_P(GpasmReferenceTest, EncoderMakesTheBytesGpasmAssembles) {
  const MakerGroup& group = GetParam();
  for (const auto& [device, number] : Schedule(group)) {
    const Case c = MakeCase(group, device, number);
    const Pic18ConfigCells reference = Assemble(c);
    if (HasFailure()) return;
    std::array<int32_t, kPic18ConfigBytes> compared = c.maker.implemented;
    for (const Pic18Field& field : Pic18FieldsOf(device)) {
      if (Contains(group.withoutMakerSetting, field.option)) compared[field.byte] &= ~field.Mask();
    }
    const Pic18ConfigCells encoded = EncodePic18ConfigurationCells(device, c.options);
    for (int i = 0; i < kPic18ConfigBytes; ++i) {
      EXPECT_EQ(encoded[i] & compared[i], reference[i] & compared[i])
          << "configuration byte " << i << " (mask 0x" << std::hex << compared[i] << std::dec
          << ") of " << Describe(c);
    }
  }
}

TEST_P(GpasmReferenceTest, DecoderReadsTheSettingsBackFromGpasmBytes) {
  const MakerGroup& group = GetParam();
  for (const auto& [device, number] : Schedule(group)) {
    const Case c = MakeCase(group, device, number);
    const Pic18ConfigCells reference = Assemble(c);
    if (HasFailure()) return;
    OptionSelections decoded;
    std::ranges::fill(decoded, kUntouched);
    DecodePic18ConfigurationCells(device, reference, decoded);
    for (size_t i = 0; i < c.probes.size(); ++i) {
      const Probe& probe = c.probes[i];
      EXPECT_EQ(decoded[probe.option], c.values[i])
          << kOptionNames[probe.option] << " (" << probe.setting << ") of " << Describe(c);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Pic18, GpasmReferenceTest, ::testing::ValuesIn(kMakerGroups), GroupName);

// ---- Round trip over every value of every offered option ----------------------------------------

// What decoding gives back for a selection: a check option reads 1 when it was nonzero.
int32_t Normalized(const Pic18Field& field, int32_t selection) {
  if (field.width == 1) return selection != 0 ? 1 : 0;
  return selection & ((1 << field.width) - 1);
}

class RoundTripTest : public ::testing::TestWithParam<MakerGroup> {};

TEST_P(RoundTripTest, DecodeRestoresEveryValueOfEveryOfferedOption) {
  for (const std::string& device : GetParam().devices) {
    const std::vector<Pic18Field> fields = Pic18FieldsOf(device);
    ASSERT_FALSE(fields.empty()) << device;
    for (const Pic18Field& field : fields) {
      for (int32_t value = 0; value < (1 << field.width); ++value) {
        // The other options take values that differ from field to field and from value to value.
        OptionSelections options;
        for (int id = 0; id < kOptionCount; ++id) {
          options[id] = (id * 7 + value * 3 + field.option) % 5;
        }
        options[field.option] = value;
        const Pic18ConfigCells cells = EncodePic18ConfigurationCells(device, options);
        OptionSelections decoded;
        std::ranges::fill(decoded, kUntouched);
        DecodePic18ConfigurationCells(device, cells, decoded);
        for (const Pic18Field& other : fields) {
          ASSERT_EQ(decoded[other.option], Normalized(other, options[other.option]))
              << device << ": " << kOptionNames[other.option] << " after setting "
              << kOptionNames[field.option] << " to " << value;
        }
        for (int id = 0; id < kOptionCount; ++id) {
          if (std::ranges::none_of(fields, [&](const Pic18Field& f) { return f.option == id; })) {
            ASSERT_EQ(decoded[id], kUntouched) << device << " changed " << kOptionNames[id];
          }
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Pic18, RoundTripTest, ::testing::ValuesIn(kMakerGroups), GroupName);

// ---- Catalogue coverage and single behaviours ---------------------------------------------------

TEST(Pic18Configuration, EveryCataloguedPic18DeviceHasALayoutOfPic18Options) {
  std::set<std::string> grouped;
  for (const MakerGroup& group : kMakerGroups) {
    grouped.insert(group.devices.begin(), group.devices.end());
  }
  for (int row = 1; row <= kPic18DeviceRows; ++row) {
    const std::string device = kPic18Devices[row].name;
    EXPECT_TRUE(grouped.contains(device)) << device << " is in no group checked against gpasm";
    const std::vector<OptionId> offered = Pic18OptionsOffered(device);
    EXPECT_FALSE(offered.empty()) << device;
    for (OptionId option : offered) {
      EXPECT_TRUE(std::string_view(kOptionNames[option]).starts_with("PIC18"))
          << device << " offers " << kOptionNames[option];
    }
  }
  EXPECT_EQ(grouped.size(), static_cast<size_t>(kPic18DeviceRows))
      << "the groups name a device the catalogue does not list";
}

TEST(Pic18Configuration, Pic18F452WithLvpAndStvrenOnlySetsConfig4L) {
  CMCUMemoryArchitecture image;
  image.Clear();
  image.deviceName = "PIC18F452";
  OptionSelections options{};
  options[PIC18LVP] = 1;
  options[PIC18STVREN] = 1;
  EncodePic18Configuration(options, image);
  for (int i = 0; i < kPic18ConfigBytes; ++i) {
    EXPECT_EQ(image.GetCell(0x300000 + i), i == kConfig4L ? 0x05 : 0x00) << "byte " << i;
  }
  OptionSelections decoded;
  std::ranges::fill(decoded, kUntouched);
  DecodePic18Configuration(image, decoded);
  EXPECT_EQ(decoded[PIC18LVP], 1);
  EXPECT_EQ(decoded[PIC18STVREN], 1);
  EXPECT_EQ(decoded[PIC18BKBUG], 0);
  EXPECT_EQ(decoded[PIC18WDTPS], 0);
  EXPECT_EQ(decoded[MEGACKSEL], kUntouched);
}

TEST(Pic18Configuration, DevicesWithoutLayoutEncodeZerosAndDecodeNothing) {
  for (const char* name : {"Unknown Device", "PIC18F9999", "ATmega8", ""}) {
    CMCUMemoryArchitecture image;
    image.Clear();
    image.deviceName = name;
    for (int i = 0; i < kPic18ConfigBytes; ++i) image.configuration[i] = 0xA5;
    OptionSelections options;
    std::ranges::fill(options, 1);
    EncodePic18Configuration(options, image);
    for (int i = 0; i < kPic18ConfigBytes; ++i) EXPECT_EQ(image.configuration[i], 0) << name;

    for (int i = 0; i < kPic18ConfigBytes; ++i) image.configuration[i] = 0xFF;
    OptionSelections decoded;
    std::ranges::fill(decoded, kUntouched);
    DecodePic18Configuration(image, decoded);
    EXPECT_TRUE(std::ranges::all_of(decoded, [](int32_t v) { return v == kUntouched; })) << name;
  }
}

// A selection outside its field's range (a stale list index, -1 for "no selection") must not
// spill into the neighbouring bits.
TEST(Pic18Configuration, SelectionsOutOfRangeStayInsideTheirField) {
  struct OutOfRange {
    const char* device;
    OptionId option;
    int32_t selection;
    Pic18ConfigByte byte;
    int32_t expected;
  };
  const OutOfRange cases[] = {
      {"PIC18F452", PIC18WDTPS, 0xFF, kConfig2H, 0x0E},  // three bits above WDTEN
      {"PIC18F452", PIC18FOSC, -1, kConfig1H, 0x07},     // OSCEN in bit 5 stays clear
      {"PIC18F452", PIC18LVP, 2, kConfig4L, 0x04},       // a check option: nonzero sets it
      {"PIC18F4550", PIC18PLLDIV, 9, kConfig1L, 0x01},   // CPUDIV in bits 4..3 stays clear
      {"PIC18F8527", PIC18COMMON1, 7, kConfig3L, 0x30},  // ADDRBW between PM and DATABW
  };
  for (const OutOfRange& c : cases) {
    OptionSelections options{};
    options[c.option] = c.selection;
    const Pic18ConfigCells cells = EncodePic18ConfigurationCells(c.device, options);
    for (int i = 0; i < kPic18ConfigBytes; ++i) {
      EXPECT_EQ(cells[i], i == c.byte ? c.expected : 0)
          << c.device << " " << kOptionNames[c.option] << " byte " << i;
    }
  }
}

TEST(Pic18Configuration, BlankCellLeavesTheOptionsItHoldsUnchanged) {
  Pic18ConfigCells cells;
  cells.fill(0xFF);
  cells[kConfig2H] = kBlankCell;  // a HEX file without this byte
  OptionSelections options;
  std::ranges::fill(options, kUntouched);
  DecodePic18ConfigurationCells("PIC18F4550", cells, options);
  EXPECT_EQ(options[PIC18WDTEN], kUntouched);
  EXPECT_EQ(options[PIC18WDTPS], kUntouched);
  EXPECT_EQ(options[PIC18PWRTEN], 1);
  EXPECT_EQ(options[PIC18FOSC], 15);
}

// A one-bit option shown as a check box is active-low exactly when the maker's ON setting
// clears its bit, so that a ticked box can always mean "on".
TEST(Pic18Configuration, ActiveLowOptionsAreThoseWhoseOnSettingClearsTheBit) {
  if (!GpasmAvailable()) GTEST_SKIP() << "gpasm (gputils) is not installed";
  // The options the pages show as lists, with the maker's texts for every value.
  const std::set<OptionId> lists{PIC18FOSC,    PIC18BORV,    PIC18BOREN,  PIC18WDTPS,
                                 PIC18CCP2MX,  PIC18CPUDIV,  PIC18PLLDIV, PIC18BBSIZE,
                                 PIC18COMMON1, PIC18COMMON2, PIC18COMMON3};
  std::set<OptionId> checked;
  for (const MakerGroup& group : kMakerGroups) {
    for (const std::string& device : group.devices) {
      const Case c = MakeCase(group, device, 0);
      for (const Probe& probe : c.probes) {
        if (lists.contains(probe.option)) continue;
        for (const Choice& choice : probe.choices) {
          if (std::string_view(choice.token) != "ON") continue;
          EXPECT_EQ(Pic18OptionActiveLow(probe.option), choice.value == 0)
              << device << " " << probe.setting;
          checked.insert(probe.option);
        }
      }
    }
  }
  for (OptionId option : {PIC18PWRTEN, PIC18BKBUG, PIC18OSCEN, PIC18WINEN, PIC18WAIT, PIC18CP0,
                          PIC18CPB, PIC18EBTR7, PIC18WDTEN, PIC18LVP, PIC18MCLRE}) {
    EXPECT_TRUE(checked.contains(option)) << kOptionNames[option];
  }
}

// Every bit a part implements (its catalogue mask) is offered or held at its default: none is
// written as 0 behind the user's back.
TEST(Pic18Configuration, EveryImplementedBitIsOfferedOrHeld) {
  const std::set<std::string_view> kBit3Kept{"PIC18F2221", "PIC18F2321", "PIC18F4221",
                                             "PIC18F4321"};
  OptionSelections allSet;
  std::ranges::fill(allSet, -1);
  for (int row = 1; row <= kPic18DeviceRows; ++row) {
    const Pic18Device& device = kPic18Devices[row];
    const Pic18ConfigCells written = EncodePic18ConfigurationCells(device.name, allSet);
    for (int i = 0; i < kPic18ConfigBytes; ++i) {
      uint8_t implemented = device.configMasks[i];
      // CONFIG4L bit 3 of the PIC18F2221 group is in the catalogue but not in the maker's data
      // the options follow.
      if (i == kConfig4L && kBit3Kept.contains(device.name)) implemented &= ~0x08;
      EXPECT_EQ(implemented & ~written[i], 0)
          << device.name << " byte " << i << " implemented 0x" << std::hex << int(implemented)
          << " written 0x" << written[i];
    }
  }
}

}  // namespace
}  // namespace velmora
