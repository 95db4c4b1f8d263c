#pragma once
// Fixed names of the programmer hardware and its driver.

namespace velmora {

// USB product description under which the programmer's FT232 enumerates (32 characters, set
// in the FT232's configuration EEPROM); the link opens the FT232 by this string.
inline constexpr char kProgrammerDescription[] = "Velmora USB-Programmer Interface";
static_assert(sizeof kProgrammerDescription - 1 == 32);

// Where users get the FT232 driver; named in the installation message.
inline constexpr char kDriverVendorWebsite[] = "www.ftdichip.com";

}  // namespace velmora
