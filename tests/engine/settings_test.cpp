// Settings: first-start defaults, the stored value names and order, the load rules, and the
// round trip through both stores.
#include <gtest/gtest.h>

#include <QStandardPaths>
#include <QString>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/document_settings.h"
#include "engine/settings_store.h"
#include "engine/settings_store_qt.h"
#include "support/scratch_directory.h"

namespace velmora {
namespace {

DocumentSettings ChangedSettings() {
  DocumentSettings s;
  s.ignoreConfigFromFile = 1;
  s.lowVoltageProgramming = 1;
  s.enableChipErase = 0;
  s.enableFlashUpdate = 0;
  s.enableEepromUpdate = 0;
  s.enableIdLocationUpdate = 0;
  s.enableConfigurationUpdate = 0;
  s.powerSwitching = 7;
  s.atmegaCopyCalibrationByte = 2;
  s.atmegaSpeed = 1;
  s.pic10TypeSelection = 3;
  s.pic18Configuration = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06,
                          0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0xC0};
  for (int i = 0; i < kOptionCount; ++i) s.optionSelections[i] = i % 7;
  s.suppressTrace = 1;
  s.tracePullUp = 0;
  s.traceDefinitionFile = "/home/u/board.tdf";
  s.hexFileName = "/home/u/blink \xC3\xA4.hex";  // UTF-8 survives
  s.dspic30FlashFileName = "/home/u/motor.hex";
  s.zeqAlgorithmFiles = {"a1.zeq", "a2.zeq", "a3.zeq"};
  s.zeqFiles = {"f1.zeq", "f2.zeq", "f3.zeq", "f4.zeq"};
  s.zeqRunFunctionName = "Program";
  for (int i = 0; i < kZeqOptionCount; ++i) s.zeqOptions[i] = i;
  s.atmegaDefaultSignature = "1E9602";
  return s;
}

TEST(DocumentSettings, FirstStartWithoutKeyKeepsEveryDefault) {
  MemorySettingsStore store;
  DocumentSettings s;
  LoadSettings(store, s);
  EXPECT_EQ(s, DocumentSettings{});
  EXPECT_EQ(s.atmegaSpeed, 3);
  EXPECT_EQ(s.pic18Configuration,
            (std::array<uint8_t, 14>{0xFF, 0xF9, 0xFD, 0xFE, 0xFF, 0xFF, 0xFB, 0xFF, 0xFF, 0xFF,
                                     0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(s.enableChipErase, 1);
  EXPECT_EQ(s.enableFlashUpdate, 1);
  EXPECT_EQ(s.enableConfigurationUpdate, 1);
  EXPECT_EQ(s.powerSwitching, 0);
  EXPECT_EQ(s.tracePullUp, 1);
  EXPECT_EQ(s.optionSelections[PIC18LOWVOLTAGEERASE], 1);
  EXPECT_EQ(s.zeqOptions[kZeqAutoProgram], 1);
  EXPECT_FALSE(store.KeyExists()) << "loading must not create the key";
}

TEST(DocumentSettings, SaveWritesTheValueNamesTypesAndOrder) {
  MemorySettingsStore store;
  SaveSettings(store, ChangedSettings());
  const auto& order = store.WriteOrder();
  ASSERT_EQ(order.size(), 2u + 11u + 112u + 5u + 7u + 12u + 3u);
  EXPECT_EQ(order[0], "ATMegaDefSignature");
  EXPECT_EQ(order[1], "PIC18 Configuration");
  const std::vector<std::string> dwords = {"Ignore Configuration form File",
                                           "Enable Low Voltage Programming",
                                           "Enable Chip Erase",
                                           "Enable Flash Update",
                                           "Enable EEPROM Update",
                                           "Enable IDLocation Update",
                                           "Enable Configuration Update",
                                           "Enable Power Switching",
                                           "ATMEGACOPYCALIBATIONBYTE",
                                           "ATMEGASPEED",
                                           "PIC10 Type Selection"};
  for (size_t i = 0; i < dwords.size(); ++i) EXPECT_EQ(order[2 + i], dwords[i]);
  EXPECT_EQ(order[13], "MEGALB1");
  EXPECT_EQ(order[13 + PIC18LOWVOLTAGEERASE], "PIC18LOWVOLTAGEERASE");
  EXPECT_EQ(order[124], "DSPIC30NOVERIFY");
  const std::vector<std::string> tail = {"DSPIC30FLASHFILENAME",
                                         "TRACE",
                                         "SUPPRESSTRACE",
                                         "TRACEPULLUP",
                                         "TRACEDEFINITIONFILE",
                                         "ZEQALGORITHMFILE1",
                                         "ZEQALGORITHMFILE2",
                                         "ZEQALGORITHMFILE3",
                                         "ZEQFILE1",
                                         "ZEQFILE2",
                                         "ZEQFILE3",
                                         "ZEQFILE4",
                                         "ZEQFUNCTIONSELECTION",
                                         "ZEQERASEALWAYS",
                                         "ZEQPROGRAMMEMORY",
                                         "ZEQPROGRAMEEPROM",
                                         "ZEQPROGRAMIDLOCATION",
                                         "ZEQPROGRAMCONFIGURATION",
                                         "ZEQFASTVERIFY",
                                         "ZEQNOVERIFY",
                                         "ZEQIGNORECONFIGFROMHEX",
                                         "ZEQLVP",
                                         "ZEQCHIPSELECTION",
                                         "ZEQLAUTOPROGRAM",
                                         "Filename",
                                         "DSPIC30FLASHFILENAME",
                                         "ZEQRunFunctionName"};
  for (size_t i = 0; i < tail.size(); ++i) EXPECT_EQ(order[125 + i], tail[i]) << i;

  const auto& values = store.Values();
  EXPECT_EQ(std::get<std::vector<uint8_t>>(values.at("PIC18 Configuration")).size(), 14u);
  EXPECT_EQ(std::get<uint32_t>(values.at("Enable Power Switching")), 7u);
  EXPECT_EQ(std::get<std::string>(values.at("Filename")), "/home/u/blink \xC3\xA4.hex");
  EXPECT_EQ(std::get<uint32_t>(values.at("ZEQLAUTOPROGRAM")), 11u);
}

TEST(DocumentSettings, AtmegaSpeedRestoresOnlyTheSlowSettings) {
  struct Case {
    std::optional<uint32_t> stored;
    int32_t expected;
  };
  for (const Case c : {Case{0, 0}, Case{3, 3}, Case{4, 3}, Case{5, 3}, Case{0xFFFFFFFF, 3},
                       Case{std::nullopt, 0}}) {
    MemorySettingsStore store;
    store.CreateKey();
    if (c.stored) store.WriteDword("ATMEGASPEED", *c.stored);
    DocumentSettings s;
    LoadSettings(store, s);
    EXPECT_EQ(s.atmegaSpeed, c.expected) << (c.stored ? std::to_string(*c.stored) : "missing");
  }
}

TEST(DocumentSettings, StoredTraceStillStartsWithTracingOff) {
  MemorySettingsStore store;
  store.WriteDword("TRACE", 1);
  store.WriteDword("SUPPRESSTRACE", 1);
  DocumentSettings s;
  LoadSettings(store, s);
  EXPECT_EQ(s.trace, 0);
  EXPECT_EQ(s.suppressTrace, 1);
}

TEST(DocumentSettings, OversizedValuesKeepTheDefault) {
  MemorySettingsStore store;
  store.WriteString("Filename", std::string(1024, 'x'));
  store.WriteString("ZEQFILE2", std::string(1023, 'y'));
  store.WriteBinary("PIC18 Configuration", std::vector<uint8_t>(15, 0x00));
  DocumentSettings s;
  LoadSettings(store, s);
  EXPECT_EQ(s.hexFileName, "");
  EXPECT_EQ(s.zeqFiles[1], std::string(1023, 'y'));
  EXPECT_EQ(s.pic18Configuration, kDefaultPic18Configuration);
}

TEST(DocumentSettings, ValueOfAnotherTypeIsIgnored) {
  MemorySettingsStore store;
  store.WriteString("Enable Chip Erase", "0");
  store.WriteDword("Filename", 5);
  DocumentSettings s;
  LoadSettings(store, s);
  EXPECT_EQ(s.enableChipErase, 1);
  EXPECT_EQ(s.hexFileName, "");
}

TEST(DocumentSettings, RoundTripThroughMemoryStore) {
  MemorySettingsStore store;
  const DocumentSettings saved = ChangedSettings();
  SaveSettings(store, saved);
  DocumentSettings loaded;
  LoadSettings(store, loaded);
  EXPECT_EQ(loaded, saved);
}

class QtSettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = velmora::testing::ScratchDirectory("velmora-settings-") / "settings.conf";
  }
  void TearDown() override { std::filesystem::remove_all(path_.parent_path()); }
  std::filesystem::path path_;
};

TEST_F(QtSettingsStoreTest, RoundTripThroughAFileSurvivesANewStore) {
  const DocumentSettings saved = ChangedSettings();
  {
    QtSettingsStore store(path_.string());
    EXPECT_FALSE(store.KeyExists());
    SaveSettings(store, saved);
    store.Sync();
  }
  ASSERT_TRUE(std::filesystem::exists(path_));
  QtSettingsStore store(path_.string());
  EXPECT_TRUE(store.KeyExists());
  DocumentSettings loaded;
  LoadSettings(store, loaded);
  EXPECT_EQ(loaded, saved);
}

TEST_F(QtSettingsStoreTest, FirstStartWithoutFileKeepsDefaultsAndCreatesNothing) {
  QtSettingsStore store(path_.string());
  DocumentSettings s;
  LoadSettings(store, s);
  EXPECT_EQ(s, DocumentSettings{});
  store.Sync();
  EXPECT_FALSE(std::filesystem::exists(path_));
}

// The user's settings: on Windows the key HKEY_CURRENT_USER\Software\Velmora USB-Programmer
// itself, elsewhere one file named after it in the user's configuration directory.
TEST(QtUserSettingsStore, LivesUnderTheProgramsOwnKey) {
  EXPECT_EQ(QtSettingsStore::UserRegistryKey(),
            "HKEY_CURRENT_USER\\Software\\Velmora USB-Programmer");
  const QtSettingsStore store;
#ifdef Q_OS_WIN
  // The registry path, without a sub-key after it.
  const std::string location = store.Location();
  const std::string key = QtSettingsStore::UserRegistryKey();
  ASSERT_GE(location.size(), key.size());
  EXPECT_EQ(location.substr(location.size() - key.size()), key);
#else
  const QString directory = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  EXPECT_EQ(store.Location(), (directory + "/Velmora USB-Programmer.conf").toStdString());
#endif
}

TEST_F(QtSettingsStoreTest, KeepsValueNamesWithSpacesApart) {
  QtSettingsStore store(path_.string());
  store.WriteDword("Enable Chip Erase", 0);
  store.WriteDword("Enable Flash Update", 1);
  store.WriteBinary("PIC18 Configuration", kDefaultPic18Configuration);
  store.Sync();
  QtSettingsStore reread(path_.string());
  EXPECT_EQ(reread.ReadDword("Enable Chip Erase"), 0u);
  EXPECT_EQ(reread.ReadDword("Enable Flash Update"), 1u);
  const auto bytes = reread.ReadBinary("PIC18 Configuration");
  ASSERT_TRUE(bytes.has_value());
  EXPECT_TRUE(std::equal(bytes->begin(), bytes->end(), kDefaultPic18Configuration.begin(),
                         kDefaultPic18Configuration.end()));
  EXPECT_FALSE(reread.ReadDword("Enable EEPROM Update").has_value());
}

}  // namespace
}  // namespace velmora
