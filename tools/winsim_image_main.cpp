// winsim-image: makes machine images from profiles and shows what an image holds.
//
//   winsim-image create <profile> <image dir>   a fresh image from a profile (tools/profile.h)
//   winsim-image show <image dir>               a readable summary of an image
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "tools/profile.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: winsim-image create <profile> <image dir>\n"
               "       winsim-image show <image dir>\n");
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  std::string error;

  if (command == "create" && argc == 4) {
    std::ifstream in(argv[2], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "winsim-image: %s: the profile cannot be read\n", argv[2]);
      return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    image_tool::Profile profile;
    if (!image_tool::ParseProfile(text.str(), argv[2], &profile, &error) ||
        !image_tool::CreateImage(profile, argv[3], &error)) {
      std::fprintf(stderr, "winsim-image: %s\n", error.c_str());
      return 1;
    }
    std::printf("winsim-image: created %s from %s (%zu registry keys, %zu files)\n", argv[3],
                argv[2], profile.keys.size(), profile.files.size());
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
  return Usage();
}
