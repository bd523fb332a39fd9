// Files and directories of the machine for the setup's own use: directories made and removed,
// files removed and backed up, writability checks, the search for a file as OpenFile makes it,
// the PATH of a batch file, and resource stamping (which this stand-in cannot do).
#include <windows.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "setupkit/install_services.h"
#include "toolkit/toolkit_services.h"
#include "winsim/ini_file.h"
#include "winsim/machine.h"

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
  std::string probe = dir.host + "/.setupkit-probe-XXXXXX";
  int fd = ::mkstemp(&probe[0]);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

YNRC Refuse(int cmo, const std::string &text) {
  if (cmo & cmoTellUser) TellUser(text);
  return ynrcNo;
}

std::string Upper(const std::string &text) {
  return winsim::Upper(text);
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
  return winsim::EqualNoCase(winsim::Trim(a), winsim::Trim(b));
}

// The full path of the file if it is there, else the empty text.
std::string ExistingFile(const std::string &path) {
  MachineFile file;
  uint32_t error = 0;
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
  if (winsim::Fault("FCreateDir")) return FALSE;
  uint32_t error = 0;
  if (!Given(szDir)) return FALSE;
  if (CreateMachineDirectory(szDir, &error)) return TRUE;
  if (cmo & cmoTellUser)
    TellUser(std::string("Setup cannot make the directory ") + szDir + ": " + ErrorText(error) +
             ".");
  return FALSE;
}

BOOL WINAPI FRemoveDir(LPCSTR szDir, int cmo) {
  (void)cmo;
  if (winsim::Fault("FRemoveDir")) return FALSE;
  MachineFile dir;
  uint32_t error = 0;
  if (!Given(szDir) || !LocateMachineFile(szDir, &dir, &error)) return FALSE;
  if (!dir.exists) return TRUE;  // nothing to remove
  if (!dir.isDir || dir.full.size() == 3) return FALSE;
  // The setup's current directory, or one above it, is held open.
  std::string current = winsim::Upper(winsim::M().currentDir) + "\\";
  if (current.compare(0, dir.full.size() + 1, winsim::Upper(dir.full) + "\\") == 0) return FALSE;
  return ::rmdir(dir.host.c_str()) == 0 ? TRUE : FALSE;  // only an empty one
}

YNRC WINAPI YnrcRemoveFile(LPCSTR szFullPath, int cmo) {
  if (winsim::Fault("YnrcRemoveFile")) return ynrcNo;
  MachineFile file;
  uint32_t error = 0;
  if (!Given(szFullPath) || !LocateMachineFile(szFullPath, &file, &error)) return ynrcNo;
  if (!file.exists) return ynrcYes;  // already gone
  std::string cannot = "Setup cannot remove " + file.full + ": ";
  if (file.isDir) return Refuse(cmo, cannot + "it is a directory.");
  if (file.readOnly) return Refuse(cmo, cannot + "the file is read-only.");
  if (file.loaded) return Refuse(cmo, cannot + "a running service has it loaded.");
  if (::unlink(file.host.c_str()) != 0)
    return Refuse(cmo, cannot + ErrorText(ERROR_ACCESS_DENIED) + ".");
  return ynrcYes;
}

YNRC WINAPI YnrcBackupFile(LPCSTR szFullPath, LPCSTR szBackup, int cmo) {
  if (winsim::Fault("YnrcBackupFile")) return ynrcNo;
  MachineFile file;
  uint32_t error = 0;
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
  uint32_t error = 0;
  if (!Given(szDir) || !LocateMachineFile(szDir, &dir, &error)) return FALSE;
  return DirectoryTakesFiles(dir) ? TRUE : FALSE;
}

BOOL WINAPI FIsFileWritable(LPCSTR szFile) {
  MachineFile file;
  uint32_t error = 0;
  if (!Given(szFile) || !LocateMachineFile(szFile, &file, &error)) return FALSE;
  if (file.exists) {
    if (file.isDir || file.readOnly || file.loaded) return FALSE;
    return ::access(file.host.c_str(), W_OK) == 0 ? TRUE : FALSE;
  }
  // A file that is not there yet can be written where it can be made.
  MachineFile dir;
  if (!LocateMachineFile(ParentOf(file.full), &dir, &error)) return FALSE;
  return DirectoryTakesFiles(dir) ? TRUE : FALSE;
}

BOOL WINAPI FPrependToPath(LPCSTR szSrc, LPCSTR szDst, LPCSTR szDir, int cmo) {
  (void)cmo;
  if (winsim::Fault("FPrependToPath")) return FALSE;
  if (!Given(szSrc) || !Given(szDst) || !Given(szDir)) return FALSE;
  std::string dir = szDir;
  for (char c : dir)
    if (c == ';' || static_cast<unsigned char>(c) < 32) return FALSE;

  MachineFile source, target;
  uint32_t error = 0;
  if (!LocateMachineFile(szSrc, &source, &error) || source.isDir) return FALSE;
  if (!LocateMachineFile(szDst, &target, &error) || target.isDir || target.readOnly ||
      target.loaded)
    return FALSE;
  std::string text;
  if (source.exists && !ReadMachineFile(source.host, &text)) return FALSE;
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
      std::string list = winsim::Trim(line.substr(value));
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
  return winsim::WriteFileAtomically(target.host, text) ? TRUE : FALSE;
}

BOOL WINAPI FStampResource(LPCSTR szSect, LPCSTR szKey, LPCSTR szDst, WORD wResType, WORD wResId,
                           LPCSTR szData, int cbData) {
  (void)szData;
  (void)cbData;
  // Program files on the image are plain files, not executables with resources, so nothing
  // could be written where the setup expects it: refuse rather than pretend.
  std::fprintf(stderr,
               "setupkit: FStampResource [%s] %s in %s (type %u, id %u): this machine image "
               "holds no program resources to stamp\n",
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
    std::vector<std::string> dirs = {winsim::M().currentDir, winsim::M().windowsDir,
                                     winsim::M().systemDir};
    for (const auto &[variable, value] : winsim::M().environment) {
      if (!winsim::EqualNoCase(variable, "PATH")) continue;
      size_t from = 0;
      while (from <= value.size()) {
        size_t semi = value.find(';', from);
        if (semi == std::string::npos) semi = value.size();
        std::string dir = winsim::Trim(value.substr(from, semi - from));
        if (!dir.empty()) dirs.push_back(dir);
        from = semi + 1;
      }
      break;
    }
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
