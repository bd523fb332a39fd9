// PE DLLs for the demo and the tests (tools/pe_module.h). The layout is the smallest that the
// loader accepts: headers padded to the file alignment, then one section at RVA 0x1000 holding
// the code stubs, the export directory and its tables.
#include "tools/pe_module.h"

#include <algorithm>

#include "winsim/machine.h"
#include "winsim/pe_image.h"

namespace image_tool {
namespace {

const uint32_t kFileAlignment = 0x200;
const uint32_t kSectionAlignment = 0x1000;
const uint32_t kSectionRva = 0x1000;
const uint32_t kPeOffset = 0x80;

void Put16(std::string *b, size_t at, uint32_t v) {
  (*b)[at] = static_cast<char>(v & 0xFF);
  (*b)[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string *b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}
void Put64(std::string *b, size_t at, uint64_t v) {
  Put32(b, at, static_cast<uint32_t>(v));
  Put32(b, at + 4, static_cast<uint32_t>(v >> 32));
}
uint32_t Align(uint32_t v, uint32_t to) {
  return (v + to - 1) / to * to;
}

}  // namespace

bool MachineOfName(const std::string &name, uint16_t *machine) {
  static const struct {
    const char *name;
    uint16_t machine;
  } kNames[] = {{"i386", winsim::kMachineI386},   {"x86", winsim::kMachineI386},
                {"alpha", winsim::kMachineAlpha}, {"mips", winsim::kMachineR4000},
                {"amd64", winsim::kMachineAmd64}, {"x64", winsim::kMachineAmd64}};
  for (const auto &n : kNames)
    if (winsim::EqualNoCase(name, n.name)) return *machine = n.machine, true;
  return false;
}

std::string PeModule(uint16_t machine, const std::string &dllName,
                     const std::vector<std::string> &exports) {
  // The loader looks names up by binary search: they are sorted.
  std::vector<std::string> names(exports);
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  const uint32_t n = static_cast<uint32_t>(names.size());
  const bool pe32plus = machine == winsim::kMachineAmd64;

  // The section: a stub per function (x86 "ret"; other processors never run these bytes here),
  // then the export directory, its three tables, the DLL's name and the function names.
  const uint32_t stub = 4;
  std::string section(stub * n, '\0');
  for (uint32_t i = 0; i < n; ++i) section[stub * i] = static_cast<char>(0xC3);
  const uint32_t dirAt = Align(static_cast<uint32_t>(section.size()), 4);
  const uint32_t functionsAt = dirAt + 40, namesAt = functionsAt + 4 * n,
                 ordinalsAt = namesAt + 4 * n;
  uint32_t stringsAt = Align(ordinalsAt + 2 * n, 4);
  section.resize(stringsAt, '\0');
  const uint32_t dllNameAt = stringsAt;
  section += dllName + '\0';
  std::vector<uint32_t> nameAt;
  for (const std::string &name : names) {
    nameAt.push_back(static_cast<uint32_t>(section.size()));
    section += name + '\0';
  }
  const uint32_t exportSize = static_cast<uint32_t>(section.size()) - dirAt;
  Put32(&section, dirAt + 12, kSectionRva + dllNameAt);  // Name
  Put32(&section, dirAt + 16, 1);                        // Base
  Put32(&section, dirAt + 20, n);                        // NumberOfFunctions
  Put32(&section, dirAt + 24, n);                        // NumberOfNames
  Put32(&section, dirAt + 28, kSectionRva + functionsAt);
  Put32(&section, dirAt + 32, kSectionRva + namesAt);
  Put32(&section, dirAt + 36, kSectionRva + ordinalsAt);
  for (uint32_t i = 0; i < n; ++i) {
    Put32(&section, functionsAt + 4 * i, kSectionRva + stub * i);
    Put32(&section, namesAt + 4 * i, kSectionRva + nameAt[i]);
    Put16(&section, ordinalsAt + 2 * i, i);
  }
  const uint32_t virtualSize = static_cast<uint32_t>(section.size());
  section.resize(Align(virtualSize, kFileAlignment), '\0');

  // The headers: MZ, the PE signature, the file header, the optional header, one section header.
  const uint32_t optionalSize = pe32plus ? 240 : 224;
  std::string image(kFileAlignment, '\0');
  image[0] = 'M', image[1] = 'Z';
  Put32(&image, 0x3C, kPeOffset);
  const std::string stubText = "This program cannot be run in DOS mode.\r\r\n$";
  image.replace(0x40, stubText.size(), stubText);
  image.replace(kPeOffset, 4, std::string("PE\0\0", 4));
  const size_t file = kPeOffset + 4, opt = file + 20, sec = opt + optionalSize;
  Put16(&image, file, machine);
  Put16(&image, file + 2, 1);  // NumberOfSections
  Put16(&image, file + 16, optionalSize);
  // EXECUTABLE_IMAGE | DLL, and 32BIT_MACHINE or LARGE_ADDRESS_AWARE
  Put16(&image, file + 18, 0x2002 | (pe32plus ? 0x0020 : 0x0100));
  Put16(&image, opt, pe32plus ? 0x20B : 0x10B);
  Put32(&image, opt + 4, static_cast<uint32_t>(section.size()));  // SizeOfCode
  Put32(&image, opt + 20, kSectionRva);                           // BaseOfCode
  size_t after;  // where the fields after the image base start
  if (pe32plus) {
    Put64(&image, opt + 24, 0x180000000ull);
    after = opt + 32;
  } else {
    Put32(&image, opt + 24, kSectionRva);  // BaseOfData
    Put32(&image, opt + 28, 0x10000000);   // ImageBase
    after = opt + 32;
  }
  Put32(&image, after, kSectionAlignment);
  Put32(&image, after + 4, kFileAlignment);
  Put16(&image, after + 8, 3), Put16(&image, after + 10, 10);   // operating system 3.10
  Put16(&image, after + 16, 3), Put16(&image, after + 18, 10);  // subsystem 3.10
  Put32(&image, after + 24, kSectionRva + Align(virtualSize, kSectionAlignment));  // SizeOfImage
  Put32(&image, after + 28, kFileAlignment);                                       // SizeOfHeaders
  Put16(&image, after + 36, 2);  // the Windows GUI subsystem
  size_t sizes = after + 40;     // stack and heap reserve and commit
  const uint64_t sizeValues[] = {0x100000, 0x1000, 0x100000, 0x1000};
  for (uint64_t v : sizeValues) {
    if (pe32plus) {
      Put64(&image, sizes, v);
      sizes += 8;
    } else {
      Put32(&image, sizes, static_cast<uint32_t>(v));
      sizes += 4;
    }
  }
  Put32(&image, sizes + 4, 16);  // NumberOfRvaAndSizes, after LoaderFlags
  Put32(&image, sizes + 8, kSectionRva + dirAt);
  Put32(&image, sizes + 12, exportSize);
  image.replace(sec, 6, ".text\0", 6);
  Put32(&image, sec + 8, virtualSize);
  Put32(&image, sec + 12, kSectionRva);
  Put32(&image, sec + 16, static_cast<uint32_t>(section.size()));
  Put32(&image, sec + 20, kFileAlignment);
  Put32(&image, sec + 36, 0x60000020);  // code, executable, readable
  return image + section;
}

}  // namespace image_tool
