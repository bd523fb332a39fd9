// VERSION.DLL of the simulated machine: VerInstallFileA with its documented result bits, over
// the files of the image, and the file versions it compares (winsim/version.h).
//
// VerInstallFileA looks at the source first, then copies it, expanded when it is compressed
// (winsim/szdd.h), into a temporary file in the destination directory. Without
// VIFF_FORCEINSTALL it then compares the versions: a source older than the installed
// destination (or without a version while the destination has one) is refused with
// VIF_MISMATCH | VIF_SRCOLD, a different file type with VIF_MISMATCH | VIF_DIFFTYPE. A refused
// install, and one whose destination cannot be replaced (read-only: VIF_WRITEPROT; loaded by a
// running service: VIF_FILEINUSE), leaves the temporary copy in the destination directory and
// answers VIF_TEMPFILE with its name in szTmpFile, so that the caller may force the install
// from it with a second call or delete it. Otherwise the temporary copy replaces the
// destination, and an older copy in szCurDir is deleted unless VIFF_DONTDELETEOLD is given.
#include "winsim/version.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "winsim/machine.h"
#include "winsim/szdd.h"

namespace winsim {
namespace {

const uint32_t kSignature = 0xFEEF04BD;
const size_t kInfoWords = 13;
const size_t kInfoBytes = kInfoWords * 4;

uint32_t Word(const std::string &bytes, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

void PutWord(std::string *bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) *bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// "dir\name", the directory taken as it is when it already ends in a separator.
std::string Join(const std::string &dir, const std::string &name) {
  if (dir.empty()) return name;
  char last = dir.back();
  return (last == '\\' || last == '/' || last == ':') ? dir + name : dir + "\\" + name;
}

struct HostFile {
  std::string host;
  bool exists = false;
  bool isDir = false;
  bool readOnly = false;
};

bool Locate(const std::string &windowsPath, HostFile *file) {
  std::string full;
  uint32_t error = 0;
  if (!FullWindowsPath(windowsPath, &full, &error) || !ResolvePath(full, &file->host, &error))
    return false;
  struct stat st;
  file->exists = ::stat(file->host.c_str(), &st) == 0;
  file->isDir = file->exists && S_ISDIR(st.st_mode);
  file->readOnly = file->exists && (st.st_mode & S_IWUSR) == 0;
  return true;
}

// The VIF_ bit that tells why a create, delete or rename failed.
DWORD VifOfErrno(int e) {
  switch (e) {
    case ENOSPC:
    case EDQUOT:
      return VIF_OUTOFSPACE;
    case EBUSY:
    case ETXTBSY:
      return VIF_SHARINGVIOLATION;
    case ENOMEM:
      return VIF_OUTOFMEMORY;
    case EACCES:
    case EPERM:
    case EROFS:
      return VIF_ACCESSVIOLATION;
    default:
      return 0;
  }
}

// What an injected fault of VerInstallFileA stands for.
DWORD VifOfError(DWORD error) {
  switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return VIF_OUTOFSPACE;
    case ERROR_ACCESS_DENIED:
    case ERROR_NOACCESS:
      return VIF_ACCESSVIOLATION;
    case ERROR_SHARING_VIOLATION:
      return VIF_SHARINGVIOLATION;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return VIF_OUTOFMEMORY;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return VIF_CANNOTREADSRC;
    default:
      return VIF_CANNOTCREATE;
  }
}

// Creates a new temporary file "VERxxxx.TMP" in the destination directory holding `bytes`;
// answers its name (without directory) or 0 bits of failure.
DWORD CreateTempCopy(const std::string &destDir, const std::string &bytes, std::string *name,
                     std::string *host) {
  unsigned start = static_cast<unsigned>(NowMs() & 0xFFFF);
  for (unsigned i = 0; i < 0x10000; ++i) {
    unsigned unique = (start + i) & 0xFFFF;
    if (unique == 0) continue;
    char text[16];
    std::snprintf(text, sizeof text, "VER%04X.TMP", unique);
    HostFile file;
    if (!Locate(Join(destDir, text), &file)) return VIF_CANNOTCREATE;
    if (file.exists) continue;
    int fd = ::open(file.host.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return VIF_CANNOTCREATE | VifOfErrno(errno);
    }
    ::close(fd);
    HostEntryCreated(file.host);
    if (!WriteFileAtomically(file.host, bytes)) {
      UnlinkHost(file.host);
      return VIF_CANNOTCREATE | VIF_OUTOFSPACE;
    }
    *name = text;
    *host = file.host;
    return 0;
  }
  return VIF_CANNOTCREATE;
}

}  // namespace

bool ReadFixedFileInfo(const std::string &bytes, FixedFileInfo *info) {
  for (size_t at = 0; at + kInfoBytes <= bytes.size(); ++at) {
    if (Word(bytes, at) != kSignature) continue;
    uint32_t words[kInfoWords];
    for (size_t i = 0; i < kInfoWords; ++i) words[i] = Word(bytes, at + 4 * i);
    // Only the structure version 1.x is a real block; anything else is a chance match.
    if ((words[1] >> 16) != 1) continue;
    info->signature = words[0];
    info->strucVersion = words[1];
    info->fileVersionMS = words[2];
    info->fileVersionLS = words[3];
    info->productVersionMS = words[4];
    info->productVersionLS = words[5];
    info->fileFlagsMask = words[6];
    info->fileFlags = words[7];
    info->fileOS = words[8];
    info->fileType = words[9];
    info->fileSubtype = words[10];
    info->fileDateMS = words[11];
    info->fileDateLS = words[12];
    return true;
  }
  return false;
}

std::string FixedFileInfoBytes(const FixedFileInfo &info) {
  std::string bytes;
  for (uint32_t word :
       {info.signature, info.strucVersion, info.fileVersionMS, info.fileVersionLS,
        info.productVersionMS, info.productVersionLS, info.fileFlagsMask, info.fileFlags,
        info.fileOS, info.fileType, info.fileSubtype, info.fileDateMS, info.fileDateLS})
    PutWord(&bytes, word);
  return bytes;
}

std::string VersionedBinary(const std::string &note, size_t size, uint32_t ms, uint32_t ls,
                            uint32_t fileType) {
  std::string data = "MZ";
  data.resize(64, '\0');
  data += note;
  while (data.size() % 4) data += '\0';
  // The block sits where a version resource would: VS_VERSION_INFO's key, then the block.
  const char key[] = "VS_VERSION_INFO";
  data.append(key, sizeof key);
  while (data.size() % 4) data += '\0';
  FixedFileInfo info;
  info.fileVersionMS = info.productVersionMS = ms;
  info.fileVersionLS = info.productVersionLS = ls;
  info.fileType = fileType;
  data += FixedFileInfoBytes(info);
  uint32_t seed = 2166136261u ^ ms ^ ls;
  while (data.size() < size) {
    seed = seed * 1103515245u + 12345u;
    data += static_cast<char>((seed >> 16) & 0x7F);  // never a chance signature
  }
  return data;
}

}  // namespace winsim

