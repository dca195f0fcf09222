#include <map>

#include "resources/Strings.h"

namespace tola {

namespace {

const std::map<StringId, const char*>& Table() {
  static const std::map<StringId, const char*> table{
      {kIdsStatusWaitingForLoader, "%s waiting for power button or firmware load. RS-232 speed %u bit/s."},
      {kIdsStatusRevision, "%s revision %s. RS-232 speed %u bit/s"},
      {kIdsStatusNotResponding, "%s is not responding"},
      {kIdsStatusCaption, "TOLA400 Status"},
      {kIdsSerialPortClosed, "Serial port %s is closed"},
      {kIdsRevisionUnknown, "??.??"},
      {kIdsRevisionNotAvailable, " N/A "},
      {kIdsUnexpectedDeviceCaption, "Unexpected Device"},
      {kIdsUnexpectedDevice, "Connected device does not appear to be an Ostravel TOLA400"},
      {kIdsChangeSpeed, "Change RS-232 speed to %u bit/s"},
      {kIdsComPortError, "COM Port Error"},
      {kIdsChoosePort, "Please choose a serial port on the Port page"},
      {kIdsSelectPortCaption, "Select a Serial Port"},
      {kIdsCallFailed, "%s failed on \"%s\"\r\nError 0x%08X: %s"},
      {kIdsAttemptingContact, "Attempting to contact %s on port %s at %u bit/s"},
      {kIdsTipRefreshPorts, "Refresh available port list after plugging in a USB to Serial Adapter"},
      {kIdsTipTestCommunications, "Reopen port and determine RS-232 speed"},
      {kIdsTipChoosePort, "Choose port connected to the TOLA400"},
      {kIdsRevisionLoading, "Loading"},
      {kIdsTipClosePort, "Stop polling and close the serial port"},
      {kIdsSerialPortOpen, "Serial Port %s is open"},
      {kIdsOpeningSerialPort, "Opening Serial Port %s"},
      {kIdsPortInUse, "Serial port \"%s\" is being used by another application"},
      {kIdsUnableToOpenPort, "Unable to open serial port \"%s\". Error 0x%08X: %s"},
      {kIdsAsyncCompletedWithError, "%s completed with error 0x%08X: %s"},
      {kIdsErrorCode, "Error code 0x%08X: %s"},
      {kIdsLineErrorCode, "Line %u, error code 0x%08X: %s"},
      {kIdsClearCommErrorFlags, "ClearCommError dwErrors 0x%04X"},
      {kIdsRestoreConfigurationError, "Restore Configuration Error"},
      {kIdsSaveConfigurationError, "Save Configuration Error"},
      {kIdsFaultTableError, "Fault Table Error"},
      {kIdsCreateFolderQuestion, "Folder \"%s\" does not exist. Do you want to create it now?"},
      {kIdsCreateFolderCaption, "Create folder"},
      {kIdsMacroCaption, "Macro %u"},
      {kIdsProgramVersionLine, "%s Revision %u.%u.%u.%u"},
      {kIdsOsVersionLine, "OS Version %u.%u Build %u "},
      {kIdsClickCloseToClose, "Click \"Close\" to close this window"},
      {kIdsTraceSend, "%s Send \"%s\""},
      {kIdsTraceSendBytes, "%s Send %u bytes 0x%s"},
      {kIdsTraceResponse, "%s Response \"%s\" %3u ms"},
      {kIdsTraceTimerElapsed, "%s Timer Elapsed %3u ms"},
      {kIdsTraceSpeedFromTo, "%s from %u to %u"},
      {kIdsTraceChangeSpeed, "%s::ChangeSpeed %u"},
      {kIdsProgramDescription, "Ostravel TOLA Utility"},
      {kIdsInternetLastResponse, "\r\nInternetGetLastResponseInfo returns 0x%08X %s"},
      {kIdsReady, "Ready"},
      {kIdsTola, "TOLA"},
      {kIdsTitleSerialNumber, " - S/N %05u"},
      {kIdsTitlePortOpen, " on %s at %u bit/s"},
      {kIdsTitlePortClosed, " on %s closed"},
      {kIdsStatusPortClosed, "Serial Port is closed"},
      {kIdsMenuFile, "&File"},
      {kIdsMenuExit, "E&xit\tAlt F4"},
      {kIdsMenuView, "&View"},
      {kIdsMenuStatusBar, "&Status Bar"},
      {kIdsMenuTrace, "&Trace"},
      {kIdsMenuVerboseLogging, "&Verbose Logging"},
      {kIdsMenuHelp, "&Help"},
      {kIdsMenuHelpContents, "TOLAUtility &Help\tF1"},
      {kIdsMenuReleaseNotes, "TOLA Firmware &Release Notes"},
      {kIdsMenuAbout, "&About TOLA Utility"},
      {kIdsPromptExit, "Quit the application\nExit"},
      {kIdsPromptStatusBar, "Show or hide the status bar\nToggle Status Bar"},
      {kIdsPromptTrace, "Show every command, response and time-out in the firmware load's log\nTrace"},
      {kIdsPromptVerboseLogging, "Show the detailed progress lines as well\nVerbose Logging"},
      {kIdsPromptHelpContents, "Open the help at its table of contents\nHelp"},
      {kIdsPromptReleaseNotes, "Show the release notes kept in the firmware folder\nRelease Notes"},
      {kIdsPromptAbout, "Display program information, revision number and copyright\nAbout"},
      {kIdsTabPort, "Port"},
      {kIdsTabFirmware, "Firmware"},
      {kIdsTabOperate, "Operate"},
      {kIdsTabConfiguration, "Configuration"},
      {kIdsTabCommandTester, "Command Tester"},
      {kIdsSettingsProblemCaption, "Settings"},
      {kIdsCommandPrompt, "Enter TOLA400 command. Enter key or semicolon sends:"},
      {kIdsEditMacros, "Edit Macros"},
      {kIdsClearOutput, "Clear"},
      {kIdsTipClearOutput, "Erase output window"},
      {kIdsCommandOutputName, "Output window"},
      {kIdsButtonLabelHeading, "Button Label"},
      {kIdsTextToSendHeading, "Text to Send"},
      {kIdsSave, "Save"},
      {kIdsCancel, "Cancel"},
      {kIdsHelp, "Help"},
      {kIdsMacroFieldName, "%s %u"},
  };
  return table;
}

}  // namespace

std::string LoadString(StringId id) {
  const auto& table = Table();
  auto it = table.find(id);
  return it == table.end() ? std::string() : std::string(it->second);
}

}  // namespace tola
