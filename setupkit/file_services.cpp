// Files and directories of the machine for the setup's own use: directories made and removed,
// files removed and backed up, writability checks, the search for a file as OpenFile makes it,
// the PATH of a batch file, and resource stamping (which this toolkit does not do).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "setupkit/install_services.h"
#include "toolkit/toolkit_services.h"

namespace setupkit {
namespace {

bool Given(LPCSTR text) {
  return text && *text;
}

std::string ParentOf(const std::string &full) {
  size_t cut = full.rfind('\\');
  return full.substr(0, cut == 2 ? 3 : cut);
}

bool HasPath(const std::string &name) {
  return name.find_first_of("\\/:") != std::string::npos;
}

// Whether a file can be made in the directory now: tried, and the trial file removed.
bool DirectoryTakesFiles(const MachineFile &dir) {
  if (!dir.exists || !dir.isDir) return false;
  char probe[MAX_PATH];
  if (!GetTempFileNameA(dir.full.c_str(), "~ST", 0, probe)) return false;
  DeleteFileA(probe);
  return true;
}

YNRC Refuse(int cmo, const std::string &text) {
  if (cmo & cmoTellUser) TellUser(text);
  return ynrcNo;
}

// Where the value of a PATH statement of a batch-file line begins ("PATH=", "PATH ",
// "SET PATH="), or npos when the line sets no PATH.
size_t PathValueStart(const std::string &line) {
  const size_t npos = std::string::npos;
  std::string upper = Upper(line);
  size_t i = upper.find_first_not_of(" \t@");
  if (i == npos) return npos;
  if (upper.compare(i, 4, "SET ") == 0 || upper.compare(i, 4, "SET\t") == 0) {
    i = upper.find_first_not_of(" \t", i + 4);
    if (i == npos) return npos;
  }
  if (upper.compare(i, 4, "PATH") != 0) return npos;
  i += 4;
  size_t j = upper.find_first_not_of(" \t\r", i);
  if (j == npos) return npos;  // "PATH" alone shows the path, it sets nothing
  if (upper[j] == '=') {
    size_t value = upper.find_first_not_of(" \t", j + 1);
    return value == npos ? line.size() : value;
  }
  return j == i ? npos : j;  // "PATHX" is another command
}

bool SameDirectory(std::string a, std::string b) {
  while (a.size() > 3 && (a.back() == '\\' || a.back() == '/')) a.pop_back();
  while (b.size() > 3 && (b.back() == '\\' || b.back() == '/')) b.pop_back();
  return EqualNoCase(TrimLine(a), TrimLine(b));
}

// The full path of the file if it is there, else the empty text.
std::string ExistingFile(const std::string &path) {
  MachineFile file;
  DWORD error = 0;
  if (!LocateMachineFile(path, &file, &error) || !file.exists || file.isDir) return "";
  return file.full;
}

std::string JoinPath(const std::string &dir, const std::string &name) {
  if (dir.empty() || dir.back() == '\\') return dir + name;
  return dir + "\\" + name;
}

}  // namespace
}  // namespace setupkit

using namespace setupkit;

