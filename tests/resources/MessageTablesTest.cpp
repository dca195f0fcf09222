#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/ResultCode.h"
#include "resources/MessageTable.h"

namespace tola {
namespace {

const std::pair<ResultCode, const char*> kProgramTexts[] = {
    {0xA2000047, "The computed checksum reconciliation word is zero\r\n"},
    {0xA200004A, "No response to firmware packet\r\n"},
    {0xE200000B, "Unexpected hex character\r\n"},
    {0xE200000C, "Invalid EEPROM address\r\n"},
    {0xE200000D, "No response to firmware revision query\r\n"},
    {0xE200000F, "Serial port name is missing\r\n"},
    {0xE2000020, "intel hex line does not begin with the expected colon\r\n"},
    {0xE2000021, "Unrecognized intel hex record type\r\n"},
    {0xE2000022, "intel hex line checksum error\r\n"},
    {0xE2000023, "Missing intel hex end-of-file record\r\n"},
    {0xE2000030, "Incomplete configuration file\r\n"},
    {0xE2000031, "Corrupt configuration file\r\n"},
    {0xE2000032, "TOLA400 serial number does not match the serial number in the configuration file\r\n"},
    {0xE2000040, "Unexpected intel hex data record length\r\n"},
    {0xE2000041, "Input hex file is corrupt, check sum is not zero\r\n"},
    {0xE2000042, "Bootstrap Loader does not echo Dots\r\n"},
    {0xE2000043, "Bootstrap Loader did not echo a D\r\n"},
    {0xE2000044, "Retry limit has been exhausted\r\n"},
    {0xE2000045, "No response after reset\r\n"},
    {0xE2000046, "Revision number verification failed\r\n"},
    {0xE2000048, "No response to poll while synchronizing to buffer boundary\r\n"},
    {0xE2000049, "No response to semicolon poll\r\n"},
    {0xE200004B, "No response to firmware packet\r\n"},
    {0xE200004E, "Unexpected device (e.g. Q8 vs QZ8)\r\n"},
    {0xE20004B0, "No response to Antenna query (^AN)\r\n"},
    {0xE20004B1, "No response to Attenuator query (^AT)\r\n"},
    {0xE20004B2, "No response to Band Number query (^BN)\r\n"},
    {0xE20004B3, "No response to Bypass query (^BY)\r\n"},
    {0xE20004B4, "No response to Capacitor query (^CR)\r\n"},
    {0xE20004B5, "No response to Drain Current query (^PC)\r\n"},
    {0xE20004B6, "No response to Read EEPROM\r\n"},
    {0xE20004B7, "No response to Write EEPROM\r\n"},
    {0xE20004B8, "No response to Frequency query (^F)\r\n"},
    {0xE20004B9, "No response to Fault query (^FL)\r\n"},
    {0xE20004BA, "No response to Inductor query (^LR)\r\n"},
    {0xE20004BB, "No response to Mode query (^MD)\r\n"},
    {0xE20004BC, "No response to Operate query (^OP)\r\n"},
    {0xE20004BD, "No response to Power Dissipated query (^PD)\r\n"},
    {0xE20004BE, "No response to Forward Power query (^PF)\r\n"},
    {0xE20004BF, "No response to Input Power query (^PI)\r\n"},
    {0xE20004C0, "No response to Reflected Power query (^PV)\r\n"},
    {0xE20004C1, "No response to Side query (^SI)\r\n"},
    {0xE20004C2, "No response to Serial Number query (^SN)\r\n"},
    {0xE20004C3, "No response to Supply Voltage query (^SV)\r\n"},
    {0xE20004C4, "No response to SWR query (^SW)\r\n"},
    {0xE20004C5, "No response to Temperature query (^TM)\r\n"},
    {0xE20004C6, "No response to Tune Status query (^TS)\r\n"},
    {0xE20004C7, "No response to Tuner Installed query (^TU)\r\n"},
    {0xE20004C8, "No response to Antenna Enable query (^AE)\r\n"},
};

// Added by the Linux build; their wording is their own, only their presence matters here.
constexpr ResultCode kLinuxOnlyProgramCodes[] = {kSerialPermissionDenied, kNotRegularFile};

using CodeRange = std::pair<ResultCode, ResultCode>;

template <typename Lookup>
std::map<ResultCode, std::string> Collect(Lookup lookup, std::initializer_list<CodeRange> ranges) {
  std::map<ResultCode, std::string> found;
  for (const auto& [first, last] : ranges) {
    for (std::uint64_t c = first; c <= last; ++c) {
      const ResultCode code = static_cast<ResultCode>(c);
      if (const char* text = lookup(code)) found.emplace(code, text);
    }
  }
  return found;
}

std::map<ResultCode, std::string> AllSystemTexts() {
  return Collect(SystemMessage,
                 {{0, 0xFFFF}, {0x80004000, 0x80004FFF}, {0x80070000, 0x8007FFFF}});
}

// Stored form: text, then exactly one "\r\n"; nothing else below a blank; no blank at either end.
void ExpectStoredForm(ResultCode code, const std::string& text) {
  SCOPED_TRACE(testing::Message() << "code 0x" << std::hex << code);
  ASSERT_GT(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  const std::string body = text.substr(0, text.size() - 2);
  for (char ch : body) {
    const auto byte = static_cast<unsigned char>(ch);
    EXPECT_FALSE(byte < 0x20 || byte == 0x7F) << "control character " << int{byte};
  }
  EXPECT_NE(body.front(), ' ');
  EXPECT_NE(body.back(), ' ');
}

TEST(ProgramMessageTest, EveryCodeHasItsExactText) {
  for (const auto& [code, text] : kProgramTexts) EXPECT_STREQ(ProgramMessage(code), text) << std::hex << code;
  for (const ResultCode code : kLinuxOnlyProgramCodes) EXPECT_NE(ProgramMessage(code), nullptr) << std::hex << code;
}

TEST(SystemMessageTest, CodesThePlatformProducesHaveTextsAndOnlyWrappedNumbersShareOne) {
  for (ResultCode code : {kErrorSuccess, kErrorInvalidFunction, kErrorFileNotFound, kErrorPathNotFound, kErrorTooManyOpenFiles,
                          kErrorAccessDenied, kErrorInvalidHandle, kErrorNotEnoughMemory, kErrorWriteProtect, kErrorNotReady,
                          kErrorGenFailure, kErrorSharingViolation, kErrorLockViolation, kErrorHandleEof, kErrorNotSupported,
                          kErrorFileExists, kErrorInvalidParameter, kErrorBrokenPipe, kErrorDiskFull, kErrorInsufficientBuffer,
                          kErrorInvalidName, kErrorDirNotEmpty, kErrorBusy, kErrorAlreadyExists, kErrorFilenameExcedRange,
                          kErrorFileTooLarge, kErrorMoreData, kErrorNoMoreItems, kErrorDirectory, kErrorOperationAborted,
                          kErrorIoIncomplete, kErrorIoPending, kErrorNoAccess, kErrorDeviceNotConnected, kErrorCancelled,
                          kErrorTimeout, kEInvalidArg, 14u, 24u, 1784u}) {
    EXPECT_NE(SystemMessage(code), nullptr) << code;
  }
  EXPECT_STREQ(SystemMessage(kErrorSuccess), "The operation completed successfully.\r\n");

  std::map<std::string, std::vector<ResultCode>> byText;
  for (const auto& [code, text] : AllSystemTexts()) {
    byText[text].push_back(code);
    EXPECT_FALSE(IsProgramCode(code)) << code;
    EXPECT_FALSE(IsInternetCode(code)) << code;
  }
  for (const auto& [text, codes] : byText) {
    if (codes.size() == 1) continue;
    ASSERT_EQ(codes.size(), 2u) << text;
    EXPECT_EQ(codes[1], 0x80070000u | codes[0]) << text;
  }
  EXPECT_STREQ(SystemMessage(kEInvalidArg), SystemMessage(kErrorInvalidParameter));
  for (ResultCode code : {7u, 9u, 10000u, 0xFFFFu, 0x10000u, 0x80070058u, 0xFFFFFFFFu, kInternetExtendedError}) {
    EXPECT_EQ(SystemMessage(code), nullptr) << std::hex << code;
  }
  for (const auto& [code, text] : kProgramTexts) EXPECT_EQ(SystemMessage(code), nullptr);
}

TEST(MessageTablesTest, EveryStoredTextIsOneLineEndingInOneLineBreak) {
  const auto programTexts =
      Collect(ProgramMessage, {{0xA2000000, 0xA2000FFF}, {0xE2000000, 0xE2000FFF}});
  EXPECT_EQ(programTexts.size(), std::size(kProgramTexts) + std::size(kLinuxOnlyProgramCodes));
  for (const auto& [code, text] : programTexts) ExpectStoredForm(code, text);
  for (const auto& table : {AllSystemTexts(), Collect(InternetMessage, {{11000, 13000}})}) {
    for (const auto& [code, text] : table) {
      ExpectStoredForm(code, text);
      EXPECT_EQ(text[text.size() - 3], '.') << code;
    }
  }
}

}  // namespace
}  // namespace tola
