#pragma once
// The program's numbered texts. The numbers below 0x10000 are string numbers wherever a text may be
// given by number (log lines, message boxes).

#include <string>

namespace tola {

using StringId = unsigned;

enum : StringId {
  kIdsStatusWaitingForLoader = 139,   // "%s waiting for power button or firmware load. RS-232 speed %u bit/s."
  kIdsStatusRevision = 140,           // "%s revision %s. RS-232 speed %u bit/s"
  kIdsStatusNotResponding = 141,      // "%s is not responding"
  kIdsStatusCaption = 142,            // "TOLA400 Status"
  kIdsSerialPortClosed = 148,         // "Serial port %s is closed"
  kIdsRevisionUnknown = 149,          // "??.??"
  kIdsRevisionNotAvailable = 151,     // " N/A "
  kIdsUnexpectedDeviceCaption = 159,  // "Unexpected Device"
  kIdsUnexpectedDevice = 173,
  kIdsChangeSpeed = 174,              // "Change RS-232 speed to %u bit/s"
  kIdsComPortError = 178,             // "COM Port Error"
  kIdsChoosePort = 199,
  kIdsSelectPortCaption = 200,
  kIdsCallFailed = 204,               // "%s failed on \"%s\"\r\nError 0x%08X: %s"
  kIdsAttemptingContact = 235,        // "Attempting to contact %s on port %s at %u bit/s"
  kIdsTipRefreshPorts = 266,
  kIdsTipTestCommunications = 267,
  kIdsTipChoosePort = 268,
  kIdsRevisionLoading = 358,          // "Loading"
  kIdsTipClosePort = 372,
  kIdsSerialPortOpen = 375,           // "Serial Port %s is open"
  kIdsOpeningSerialPort = 377,        // "Opening Serial Port %s"
  kIdsPortInUse = 383,                // "Serial port \"%s\" is being used by another application"
  kIdsUnableToOpenPort = 384,         // "Unable to open serial port \"%s\". Error 0x%08X: %s"

  // Texts without a number of their own in the original numbering.
  kIdsAsyncCompletedWithError = 1001,  // "%s completed with error 0x%08X: %s"
  kIdsErrorCode = 1002,                // "Error code 0x%08X: %s"
  kIdsLineErrorCode = 1003,            // "Line %u, error code 0x%08X: %s"
  kIdsClearCommErrorFlags = 1004,      // "ClearCommError dwErrors 0x%04X"
  kIdsRestoreConfigurationError = 1005,
  kIdsSaveConfigurationError = 1006,
  kIdsFaultTableError = 1007,
  kIdsCreateFolderQuestion = 1008,     // "Folder \"%s\" does not exist. Do you want to create it now?"
  kIdsCreateFolderCaption = 1009,      // "Create folder"
  kIdsMacroCaption = 1010,             // "Macro %u"
  kIdsProgramVersionLine = 1011,       // "%s Revision %u.%u.%u.%u"
  kIdsOsVersionLine = 1012,            // "OS Version %u.%u Build %u "
  kIdsClickCloseToClose = 1013,        // "Click \"Close\" to close this window"
  kIdsTraceSend = 1014,                // "%s Send \"%s\""
  kIdsTraceSendBytes = 1015,           // "%s Send %u bytes 0x%s"
  kIdsTraceResponse = 1016,            // "%s Response \"%s\" %3u ms"
  kIdsTraceTimerElapsed = 1017,        // "%s Timer Elapsed %3u ms"
  kIdsTraceSpeedFromTo = 1018,         // "%s from %u to %u"
  kIdsTraceChangeSpeed = 1019,         // "%s::ChangeSpeed %u"
  kIdsProgramDescription = 1020,       // "Ostravel TOLA Utility"
  kIdsInternetLastResponse = 1021,     // "\r\nInternetGetLastResponseInfo returns 0x%08X %s"

