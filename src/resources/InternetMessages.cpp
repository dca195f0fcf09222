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

// Sorted by code; the lookup below relies on it. Numbers the network library leaves unassigned
// (12000 itself, 12035, 12063-12079, 12081-12109, 12113-12129, 12139-12146) have no entry.
constexpr Entry kInternetMessages[] = {
    {12001, "The network library has run out of handles.\r\n"},
    {12002, "The request to the server timed out.\r\n"},
    // The caller appends the server's own response line to this one.
    {12003, "The server returned an extended error.\r\n"},
    {12004, "An internal error occurred in the network library.\r\n"},
    {12005, "The address (URL) is not valid.\r\n"},
    {12006, "The address uses a protocol that is not recognized.\r\n"},
    {12007, "The server name could not be resolved.\r\n"},
    {12008, "No protocol could be found to handle the request.\r\n"},
    {12009, "The requested network option is not valid.\r\n"},
    {12010, "The length given for a network option is wrong.\r\n"},
    {12011, "This network option can be read but not set.\r\n"},
    {12012, "The network library is shutting down.\r\n"},
    {12013, "The server did not accept the user name.\r\n"},
    {12014, "The server did not accept the password.\r\n"},
    {12015, "The server refused the login.\r\n"},
    {12016, "The server cannot carry out the requested operation.\r\n"},
    {12017, "The network operation was cancelled.\r\n"},
    {12018, "The connection handle is of the wrong type for this operation.\r\n"},
    {12019, "The connection handle is not in the right state for this operation.\r\n"},
    {12020, "The request cannot be sent through a proxy.\r\n"},
    {12021, "A required network setting could not be found.\r\n"},
    {12022, "A network setting has a value that is not valid.\r\n"},
    {12023, "Direct access to the network is not possible.\r\n"},
    {12024, "An asynchronous request was made without a context value.\r\n"},
    {12025, "An asynchronous request was made without a status callback.\r\n"},
    {12026, "The request is still pending.\r\n"},
    {12027, "The format of the request is not valid.\r\n"},
    {12028, "The requested item could not be found on the server.\r\n"},
    {12029, "A connection to the server could not be established.\r\n"},
    {12030, "The connection to the server was aborted.\r\n"},
    {12031, "The server reset the connection.\r\n"},
    {12032, "The request must be sent again.\r\n"},
    {12033, "The proxy request is not valid.\r\n"},
    {12034, "The request needs input from the user.\r\n"},
    {12036, "A handle for this request already exists.\r\n"},
    {12037, "The server's security certificate has expired or is not yet valid.\r\n"},
    {12038, "The server's security certificate was issued for a different host name.\r\n"},
    {12039, "The request was redirected from a plain to a secure connection.\r\n"},
    {12040, "The request was redirected from a secure to a plain connection.\r\n"},
    {12041, "The content mixes secure and insecure items.\r\n"},
    {12042, "The changed request would send data over a connection that is not secure.\r\n"},
    {12043, "Data would be sent over a connection that is not secure.\r\n"},
    {12044, "The server asks for a client certificate.\r\n"},
    {12045, "The server's certificate comes from an authority that is not trusted.\r\n"},
    {12046, "No client certificate is set up for authentication.\r\n"},
    {12047, "A background thread of the network library could not be started.\r\n"},
    {12048, "A redirection changed the protocol of the request.\r\n"},
    {12049, "Another dialog for this request is already open.\r\n"},
    {12050, "The operation must be retried after the user has answered.\r\n"},
    {12051, "No new cache containers can be created.\r\n"},
    {12052, "The data would be submitted across a redirection from a secure to a plain "
            "connection.\r\n"},
    {12053, "A disc must be inserted to continue.\r\n"},
    {12054, "The resource needs a login with a Fortezza card.\r\n"},
    {12055, "The server's security certificate has errors.\r\n"},
    {12056, "No revocation information is available for the server's certificate.\r\n"},
    {12057, "The revocation check of the server's certificate failed.\r\n"},
    {12058, "The local source port is already in use.\r\n"},
    {12059, "The connection would have to fall back to an insecure protocol.\r\n"},
    {12060, "The request must be redirected to a secure connection.\r\n"},
    {12061, "The proxy settings raised an alert.\r\n"},
    {12062, "The server's certificate uses a weak signature.\r\n"},
    {12080, "No mobile data connection is available.\r\n"},
    {12110, "Another file transfer is already in progress on this connection.\r\n"},
    {12111, "The FTP connection was dropped.\r\n"},
    {12112, "The FTP server does not offer passive mode.\r\n"},
    {12130, "The Gopher server reported a protocol error.\r\n"},
    {12131, "The Gopher item is not a file.\r\n"},
    {12132, "The Gopher server sent data with an error.\r\n"},
    {12133, "The end of the Gopher data was reached.\r\n"},
    {12134, "The Gopher locator is not valid.\r\n"},
    {12135, "The Gopher locator is of the wrong type for this operation.\r\n"},
    {12136, "The Gopher server does not support Gopher+.\r\n"},
    {12137, "The requested Gopher attribute was not found.\r\n"},
    {12138, "The Gopher locator type is not known.\r\n"},
    {12147, "The status code of the HTTP push notification is not supported.\r\n"},
    {12148, "Retrying the HTTP push notification is not supported.\r\n"},
    {12149, "The HTTP push notification could not be enabled.\r\n"},
    {12150, "The requested HTTP header was not found.\r\n"},
    {12151, "The server is too old to return the requested headers.\r\n"},
    {12152, "The server's response could not be understood.\r\n"},
    {12153, "The HTTP header is not valid.\r\n"},
    {12154, "The HTTP header query is not valid.\r\n"},
    {12155, "The HTTP header already exists.\r\n"},
    {12156, "The HTTP redirection failed.\r\n"},
    {12157, "An error occurred on the secure channel to the server.\r\n"},
    {12158, "The file could not be written to the cache.\r\n"},
    {12159, "TCP/IP networking is not installed.\r\n"},
    {12160, "The HTTP request was not redirected.\r\n"},
    {12161, "A cookie from the server needs confirmation.\r\n"},
    {12162, "A cookie from the server was declined.\r\n"},
    {12163, "The network connection has been lost.\r\n"},
    {12164, "The server cannot be reached.\r\n"},
    {12165, "The proxy server cannot be reached.\r\n"},
    {12166, "The automatic proxy configuration script has an error.\r\n"},
    {12167, "The automatic proxy configuration script could not be downloaded.\r\n"},
    {12168, "The HTTP redirection needs confirmation.\r\n"},
    {12169, "The server's security certificate is not valid.\r\n"},
    {12170, "The server's security certificate has been revoked.\r\n"},
    {12171, "The request was blocked by a security check.\r\n"},
    {12172, "The network library has not been initialized.\r\n"},
    {12173, "The login needs an authentication package that is not installed.\r\n"},
    {12174, "The login failed and the server sent a reply describing the failure.\r\n"},
};

template <std::size_t N>
constexpr bool StrictlyAscendingInRange(const Entry (&table)[N]) {
  for (std::size_t i = 0; i < N; ++i) {
    if (table[i].code <= kInternetErrorBase || table[i].code > kInternetErrorLast) return false;
    if (i > 0 && !(table[i - 1].code < table[i].code)) return false;
  }
  return true;
}
static_assert(StrictlyAscendingInRange(kInternetMessages),
              "file-server message table must be sorted and inside 12001-12174");

}  // namespace

const char* InternetMessage(ResultCode code) {
  auto it = std::lower_bound(std::begin(kInternetMessages), std::end(kInternetMessages), code,
                             [](const Entry& e, ResultCode c) { return e.code < c; });
  if (it != std::end(kInternetMessages) && it->code == code) return it->text;
  return nullptr;
}

}  // namespace tola