using winsim::HostFile;

extern "C" {

DWORD WINAPI VerInstallFileA(DWORD uFlags, LPCSTR szSrcFileName, LPCSTR szDestFileName,
                             LPCSTR szSrcDir, LPCSTR szDestDir, LPCSTR szCurDir, LPSTR szTmpFile,
                             PUINT puTmpFileLen) {
  if (DWORD e = winsim::Fault("VerInstallFileA")) return winsim::VifOfError(e);
  // The source is looked at first: without one nothing else matters. A source missing under
  // its own name is taken from its compressed copy (m.dl_ for m.dll), and a compressed source
  // is expanded on the way; one that does not expand cannot be read.
  if (!szSrcFileName || !szSrcFileName[0]) return VIF_CANNOTREADSRC;
  const std::string srcDir = szSrcDir ? szSrcDir : "";
  const std::string destDir = szDestDir ? szDestDir : "";
  HostFile src;
  if (!winsim::Locate(winsim::Join(srcDir, szSrcFileName), &src)) return VIF_CANNOTREADSRC;
  if (!src.exists &&
      !winsim::Locate(winsim::Join(srcDir, winsim::CompressedName(szSrcFileName)), &src))
    return VIF_CANNOTREADSRC;
  std::string srcBytes;
  if (!src.exists || src.isDir ||
      winsim::ReadExpanded(src.host, &srcBytes) == winsim::Expansion::kCorrupt)
    return VIF_CANNOTREADSRC;

  if (!szDestFileName || !szDestFileName[0] || !szTmpFile || !puTmpFileLen) return VIF_CANNOTCREATE;

  HostFile dir, dest;
  if (!winsim::Locate(destDir.empty() ? "." : destDir, &dir) || !dir.isDir ||
      !winsim::Locate(winsim::Join(destDir, szDestFileName), &dest))
    return VIF_CANNOTCREATE;

  // With VIFF_FORCEINSTALL a temporary copy that an earlier call left is installed as it is.
  std::string tempName, tempHost;
  if ((uFlags & VIFF_FORCEINSTALL) && szTmpFile[0]) {
    HostFile earlier;
    if (winsim::Locate(winsim::Join(destDir, szTmpFile), &earlier) && earlier.exists &&
        !earlier.isDir)
      tempName = szTmpFile, tempHost = earlier.host;
  }
  if (tempHost.empty()) {
    if (DWORD bits = winsim::CreateTempCopy(destDir, srcBytes, &tempName, &tempHost)) return bits;
  }

  DWORD result = 0;
  std::string destBytes;
  if (dest.exists && !dest.isDir && !winsim::ReadHostFile(dest.host, &destBytes))
    result |= VIF_CANNOTREADDST;
  if (dest.isDir) result |= VIF_CANNOTREADDST;

  if (!(uFlags & VIFF_FORCEINSTALL) && dest.exists && !dest.isDir && !result) {
    winsim::FixedFileInfo destInfo, srcInfo;
    std::string tempBytes;
    if (!winsim::ReadHostFile(tempHost, &tempBytes)) tempBytes = srcBytes;
    if (winsim::ReadFixedFileInfo(destBytes, &destInfo)) {
      if (!winsim::ReadFixedFileInfo(tempBytes, &srcInfo)) {
        result |= VIF_MISMATCH | VIF_SRCOLD;
      } else {
        uint64_t destVersion = uint64_t{destInfo.fileVersionMS} << 32 | destInfo.fileVersionLS;
        uint64_t srcVersion = uint64_t{srcInfo.fileVersionMS} << 32 | srcInfo.fileVersionLS;
        if (destVersion > srcVersion) result |= VIF_MISMATCH | VIF_SRCOLD;
        if (destInfo.fileType != srcInfo.fileType || destInfo.fileSubtype != srcInfo.fileSubtype)
          result |= VIF_MISMATCH | VIF_DIFFTYPE;
      }
    }
  }

  // The destination must go before the temporary copy takes its name.
  if (!result && dest.exists) {
    if (dest.readOnly)
      result |= VIF_WRITEPROT | VIF_CANNOTDELETE;
    else if (winsim::IsFileLoaded(dest.host))
      result |= VIF_FILEINUSE | VIF_CANNOTDELETE;
    else if (winsim::UnlinkHost(dest.host) != 0)
      result |= VIF_CANNOTDELETE | winsim::VifOfErrno(errno);
  }

  if (result) {
    // Refused: the temporary copy stays, and the caller learns its name.
    UINT needed = static_cast<UINT>(tempName.size() + 1);
    if (*puTmpFileLen < needed) {
      winsim::UnlinkHost(tempHost);
      *puTmpFileLen = needed;
      return result | VIF_BUFFTOOSMALL;
    }
    std::memcpy(szTmpFile, tempName.c_str(), needed);
    *puTmpFileLen = needed;
    return result | VIF_TEMPFILE;
  }

  // An older copy elsewhere goes, unless the caller keeps it.
  if (!(uFlags & VIFF_DONTDELETEOLD) && szCurDir && szCurDir[0]) {
    HostFile cur, curDir;
    if (winsim::Locate(szCurDir, &curDir) && curDir.host != dir.host &&
        winsim::Locate(winsim::Join(szCurDir, szDestFileName), &cur) && cur.exists) {
      if (cur.isDir || cur.readOnly || winsim::IsFileLoaded(cur.host) ||
          winsim::UnlinkHost(cur.host) != 0)
        result |= VIF_CANNOTDELETECUR;
    }
  }

  // The new file takes the name the caller gave (an existing one keeps its stored case).
  if (winsim::RenameHost(tempHost, dest.host) != 0) {
    result |= VIF_CANNOTRENAME | winsim::VifOfErrno(errno);
    winsim::UnlinkHost(tempHost);
  }
  return result;
}

}  // extern "C"