  // The main window (1030-1069).
  kIdsReady = 1030,
  kIdsTola = 1031,                     // "TOLA", the name in the status texts
  kIdsTitleSerialNumber = 1032,        // " - S/N %05u"
  kIdsTitlePortOpen = 1033,            // " on %s at %u bit/s"
  kIdsTitlePortClosed = 1034,          // " on %s closed"
  kIdsStatusPortClosed = 1035,         // "Serial Port is closed"
  kIdsMenuFile = 1036,
  kIdsMenuExit = 1037,
  kIdsMenuView = 1038,
  kIdsMenuStatusBar = 1039,
  kIdsMenuTrace = 1040,
  kIdsMenuVerboseLogging = 1041,
  kIdsMenuHelp = 1042,
  kIdsMenuHelpContents = 1043,
  kIdsMenuReleaseNotes = 1044,
  kIdsMenuAbout = 1045,
  // What the status bar shows while a menu item is highlighted: the text before the first "\n".
  kIdsPromptExit = 1046,
  kIdsPromptStatusBar = 1047,
  kIdsPromptTrace = 1048,
  kIdsPromptVerboseLogging = 1049,
  kIdsPromptHelpContents = 1050,
  kIdsPromptReleaseNotes = 1051,
  kIdsPromptAbout = 1052,
  kIdsTabPort = 1053,
  kIdsTabFirmware = 1054,
  kIdsTabOperate = 1055,
  kIdsTabConfiguration = 1056,
  kIdsTabCommandTester = 1057,
  kIdsSettingsProblemCaption = 1058,   // "Settings"
  kIdsPortWentAway = 1059,             // "Serial port %s went away. ..."
  kIdsSheetName = 1060,                // what a screen reader calls the tab sheet

