// A second setup on the same machine: brings the toolkit frame up on the image named on the
// command line, prints what InitializeFrame answered, and with "hold" keeps the frame until it
// is killed.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "toolkit/toolkit_services.h"
#include "winsim/machine.h"

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: helper_frame_lock <image> [hold]\n");
    return 2;
  }
  winsim::OpenOptions options;
  options.imageDir = argv[1];
  winsim::ImageError error;
  if (!winsim::OpenMachine(options, &error)) {
    std::fprintf(stderr, "%s\n", error.Text().c_str());
    return 2;
  }
  char commandLine[] = "";
  int frame = InitializeFrame(commandLine);
  std::printf("%d\n", frame);
  std::fflush(stdout);
  if (argc > 2 && std::string(argv[2]) == "hold" && frame > 0)
    for (;;) pause();
  TerminateFrame();
  return 0;
}
