// The transcript of a run, for the harness that drives it: one event per line, appended to the
// file that WINSIM_TRANSCRIPT names. The file is opened for each event, so that a setup that is
// killed leaves every line it wrote.
#include <windows.h>

#include <string>

#include "setupkit/setupkit.h"

namespace setupkit {

bool WriteTranscript(const std::string &event) {
  char path[MAX_PATH];
  DWORD n = GetEnvironmentVariableA("WINSIM_TRANSCRIPT", path, sizeof path);
  if (n == 0 || n >= sizeof path) return n == 0;  // no transcript is kept
  HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string line = event + "\n";
  DWORD written = 0;
  BOOL ok = SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER &&
            WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
            written == line.size();
  CloseHandle(file);
  return ok != FALSE;
}

}  // namespace setupkit
