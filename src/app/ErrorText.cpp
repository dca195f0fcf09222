#include "app/ErrorText.h"

#include <mutex>

#include "app/Format.h"
#include "app/LogChannel.h"
#include "resources/MessageTable.h"
#include "resources/Strings.h"

namespace tola {

namespace {

std::mutex g_responseMutex;
std::uint32_t g_serverError = 0;
std::string g_serverResponse;

}  // namespace

void SetLastServerResponse(std::uint32_t serverError, const std::string& text) {
  std::lock_guard<std::mutex> lock(g_responseMutex);
  g_serverError = serverError;
  g_serverResponse = text;
}

std::string ErrorText(ResultCode code) {
  std::string text;
  if (IsInternetCode(code)) {
    if (const char* t = InternetMessage(code)) text = t;
  } else if (IsProgramCode(code) && (code & 0xFFFFF000u) != kErrnoBase) {
    if (const char* t = ProgramMessage(code)) text = t;
  } else {
    text = SystemErrorText(code);
  }
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();

  if (code == kInternetExtendedError) {
    std::uint32_t serverError;
    std::string response;
    {
      std::lock_guard<std::mutex> lock(g_responseMutex);
      serverError = g_serverError;
      response = g_serverResponse;
    }
    text += FormatText(LoadString(kIdsInternetLastResponse), serverError, response);
  }
  return text;
}

BoxAnswer LogChannel::ShowErrorBox(StringId caption, ResultCode code) {
  return MessageBox(ErrorText(code), LoadString(caption), BoxButtons::Ok, BoxIcon::Error);
}

}  // namespace tola
