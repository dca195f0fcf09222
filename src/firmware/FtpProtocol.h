#pragma once
// What the file-server copy makes of a server's words: directory listings in the forms servers
// give them, and which listed names may become local file names.

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

}  // namespace tola
