// The version calls: the size, read and query of a file's version information, and the version
// installer with its result bits, the order in which it looks at things and the compressed
// (SZDD) sources of a distribution. The files are made here: a minimal DLL image whose only
// content is a version resource, and SZDD files whose data is all literals.
#include <windows.h>
#include <winver.h>

#include <cstring>
#include <string>

#include "tests/conformance/conformance.h"

using conformance::ArmLastError;
using conformance::Check;
using conformance::Outcome;

namespace {

void Put16(std::string *s, size_t at, unsigned v) {
  (*s)[at] = static_cast<char>(v & 0xFF);
  (*s)[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string *s, size_t at, DWORD v) {
  Put16(s, at, v & 0xFFFF);
  Put16(s, at + 2, v >> 16);
}

const size_t kBlockSize = 92;  // VS_VERSIONINFO: header, key, padding, VS_FIXEDFILEINFO

// A 32-bit DLL image with one section, .rsrc, that holds RT_VERSION 1 of file version ms.ls.
std::string Dll(DWORD ms, DWORD ls, DWORD type = VFT_DLL) {
  std::string rsrc(88 + kBlockSize, '\0');
  // Three directory levels (type, name, language), each with one entry, then the data entry.
  for (size_t level = 0; level < 3; ++level) {
    size_t at = level * 24;
    Put16(&rsrc, at + 14, 1);  // NumberOfIdEntries
    Put32(&rsrc, at + 16, level == 0 ? 16 : level == 1 ? 1 : 0x409);
    Put32(&rsrc, at + 20, level < 2 ? 0x80000000u | static_cast<DWORD>(at + 24) : 72);
  }
  Put32(&rsrc, 72, 0x1000 + 88);  // the data's RVA
  Put32(&rsrc, 76, kBlockSize);
  size_t at = 88;
  Put16(&rsrc, at, kBlockSize);
  Put16(&rsrc, at + 2, sizeof(VS_FIXEDFILEINFO));
  const char key[] = "VS_VERSION_INFO";
  for (size_t i = 0; key[i]; ++i) Put16(&rsrc, at + 6 + 2 * i, key[i]);
  DWORD info[13] = {VS_FFI_SIGNATURE,
                    VS_FFI_STRUCVERSION,
                    ms,
                    ls,
                    ms,
                    ls,
                    VS_FFI_FILEFLAGSMASK,
                    0,
                    VOS_NT_WINDOWS32,
                    type,
                    0,
                    0,
                    0};
  for (size_t i = 0; i < 13; ++i) Put32(&rsrc, at + 40 + 4 * i, info[i]);

  std::string image(0x200, '\0');
  image[0] = 'M', image[1] = 'Z';
  Put32(&image, 0x3C, 0x40);
  image.replace(0x40, 4, std::string("PE\0\0", 4));
  Put16(&image, 0x44, 0x14C);   // i386
  Put16(&image, 0x46, 1);       // one section
  Put16(&image, 0x54, 0xE0);    // size of the optional header
  Put16(&image, 0x56, 0x2102);  // executable, 32-bit, DLL
  const size_t oh = 0x58;
  Put16(&image, oh, 0x10B);
  Put32(&image, oh + 8, 0x200);    // initialized data
  Put32(&image, oh + 20, 0x1000);  // base of code
  Put32(&image, oh + 24, 0x1000);  // base of data
  Put32(&image, oh + 28, 0x10000000);
  Put32(&image, oh + 32, 0x1000);  // section alignment
  Put32(&image, oh + 36, 0x200);   // file alignment
  Put16(&image, oh + 40, 3), Put16(&image, oh + 42, 10);
  Put16(&image, oh + 48, 3), Put16(&image, oh + 50, 10);
  Put32(&image, oh + 56, 0x2000);  // size of image
  Put32(&image, oh + 60, 0x200);   // size of headers
  Put16(&image, oh + 68, 2);       // GUI
  Put32(&image, oh + 72, 0x100000), Put32(&image, oh + 76, 0x1000);
  Put32(&image, oh + 80, 0x100000), Put32(&image, oh + 84, 0x1000);
  Put32(&image, oh + 92, 16);
  Put32(&image, oh + 112, 0x1000);  // the resource directory
  Put32(&image, oh + 116, static_cast<DWORD>(rsrc.size()));
  const size_t sh = oh + 0xE0;
  image.replace(sh, 5, ".rsrc");
  Put32(&image, sh + 8, static_cast<DWORD>(rsrc.size()));
  Put32(&image, sh + 12, 0x1000);
  Put32(&image, sh + 16, 0x200);
  Put32(&image, sh + 20, 0x200);
  Put32(&image, sh + 36, 0x40000040);  // initialized data, readable
  rsrc.resize(0x200, '\0');
  return image + rsrc;
}

// `plain` in the SZDD format with every byte a literal (each flag byte announces eight).
std::string Szdd(const std::string &plain, char method = 'A') {
  std::string out("SZDD\x88\xF0\x27\x33", 8);
  out += method;
  out += '\0';
  out.append(4, '\0');
  Put32(&out, 10, static_cast<DWORD>(plain.size()));
  for (size_t at = 0; at < plain.size(); at += 8) out += '\xFF' + plain.substr(at, 8);
  return out;
}

std::string ReadAll(const std::string &path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "(missing)";
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
  CloseHandle(h);
  return bytes;
}

bool Exists(const std::string &path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int CountFiles(const std::string &dir) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((dir + "*").c_str(), &data);
  int n = 0;
  if (find == INVALID_HANDLE_VALUE) return 0;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++n;
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return n;
}

// The result bits by name, so that a difference reads at once.
std::string Bits(DWORD bits) {
  static const struct {
    DWORD bit;
    const char *name;
  } names[] = {{VIF_TEMPFILE, "TEMPFILE"},
               {VIF_MISMATCH, "MISMATCH"},
               {VIF_SRCOLD, "SRCOLD"},
               {VIF_DIFFLANG, "DIFFLANG"},
               {VIF_DIFFCODEPG, "DIFFCODEPG"},
               {VIF_DIFFTYPE, "DIFFTYPE"},
               {VIF_WRITEPROT, "WRITEPROT"},
               {VIF_FILEINUSE, "FILEINUSE"},
               {VIF_OUTOFSPACE, "OUTOFSPACE"},
               {VIF_ACCESSVIOLATION, "ACCESSVIOLATION"},
               {VIF_SHARINGVIOLATION, "SHARING"},
               {VIF_CANNOTCREATE, "CANNOTCREATE"},
               {VIF_CANNOTDELETE, "CANNOTDELETE"},
               {VIF_CANNOTRENAME, "CANNOTRENAME"},
               {VIF_CANNOTDELETECUR, "DELETECUR"},
               {VIF_OUTOFMEMORY, "OUTOFMEMORY"},
               {VIF_CANNOTREADSRC, "CANNOTREADSRC"},
               {VIF_CANNOTREADDST, "CANNOTREADDST"},
               {VIF_BUFFTOOSMALL, "BUFFTOOSMALL"}};
  std::string text;
  for (const auto &n : names) {
    if (!(bits & n.bit)) continue;
    text += (text.empty() ? "" : "+") + std::string(n.name);
    bits &= ~n.bit;
  }
  if (bits) text += (text.empty() ? "" : "+") + std::to_string(bits);
  return text.empty() ? "0" : text;
}

void InfoChecks(const std::string &dir) {
  const std::string dll = dir + "info.dll", text = dir + "info.txt";
  conformance::WriteBytes(dll, Dll(0x00030032, 0x03270001));
  conformance::WriteBytes(text, "no version here\r\n");

  // The size: nonzero for a file with a version resource, the handle always 0, the last error
  // left alone on success and set on failure (NT 4 gives 3 for an empty name).
  struct SizeCase {
    const char *what;
    std::string file;
    const char *nt;
  } sizes[] = {
      {"GetFileVersionInfoSizeA(versioned)", dll, "1 err=untouched"},
      {"GetFileVersionInfoSizeA(no resource)", text, "0 err=1812"},
      {"GetFileVersionInfoSizeA(missing)", dir + "none.dll", "0 err=2"},
      {"GetFileVersionInfoSizeA(empty name)", "", "0 err=3"},
  };
  for (const SizeCase &c : sizes) {
    DWORD handle = 0x55555555;
    ArmLastError();
    DWORD size = GetFileVersionInfoSizeA(c.file.c_str(), &handle);
    Check(c.what, Outcome(size >= kBlockSize ? 1 : size) + " handle=" + std::to_string(handle),
          std::string(c.nt) + " handle=0");
  }

  char block[4096];
  std::memset(block, 0xA5, sizeof block);
  ArmLastError();
  Check("GetFileVersionInfoA", Outcome(GetFileVersionInfoA(dll.c_str(), 0, sizeof block, block)),
        "1 err=untouched");
  // A short buffer takes what fits and no more; the block's own length still tells the whole.
  char small[16];
  std::memset(small, 0xA5, sizeof small);
  BOOL ok = GetFileVersionInfoA(dll.c_str(), 0, 8, small);
  size_t whole = static_cast<unsigned char>(small[0]) | static_cast<unsigned char>(small[1]) << 8;
  Check("GetFileVersionInfoA(8 bytes)",
        std::to_string(ok) + (small[8] == '\xA5' ? " stops at 8" : " writes past 8") +
            (whole >= kBlockSize ? " whole length" : " cut length"),
        "1 stops at 8 whole length");

  // The root block is the VS_FIXEDFILEINFO, whether named "\", "" or not named at all.
  const char *roots[] = {"\\", "", nullptr};
  for (const char *root : roots) {
    VS_FIXEDFILEINFO *info = nullptr;
    UINT length = 0;
    BOOL ok = VerQueryValueA(block, root, reinterpret_cast<LPVOID *>(&info), &length);
    std::string what = std::string("VerQueryValueA(") + (root ? root : "null") + ")";
    Check(what.c_str(),
          ok && length == sizeof(VS_FIXEDFILEINFO) && info && info->dwSignature == VS_FFI_SIGNATURE,
          true);
    if (root && *root)
      Check("VerQueryValueA file version",
            ok && info ? std::to_string(info->dwFileVersionMS) + "." +
                             std::to_string(info->dwFileVersionLS)
                       : std::string("none"),
            "196658.52887553");
  }
  // A block that is not there: FALSE, the length 0, the pointer as it was, no last error.
  void *pointer = block;
  UINT length = 7;
  ArmLastError();
  std::string outcome =
      Outcome(VerQueryValueA(block, "\\StringFileInfo\\040904E4\\FileVersion", &pointer, &length));
  Check("VerQueryValueA(missing block)",
        outcome + " length=" + std::to_string(length) +
            (pointer == block ? " pointer kept" : " pointer changed"),
        "0 err=untouched length=0 pointer kept");
}

struct Install {
  DWORD flags;
  std::string src, dest, srcDir, destDir, curDir;
  UINT tmpSize = MAX_PATH;
};

// Calls the installer; `tmp` gets the temporary name and `tmpLength` its reported length.
DWORD Run(const Install &c, std::string *tmp = nullptr, UINT *tmpLength = nullptr,
          const std::string &earlierTmp = "") {
  char name[MAX_PATH];
  std::memset(name, 0, sizeof name);
  earlierTmp.copy(name, MAX_PATH - 1);
  UINT length = c.tmpSize;
  // Older headers declare every text of this call writable: the casts suit both.
  DWORD bits =
      VerInstallFileA(c.flags, const_cast<LPSTR>(c.src.c_str()), const_cast<LPSTR>(c.dest.c_str()),
                      const_cast<LPSTR>(c.srcDir.c_str()), const_cast<LPSTR>(c.destDir.c_str()),
                      const_cast<LPSTR>(c.curDir.c_str()), name, &length);
  if (tmp) *tmp = name;
  if (tmpLength) *tmpLength = length;
  return bits;
}

void InstallChecks(const std::string &root) {
  const std::string src = root + "src", cur = root + "cur";
  CreateDirectoryA(src.c_str(), nullptr);
  CreateDirectoryA(cur.c_str(), nullptr);
  const std::string v1 = Dll(0x00010000, 0), v2 = Dll(0x00020000, 0),
                    v2app = Dll(0x00020000, 0, VFT_APP), text = "plain text\r\n";
  conformance::WriteBytes(src + "\\v1.dll", v1);
  conformance::WriteBytes(src + "\\v2.dll", v2);
  conformance::WriteBytes(src + "\\v2app.dll", v2app);
  conformance::WriteBytes(src + "\\text.txt", text);
  conformance::WriteBytes(src + "\\packed.dl_", Szdd(v2));  // only compressed
  conformance::WriteBytes(src + "\\both.dll", v1);          // plain beside compressed
  conformance::WriteBytes(src + "\\both.dl_", Szdd(v2));
  conformance::WriteBytes(src + "\\old.dl_", Szdd(v1));
  conformance::WriteBytes(src + "\\readme._", Szdd(text));
  std::string cut = Szdd(v2);
  conformance::WriteBytes(src + "\\cut.dl_", cut.substr(0, cut.size() / 2));
  conformance::WriteBytes(src + "\\method.dl_", Szdd(v2, 'B'));
  int dirs = 0;
  auto freshDir = [&](const std::string &installed) {
    std::string dir = root + "d" + std::to_string(++dirs);
    CreateDirectoryA(dir.c_str(), nullptr);
    if (!installed.empty()) conformance::WriteBytes(dir + "\\m.dll", installed);
    return dir;
  };

  // The source is looked at before anything else: missing arguments and a missing source give
  // VIF_CANNOTREADSRC even where no destination could be made, and nothing is named.
  {
    char name[MAX_PATH] = "";
    UINT length = MAX_PATH;
    Check("VerInstallFileA(all null)",
          Bits(VerInstallFileA(0, nullptr, nullptr, nullptr, nullptr, nullptr, name, &length)),
          "CANNOTREADSRC");
    Check("VerInstallFileA(no destination name)",
          Bits(VerInstallFileA(0, const_cast<LPSTR>("none.dll"), nullptr, nullptr, nullptr, nullptr,
                               name, &length)),
          "CANNOTREADSRC");
    Check("VerInstallFileA(all null) names nothing", name[0] == '\0', true);
  }
  std::string none = root + "nodir\\deeper";
  Check("VerInstallFileA(no source, no destination directory)",
        Bits(Run({0, "none.dll", "none.dll", src, none, ""})), "CANNOTREADSRC");
  std::string empty = freshDir("");
  Check("VerInstallFileA(no source)", Bits(Run({0, "none.dll", "m.dll", src, empty, ""})),
        "CANNOTREADSRC");
  Check("VerInstallFileA(source is a directory)", Bits(Run({0, "d1", "m.dll", root, empty, ""})),
        "CANNOTREADSRC");
  Check("VerInstallFileA(no source) leaves nothing", CountFiles(empty + "\\"), 0);

  // Installs that go through leave the new file alone in the destination.
  struct Plain {
    const char *what, *source;
    std::string installed, expect;
  } plain[] = {
      {"VerInstallFileA(new file)", "v2.dll", "", v2},
      {"VerInstallFileA(newer over older)", "v2.dll", v1, v2},
      {"VerInstallFileA(same version)", "v2.dll", v2, v2},
      {"VerInstallFileA(unversioned over unversioned)", "text.txt", "old text", text},
      {"VerInstallFileA(versioned over unversioned)", "v1.dll", "old text", v1},
  };
  for (const Plain &c : plain) {
    std::string dir = freshDir(c.installed);
    DWORD bits = Run({0, c.source, "m.dll", src, dir, ""});
    bool alone = ReadAll(dir + "\\m.dll") == c.expect && CountFiles(dir + "\\") == 1;
    Check(c.what, Bits(bits) + (alone ? "" : " not installed alone"), "0");
  }

  // A refusal keeps the installed file, leaves the temporary copy in the destination and names
  // it; forcing the install with that name puts the copy in place.
  struct Refusal {
    const char *what, *source;
    std::string installed;
    const char *bits;
    std::string copy;
  } refusals[] = {
      {"VerInstallFileA(older over newer)", "v1.dll", v2, "TEMPFILE+MISMATCH+SRCOLD", v1},
      {"VerInstallFileA(another file type)", "v2app.dll", v2, "TEMPFILE+MISMATCH+DIFFTYPE", v2app},
      {"VerInstallFileA(compressed older over newer)", "old.dll", v2, "TEMPFILE+MISMATCH+SRCOLD",
       v1},
  };
  for (const Refusal &c : refusals) {
    std::string dir = freshDir(c.installed), tmp;
    UINT length = 0;
    Check(c.what, Bits(Run({0, c.source, "m.dll", src, dir, ""}, &tmp, &length)), c.bits);
    std::string w = c.what;
    std::string leftName = tmp.substr(tmp.find_last_of('\\') + 1);
    Check((w + " temporary copy").c_str(),
          std::string(tmp.find('\\') == std::string::npos ? "bare name" : "name with path") +
              (length == tmp.size() + 1 ? ", its length" : ", another length") +
              (ReadAll(dir + "\\" + leftName) == c.copy ? ", the new file" : ", no copy") +
              (ReadAll(dir + "\\m.dll") == c.installed ? ", installed kept" : ", replaced"),
          "bare name, its length, the new file, installed kept");
    DWORD forced = Run({VIFF_FORCEINSTALL, c.source, "m.dll", src, dir, ""}, nullptr, nullptr, tmp);
    bool used = ReadAll(dir + "\\m.dll") == c.copy && CountFiles(dir + "\\") == 1;
    Check((w + " forced").c_str(), Bits(forced) + (used ? "" : " copy not used"), "0");
  }
  {
    // A name buffer too small for the temporary name: its size is told.
    std::string dir = freshDir(v2);
    UINT length = 0;
    Check("VerInstallFileA(name buffer of 2)",
          Bits(Run({0, "v1.dll", "m.dll", src, dir, "", 2}, nullptr, &length)),
          "MISMATCH+SRCOLD+BUFFTOOSMALL");
    Check("VerInstallFileA(name buffer of 2) length",
          length > 2 ? std::string("size needed") : std::to_string(length), "size needed");
  }
  {
    // A read-only installed file: the cause, the failed step and the copy left behind.
    std::string dir = freshDir(v1);
    SetFileAttributesA((dir + "\\m.dll").c_str(), FILE_ATTRIBUTE_READONLY);
    DWORD bits = Run({0, "v2.dll", "m.dll", src, dir, ""});
    Check("VerInstallFileA(read-only destination)",
          Bits(bits) + (ReadAll(dir + "\\m.dll") == v1 ? "" : " replaced"),
          "TEMPFILE+WRITEPROT+CANNOTDELETE");
    SetFileAttributesA((dir + "\\m.dll").c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  {
    // An older copy in the current directory goes, unless the caller keeps it.
    struct Cur {
      const char *what;
      DWORD flags;
      bool kept;
    } curs[] = {{"VerInstallFileA(older copy elsewhere)", 0, false},
                {"VerInstallFileA(older copy elsewhere, kept)", VIFF_DONTDELETEOLD, true}};
    for (const Cur &c : curs) {
      std::string dir = freshDir("");
      conformance::WriteBytes(cur + "\\m.dll", v1);
      DWORD bits = Run({c.flags, "v2.dll", "m.dll", src, dir, cur});
      Check(c.what, Bits(bits) + (Exists(cur + "\\m.dll") ? " old kept" : " old deleted"),
            c.kept ? "0 old kept" : "0 old deleted");
    }
  }

  // Compressed sources: the compressed name stands in for a missing plain one, a compressed
  // file is expanded whatever its name, a plain file is preferred, and one that does not expand
  // cannot be read and leaves nothing behind.
  struct Packed {
    const char *what, *source, *dest;
    const char *bits;
    std::string expect;
  } packed[] = {
      {"VerInstallFileA(compressed name only)", "packed.dll", "m.dll", "0", v2},
      {"VerInstallFileA(compressed name given)", "packed.dl_", "m.dll", "0", v2},
      {"VerInstallFileA(plain beside compressed)", "both.dll", "m.dll", "0", v1},
      {"VerInstallFileA(compressed, no extension)", "readme", "m.dll", "0", text},
      {"VerInstallFileA(compressed, cut short)", "cut.dll", "m.dll", "CANNOTREADSRC", ""},
      {"VerInstallFileA(compressed, unknown method)", "method.dll", "m.dll", "CANNOTREADSRC", ""},
  };
  for (const Packed &c : packed) {
    std::string dir = freshDir("");
    DWORD bits = Run({0, c.source, c.dest, src, dir, ""});
    bool right =
        c.expect.empty() ? CountFiles(dir + "\\") == 0 : ReadAll(dir + "\\m.dll") == c.expect;
    Check(c.what,
          Bits(bits) + (right              ? ""
                        : c.expect.empty() ? " left files"
                                           : " other bytes"),
          c.bits);
  }
}

}  // namespace

CONFORMANCE_AREA(version) {
  std::string dir = conformance::Scratch();
  InfoChecks(dir);
  InstallChecks(dir);
  conformance::RemoveTree(dir);
}
