// Files of the machine as the toolkit's installation services see them: Windows paths found on
// the image, directories made with everything above them, file names checked before anything
// is written, and failures told to the user in words.
//
// The services go to the image directly rather than through the Win32 calls of the stand-in,
// so that faults injected for the setup's own calls (DeleteFileA#2, say) count the setup's
// calls only.
#include <windows.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "setupkit/install_services.h"
#include "toolkit/toolkit_services.h"
#include "winsim/machine.h"

namespace setupkit {
namespace {

const size_t kMaxName = 255;

uint32_t ErrorOfErrno(int e) {
  switch (e) {
    case ENOENT:
      return ERROR_PATH_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EROFS:
      return ERROR_WRITE_PROTECT;
    default:
      return ERROR_ACCESS_DENIED;
  }
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

}  // namespace

bool LocateMachineFile(const std::string &windowsPath, MachineFile *file, uint32_t *error) {
  *file = MachineFile();
  uint32_t e = 0;
  if (windowsPath.empty()) {
    *error = ERROR_INVALID_NAME;
    return false;
  }
  if (!winsim::FullWindowsPath(windowsPath, &file->full, &e) ||
      !winsim::ResolvePath(file->full, &file->host, &e)) {
    *error = e ? e : ERROR_INVALID_NAME;
    return false;
  }
  struct stat st;
  if (::stat(file->host.c_str(), &st) == 0) {
    file->exists = true;
    file->isDir = S_ISDIR(st.st_mode);
    file->readOnly = (st.st_mode & S_IWUSR) == 0;
    file->loaded = winsim::IsFileLoaded(file->host);
    file->size = static_cast<uint64_t>(st.st_size);
  }
  return true;
}

bool CreateMachineDirectory(const std::string &windowsPath, uint32_t *error) {
  std::string full;
  uint32_t e = 0;
  if (windowsPath.empty() || !winsim::FullWindowsPath(windowsPath, &full, &e)) {
    *error = e ? e : ERROR_INVALID_NAME;
    return false;
  }
  // "C:\A\B": make C:\A, then C:\A\B.
  for (size_t pos = 3; pos <= full.size(); ++pos) {
    if (pos != full.size() && full[pos] != '\\') continue;
    MachineFile dir;
    if (!LocateMachineFile(full.substr(0, pos), &dir, error)) return false;
    if (dir.exists) {
      if (!dir.isDir) {
        *error = ERROR_ALREADY_EXISTS;  // a file stands where the directory should be
        return false;
      }
      continue;
    }
    if (::mkdir(dir.host.c_str(), 0755) != 0 && errno != EEXIST) {
      *error = ErrorOfErrno(errno);
      return false;
    }
  }
  return true;
}

bool ReadMachineFile(const std::string &host, std::string *content) {
  struct stat st;
  if (::stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return winsim::ReadHostFile(host, content);
}

std::string ErrorText(uint32_t error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
      return "the file does not exist";
    case ERROR_PATH_NOT_FOUND:
      return "the directory does not exist";
    case ERROR_ACCESS_DENIED:
      return "access is denied";
    case ERROR_INVALID_DRIVE:
      return "there is no such drive";
    case ERROR_WRITE_PROTECT:
      return "the disk is write-protected";
    case ERROR_NOT_READY:
      return "the drive is not ready";
    case ERROR_SHARING_VIOLATION:
      return "the file is in use";
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
      return "the disk is full";
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      return "a file of that name is in the way";
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
      return "the name is not a valid path";
    case ERROR_FILENAME_EXCED_RANGE:
      return "the name is too long";
    default:
      return "error " + std::to_string(error);
  }
}

bool PlainFileName(const std::string &name) {
  if (name.empty() || name.size() > kMaxName) return false;
  bool onlyDotsAndBlanks = true;
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (IsDBCSLeadByte(c) && i + 1 < name.size()) {
      ++i;  // the second byte may have any value, a backslash's too
      onlyDotsAndBlanks = false;
      continue;
    }
    if (c < 32 || IsSeparator(static_cast<char>(c)) ||
        std::string(":*?\"<>|").find(c) != std::string::npos)
      return false;
    if (c != '.' && c != ' ') onlyDotsAndBlanks = false;
  }
  // Windows drops a final dot or blank, so such a name would land under another name.
  char last = name.back();
  return !onlyDotsAndBlanks && last != '.' && last != ' ';
}

bool CheckPathNames(const std::string &path, size_t start, bool trailingSeparator,
                    std::vector<size_t> *separators) {
  size_t n = path.size();
  size_t i = start;
  while (i < n) {
    size_t length = 0;
    bool onlyBlanks = true;
    while (i < n && !IsSeparator(path[i])) {
      unsigned char c = static_cast<unsigned char>(path[i]);
      if (IsDBCSLeadByte(c)) {
        if (i + 1 >= n) return false;  // a lead byte without its second byte
        i += 2;
        onlyBlanks = false;
      } else {
        if (c < 32 || std::strchr("<>:\"|?*", c)) return false;
        if (c != ' ') onlyBlanks = false;
        ++i;
      }
      ++length;
    }
    if (length == 0 || onlyBlanks || length > kMaxName) return false;
    if (i < n) {
      if (separators) separators->push_back(i);
      ++i;
      if (i == n && !trailingSeparator) return false;
    }
  }
  return true;
}

bool SplitRelativePath(const std::string &path, std::vector<std::string> *names) {
  names->clear();
  std::string current;
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsDBCSLeadByte(c) && i + 1 < path.size()) {
      current += path[i];
      current += path[++i];
    } else if (IsSeparator(path[i])) {
      if (!PlainFileName(current)) return false;  // also a leading separator: an absolute path
      names->push_back(current);
      current.clear();
    } else {
      current += path[i];
    }
  }
  if (!PlainFileName(current)) return false;
  names->push_back(current);
  return true;
}

void TellUser(const std::string &text) {
  char caption[128] = "";
  HWND frame = HwndFrame();
  if (frame) GetWindowTextA(frame, caption, sizeof caption);
  if (!caption[0]) std::snprintf(caption, sizeof caption, "Setup");
  if (BeepingMode() && winsim::Interactive()) {
    std::printf("\a");
    std::fflush(stdout);
  }
  MessageBoxA(frame, text.c_str(), caption, MB_OK | MB_ICONSTOP);
}

}  // namespace setupkit
