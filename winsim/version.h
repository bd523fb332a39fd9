// File versions of the simulated machine, as VERSION.DLL reads them: a file has a version when
// its bytes hold a VS_FIXEDFILEINFO block (it starts with the signature 0xFEEF04BD), as the
// version resource of a real executable does. A file without one has no version. The image
// tool and the tests make files that carry a version with VersionedBinary.
#ifndef WINSIM_VERSION_H
#define WINSIM_VERSION_H

#include <cstdint>
#include <string>

namespace winsim {

// The layout of VS_FIXEDFILEINFO, 13 little-endian 32-bit words.
struct FixedFileInfo {
  uint32_t signature = 0xFEEF04BD;
  uint32_t strucVersion = 0x00010000;
  uint32_t fileVersionMS = 0;
  uint32_t fileVersionLS = 0;
  uint32_t productVersionMS = 0;
  uint32_t productVersionLS = 0;
  uint32_t fileFlagsMask = 0x3F;
  uint32_t fileFlags = 0;
  uint32_t fileOS = 0x00040004;  // VOS_NT_WINDOWS32
  uint32_t fileType = 2;         // VFT_DLL
  uint32_t fileSubtype = 0;
  uint32_t fileDateMS = 0;
  uint32_t fileDateLS = 0;
};

// The first VS_FIXEDFILEINFO in the bytes, if any.
bool ReadFixedFileInfo(const std::string &bytes, FixedFileInfo *info);

// The 52 bytes of a VS_FIXEDFILEINFO.
std::string FixedFileInfoBytes(const FixedFileInfo &info);

// A placeholder binary of `size` bytes (at least the header and the block) that carries the
// file version ms.ls in a VS_FIXEDFILEINFO at a 4-byte aligned offset.
std::string VersionedBinary(const std::string &note, size_t size, uint32_t ms, uint32_t ls,
                            uint32_t fileType = 2);

}  // namespace winsim

#endif
