// winsim-image: makes machine images from profiles and shows what an image holds.
//
//   winsim-image create <profile> <image dir>   a fresh image from a profile (tools/profile.h)
//   winsim-image show <image dir>               a readable summary of an image
//   winsim-image compare <image A> <image B>    what differs going from A to B; exit status 0
//                                               when equal, 1 when different, 2 on a bad image
//   winsim-image apply-restart <image dir>      what Windows NT does at the next boot
//                                               (tools/image_restart.h); exit status 0 when
//                                               done, 1 when it could not be done, 2 on a bad
//                                               image
//   winsim-image module <machine> <file> <export>...
//                                               writes a DLL for that machine (i386, alpha, mips,
//                                               amd64) exporting those names (tools/pe_module.h)
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/image_compare.h"
#include "tools/image_restart.h"
#include "tools/pe_module.h"
#include "tools/profile.h"
#include "winsim/machine.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: winsim-image create <profile> <image dir>\n"
               "       winsim-image show <image dir>\n"
               "       winsim-image compare <image A> <image B>\n"
               "       winsim-image apply-restart <image dir>\n"
               "       winsim-image module <machine> <file> <export>...\n");
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  std::string error;

  if (command == "create" && argc == 4) {
    std::string text;
    if (!winsim::ReadHostFile(argv[2], &text)) {
      std::fprintf(stderr, "winsim-image: %s: the profile cannot be read\n", argv[2]);
      return 1;
    }
    image_tool::Profile profile;
    if (!image_tool::ParseProfile(text, argv[2], &profile, &error) ||
        !image_tool::CreateImage(profile, argv[3], &error)) {
      std::fprintf(stderr, "winsim-image: %s\n", error.c_str());
      return 1;
    }
    std::printf("winsim-image: created %s from %s (%zu registry keys, %zu files)\n", argv[3],
                argv[2], profile.keys.size(), profile.files.size());
    return 0;
  }
  if (command == "module" && argc >= 4) {
    uint16_t machine = 0;
    if (!image_tool::MachineOfName(argv[2], &machine)) {
      std::fprintf(stderr, "winsim-image: %s: not a machine (i386, alpha, mips, amd64)\n", argv[2]);
      return 1;
    }
    std::string path = argv[3];
    std::vector<std::string> exports(argv + 4, argv + argc);
    std::string name = path.substr(path.find_last_of('/') + 1);
    if (!winsim::WriteFileAtomically(path, image_tool::PeModule(machine, name, exports))) {
      std::fprintf(stderr, "winsim-image: %s: cannot be written\n", argv[3]);
      return 1;
    }
    return 0;
  }
  if (command == "show" && argc == 3) {
    std::string out;
    if (!image_tool::ShowImage(argv[2], &out, &error)) {
      std::fprintf(stderr, "winsim-image: %s\n", error.c_str());
      return 1;
    }
    std::fputs(out.c_str(), stdout);
    return 0;
  }
  if (command == "compare" && argc == 4) {
    image_tool::Comparison comparison;
    if (!image_tool::CompareImages(argv[2], argv[3], &comparison, &error)) {
      std::fprintf(stderr, "winsim-image: %s\n", error.c_str());
      return 2;
    }
    std::printf("Comparing %s (A) with %s (B): + only in B, - only in A, ~ changed\n", argv[2],
                argv[3]);
    std::fputs(image_tool::FormatComparison(comparison).c_str(), stdout);
    return comparison.Equal() ? 0 : 1;
  }
  if (command == "apply-restart" && argc == 3) {
    std::vector<std::string> log;
    image_tool::RestartOutcome outcome = image_tool::ApplyRestart(argv[2], &log, &error);
    if (outcome == image_tool::RestartOutcome::BadImage) {
      std::fprintf(stderr, "winsim-image: %s\n", error.c_str());
      return 2;
    }
    std::printf("Restart of %s\n", argv[2]);
    for (const std::string &line : log) std::printf("  %s\n", line.c_str());
    if (outcome == image_tool::RestartOutcome::Failed) {
      std::fprintf(stderr, "winsim-image: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  return Usage();
}
