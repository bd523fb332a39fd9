// The detection library's questions about files, paths, the environment and .ini files.
//
// Files are found on the image as the installation services find them (a path relative to the
// current directory, names without regard to case). The library only looks: nothing here
// changes the machine.
//
// - A file's date is the time it was last written, in the machine's time, which is the host's
//   UTC time (the simulated machine keeps no time zone).
// - A file's version is the file version of the first VS_FIXEDFILEINFO block in its bytes, as
//   VERSION.DLL reads it; a file without one has no version.
// - A file that can be read is one whose host file can be read; one that can be written is
//   neither read-only nor loaded by a running service.
// - FIsDriverInConfig reads CONFIG.SYS in the root of the drive that holds the Windows
//   directory, the drive the machine starts from.
// - An .ini file named without a directory is the one in the Windows directory, as for the
//   installation services' .ini functions.
#include <windows.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "setupkit/install_services.h"
#include "setupkit/setupkit.h"
#include "toolkit/toolkit_services.h"
#include "winsim/ini_file.h"
#include "winsim/machine.h"
#include "winsim/version.h"

namespace fs = std::filesystem;

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
  uint32_t error = 0;
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

// What an injected fault answers: a length that does not fit, the one failure a caller of a
// text query can see.
int FaultAnswer(LPSTR szBuf, int cbBuf) {
  if (szBuf && cbBuf > 0) szBuf[0] = '\0';
  return cbBuf > 0 ? cbBuf : 1;
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

// The .ini file: a bare name is the one in the Windows directory.
bool LoadIni(LPCSTR szFile, winsim::IniFile *ini) {
  if (!szFile || !*szFile) return false;
  std::string name = szFile;
  if (name.find_first_of("\\/:") == std::string::npos) name = winsim::M().windowsDir + "\\" + name;
  setupkit::MachineFile file;
  std::string text;
  if (!FindFile(name.c_str(), &file) || !setupkit::ReadMachineFile(file.host, &text)) return false;
  return ini->Parse(text, false, nullptr, nullptr);
}

// The first file of the name in the host directory or below it, files of a directory before
// its subdirectories, names in the order NT lists them (without regard to case).
bool SearchTree(const fs::path &dir, const std::string &upperName, int depth, fs::path *found) {
  if (depth > 64) return false;
  std::vector<fs::directory_entry> entries;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    entries.push_back(*it);
  std::sort(entries.begin(), entries.end(),
            [](const fs::directory_entry &a, const fs::directory_entry &b) {
              return winsim::Upper(a.path().filename().string()) <
                     winsim::Upper(b.path().filename().string());
            });
  for (const fs::directory_entry &entry : entries)
    if (!entry.is_directory(ec) && winsim::Upper(entry.path().filename().string()) == upperName) {
      *found = entry.path();
      return true;
    }
  for (const fs::directory_entry &entry : entries)
    if (!entry.is_symlink(ec) && entry.is_directory(ec) &&
        SearchTree(entry.path(), upperName, depth + 1, found))
      return true;
  return false;
}

std::string FileName(const std::string &path) {
  size_t cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The file that a CONFIG.SYS line loads ("DEVICE=C:\DOS\HIMEM.SYS /TESTMEM:OFF"), or empty.
std::string DeviceOf(const std::string &line) {
  std::string text = winsim::Trim(line);
  std::string upper = winsim::Upper(text);
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
  if (winsim::Fault("FValidPath")) return FALSE;
  std::vector<size_t> separators;
  return szPath && CheckFilePath(szPath, &separators) ? TRUE : FALSE;
}

BOOL WINAPI FParsePathIntoPieces(LPCSTR szPath, LPSTR szVolume, int cbVolume, LPSTR szDir,
                                 int cbDir, LPSTR szFile, int cbFile) {
  if (winsim::Fault("FParsePathIntoPieces")) return FALSE;
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

// ---- files and directories
// ------------------------------------------------------------------------

BOOL WINAPI FDoesFileExist(LPCSTR szFile, int fem) {
  if (winsim::Fault("FDoesFileExist")) return FALSE;
  setupkit::MachineFile file;
  if (!FindFile(szFile, &file)) return FALSE;
  bool readable = ::access(file.host.c_str(), R_OK) == 0;
  bool writable = !file.readOnly && !file.loaded;
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
  if (winsim::Fault("FDirExists")) return FALSE;
  setupkit::MachineFile file;
  return Find(szDir, &file) && file.isDir ? TRUE : FALSE;
}

LONG WINAPI LcbGetSizeOfFile(LPCSTR szFile) {
  if (winsim::Fault("LcbGetSizeOfFile")) return -1;
  setupkit::MachineFile file;
  if (!FindFile(szFile, &file)) return -1;
  return file.size > static_cast<uint64_t>(kLongMax) ? kLongMax : static_cast<LONG>(file.size);
}

int WINAPI CbGetDateOfFile(LPCSTR szFile, LPSTR szBuf, int cbBuf) {
  if (winsim::Fault("CbGetDateOfFile")) return FaultAnswer(szBuf, cbBuf);
  setupkit::MachineFile file;
  struct stat st;
  if (!FindFile(szFile, &file) || ::stat(file.host.c_str(), &st) != 0) return 0;
  struct tm when;
  time_t seconds = st.st_mtime;
  if (!gmtime_r(&seconds, &when)) return 0;
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d-%02d-%02d-%02d", when.tm_year + 1900,
                when.tm_mon + 1, when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec);
  return Answer(text, szBuf, cbBuf);
}

int WINAPI CbGetVersionOfFile(LPCSTR szFile, LPSTR szBuf, int cbBuf) {
  if (winsim::Fault("CbGetVersionOfFile")) return FaultAnswer(szBuf, cbBuf);
  setupkit::MachineFile file;
  std::string bytes;
  winsim::FixedFileInfo info;
  if (!FindFile(szFile, &file) || !setupkit::ReadMachineFile(file.host, &bytes) ||
      !winsim::ReadFixedFileInfo(bytes, &info))
    return 0;
  char text[64];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", info.fileVersionMS >> 16,
                info.fileVersionMS & 0xFFFF, info.fileVersionLS >> 16, info.fileVersionLS & 0xFFFF);
  return Answer(text, szBuf, cbBuf);
}

LONG WINAPI LGetVersionNthField(LPCSTR szVersion, int nField) {
  if (winsim::Fault("LGetVersionNthField")) return 0;
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
  if (winsim::Fault("CbGetEnvVariableValue")) return FaultAnswer(szBuf, cbBuf);
  return Answer(EnvValue(szEnvVar), szBuf, cbBuf);
}

int WINAPI CbFindTargetOnEnvVar(LPCSTR szFile, LPCSTR szEnvVar, LPSTR szBuf, int cbBuf) {
  if (winsim::Fault("CbFindTargetOnEnvVar")) return FaultAnswer(szBuf, cbBuf);
  if (!szFile || !*szFile) return 0;
  std::string list = EnvValue(szEnvVar);
  size_t pos = 0;
  while (pos <= list.size()) {
    size_t end = list.find(';', pos);
    if (end == std::string::npos) end = list.size();
    std::string dir = winsim::Trim(list.substr(pos, end - pos));
    pos = end + 1;
    setupkit::MachineFile file;
    if (!dir.empty() && FindFile(JoinPath(dir, szFile).c_str(), &file))
      return Answer(file.full, szBuf, cbBuf);
  }
  return 0;
}

int WINAPI CbFindFileInTree(LPCSTR szFile, LPCSTR szDir, LPSTR szBuf, int cbBuf) {
  if (winsim::Fault("CbFindFileInTree")) return FaultAnswer(szBuf, cbBuf);
  setupkit::MachineFile dir;
  if (!szFile || !*szFile || !Find(szDir, &dir) || !dir.isDir) return 0;
  fs::path found;
  std::string windowsPath;
  if (!SearchTree(dir.host, winsim::Upper(szFile), 0, &found) ||
      !winsim::WindowsPathOf(found.string(), &windowsPath))
    return 0;
  return Answer(windowsPath, szBuf, cbBuf);
}

BOOL WINAPI FIsDriverInConfig(LPCSTR szDriver) {
  if (winsim::Fault("FIsDriverInConfig")) return FALSE;
  if (!szDriver || !*szDriver) return FALSE;
  std::string config = winsim::M().windowsDir.substr(0, 2) + "\\CONFIG.SYS";
  setupkit::MachineFile file;
  std::string text;
  if (!FindFile(config.c_str(), &file) || !setupkit::ReadMachineFile(file.host, &text))
    return FALSE;
  std::string wanted = winsim::Upper(FileName(szDriver));
  bool bare = wanted.find('.') == std::string::npos;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string device = winsim::Upper(FileName(DeviceOf(text.substr(pos, end - pos))));
    pos = end + 1;
    if (device.empty()) continue;
    if (device == wanted || (bare && WithoutExtension(device) == wanted)) return TRUE;
  }
  return FALSE;
}

// ---- .ini files ---------------------------------------------------------------------------------

int WINAPI CbGetIniKeyString(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, LPSTR szBuf, int cbBuf) {
  if (winsim::Fault("CbGetIniKeyString")) return FaultAnswer(szBuf, cbBuf);
  winsim::IniFile ini;
  if (!szSect || !szKey || !LoadIni(szFile, &ini)) return 0;
  const std::string *value = ini.Find(szSect, szKey);
  return value ? Answer(*value, szBuf, cbBuf) : 0;
}

BOOL WINAPI FDoesIniSectionExist(LPCSTR szFile, LPCSTR szSect) {
  if (winsim::Fault("FDoesIniSectionExist")) return FALSE;
  winsim::IniFile ini;
  return szSect && LoadIni(szFile, &ini) && ini.FindSection(szSect) ? TRUE : FALSE;
}

BOOL WINAPI FDoesIniKeyExist(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey) {
  if (winsim::Fault("FDoesIniKeyExist")) return FALSE;
  winsim::IniFile ini;
  return szSect && szKey && LoadIni(szFile, &ini) && ini.Find(szSect, szKey) ? TRUE : FALSE;
}

}  // extern "C"