// ---- File version information ------------------------------------------------------------
// A file's version information is its VS_VERSIONINFO block: the header (lengths, type, the
// key "VS_VERSION_INFO" in UTF-16) and the VS_FIXEDFILEINFO, which VerQueryValueA answers
// for the root block "\".

namespace winsim {
namespace {

const size_t kInfoOffset = 40;  // 6 bytes of header and 32 of key, aligned to 4

// The file's VS_FIXEDFILEINFO; false with the Win32 error when it has none.
bool FileVersionBlock(LPCSTR name, std::string *block, DWORD *error) {
  HostFile file;
  if (!name || !*name || !Locate(name, &file)) return *error = ERROR_PATH_NOT_FOUND, false;
  if (!file.exists || file.isDir) return *error = ERROR_FILE_NOT_FOUND, false;
  std::string bytes;
  FixedFileInfo info;
  if (!ReadHostFile(file.host, &bytes)) return *error = ERROR_ACCESS_DENIED, false;
  if (!ReadFixedFileInfo(bytes, &info)) return *error = ERROR_RESOURCE_DATA_NOT_FOUND, false;
  std::string out;
  const size_t total = kInfoOffset + kInfoBytes;
  out += static_cast<char>(total & 0xFF);
  out += static_cast<char>(total >> 8);
  out += static_cast<char>(kInfoBytes);
  out += '\0';
  out += '\0';  // wType: binary
  out += '\0';
  for (char c : std::string("VS_VERSION_INFO")) {
    out += c;
    out += '\0';
  }
  out.append(2, '\0');
  out.resize(kInfoOffset, '\0');
  *block = out + FixedFileInfoBytes(info);
  return true;
}

}  // namespace
}  // namespace winsim

