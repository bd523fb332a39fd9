// Makes a long run of registry changes on a machine image and reports each one on standard
// output as soon as the call that made it has returned, so that a test can kill it at any
// moment and check what the image holds.
//
//   helper_registry_writer <image dir> <number of changes>
//
// Change i, by i % 3: 0 creates SOFTWARE\Run\K<i> with the value "n" = i; 1 sets the value
// "V<i>" of SOFTWARE\Run to the text "<i>"; 2 deletes SOFTWARE\Run\K<i - 2>.
#include <unistd.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "winsim/machine.h"

namespace {

void Report(const std::string &line) {
  std::string text = line + "\n";
  const char *p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = write(1, p, left);
    if (n <= 0) std::_Exit(3);
    p += n;
    left -= static_cast<size_t>(n);
  }
}

void Check(LONG rc, const char *what, int i) {
  if (rc == ERROR_SUCCESS) return;
  std::fprintf(stderr, "change %d: %s failed with %ld\n", i, what, static_cast<long>(rc));
  std::_Exit(1);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: helper_registry_writer <image dir> <changes>\n");
    return 2;
  }
  winsim::OpenOptions options;
  options.imageDir = argv[1];
  options.virtualClock = true;
  winsim::ImageError error;
  if (!winsim::OpenMachine(options, &error)) {
    std::fprintf(stderr, "%s\n", error.Text().c_str());
    return 2;
  }
  int count = std::atoi(argv[2]);
  HKEY run;
  Check(RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Run", &run), "RegCreateKeyA", -1);
  Report("ready");
  for (int i = 0; i < count; ++i) {
    std::string n = std::to_string(i);
    if (i % 3 == 0) {
      HKEY key;
      Check(RegCreateKeyA(run, ("K" + n).c_str(), &key), "RegCreateKeyA", i);
      DWORD value = static_cast<DWORD>(i);
      Check(RegSetValueExA(key, "n", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), 4),
            "RegSetValueExA", i);
      Check(RegCloseKey(key), "RegCloseKey", i);
    } else if (i % 3 == 1) {
      Check(RegSetValueExA(run, ("V" + n).c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE *>(n.c_str()),
                           static_cast<DWORD>(n.size() + 1)),
            "RegSetValueExA", i);
    } else {
      Check(RegDeleteKeyA(run, ("K" + std::to_string(i - 2)).c_str()), "RegDeleteKeyA", i);
    }
    Report(n);
  }
  RegCloseKey(run);
  return 0;
}
