// The process entry on the build host: opens the machine image named by WINSIM_MACHINE, then
// hands the command line to WinMain as the Windows C runtime would.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "winsim/machine.h"

int main(int argc, char **argv) {
  const char *image = std::getenv("WINSIM_MACHINE");
  if (!image || !*image) {
    std::fprintf(stderr,
                 "winsim: WINSIM_MACHINE is not set: it names the machine image "
                 "directory to run on\n");
    return 2;
  }
  winsim::OpenOptions options;
  options.imageDir = image;
  const char *clock = std::getenv("WINSIM_CLOCK");
  std::string clockName = clock ? clock : "real";
  if (clockName != "real" && clockName != "virtual") {
    std::fprintf(stderr, "winsim: WINSIM_CLOCK must be real or virtual, not '%s'\n", clock);
    return 2;
  }
  options.virtualClock = clockName == "virtual";
  if (const char *t = std::getenv("WINSIM_TRANSCRIPT")) options.transcriptPath = t;
  if (const char *r = std::getenv("WINSIM_RECORD")) options.recordPath = r;
  if (const char *c = std::getenv("WINSIM_CALLS")) options.callsPath = c;
  if (const char *st = std::getenv("WINSIM_STATS")) options.statsPath = st;
  if (const char *a = std::getenv("WINSIM_ANSWERS")) {
    options.answersPath = a;
    if (std::FILE *f = std::fopen(a, "r")) {
      std::fclose(f);
    } else {
      std::fprintf(stderr, "winsim: %s: the answer file cannot be read\n", a);
      return 2;
    }
  }
  winsim::ImageError error;
  if (!winsim::OpenMachine(options, &error)) {
    std::fprintf(stderr, "winsim: %s\n", error.Text().c_str());
    return 2;
  }

  // The command line is the text after the program name, as Windows passes it.
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (i > 1) commandLine += ' ';
    bool quote = arg.empty() || arg.find_first_of(" \t") != std::string::npos;
    commandLine += quote ? "\"" + arg + "\"" : arg;
  }
  int rc = WinMain(reinterpret_cast<HINSTANCE>(0x400000), nullptr, &commandLine[0], SW_SHOWDEFAULT);
  ExitProcess(static_cast<UINT>(rc));
  return rc;
}
