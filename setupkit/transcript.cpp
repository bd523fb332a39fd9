// The transcript of a run: one event per line, appended to the file WINSIM_TRANSCRIPT names.
#include <windows.h>

#include "setupkit/setupkit.h"
#include "winsim/machine.h"

namespace setupkit {

bool WriteTranscript(const std::string &event) {
  winsim::Transcript(event);
  return true;
}

std::string QuoteText(const std::string &text) {
  return winsim::Quote(text);
}

}  // namespace setupkit
