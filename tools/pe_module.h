// Small PE DLLs that the Windows loader would map: the headers, one section with a return
// instruction per exported function, and an export directory naming them. The demo's monitor
// DLLs and the tests' fixtures are made with it, so that the spooler of the stand-in loads them as
// NT's spooler loads a monitor.
#ifndef TOOLS_PE_MODULE_H
#define TOOLS_PE_MODULE_H

#include <cstdint>
#include <string>
#include <vector>

namespace image_tool {

// The machine type of a name as profiles write it: i386 (or x86), alpha, mips, amd64 (or x64).
// False for any other name.
bool MachineOfName(const std::string &name, uint16_t *machine);

// A DLL named dllName for that machine that exports the functions named.
std::string PeModule(uint16_t machine, const std::string &dllName,
                     const std::vector<std::string> &exports);

}  // namespace image_tool

#endif
