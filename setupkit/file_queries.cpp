// The detection library's questions about files, paths, the environment and .ini files.
//
// Files are found as the installation services find them (a path relative to the current
// directory, names without regard to case). The library only looks: nothing here changes the
// machine.
//
// - A file's date is the time it was last written, in local time.
// - A file's version is the file version of its version resource, as VERSION.DLL reads it; a
//   file without one has no version.
// - A file that can be read is one that opens for reading; one that can be written is neither
//   read-only nor held open by a running program.
// - FIsDriverInConfig reads CONFIG.SYS in the root of the drive that holds the Windows
//   directory, the drive the machine starts from.
// - An .ini file named without a directory is the one in the Windows directory, as for the
//   installation services' .ini functions.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "setupkit/install_services.h"
#include "setupkit/setupkit.h"
#include "toolkit/toolkit_services.h"

namespace {

// The largest signed 32-bit count (LONG is 32 bits on every build).
const LONG kLongMax = 0x7FFFFFFF;

const size_t kMaxPath = 259;

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// The places where the path's separators stand, stepping over double-byte characters whole;
// false when the path is not a valid full path of a file.
bool CheckFilePath(const std::string &path, std::vector<size_t> *separators) {
  size_t n = path.size();
  if (n < 4 || n > kMaxPath) return false;
  if (!std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' || !IsSeparator(path[2]))
    return false;
  separators->assign(1, 2);
  // A separator at the end would make it a directory, not a file.
  return setupkit::CheckPathNames(path, 3, false, separators);
}

// A file or directory of the machine; false when the path names nothing there.
bool Find(LPCSTR szPath, setupkit::MachineFile *file) {
  if (!szPath || !*szPath) return false;
  DWORD error = 0;
  return setupkit::LocateMachineFile(szPath, file, &error) && file->exists;
}

bool FindFile(LPCSTR szPath, setupkit::MachineFile *file) {
  return Find(szPath, file) && !file->isDir;
}

// Answers the text as the library's text results do: nothing is written for an empty one.
int Answer(const std::string &text, LPSTR szBuf, int cbBuf) {
  if (text.empty()) return 0;
  return setupkit::CopyText(text, szBuf, cbBuf);
}

std::string EnvValue(LPCSTR szName) {
  if (!szName || !*szName) return "";
  std::vector<char> buffer(32768);
  DWORD n = GetEnvironmentVariableA(szName, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n == 0 || n >= buffer.size()) return "";
  return std::string(buffer.data(), n);
}

std::string JoinPath(const std::string &dir, const std::string &name) {
  if (dir.empty() || IsSeparator(dir.back()) || dir.back() == ':') return dir + name;
  return dir + "\\" + name;
}

// The first file of the name in the directory or below it, files of a directory before its
// subdirectories, names in the order of their upper-case forms.
bool SearchTree(const std::string &dir, const std::string &upperName, int depth,
                std::string *found) {
  if (depth > 64) return false;
  std::vector<WIN32_FIND_DATAA> entries;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(JoinPath(dir, "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  do {
    std::string name = data.cFileName;
    if (name != "." && name != "..") entries.push_back(data);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  std::sort(entries.begin(), entries.end(),
            [](const WIN32_FIND_DATAA &a, const WIN32_FIND_DATAA &b) {
              return setupkit::Upper(a.cFileName) < setupkit::Upper(b.cFileName);
            });
  for (const WIN32_FIND_DATAA &entry : entries)
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        setupkit::Upper(entry.cFileName) == upperName) {
      *found = JoinPath(dir, entry.cFileName);
      return true;
    }
  for (const WIN32_FIND_DATAA &entry : entries)
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        SearchTree(JoinPath(dir, entry.cFileName), upperName, depth + 1, found))
      return true;
  return false;
}

std::string FileName(const std::string &path) {
  size_t cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The file that a CONFIG.SYS line loads ("DEVICE=C:\DOS\HIMEM.SYS /TESTMEM:OFF"), or empty.
std::string DeviceOf(const std::string &line) {
  std::string text = setupkit::TrimLine(line);
  std::string upper = setupkit::Upper(text);
  size_t word = 0;
  if (upper.compare(0, 10, "DEVICEHIGH") == 0)
    word = 10;
  else if (upper.compare(0, 6, "DEVICE") == 0)
    word = 6;
  else
    return "";
  size_t i = text.find_first_not_of(" \t", word);
  if (i == std::string::npos || text[i] != '=') return "";
  i = text.find_first_not_of(" \t", i + 1);
  if (i == std::string::npos) return "";
  size_t end = text.find_first_of(" \t", i);
  return text.substr(i, end == std::string::npos ? std::string::npos : end - i);
}

std::string WithoutExtension(const std::string &name) {
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

extern "C" {

// ---- paths --------------------------------------------------------------------------------------

BOOL WINAPI FValidPath(LPCSTR szPath) {
  std::vector<size_t> separators;
  return szPath && CheckFilePath(szPath, &separators) ? TRUE : FALSE;
}

BOOL WINAPI FParsePathIntoPieces(LPCSTR szPath, LPSTR szVolume, int cbVolume, LPSTR szDir,
                                 int cbDir, LPSTR szFile, int cbFile) {
  std::vector<size_t> separators;
  if (!szPath || !CheckFilePath(szPath, &separators)) return FALSE;
  std::string path = szPath;
  size_t last = separators.back();
  std::string volume = path.substr(0, 2);
  std::string dir = path.substr(2, last - 1);
  std::string file = path.substr(last + 1);
  // Every piece asked for must fit before any is written.
  auto fits = [](LPSTR buf, int cb, const std::string &piece) {
    return !buf || (cb > 0 && piece.size() < static_cast<size_t>(cb));
  };
  if (!fits(szVolume, cbVolume, volume) || !fits(szDir, cbDir, dir) || !fits(szFile, cbFile, file))
    return FALSE;
  if (szVolume) setupkit::CopyText(volume, szVolume, cbVolume);
  if (szDir) setupkit::CopyText(dir, szDir, cbDir);
  if (szFile) setupkit::CopyText(file, szFile, cbFile);
  return TRUE;
}

// ---- files and directories ----------------------------------------------------------------------

BOOL WINAPI FDoesFileExist(LPCSTR szFile, int fem) {
  setupkit::MachineFile file;
  if (!FindFile(szFile, &file)) return FALSE;
  bool readable = setupkit::FileReadable(file.full);
  bool writable = !file.readOnly && !setupkit::FileInUse(file.full);
  switch (fem) {
    case femExists:
      return TRUE;
    case femRead:
      return readable ? TRUE : FALSE;
    case femWrite:
      return writable ? TRUE : FALSE;
    case femReadWrite:
      return readable && writable ? TRUE : FALSE;
    default:
      return FALSE;
  }
}

BOOL WINAPI FDirExists(LPCSTR szDir) {
  setupkit::MachineFile file;
  return Find(szDir, &file) && file.isDir ? TRUE : FALSE;
}

LONG WINAPI LcbGetSizeOfFile(LPCSTR szFile) {
  setupkit::MachineFile file;
  if (!FindFile(szFile, &file)) return -1;
  return file.size > static_cast<uint64_t>(kLongMax) ? kLongMax : static_cast<LONG>(file.size);
}

int WINAPI CbGetDateOfFile(LPCSTR szFile, LPSTR szBuf, int cbBuf) {
  setupkit::MachineFile file;
  FILETIME local;
  SYSTEMTIME when;
  if (!FindFile(szFile, &file) || !FileTimeToLocalFileTime(&file.written, &local) ||
      !FileTimeToSystemTime(&local, &when))
    return 0;
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u-%02u-%02u-%02u", when.wYear, when.wMonth,
                when.wDay, when.wHour, when.wMinute, when.wSecond);
  return Answer(text, szBuf, cbBuf);
}

int WINAPI CbGetVersionOfFile(LPCSTR szFile, LPSTR szBuf, int cbBuf) {
  setupkit::MachineFile file;
  if (!FindFile(szFile, &file)) return 0;
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(file.full.c_str(), &handle);
  if (size == 0) return 0;
  std::vector<char> block(size);
  VS_FIXEDFILEINFO *info = nullptr;
  UINT length = 0;
  if (!GetFileVersionInfoA(file.full.c_str(), handle, size, block.data()) ||
      !VerQueryValueA(block.data(), "\\", reinterpret_cast<LPVOID *>(&info), &length) ||
      length < sizeof *info)
    return 0;
  char text[64];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u",
                static_cast<unsigned>(info->dwFileVersionMS >> 16),
                static_cast<unsigned>(info->dwFileVersionMS & 0xFFFF),
                static_cast<unsigned>(info->dwFileVersionLS >> 16),
                static_cast<unsigned>(info->dwFileVersionLS & 0xFFFF));
  return Answer(text, szBuf, cbBuf);
}

LONG WINAPI LGetVersionNthField(LPCSTR szVersion, int nField) {
  if (!szVersion || nField < 1 || nField > 4) return 0;
  const char *p = szVersion;
  for (int i = 1; i < nField; ++i) {
    while (*p && *p != '.') ++p;
    if (!*p) return 0;  // fewer fields than asked for
    ++p;
  }
  while (*p == ' ') ++p;
  unsigned long value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + static_cast<unsigned long>(*p - '0');
    if (value > static_cast<unsigned long>(kLongMax)) return kLongMax;
  }
  return static_cast<LONG>(value);
}

// ---- searches -----------------------------------------------------------------------------------

int WINAPI CbGetEnvVariableValue(LPCSTR szEnvVar, LPSTR szBuf, int cbBuf) {
  return Answer(EnvValue(szEnvVar), szBuf, cbBuf);
}

int WINAPI CbFindTargetOnEnvVar(LPCSTR szFile, LPCSTR szEnvVar, LPSTR szBuf, int cbBuf) {
  if (!szFile || !*szFile) return 0;
  // The variable's directories without the blanks around them, which a person may have typed.
  std::string list;
  for (const std::string &dir : setupkit::SplitDirectoryList(EnvValue(szEnvVar)))
    list += (list.empty() ? "" : ";") + dir;
  if (list.empty()) return 0;
  char found[MAX_PATH];
  LPSTR name = nullptr;
  DWORD n = SearchPathA(list.c_str(), szFile, nullptr, sizeof found, found, &name);
  if (n == 0 || n >= sizeof found) return 0;
  return Answer(found, szBuf, cbBuf);
}

int WINAPI CbFindFileInTree(LPCSTR szFile, LPCSTR szDir, LPSTR szBuf, int cbBuf) {
  setupkit::MachineFile dir;
  if (!szFile || !*szFile || !Find(szDir, &dir) || !dir.isDir) return 0;
  std::string found;
  if (!SearchTree(dir.full, setupkit::Upper(szFile), 0, &found)) return 0;
  return Answer(found, szBuf, cbBuf);
}

BOOL WINAPI FIsDriverInConfig(LPCSTR szDriver) {
  if (!szDriver || !*szDriver) return FALSE;
  char windows[MAX_PATH];
  UINT length = GetWindowsDirectoryA(windows, sizeof windows);
  if (length < 2 || length >= sizeof windows) return FALSE;
  std::string config = std::string(windows, 2) + "\\CONFIG.SYS";
  std::string text;
  DWORD error = 0;
  if (!setupkit::ReadMachineFile(config, &text, &error)) return FALSE;
  std::string wanted = setupkit::Upper(FileName(szDriver));
  bool bare = wanted.find('.') == std::string::npos;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string device = setupkit::Upper(FileName(DeviceOf(text.substr(pos, end - pos))));
    pos = end + 1;
    if (device.empty()) continue;
    if (device == wanted || (bare && WithoutExtension(device) == wanted)) return TRUE;
  }
  return FALSE;
}

// ---- .ini files ---------------------------------------------------------------------------------

int WINAPI CbGetIniKeyString(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, LPSTR szBuf, int cbBuf) {
  if (!szFile || !*szFile || !szSect || !szKey) return 0;
  if (!setupkit::ListedNoCase(setupkit::ProfileNames(szFile, szSect), szKey)) return 0;
  std::vector<char> value(4096);
  for (;;) {
    DWORD n = GetPrivateProfileStringA(szSect, szKey, "", value.data(),
                                       static_cast<DWORD>(value.size()), szFile);
    if (n + 1 < value.size() || value.size() >= (1u << 24))
      return Answer(std::string(value.data(), n), szBuf, cbBuf);
    value.resize(value.size() * 2);
  }
}

BOOL WINAPI FDoesIniSectionExist(LPCSTR szFile, LPCSTR szSect) {
  if (!szFile || !*szFile || !szSect) return FALSE;
  return setupkit::ListedNoCase(setupkit::ProfileNames(szFile, nullptr), szSect) ? TRUE : FALSE;
}

BOOL WINAPI FDoesIniKeyExist(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey) {
  if (!szFile || !*szFile || !szSect || !szKey) return FALSE;
  return setupkit::ListedNoCase(setupkit::ProfileNames(szFile, szSect), szKey) ? TRUE : FALSE;
}

}  // extern "C"
