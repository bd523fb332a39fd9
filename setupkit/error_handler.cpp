// The toolkit's error handler: tells the user, in a message box captioned with the frame's title,
// which step failed. Message boxes here offer OK only, so the user cannot choose to retry: a
// vital step answers abort, any other ignore.
#include <windows.h>

#include <string>

#include "setupkit/install_services.h"
#include "toolkit/toolkit_services.h"

extern "C" {

EERC WINAPI EercErrorHandler(GRC grc, BOOL fVital, LPCSTR sz1, LPCSTR sz2, LPCSTR sz3) {
  std::string text;
  if (grc == grcRegistryFailed)
    text = "A registry database operation failed";
  else
    text = "Setup error " + std::to_string(grc);
  std::string names;
  for (LPCSTR sz : {sz1, sz2, sz3})
    if (sz && *sz) names += names.empty() ? std::string(sz) : ", " + std::string(sz);
  if (!names.empty()) text += ": " + names;
  text += ".";
  setupkit::TellUser(text);
  return fVital ? eercAbort : eercIgnore;
}

}  // extern "C"