extern "C" {

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle) {
  if (lpdwHandle) *lpdwHandle = 0;
  if (DWORD e = winsim::Fault("GetFileVersionInfoSizeA")) return SetLastError(e), 0;
  std::string block;
  DWORD error = 0;
  if (!winsim::FileVersionBlock(lptstrFilename, &block, &error)) return SetLastError(error), 0;
  return static_cast<DWORD>(block.size());
}

BOOL WINAPI GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData) {
  (void)dwHandle;
  if (DWORD e = winsim::Fault("GetFileVersionInfoA")) return SetLastError(e), FALSE;
  if (!lpData || dwLen == 0) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
  std::string block;
  DWORD error = 0;
  if (!winsim::FileVersionBlock(lptstrFilename, &block, &error)) return SetLastError(error), FALSE;
  // A buffer too small takes what fits; its own length field still tells the whole.
  std::memcpy(lpData, block.data(), std::min<size_t>(dwLen, block.size()));
  return TRUE;
}

BOOL WINAPI VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID *lplpBuffer, PUINT puLen) {
  if (winsim::Fault("VerQueryValueA")) return FALSE;
  if (!pBlock || !lplpBuffer || !puLen) return FALSE;
  // A block that is not there reads as empty; the last error stays as it was.
  *puLen = 0;
  const unsigned char *block = static_cast<const unsigned char *>(pBlock);
  size_t total = block[0] | static_cast<size_t>(block[1]) << 8;
  size_t valueLength = block[2] | static_cast<size_t>(block[3]) << 8;
  std::string sub = lpSubBlock ? lpSubBlock : "";
  // The root block only: the string tables and translations are not kept.
  if ((sub != "\\" && !sub.empty()) || valueLength != winsim::kInfoBytes ||
      total < winsim::kInfoOffset + winsim::kInfoBytes)
    return FALSE;
  *lplpBuffer = const_cast<unsigned char *>(block + winsim::kInfoOffset);
  *puLen = static_cast<UINT>(valueLength);
  return TRUE;
}

}  // extern "C"
