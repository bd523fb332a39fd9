// Reading PE headers and export directories (winsim/pe_image.h). Every offset read from the file
// is checked against its size: a damaged module is refused, never read past its end.
#include "winsim/pe_image.h"

#include "winsim/machine.h"

namespace winsim {
namespace {

class Reader {
 public:
  explicit Reader(const std::string &bytes) : bytes_(bytes) {}
  bool Has(uint64_t at, uint64_t size) const { return at + size <= bytes_.size(); }
  uint32_t U16(uint64_t at) const { return Byte(at) | Byte(at + 1) << 8; }
  uint32_t U32(uint64_t at) const { return U16(at) | U16(at + 2) << 16; }
  // A NUL-terminated name that ends inside the file.
  bool Name(uint64_t at, std::string *out) const {
    if (at >= bytes_.size()) return false;
    size_t end = bytes_.find('\0', at);
    if (end == std::string::npos) return false;
    *out = bytes_.substr(at, end - at);
    return true;
  }

 private:
  uint32_t Byte(uint64_t at) const { return static_cast<unsigned char>(bytes_[at]); }
  const std::string &bytes_;
};

struct Section {
  uint32_t rva, size, offset, rawSize;
};

bool FileOffset(const std::vector<Section> &sections, uint32_t rva, uint64_t *offset) {
  for (const Section &s : sections) {
    uint32_t extent = s.size > s.rawSize ? s.size : s.rawSize;
    if (rva >= s.rva && rva - s.rva < extent && rva - s.rva < s.rawSize) {
      *offset = static_cast<uint64_t>(s.offset) + (rva - s.rva);
      return true;
    }
  }
  return false;
}

}  // namespace

bool ReadPeImage(const std::string &bytes, PeImage *image) {
  Reader r(bytes);
  if (!r.Has(0, 64) || bytes[0] != 'M' || bytes[1] != 'Z') return false;
  uint64_t pe = r.U32(0x3C);
  if (!r.Has(pe, 24) || bytes.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return false;
  image->machine = static_cast<uint16_t>(r.U16(pe + 4));
  uint32_t sectionCount = r.U16(pe + 6);
  uint32_t optionalSize = r.U16(pe + 20);
  image->characteristics = static_cast<uint16_t>(r.U16(pe + 22));
  uint64_t optional = pe + 24;
  if (!r.Has(optional, optionalSize) || optionalSize < 2) return false;
  uint32_t magic = r.U16(optional);
  uint64_t countAt, directories;
  if (magic == 0x10B) {
    countAt = 92, directories = 96;
  } else if (magic == 0x20B) {
    countAt = 108, directories = 112;
  } else {
    return false;
  }
  if (optionalSize < directories) return false;
  uint32_t directoryCount = r.U32(optional + countAt);

  std::vector<Section> sections;
  uint64_t table = optional + optionalSize;
  if (!r.Has(table, 40ull * sectionCount)) return false;
  for (uint32_t i = 0; i < sectionCount; ++i) {
    uint64_t at = table + 40ull * i;
    sections.push_back({r.U32(at + 12), r.U32(at + 8), r.U32(at + 20), r.U32(at + 16)});
    // The loader maps every section's bytes: a file cut short is no image.
    if (!r.Has(sections.back().offset, sections.back().rawSize)) return false;
  }

  image->exports.clear();
  if (directoryCount < 1 || optionalSize < directories + 8) return true;
  uint32_t exportRva = r.U32(optional + directories);
  if (exportRva == 0) return true;  // a module that exports nothing
  uint64_t dir;
  if (!FileOffset(sections, exportRva, &dir) || !r.Has(dir, 40)) return false;
  uint32_t nameCount = r.U32(dir + 24);
  uint64_t names;
  if (nameCount == 0) return true;
  if (!FileOffset(sections, r.U32(dir + 32), &names) || !r.Has(names, 4ull * nameCount))
    return false;
  for (uint32_t i = 0; i < nameCount; ++i) {
    uint64_t at;
    std::string name;
    if (!FileOffset(sections, r.U32(names + 4ull * i), &at) || !r.Name(at, &name)) return false;
    image->exports.push_back(name);
  }
  return true;
}

uint16_t MachineOfProcessor(const std::string &processor) {
  std::string upper = Upper(processor);
  if (upper == "X86") return kMachineI386;
  if (upper == "ALPHA") return kMachineAlpha;
  if (upper == "MIPS") return kMachineR4000;
  if (upper == "AMD64") return kMachineAmd64;
  return 0;
}

}  // namespace winsim
