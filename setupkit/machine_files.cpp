// Files of the machine as the toolkit's installation services see them: Windows paths made
// full, directories made with everything above them, whole files read and written, file names
// checked before anything is written, and failures told to the user in words.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "setupkit/install_services.h"
#include "toolkit/toolkit_services.h"

namespace setupkit {
namespace {

const size_t kMaxName = 255;

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

}  // namespace

bool FullPath(const std::string &windowsPath, std::string *full, DWORD *error) {
  char buffer[MAX_PATH];
  LPSTR namePart = nullptr;
  if (windowsPath.empty()) return *error = ERROR_INVALID_NAME, false;
  DWORD n = GetFullPathNameA(windowsPath.c_str(), sizeof buffer, buffer, &namePart);
  if (n == 0) return *error = GetLastError(), false;
  if (n >= sizeof buffer) return *error = ERROR_FILENAME_EXCED_RANGE, false;
  *full = buffer;
  // A directory named with a separator at its end is the directory.
  while (full->size() > 3 && full->back() == '\\') full->pop_back();
  return true;
}

bool LocateMachineFile(const std::string &windowsPath, MachineFile *file, DWORD *error) {
  *file = MachineFile();
  if (!FullPath(windowsPath, &file->full, error)) return false;
  DWORD attributes = GetFileAttributesA(file->full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD e = GetLastError();
    if (e != ERROR_FILE_NOT_FOUND && e != ERROR_PATH_NOT_FOUND) return *error = e, false;
    return true;
  }
  file->exists = true;
  file->isDir = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  file->readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  file->attributes = attributes;
  if (!file->isDir) {
    // Its size and date from its directory entry, without opening it. The full path holds no
    // wildcard (the attributes were found), so the search finds the file itself; of names that
    // differ in case alone, the one spelt as asked.
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(file->full.c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      const std::string name = file->full.substr(file->full.rfind('\\') + 1);
      WIN32_FIND_DATAA chosen = data;
      while (name != chosen.cFileName && FindNextFileA(find, &data))
        if (name == data.cFileName) chosen = data;
      FindClose(find);
      file->size = static_cast<uint64_t>(chosen.nFileSizeHigh) << 32 | chosen.nFileSizeLow;
      file->written = chosen.ftLastWriteTime;
    }
  }
  return true;
}

bool CreateMachineDirectory(const std::string &windowsPath, DWORD *error) {
  MachineFile dir;
  if (!LocateMachineFile(windowsPath, &dir, error)) return false;
  if (dir.isDir) return true;
  const std::string &full = dir.full;
  // "C:\A\B": make C:\A, then C:\A\B.
  for (size_t pos = 3; pos <= full.size(); ++pos) {
    if (pos != full.size() && full[pos] != '\\') continue;
    std::string step = full.substr(0, pos);
    DWORD attributes = GetFileAttributesA(step.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return *error = ERROR_ALREADY_EXISTS, false;  // a file stands where it should be
      continue;
    }
    if (!CreateDirectoryA(step.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
      return *error = GetLastError(), false;
  }
  return true;
}

bool ReadMachineFile(const std::string &windowsPath, std::string *content, DWORD *error) {
  HANDLE file = CreateFileA(windowsPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return *error = GetLastError(), false;
  content->clear();
  bool ok = true;
  char buffer[32768];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      *error = GetLastError();
      ok = false;
      break;
    }
    if (got == 0) break;
    content->append(buffer, got);
  }
  CloseHandle(file);
  return ok;
}

bool WriteMachineFile(const std::string &windowsPath, const std::string &content, bool append,
                      DWORD *error) {
  HANDLE file = CreateFileA(windowsPath.c_str(), GENERIC_WRITE, 0, nullptr,
                            append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return *error = GetLastError(), false;
  DWORD written = 0;
  bool ok = (!append || SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER) &&
            (content.empty() || (WriteFile(file, content.data(), static_cast<DWORD>(content.size()),
                                           &written, nullptr) &&
                                 written == content.size())) &&
            FlushFileBuffers(file);
  if (!ok) *error = GetLastError();
  if (!CloseHandle(file) && ok) ok = false, *error = GetLastError();
  return ok;
}

bool CopyFileContents(const MachineFile &from, const std::string &to, bool failIfExists,
                      DWORD *error) {
  // The system's copy moves the bytes where they are, and leaves no part of a file behind when
  // it fails. It keeps the source's attributes: a copy of a read-only file (as files on a CD
  // are) must stay writable, so that a later setup can replace or remove it.
  if (!CopyFileA(from.full.c_str(), to.c_str(), failIfExists))
    return *error = GetLastError(), false;
  if ((from.attributes & ~(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL)) != 0 &&
      !SetFileAttributesA(to.c_str(), FILE_ATTRIBUTE_ARCHIVE))
    return *error = GetLastError(), false;  // the copy is whole; it stays, and the user is told
  return true;
}

bool FileInUse(const std::string &windowsPath) {
  // A file that a running program holds does not open for writing.
  HANDLE file = CreateFileA(windowsPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return false;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION;
}

bool FileReadable(const std::string &windowsPath) {
  HANDLE file = CreateFileA(windowsPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

std::vector<std::string> ProfileNames(LPCSTR szFile, LPCSTR szSect) {
  std::vector<char> buffer(4096);
  for (;;) {
    DWORD n = GetPrivateProfileStringA(szSect, nullptr, "", buffer.data(),
                                       static_cast<DWORD>(buffer.size()), szFile);
    if (n + 2 < buffer.size() || buffer.size() >= (1u << 24)) {
      std::vector<std::string> names;
      for (size_t at = 0; at < n;) {
        std::string name = buffer.data() + at;
        at += name.size() + 1;
        names.push_back(name);
      }
      return names;
    }
    buffer.resize(buffer.size() * 2);
  }
}

bool ListedNoCase(const std::vector<std::string> &names, const std::string &wanted) {
  for (const std::string &name : names)
    if (EqualNoCase(name, wanted)) return true;
  return false;
}

std::string ErrorText(DWORD error) {
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

bool EqualNoCase(const std::string &a, const std::string &b) {
  return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

std::string Upper(const std::string &text) {
  std::string out = text;
  if (!out.empty()) CharUpperBuffA(&out[0], static_cast<DWORD>(out.size()));
  return out;
}

std::string TrimLine(const std::string &text) {
  size_t b = 0, e = text.size();
  while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
  while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t' || text[e - 1] == '\r')) --e;
  return text.substr(b, e - b);
}

std::vector<std::string> SplitDirectoryList(const std::string &list) {
  std::vector<std::string> dirs;
  for (size_t from = 0; from <= list.size();) {
    size_t semi = list.find(';', from);
    if (semi == std::string::npos) semi = list.size();
    std::string dir = TrimLine(list.substr(from, semi - from));
    if (!dir.empty()) dirs.push_back(dir);
    from = semi + 1;
  }
  return dirs;
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
    if (c < 32 || IsSeparator(static_cast<char>(c)) || std::strchr(":*?\"<>|", c)) return false;
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
  if (BeepingMode()) Beep(750, 300);
  MessageBoxA(frame, text.c_str(), caption, MB_OK | MB_ICONSTOP);
}

}  // namespace setupkit
