// How the image tool opens a machine image: with the image's own directory as the current
// directory, and on the virtual clock, since the tool only reads and writes the image and must
// never wait.
#ifndef TOOLS_IMAGE_OPEN_H
#define TOOLS_IMAGE_OPEN_H

#include <string>

#include "winsim/machine.h"

namespace image_tool {

inline winsim::OpenOptions ImageOpenOptions(const std::string &imageDir) {
  winsim::OpenOptions options;
  options.imageDir = imageDir;
  options.hostCwd = imageDir;
  options.virtualClock = true;
  return options;
}

}  // namespace image_tool

#endif
