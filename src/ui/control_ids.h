#pragma once
// Control identifiers shared by every page: one identifier means one function wherever it
// appears, so a handler written once in CBaseView serves every page that carries the control.
// Each control also carries the object name "ctl<id>" (see ControlObjectName), by which tests
// and the screenshot tool find it.
#include <QString>

namespace velmora::ctl {

// The Enter and Escape keys of a page.
constexpr int kEnterKey = 1;
constexpr int kEscapeKey = 2;

// Framework commands of the main window.
constexpr int kFileNew = 57600;
constexpr int kFileOpen = 57601;
constexpr int kFileSave = 57603;
constexpr int kFileSaveAs = 57604;
constexpr int kFilePrintSetup = 57606;
constexpr int kFilePrint = 57607;
constexpr int kFilePrintPreview = 57609;

// Navigation and quick-action icon buttons.
constexpr int kWhiteText = 1002;  // the one static text drawn white (device remark)
constexpr int kHome = 1015;
constexpr int kSavePreset = 1018;
constexpr int kBasicTest = 1071;
constexpr int kBasicTestFromCompact = 1074;
constexpr int kCompactPage = 1132;
constexpr int kExtendedSettings = 1337;

// Start page family buttons. "PIC 18" doubles as "Basic Settings" on the extended PIC18 page:
// both lead to the PIC18 page.
constexpr int kFamilyZeq = 1142;
constexpr int kFamilyPic18 = 1144;
constexpr int kFamilyPic12 = 1145;
constexpr int kFamilyPic10 = 1147;
constexpr int kFamilyTiny12 = 1148;
constexpr int kFamilyMega = 1149;
constexpr int kFamilyDsPic30 = 1338;

// Log, status and files.
constexpr int kLogList = 1072;
constexpr int kHexFileEdit = 1077;
constexpr int kHexFileBrowse = 1078;
constexpr int kEepromFileBrowse = 1080;
constexpr int kStatusBar = 1081;
constexpr int kTraceFileEdit = 1380;
constexpr int kTraceFileBrowse = 1381;
constexpr int kClearLog = 1415;
constexpr int kPowerSwitching = 1194;

// Operations.
constexpr int kIdentify = 1113;
constexpr int kVerify = 1114;
constexpr int kUpdateProgramMemory = 1115;
constexpr int kProgram = 1118;
constexpr int kRead = 1120;
constexpr int kEraseChipNow = 1121;
constexpr int kEraseEeprom = 1122;
constexpr int kEraseIdLocation = 1123;
constexpr int kReadConfiguration = 1125;
constexpr int kTest = 1135;
constexpr int kDataMonitor = 1139;
constexpr int kReadRamAfterReset = 1140;
constexpr int kReadEepromAfterReset = 1141;
constexpr int kMeasureFrequency = 1414;  // "Meas. Freq." on the pages that carry it

// Programming flags.
constexpr int kNoVerify = 1124;
constexpr int kEnableLvp = 1126;
constexpr int kEraseChip = 1127;
constexpr int kFlashMemory = 1128;
constexpr int kEeprom = 1129;
constexpr int kIdLocation = 1130;
constexpr int kConfiguration = 1131;
constexpr int kFastVerify = 1116;
constexpr int kIgnoreHexConfiguration = 1117;
constexpr int kUpdateProgrammer = 1146;
constexpr int kLowVoltageErase = 1367;

// Tracing.
constexpr int kTrace = 1376;
constexpr int kSuppressTrace = 1377;
constexpr int kEnablePullups = 1378;

// PIC18 configuration options occupy 1200..1299 (table in pic18_options.cpp); the label in
// front of an option list carries the list's identifier + kComboLabelOffset.
constexpr int kFirstPic18Option = 1200;
constexpr int kComboLabelOffset = 300;

inline QString ControlObjectName(int id) {
  return QStringLiteral("ctl%1").arg(id);
}

}  // namespace velmora::ctl
