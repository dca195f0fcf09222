#include <gtest/gtest.h>

#include <curl/curl.h>

#include <cerrno>

#include "firmware/CurlResult.h"

namespace tola::test {
namespace {

TEST(FtpResultTest, LibcurlResultsMapToTheNetworkLibrarysCodes) {
  struct Case {
    CURLcode code;
    int savedErrno;
    ResultCode expected;
  };
  const Case cases[] = {
      {CURLE_OK, 0, 0},
      {CURLE_COULDNT_RESOLVE_HOST, 0, 12007},
      {CURLE_COULDNT_CONNECT, ECONNREFUSED, 12029},
      {CURLE_OPERATION_TIMEDOUT, 0, 12002},
      {CURLE_LOGIN_DENIED, 0, 12003},
      {CURLE_REMOTE_ACCESS_DENIED, 0, 12003},
      {CURLE_REMOTE_FILE_NOT_FOUND, 0, 12003},
      {CURLE_FTP_COULDNT_RETR_FILE, 0, 12003},
      {CURLE_PARTIAL_FILE, 0, 12030},
      {CURLE_RECV_ERROR, ECONNRESET, 12031},
      {CURLE_RECV_ERROR, 0, 12030},
      {CURLE_WRITE_ERROR, ENOSPC, kErrorDiskFull},
      {CURLE_WRITE_ERROR, EACCES, kErrorAccessDenied},
      {CURLE_ABORTED_BY_CALLBACK, 0, kErrorCancelled},
      {CURLE_URL_MALFORMAT, 0, 12005},
      {CURLE_SSL_CONNECT_ERROR, 0, 12004},  // nothing an FTP conversation expects: internal error
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(curl_easy_strerror(c.code));
    EXPECT_EQ(CurlResultCode(c.code, c.savedErrno), c.expected);
  }
}

}  // namespace
}  // namespace tola::test
