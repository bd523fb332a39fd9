// SZDD expansion through libmspack (winsim/szdd.h).
#include "winsim/szdd.h"

#include <mspack.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "winsim/machine.h"

namespace winsim {
namespace {

const char kMagic[] = "SZDD\x88\xF0\x27\x33";
const size_t kMagicSize = 8;
const size_t kHeaderSize = 14;  // magic, 'A', the missing character, the length

}  // namespace

Expansion ReadExpanded(const std::string &hostPath, std::string *bytes) {
  std::string raw;
  if (!ReadHostFile(hostPath, &raw)) return Expansion::kCorrupt;
  if (raw.size() < kMagicSize || raw.compare(0, kMagicSize, kMagic, kMagicSize) != 0) {
    *bytes = std::move(raw);
    return Expansion::kPlain;
  }
  if (raw.size() < kHeaderSize) return Expansion::kCorrupt;

  msszdd_decompressor *lz = mspack_create_szdd_decompressor(nullptr);
  if (!lz) return Expansion::kCorrupt;
  Expansion result = Expansion::kCorrupt;
  if (msszddd_header *header = lz->open(lz, const_cast<char *>(hostPath.c_str()))) {
    // libmspack writes to a file by name: a host temporary outside the image, where the host
    // keeps its temporary files.
    const char *tmp = std::getenv("TMPDIR");
    std::string out = std::string(tmp && *tmp ? tmp : "/tmp") + "/winsim-szdd-XXXXXX";
    int fd = ::mkstemp(&out[0]);
    if (fd >= 0) {
      ::close(fd);
      std::string expanded;
      // A file whose data ends early expands short without complaint: its header's length
      // tells.
      if (lz->extract(lz, header, &out[0]) == MSPACK_ERR_OK && ReadHostFile(out, &expanded) &&
          static_cast<off_t>(expanded.size()) == header->length) {
        *bytes = std::move(expanded);
        result = Expansion::kExpanded;
      }
      ::unlink(out.c_str());
    }
    lz->close(lz, header);
  }
  mspack_destroy_szdd_decompressor(lz);
  return result;
}

std::string CompressedName(const std::string &name) {
  size_t slash = name.find_last_of("\\/:");
  size_t base = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = name.find('.', base);
  if (dot == std::string::npos) return name + "._";
  if (name.size() - dot - 1 >= 3) return name.substr(0, name.size() - 1) + "_";
  return name + "_";
}

std::string SzddStored(const std::string &plain) {
  std::string out(kMagic, kMagicSize);
  out += 'A';
  out += '\0';
  for (int i = 0; i < 4; ++i) out += static_cast<char>((plain.size() >> (8 * i)) & 0xFF);
  // Every flag bit set: eight literal bytes follow each flag byte.
  for (size_t at = 0; at < plain.size(); at += 8) {
    out += '\xFF';
    out += plain.substr(at, 8);
  }
  return out;
}

}  // namespace winsim
