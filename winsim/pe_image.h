// Portable-executable images as the loader sees them: the machine a module is built for and the
// names it exports. The spooler loads a monitor DLL with this, as NT's spooler does with
// LoadLibrary and GetProcAddress; bytes that are no PE image are no loadable module.
#ifndef WINSIM_PE_IMAGE_H
#define WINSIM_PE_IMAGE_H

#include <cstdint>
#include <string>
#include <vector>

namespace winsim {

// IMAGE_FILE_MACHINE_* of the processors the stand-in knows.
constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMachineR4000 = 0x0166;
constexpr uint16_t kMachineAlpha = 0x0184;
constexpr uint16_t kMachineAmd64 = 0x8664;

struct PeImage {
  uint16_t machine = 0;
  uint16_t characteristics = 0;      // IMAGE_FILE_* of the file header
  std::vector<std::string> exports;  // the names of the export directory, in its order
};

// Reads the headers and the export names of a PE image (an MZ header whose e_lfanew leads to
// "PE\0\0", a PE32 or PE32+ optional header, data directory 0 for the exports). False when the
// bytes are not such an image or a table points outside them.
bool ReadPeImage(const std::string &bytes, PeImage *image);

// The machine type a processor's modules have (%PROCESSOR_ARCHITECTURE%: x86, ALPHA, MIPS,
// AMD64); 0 for a processor the stand-in does not know.
uint16_t MachineOfProcessor(const std::string &processor);

}  // namespace winsim

#endif