extern "C" {

BOOL WINAPI FCreateDir(LPCSTR szDir, int cmo) {
  DWORD error = 0;
  if (!Given(szDir)) return FALSE;
  if (CreateMachineDirectory(szDir, &error)) return TRUE;
  if (cmo & cmoTellUser)
    TellUser(std::string("Setup cannot make the directory ") + szDir + ": " + ErrorText(error) +
             ".");
  return FALSE;
}

BOOL WINAPI FRemoveDir(LPCSTR szDir, int cmo) {
  (void)cmo;
  MachineFile dir;
  DWORD error = 0;
  if (!Given(szDir) || !LocateMachineFile(szDir, &dir, &error)) return FALSE;
  if (!dir.exists) return TRUE;  // nothing to remove
  if (!dir.isDir || dir.full.size() == 3) return FALSE;
  // Only an empty one that is not the setup's current directory.
  return RemoveDirectoryA(dir.full.c_str());
}

YNRC WINAPI YnrcRemoveFile(LPCSTR szFullPath, int cmo) {
  MachineFile file;
  DWORD error = 0;
  if (!Given(szFullPath) || !LocateMachineFile(szFullPath, &file, &error)) return ynrcNo;
  if (!file.exists) return ynrcYes;  // already gone
  std::string cannot = "Setup cannot remove " + file.full + ": ";
  if (file.isDir) return Refuse(cmo, cannot + "it is a directory.");
  if (file.readOnly) return Refuse(cmo, cannot + "the file is read-only.");
  if (FileInUse(file.full)) return Refuse(cmo, cannot + "a running service has it loaded.");
  if (!DeleteFileA(file.full.c_str())) return Refuse(cmo, cannot + ErrorText(GetLastError()) + ".");
  return ynrcYes;
}

YNRC WINAPI YnrcBackupFile(LPCSTR szFullPath, LPCSTR szBackup, int cmo) {
  MachineFile file;
  DWORD error = 0;
  if (!Given(szFullPath) || !Given(szBackup) || !LocateMachineFile(szFullPath, &file, &error))
    return ynrcNo;
  if (!file.exists) return ynrcYes;  // nothing to keep
  if (file.isDir) return Refuse(cmo, "Setup cannot back up " + file.full + ": it is a directory.");
  // A backup named without a directory lies beside the file.
  std::string backup = HasPath(szBackup) ? szBackup : JoinPath(ParentOf(file.full), szBackup);
  std::string reason;
  if (!CopyMachineFile(file.full, backup, &reason)) return Refuse(cmo, reason);
  return ynrcYes;
}

BOOL WINAPI FIsDirWritable(LPCSTR szDir) {
  MachineFile dir;
  DWORD error = 0;
  if (!Given(szDir) || !LocateMachineFile(szDir, &dir, &error)) return FALSE;
  return DirectoryTakesFiles(dir) ? TRUE : FALSE;
}

BOOL WINAPI FIsFileWritable(LPCSTR szFile) {
  MachineFile file;
  DWORD error = 0;
  if (!Given(szFile) || !LocateMachineFile(szFile, &file, &error)) return FALSE;
  if (file.exists) {
    return file.isDir || file.readOnly || FileInUse(file.full) ? FALSE : TRUE;
  }
  // A file that is not there yet can be written where it can be made.
  MachineFile dir;
  if (!LocateMachineFile(ParentOf(file.full), &dir, &error)) return FALSE;
  return DirectoryTakesFiles(dir) ? TRUE : FALSE;
}

BOOL WINAPI FPrependToPath(LPCSTR szSrc, LPCSTR szDst, LPCSTR szDir, int cmo) {
  (void)cmo;
  if (!Given(szSrc) || !Given(szDst) || !Given(szDir)) return FALSE;
  std::string dir = szDir;
  for (char c : dir)
    if (c == ';' || static_cast<unsigned char>(c) < 32) return FALSE;

  MachineFile source, target;
  DWORD error = 0;
  if (!LocateMachineFile(szSrc, &source, &error) || source.isDir) return FALSE;
  if (!LocateMachineFile(szDst, &target, &error) || target.isDir || target.readOnly) return FALSE;
  std::string text;
  if (source.exists && !ReadMachineFile(source.full, &text, &error)) return FALSE;
  std::string nl = text.find('\n') != std::string::npos && text.find("\r\n") == std::string::npos
                       ? "\n"
                       : "\r\n";

  // The first PATH statement gets the directory in front, unless the directory is on it.
  bool found = false;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    size_t value = PathValueStart(line);
    if (value != std::string::npos) {
      found = true;
      std::string list = TrimLine(line.substr(value));
      bool already = false;
      size_t from = 0;
      while (from <= list.size()) {
        size_t semi = list.find(';', from);
        if (semi == std::string::npos) semi = list.size();
        if (SameDirectory(list.substr(from, semi - from), dir)) already = true;
        from = semi + 1;
      }
      if (!already) text.insert(pos + value, list.empty() ? dir : dir + ";");
      break;
    }
    pos = end + 1;
  }
  if (!found) {
    if (!text.empty() && text.back() != '\n') text += nl;
    text += "PATH=" + dir + nl;
  }
  return WriteMachineFile(target.full, text, false, &error) ? TRUE : FALSE;
}

BOOL WINAPI FStampResource(LPCSTR szSect, LPCSTR szKey, LPCSTR szDst, WORD wResType, WORD wResId,
                           LPCSTR szData, int cbData) {
  (void)szData;
  (void)cbData;
  // Writing into another program's resources is not done here (NT 3.5 has no call for it): refuse
  // rather than pretend, and say so to whoever maintains the setup.
  std::fprintf(stderr,
               "setupkit: FStampResource [%s] %s in %s (type %u, id %u): resource stamping is "
               "not supported\n",
               szSect ? szSect : "", szKey ? szKey : "", szDst ? szDst : "",
               static_cast<unsigned>(wResType), static_cast<unsigned>(wResId));
  return FALSE;
}

int WINAPI WFindFileUsingFileOpen(LPCSTR szFile, LPSTR szBuf, int cbBuf) {
  if (!Given(szFile) || !szBuf || cbBuf <= 0) return 2;
  szBuf[0] = '\0';
  std::string name = szFile;
  std::string found;
  if (HasPath(name)) {
    found = ExistingFile(name);
  } else {
    // The current directory, the Windows directory, the system directory, then PATH.
    std::vector<std::string> dirs;
    char dir[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(sizeof dir, dir);
    if (n > 0 && n < sizeof dir) dirs.push_back(dir);
    n = GetWindowsDirectoryA(dir, sizeof dir);
    if (n > 0 && n < sizeof dir) dirs.push_back(dir);
    n = GetSystemDirectoryA(dir, sizeof dir);
    if (n > 0 && n < sizeof dir) dirs.push_back(dir);
    std::vector<char> path(32768);
    n = GetEnvironmentVariableA("PATH", path.data(), static_cast<DWORD>(path.size()));
    std::string value = n > 0 && n < path.size() ? std::string(path.data(), n) : "";
    for (const std::string &entry : SplitDirectoryList(value)) dirs.push_back(entry);
    for (const std::string &dir : dirs) {
      found = ExistingFile(JoinPath(dir, name));
      if (!found.empty()) break;
    }
  }
  if (found.empty()) return 1;
  if (found.size() >= static_cast<size_t>(cbBuf)) return 2;
  found.copy(szBuf, found.size());
  szBuf[found.size()] = '\0';
  return 0;
}

}  // extern "C"
