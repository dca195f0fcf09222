#include <algorithm>
#include <iterator>

#include "resources/MessageTable.h"

namespace tola {

namespace {

struct Entry {
  ResultCode code;
  const char* text;
};

// Sorted by code.
constexpr Entry kProgramMessages[] = {
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
    {0xE2000050,
     "Permission denied on the serial device. Add your user to the device's group and log in "
     "again\r\n"},
    {0xE2000058,
     "The name belongs to a device, pipe, socket or broken link, not a regular file; only a "
     "regular file is written or replaced\r\n"},
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

}  // namespace

const char* ProgramMessage(ResultCode code) {
  auto it = std::lower_bound(std::begin(kProgramMessages), std::end(kProgramMessages), code,
                             [](const Entry& e, ResultCode c) { return e.code < c; });
  if (it != std::end(kProgramMessages) && it->code == code) return it->text;
  return nullptr;
}

}  // namespace tola