  // Help, the About box with the licence, and the release notes (1100-1139).
  kIdsHelpWindowTitle = 1100,          // "TOLA Utility Help"
  kIdsHelpErrorCaption = 1101,         // "Help Error"
  kIdsHelpContents = 1102,
  kIdsHelpBack = 1103,
  kIdsHelpForward = 1104,
  kIdsHelpTopicPane = 1105,            // the accessible name of the page pane
  kIdsAboutCaption = 1106,             // "About Ostravel TOLA Utility"
  kIdsAboutText = 1107,                // "%s\n\nRevision %u.%u.%u.%u\n\n%s"
  kIdsCopyright = 1108,
  kIdsClose = 1109,                    // "Close"
  kIdsViewLicence = 1110,              // "View License Agreement"
  kIdsLicenceCaption = 1111,           // "Ostravel TOLA Utility License Agreement"
  kIdsReleaseNotesCaption = 1112,      // "Firmware Release Notes"
  kIdsReleaseNotesErrorCaption = 1113, // "Release Notes Error"
  kIdsUnableToOpenNotes = 1114,        // "Unable to open Firmware Release Notes file \"%s\""
  kIdsNotesTooLarge = 1115,            // "The file is larger than %u MB."
  kIdsHelpBackTip = 1116,
  kIdsHelpForwardTip = 1117,
  kIdsHelpContentsTip = 1118,
  // The copy from the maker's file server (1140-1159).
  kIdsFtpNameIgnored = 1140,           // "Listed name \"%s\" is not a plain file name; ignored"
  // The Firmware page and its load dialogs (1120-1139).
  kIdsFolderLocationGroup = 1120,      // "Folder Location"
  kIdsFirmwareFolderLabel = 1121,      // "Local folder for firmware files:"
  kIdsDefaultFolder = 1122,            // "Default"
  kIdsBrowseFolder = 1123,             // "Browse..."
  kIdsCheckNewFilesGroup = 1124,       // "Check for New Files"
  kIdsCheckRevisionNow = 1125,         // "Check Revision Now"
  kIdsCopyNewFiles = 1126,             // "Copy New Files from Ostravel"
  kIdsFirmwareRevisionGroup = 1127,    // "Firmware Revision"
  kIdsInstalledIn = 1128,              // "Installed in TOLA400"
  kIdsAvailable = 1129,                // "Available"
  kIdsSendFirmware = 1130,             // "Send Firmware to TOLA400"
  kIdsActivityLogGroup = 1131,         // "Activity Log"
  kIdsTipDefaultFolder = 1132,
  kIdsTipBrowseFolder = 1133,
  kIdsTipCheckRevision = 1134,
  kIdsTipCopyNewFiles = 1135,
  kIdsTipSendFirmware = 1136,
  kIdsSelectFirmwareFolder = 1137,     // "Select folder containing %s firmware file"
  kIdsLoadProgressName = 1138,         // the load's progress bar, for screen readers
  // The Port page (1070-1079).
  kIdsPortListLabel = 1070,            // "Choose Serial Port connected to TOLA400:"
  kIdsRefreshPortList = 1071,          // "Refresh Port List"
  kIdsTestCommunications = 1072,       // "Test Communications"
  kIdsClosePort = 1073,                // "Close Port"
  // The Command Tester page and its Edit Macros dialog (1080-1099).
  kIdsCommandPrompt = 1080,
  kIdsEditMacros = 1081,
  kIdsClearOutput = 1082,
  kIdsTipClearOutput = 1083,
  kIdsCommandOutputName = 1084,        // the output pane's name for screen readers
  kIdsButtonLabelHeading = 1085,
  kIdsTextToSendHeading = 1086,
  kIdsSave = 1087,
  kIdsCancel = 1088,
  kIdsHelp = 1089,
  kIdsMacroFieldName = 1090,           // "%s %u": a column heading and the row number
  // The Operate page (1170-1199).
  kIdsAmplifierGroup = 1170,
  kIdsInputPowerLabel = 1171,
  kIdsDrainCurrentLabel = 1172,
  kIdsSupplyVoltageLabel = 1173,
  kIdsDissipatedPowerLabel = 1174,
  kIdsTemperatureLabel = 1175,
  kIdsForwardPowerLabel = 1176,
  kIdsReflectedPowerLabel = 1177,
  kIdsLastSwrLabel = 1178,
  kIdsFrequencyLabel = 1179,
  kIdsBandLabel = 1180,
  kIdsPaBypass = 1181,
  kIdsAttenuator = 1182,
  kIdsFaultGroup = 1183,
  kIdsClearFault = 1184,
  kIdsAntennaTunerGroup = 1185,
  kIdsModeGroup = 1186,
  kIdsModeAuto = 1187,
  kIdsModeManual = 1188,
  kIdsModeBypass = 1189,
  kIdsAntennaGroup = 1190,
  kIdsAtuBypassed = 1191,
  kIdsCapsOnTxSide = 1192,
  kIdsTune = 1193,
  kIdsXcvrPoll = 1194,
  kIdsCapacitanceGroup = 1195,
  kIdsInductanceGroup = 1196,
  kIdsTuneStatusName = 1197,
  kIdsRetriesName = 1198,
  // The file-server copy window (1160-1169).
  kIdsCopyLogName = 1160,              // the copy log's name for screen readers
  // The erase and reset dialogs and the "TOLA400 Configuration" sheet (1230-1259).
  kIdsOk = 1230,                       // "OK"
  kIdsApply = 1231,                    // "Apply"
  kIdsEraseAntenna1 = 1232,            // "Antenna 1"
  kIdsEraseAntenna2 = 1233,            // "Antenna 2"
  kIdsWhatsThis = 1234,                // "What's This?"
  // The Configuration page, its save and restore dialogs and the fault table (1200-1229).
  kIdsEditConfiguration = 1200,
  kIdsSaveConfiguration = 1201,
  kIdsRestoreConfiguration = 1202,
  kIdsDisplayFaultTable = 1203,
  kIdsEraseTunerMemories = 1204,
  kIdsResetConfiguration = 1205,
  kIdsTipSaveConfiguration = 1206,
  kIdsTipRestoreConfiguration = 1207,
  kIdsCopyRows = 1208,                 // the fault table's context-menu command
  kIdsFaultListName = 1209,            // the fault list's name for screen readers
};

// The text of a string number; empty when the table has no such number.
std::string LoadString(StringId id);

}  // namespace tola
