#include <algorithm>
#include <cstddef>
#include <iterator>

#include "resources/MessageTable.h"

namespace tola {

namespace {

struct Entry {
  ResultCode code;
  const char* text;
};

// Texts that an error number and its HRESULT wrapping (0x8007xxxx) share.
constexpr const char kAccessDenied[] = "Access is denied.\r\n";
constexpr const char kInvalidParameter[] = "A parameter passed to the system is not valid.\r\n";
constexpr const char kOutOfMemory[] = "The system ran out of memory.\r\n";

// Sorted by code; the lookup below relies on it.
constexpr Entry kSystemMessages[] = {
    {0, "The operation completed successfully.\r\n"},
    {1, "The device or file does not support the requested function.\r\n"},
    {2, "The file could not be found.\r\n"},
    {3, "A folder in the path does not exist.\r\n"},
    {4, "Too many files are open at the same time.\r\n"},
    {5, kAccessDenied},
    {6, "The file or port handle is not valid.\r\n"},
    {8, "There is not enough memory to complete the operation.\r\n"},
    {13, "The data is not valid.\r\n"},
    {14, kOutOfMemory},
    {15, "The drive named in the path does not exist.\r\n"},
    {17, "A file cannot be moved onto a different drive by renaming it.\r\n"},
    {18, "No more files were found.\r\n"},
    {19, "The disk or device is write-protected.\r\n"},
    {20, "The device could not be found.\r\n"},
    {21, "The device is not ready.\r\n"},
    {22, "The device does not recognize the command.\r\n"},
    {23, "The device reported a data error (CRC).\r\n"},
    {24, "A command was given with a length the device does not accept.\r\n"},
    {25, "The drive could not find the requested position on the disk.\r\n"},
    {29, "The device could not be written to.\r\n"},
    {30, "The device could not be read from.\r\n"},
    {31, "The device reported a general failure.\r\n"},
    {32, "The file or port is being used by another program.\r\n"},
    {33, "Part of the file is locked by another program.\r\n"},
    {38, "The end of the file was reached.\r\n"},
    {39, "The disk is full.\r\n"},
    {50, "This operation is not supported.\r\n"},
    {55, "The device is no longer available.\r\n"},
    {80, "The file already exists.\r\n"},
    {82, "The file or folder could not be created.\r\n"},
    {87, kInvalidParameter},
    {109, "The other end of the connection has been closed.\r\n"},
    {110, "The device or file could not be opened.\r\n"},
    {112, "There is not enough space left on the disk.\r\n"},
    {120, "This function is not available on this system.\r\n"},
    {121, "The wait for the device timed out.\r\n"},
    {122, "The buffer given for the data is too small.\r\n"},
    {123, "The file, folder or volume name is not valid.\r\n"},
    {145, "The folder is not empty.\r\n"},
    {161, "The path is not valid.\r\n"},
    {170, "The requested resource is in use.\r\n"},
    {183, "A file or folder with that name already exists.\r\n"},
    {206, "The file name or path is too long.\r\n"},
    {223, "The file is larger than the file system allows.\r\n"},
    {234, "More data is available.\r\n"},
    {258, "The wait ended because its time limit was reached.\r\n"},
    {259, "There are no more items.\r\n"},
    {267, "A folder was named where a file is needed, or the folder name is not valid.\r\n"},
    {433, "The named device does not exist.\r\n"},
    {995, "The input or output operation was aborted.\r\n"},
    {996, "The input or output operation has not finished yet.\r\n"},
    {997, "The input or output operation is still in progress.\r\n"},
    {998, "A memory location was accessed that is not valid.\r\n"},
    {1117, "The device reported an input or output error.\r\n"},
    {1167, "The device is not connected.\r\n"},
    {1168, "The requested item was not found.\r\n"},
    {1223, "The operation was cancelled by the user.\r\n"},
    {1450, "The system does not have enough resources to complete the operation.\r\n"},
    {1460, "The operation did not finish within the time allowed.\r\n"},
    {1784, "The data buffer given for the operation is not valid.\r\n"},
    {0x80004001, "The function is not implemented.\r\n"},
    {0x80004004, "The operation was aborted.\r\n"},
    {0x80004005, "An unspecified error occurred.\r\n"},
    {0x80070005, kAccessDenied},
    {0x8007000E, kOutOfMemory},
    {0x80070057, kInvalidParameter},
};

template <std::size_t N>
constexpr bool StrictlyAscending(const Entry (&table)[N]) {
  for (std::size_t i = 1; i < N; ++i) {
    if (!(table[i - 1].code < table[i].code)) return false;
  }
  return true;
}
static_assert(StrictlyAscending(kSystemMessages), "system message table must be sorted by code");

}  // namespace

const char* SystemMessage(ResultCode code) {
  auto it = std::lower_bound(std::begin(kSystemMessages), std::end(kSystemMessages), code,
                             [](const Entry& e, ResultCode c) { return e.code < c; });
  if (it != std::end(kSystemMessages) && it->code == code) return it->text;
  return nullptr;
}

}  // namespace tola
