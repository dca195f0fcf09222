#pragma once
// One 32-bit space for every result: 0 success, Win32 numbers for system errors, the program's own
// 0xE2xxxxxx / 0xA2xxxxxx codes, 12000-12174 for file-server errors.

#include <cstdint>

namespace tola {

using ResultCode = std::uint32_t;

// System codes the program produces.
inline constexpr ResultCode kErrorSuccess = 0;
inline constexpr ResultCode kErrorInvalidFunction = 1;
inline constexpr ResultCode kErrorFileNotFound = 2;
inline constexpr ResultCode kErrorPathNotFound = 3;
inline constexpr ResultCode kErrorTooManyOpenFiles = 4;
inline constexpr ResultCode kErrorAccessDenied = 5;
inline constexpr ResultCode kErrorInvalidHandle = 6;
inline constexpr ResultCode kErrorNotEnoughMemory = 8;
inline constexpr ResultCode kErrorWriteProtect = 19;
inline constexpr ResultCode kErrorNotReady = 21;
inline constexpr ResultCode kErrorGenFailure = 31;
inline constexpr ResultCode kErrorSharingViolation = 32;
inline constexpr ResultCode kErrorLockViolation = 33;
inline constexpr ResultCode kErrorHandleEof = 38;
inline constexpr ResultCode kErrorNotSupported = 50;
inline constexpr ResultCode kErrorFileExists = 80;
inline constexpr ResultCode kErrorInvalidParameter = 87;
inline constexpr ResultCode kErrorBrokenPipe = 109;
inline constexpr ResultCode kErrorDiskFull = 112;
inline constexpr ResultCode kErrorInsufficientBuffer = 122;
inline constexpr ResultCode kErrorInvalidName = 123;
inline constexpr ResultCode kErrorDirNotEmpty = 145;
inline constexpr ResultCode kErrorBusy = 170;
inline constexpr ResultCode kErrorAlreadyExists = 183;
inline constexpr ResultCode kErrorFilenameExcedRange = 206;
inline constexpr ResultCode kErrorFileTooLarge = 223;
inline constexpr ResultCode kErrorMoreData = 234;
inline constexpr ResultCode kErrorNoMoreItems = 259;
inline constexpr ResultCode kErrorDirectory = 267;
inline constexpr ResultCode kErrorOperationAborted = 995;
inline constexpr ResultCode kErrorIoIncomplete = 996;
inline constexpr ResultCode kErrorIoPending = 997;
inline constexpr ResultCode kErrorNoAccess = 998;
inline constexpr ResultCode kErrorDeviceNotConnected = 1167;
inline constexpr ResultCode kErrorCancelled = 1223;
inline constexpr ResultCode kErrorTimeout = 1460;
inline constexpr ResultCode kEInvalidArg = 0x80070057;

// File-server (network library) range.
inline constexpr ResultCode kInternetErrorBase = 12000;
inline constexpr ResultCode kInternetErrorLast = 12174;
inline constexpr ResultCode kInternetExtendedError = 12003;

// The program's own codes: customer flag, facility 0x200.
inline constexpr ResultCode kChecksumWordZero = 0xA2000047;
inline constexpr ResultCode kNoResponseFirmwarePacketWarning = 0xA200004A;
inline constexpr ResultCode kUnexpectedHexCharacter = 0xE200000B;
inline constexpr ResultCode kInvalidEepromAddress = 0xE200000C;
inline constexpr ResultCode kNoResponseRevision = 0xE200000D;
inline constexpr ResultCode kPortNameMissing = 0xE200000F;
inline constexpr ResultCode kHexMissingColon = 0xE2000020;
inline constexpr ResultCode kHexUnknownRecordType = 0xE2000021;
inline constexpr ResultCode kHexLineChecksum = 0xE2000022;
inline constexpr ResultCode kHexMissingEof = 0xE2000023;
inline constexpr ResultCode kConfigIncomplete = 0xE2000030;
inline constexpr ResultCode kConfigCorrupt = 0xE2000031;
inline constexpr ResultCode kConfigSerialMismatch = 0xE2000032;
inline constexpr ResultCode kHexRecordLength = 0xE2000040;
inline constexpr ResultCode kHexFileChecksum = 0xE2000041;
inline constexpr ResultCode kLoaderNoDots = 0xE2000042;
inline constexpr ResultCode kLoaderNoD = 0xE2000043;
inline constexpr ResultCode kRetryLimitExhausted = 0xE2000044;
inline constexpr ResultCode kNoResponseAfterReset = 0xE2000045;
inline constexpr ResultCode kRevisionVerifyFailed = 0xE2000046;
inline constexpr ResultCode kNoResponseResync = 0xE2000048;
inline constexpr ResultCode kNoResponseSemicolonPoll = 0xE2000049;
inline constexpr ResultCode kNoResponseFirmwarePacket = 0xE200004B;
inline constexpr ResultCode kUnexpectedDevice = 0xE200004E;
inline constexpr ResultCode kNoResponseAntenna = 0xE20004B0;
inline constexpr ResultCode kNoResponseAttenuator = 0xE20004B1;
inline constexpr ResultCode kNoResponseBand = 0xE20004B2;
inline constexpr ResultCode kNoResponseBypass = 0xE20004B3;
inline constexpr ResultCode kNoResponseCapacitor = 0xE20004B4;
inline constexpr ResultCode kNoResponseDrainCurrent = 0xE20004B5;
inline constexpr ResultCode kNoResponseReadEeprom = 0xE20004B6;
inline constexpr ResultCode kNoResponseWriteEeprom = 0xE20004B7;
inline constexpr ResultCode kNoResponseFrequency = 0xE20004B8;
inline constexpr ResultCode kNoResponseFault = 0xE20004B9;
inline constexpr ResultCode kNoResponseInductor = 0xE20004BA;
inline constexpr ResultCode kNoResponseMode = 0xE20004BB;
inline constexpr ResultCode kNoResponseOperate = 0xE20004BC;
inline constexpr ResultCode kNoResponsePowerDissipated = 0xE20004BD;
inline constexpr ResultCode kNoResponsePowerForward = 0xE20004BE;
inline constexpr ResultCode kNoResponsePowerInput = 0xE20004BF;
inline constexpr ResultCode kNoResponsePowerReflected = 0xE20004C0;
inline constexpr ResultCode kNoResponseSide = 0xE20004C1;
inline constexpr ResultCode kNoResponseSerialNumber = 0xE20004C2;
inline constexpr ResultCode kNoResponseSupplyVoltage = 0xE20004C3;
inline constexpr ResultCode kNoResponseSwr = 0xE20004C4;
inline constexpr ResultCode kNoResponseTemperature = 0xE20004C5;
inline constexpr ResultCode kNoResponseTuneStatus = 0xE20004C6;
inline constexpr ResultCode kNoResponseTunerInstalled = 0xE20004C7;
inline constexpr ResultCode kNoResponseAntennaEnable = 0xE20004C8;

// Codes this Linux build adds to the program's own range.
// The serial device exists but this user may not open it (group membership).
inline constexpr ResultCode kSerialPermissionDenied = 0xE2000050;
// A file is to be written where something other than a regular file (or a link to one) stands.
inline constexpr ResultCode kNotRegularFile = 0xE2000058;
// A system error with no Win32 counterpart: the low 12 bits carry errno.
inline constexpr ResultCode kErrnoBase = 0xE200F000;

constexpr bool IsProgramCode(ResultCode code) { return ((code >> 16) & 0x0FFF) == 0x200; }
constexpr bool IsInternetCode(ResultCode code) {
  return code >= kInternetErrorBase && code <= kInternetErrorLast;
}

// The calling thread's last error, as the operations that return a flag leave it.
void SetLastError(ResultCode code);
ResultCode GetLastError();

// Linux only: errno (and the call that failed) mapped into the one code space at the edge of the
// platform. Windows codes are Win32 numbers already.
ResultCode ResultFromErrno(int err);

}  // namespace tola
