#pragma once
// What the file-server copy makes of a server's words: directory listings in the forms servers
// give them, which listed names may become local file names, and libcurl's result codes in the
// program's one code space.

#include <string_view>
#include <vector>

#include "firmware/FtpSession.h"
#include "platform/ResultCode.h"

namespace tola {

enum class ListingForm {
  Machine,    // MLSD: "fact=value;...; name"
  Unix,       // LIST in the layout of "ls -l"
  NamesOnly,  // NLST: one name a line, nothing known about it
};

// Appends the entries of `text` ("." and ".." left out); lines that do not read are passed over.
// False when no line of a LIST answer reads, so that the caller can ask for names only.
bool ParseListing(std::string_view text, ListingForm form, std::vector<FtpEntry>& entries);

// A name that can only mean a file directly inside the local folder: not empty, at most 255
// bytes, no '/' or '\\', not "." or "..", no control characters.
bool IsPlainFileName(std::string_view name);

// A libcurl result (CURLcode) as the program's code. `savedErrno` is the system error behind it:
// the local write's for a write error, the socket's otherwise (0 when unknown).
ResultCode CurlResultCode(int curlCode, int savedErrno);

}  // namespace tola
