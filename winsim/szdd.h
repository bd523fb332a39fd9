// Compressed distribution files as NT's setup media hold them: the SZDD format that COMPRESS.EXE
// writes, stored under the name with its last character replaced by '_' (PSCRIPT.DL_).
// VerInstallFileA expands them, as the LZ functions of NT do.
#ifndef WINSIM_SZDD_H
#define WINSIM_SZDD_H

#include <string>

namespace winsim {

enum class Expansion {
  kPlain,     // not compressed: the bytes are the file's own
  kExpanded,  // compressed and expanded whole
  kCorrupt,   // compressed, but its data cannot be expanded to the length its header gives
};

// The bytes of a file as the LZ functions read it: expanded when the host file is compressed.
Expansion ReadExpanded(const std::string &hostPath, std::string *bytes);

// The name a compressed copy of `name` is stored under: the last character of a three-letter
// extension becomes '_', a shorter extension gets '_' appended ("dotless" gives "dotless._").
std::string CompressedName(const std::string &name);

// `plain` as an SZDD file whose data is all literals: valid for any reader, no smaller.
std::string SzddStored(const std::string &plain);

}  // namespace winsim

#endif
