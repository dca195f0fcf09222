#include "firmware/CurlResult.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <iterator>

namespace tola {

ResultCode CurlResultCode(int curlCode, int savedErrno) {
  constexpr ResultCode kTimeout = 12002, kExtended = 12003, kInternal = 12004, kBadUrl = 12005,
                       kBadProtocol = 12006, kNameNotResolved = 12007, kCannotConnect = 12029,
                       kAborted = 12030, kReset = 12031;
  struct Row {
    int curl;
    ResultCode result;
  };
  // Every refusal in a server's reply (4xx or 5xx, a login turned down, a folder or file that is not
  // there) is the extended error, whose text carries the server's last reply.
  static constexpr Row kRows[] = {
      {CURLE_OK, kErrorSuccess},
      {CURLE_UNSUPPORTED_PROTOCOL, kBadProtocol},
      {CURLE_FAILED_INIT, kInternal},
      {CURLE_URL_MALFORMAT, kBadUrl},
      {CURLE_COULDNT_RESOLVE_PROXY, kNameNotResolved},
      {CURLE_COULDNT_RESOLVE_HOST, kNameNotResolved},
      {CURLE_COULDNT_CONNECT, kCannotConnect},
      {CURLE_WEIRD_SERVER_REPLY, kExtended},
      {CURLE_REMOTE_ACCESS_DENIED, kExtended},
      {CURLE_FTP_ACCEPT_FAILED, kCannotConnect},
      {CURLE_FTP_WEIRD_PASS_REPLY, kExtended},
      {CURLE_FTP_ACCEPT_TIMEOUT, kTimeout},
      {CURLE_FTP_WEIRD_PASV_REPLY, kExtended},
      {CURLE_FTP_WEIRD_227_FORMAT, kExtended},
      {CURLE_FTP_CANT_GET_HOST, kCannotConnect},
      {CURLE_FTP_COULDNT_SET_TYPE, kExtended},
      {CURLE_PARTIAL_FILE, kAborted},
      {CURLE_FTP_COULDNT_RETR_FILE, kExtended},
      {CURLE_QUOTE_ERROR, kExtended},
      {CURLE_OUT_OF_MEMORY, kErrorNotEnoughMemory},
      {CURLE_OPERATION_TIMEDOUT, kTimeout},
      {CURLE_FTP_PORT_FAILED, kExtended},
      {CURLE_FTP_COULDNT_USE_REST, kExtended},
      {CURLE_RANGE_ERROR, kExtended},
      {CURLE_ABORTED_BY_CALLBACK, kErrorCancelled},
      {CURLE_GOT_NOTHING, kAborted},
      {CURLE_FILESIZE_EXCEEDED, kErrorFileTooLarge},
      {CURLE_LOGIN_DENIED, kExtended},
      {CURLE_REMOTE_FILE_NOT_FOUND, kExtended},
      {CURLE_FTP_PRET_FAILED, kExtended},
      {CURLE_FTP_BAD_FILE_LIST, kExtended},
  };
  switch (curlCode) {
    case CURLE_WRITE_ERROR:
      // Our own write into the local file failed (disk full, access denied, ...).
      return savedErrno != 0 ? ResultFromErrno(savedErrno) : kErrorGenFailure;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
      return savedErrno == ECONNRESET || savedErrno == EPIPE ? kReset : kAborted;
    default:
      break;
  }
  const auto row = std::find_if(std::begin(kRows), std::end(kRows), [&](const Row& r) { return r.curl == curlCode; });
  return row != std::end(kRows) ? row->result : kInternal;
}

}  // namespace tola
