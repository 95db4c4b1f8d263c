// AVR fuse and lock encoding: the documented ATmega8 cases, decode(encode(x)) == x for every
// device, and the encoder's bytes against what avr-gcc makes of avr-libc's FUSE_* macros.
#include "families/avr/config_avr.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "memory/catalogue.h"
#include "support/scratch_directory.h"

namespace velmora {
namespace {

std::vector<int32_t> Selections(int32_t value) {
  return std::vector<int32_t>(kOptionCount, value);
}

TEST(AvrFuseEncoding, ATmega8AllChecksSetAndFieldsZero) {
  std::vector<int32_t> s = Selections(1);
  for (int option : {MEGACKSEL, MEGASUT, MEGABODLEVEL, MEGABOOTSZ}) s[option] = 0;
  EXPECT_EQ(EncodeAvrFuses("ATmega8", s), (AvrFuseBytes{0x00, 0x80, 0xFF, 0xC0}));
}

TEST(AvrFuseEncoding, ATmega8NoChecksAndSomeFields) {
  std::vector<int32_t> s = Selections(0);
  s[MEGACKSEL] = 1;
  s[MEGASUT] = 2;
  s[MEGABODLEVEL] = 0;
  s[MEGABOOTSZ] = 3;
  EXPECT_EQ(EncodeAvrFuses("ATmega8", s), (AvrFuseBytes{0x61, 0xDF, 0xFF, 0xFF}));
}

TEST(AvrFuseEncoding, UnknownDeviceEncodesToZeros) {
  EXPECT_EQ(EncodeAvrFuses("Unknown Device", Selections(0)), (AvrFuseBytes{0, 0, 0, 0}));
}

TEST(AvrFuseEncoding, ATtiny13And26HaveTwoFuseBytesAndSpienStaysProgrammed) {
  for (const char* name : {"ATtiny13(V)", "ATtiny26(L)"}) {
    ASSERT_NE(AvrFuseLayoutOf(name), nullptr) << name;
    EXPECT_EQ(AvrFuseLayoutOf(name)->fuseBytes, 2) << name;
    const AvrFuseBytes bytes = EncodeAvrFuses(name, Selections(0));
    EXPECT_EQ(bytes[2], 0xFF) << name;
    const AvrFuseBit* spien = AvrFuseLayoutOf(name)->Find("SPIEN");
    ASSERT_NE(spien, nullptr);
    EXPECT_EQ((bytes[spien->byte] >> spien->bit) & 1, 0) << name;
  }
  // A bit no option offers stays unprogrammed: RSTDISBL of the ATtiny13 (high fuse bit 0).
  EXPECT_EQ(EncodeAvrFuses("ATtiny13(V)", Selections(1))[1] & 0x01, 0x01);
}

TEST(AvrFuseEncoding, EveryCatalogueDeviceHasALayoutAndABranch) {
  for (int row = 1; row <= kAvrDeviceRows; ++row) {
    const char* name = kAvrDevices[row].name;
    ASSERT_NE(AvrFuseLayoutOf(name), nullptr) << name;
    EXPECT_FALSE(AvrDeviceOptions(name).empty()) << name;
    // Two fuse bytes in avr-libc exactly where the catalogue has no extended fuse.
    EXPECT_EQ(AvrFuseLayoutOf(name)->fuseBytes == 3, AvrHasExtendedFuse(kAvrDevices[row])) << name;
    for (int option : AvrDeviceOptions(name)) {
      EXPECT_FALSE(AvrOptionBits(name, option).empty()) << name << " " << kOptionNames[option];
    }
  }
}

// Random selections within each option's range, for every device.
std::vector<int32_t> RandomSelections(std::string_view device, std::mt19937& random) {
  std::vector<int32_t> s = Selections(0);
  for (int option : AvrDeviceOptions(device)) {
    const size_t bits = AvrOptionBits(device, option).size();
    const int32_t limit = IsAvrFieldOption(option) ? (1 << bits) - 1 : 1;
    s[option] = std::uniform_int_distribution<int32_t>(0, limit)(random);
  }
  return s;
}

TEST(AvrFuseEncoding, DecodeOfEncodeGivesTheSelectionsBack) {
  std::mt19937 random(12);
  for (const AvrFuseLayout& layout : AvrFuseLayouts()) {
    for (int round = 0; round < 20; ++round) {
      const std::vector<int32_t> s = RandomSelections(layout.device, random);
      std::vector<int32_t> back = Selections(7);
      DecodeAvrFuses(layout.device, EncodeAvrFuses(layout.device, s), back);
      for (int option : AvrDeviceOptions(layout.device)) {
        EXPECT_EQ(back[option], s[option]) << layout.device << " " << kOptionNames[option];
      }
    }
  }
}

// The FUSE_* macros of the bits an encoding programs, ANDed as avr-libc's documentation does.
std::string FuseExpression(const AvrFuseLayout& layout, const AvrFuseBytes& bytes, int byte) {
  std::string expression = "0xFF";
  for (const AvrFuseBit& bit : layout.bits) {
    if (bit.byte == byte && ((bytes[byte] >> bit.bit) & 1) == 0) {
      expression += byte == 3 ? std::string(" & ~(1 << ") + std::to_string(bit.bit) + ")"
                              : std::string(" & FUSE_") + bit.name;
    }
  }
  return "(unsigned char)(" + expression + ")";
}

TEST(AvrFuseEncoding, BytesEqualWhatAvrGccMakesOfTheFuseMacros) {
  const std::filesystem::path dir = testing::ScratchDirectory("velmora-avr-fuses-");
  std::mt19937 random(7);
  for (const AvrFuseLayout& layout : AvrFuseLayouts()) {
    std::vector<AvrFuseBytes> settings;
    std::ostringstream source;
    source << "#include <avr/io.h>\n"
           << "const unsigned char settings[] __attribute__((used, section(\".settings\"))) = {\n";
    for (int round = 0; round < 3; ++round) {
      const AvrFuseBytes bytes =
          EncodeAvrFuses(layout.device, RandomSelections(layout.device, random));
      settings.push_back(bytes);
      for (int byte = 0; byte < 4; ++byte) source << FuseExpression(layout, bytes, byte) << ",\n";
    }
    source << "};\n";
    const std::filesystem::path c = dir / "fuses.c", o = dir / "fuses.o", bin = dir / "fuses.bin";
    std::ofstream(c) << source.str();
    const std::string compile = std::string(VELMORA_AVR_GCC) + " -mmcu=" + layout.mmcu + " -c " +
                                c.string() + " -o " + o.string() + " && avr-objcopy -O binary -j " +
                                ".settings " + o.string() + " " + bin.string();
    ASSERT_EQ(std::system(compile.c_str()), 0) << layout.device;
    std::ifstream in(bin, std::ios::binary);
    const std::vector<uint8_t> compiled((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(compiled.size(), 4 * settings.size()) << layout.device;
    for (size_t i = 0; i < settings.size(); ++i) {
      for (int byte = 0; byte < 4; ++byte) {
        // Compared under the bits the device implements; the rest the encoder holds at 1.
        const uint8_t mask = layout.ImplementedMask(byte);
        EXPECT_EQ(compiled[4 * i + byte] & mask, settings[i][byte] & mask)
            << layout.device << " setting " << i << " byte " << byte;
        EXPECT_EQ(settings[i][byte] | mask, 0xFF) << layout.device << " byte " << byte;
      }
    }
  }
  std::filesystem::remove_all(dir);
}

TEST(AvrFuseEncoding, TheGeneratedTablesMatchAvrLibc) {
  const std::string command =
      std::string("python3 ") + VELMORA_SOURCE_DIR + "/scripts/gen_avr_parts.py check";
  EXPECT_EQ(std::system(command.c_str()), 0);
}

TEST(AvrFuseSafety, DangerousSettingsAreNamedAndSafeOnesAreNot) {
  const AvrFuseBytes factory{0x62, 0xDF, 0xFF, 0xFF};  // ATmega48: RC 8 MHz / 8
  EXPECT_TRUE(AvrFuseDangers("ATmega48", factory, {0xE2, 0xDF, 0xFF, 0xFF}).empty());
  struct Case {
    AvrFuseBytes next;
    const char* what;
  };
  for (const Case& c : {Case{{0x62, 0xFF, 0xFF, 0xFF}, "SPIEN unprogrammed"},
                        Case{{0x62, 0x5F, 0xFF, 0xFF}, "RSTDISBL programmed"},
                        Case{{0x62, 0x9F, 0xFF, 0xFF}, "DWEN programmed"},
                        Case{{0x6F, 0xDF, 0xFF, 0xFF}, "clock source"},
                        Case{{0x60, 0xDF, 0xFF, 0xFF}, "clock source"},
                        Case{{0x62, 0xDF, 0xFF, 0xFC}, "lock bits"}}) {
    const std::vector<AvrFuseDanger> dangers = AvrFuseDangers("ATmega48", factory, c.next);
    ASSERT_EQ(dangers.size(), 1u) << c.what;
    EXPECT_EQ(dangers[0].what, c.what);
  }
  // A chip that runs from a crystal may keep one.
  EXPECT_TRUE(
      AvrFuseDangers("ATmega48", {0xFF, 0xDF, 0xFF, 0xFF}, {0xF7, 0xDF, 0xFF, 0xFF}).empty());
}

}  // namespace
}  // namespace velmora
