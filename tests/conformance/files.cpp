// Files, directories, searches, paths and drives.
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/conformance/conformance.h"

using conformance::Check;

namespace {

// "ok" for a call that succeeded, else the last error it left: a success does not promise a last
// error unless the call documents one.
std::string Result(bool ok) {
  return ok ? "ok" : "err=" + std::to_string(GetLastError());
}

std::string OpenResult(HANDLE h) {
  std::string r = Result(h != INVALID_HANDLE_VALUE);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  return r;
}

HANDLE Open(const std::string &path, DWORD access, DWORD disposition) {
  SetLastError(conformance::kUntouched);
  return CreateFileA(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string Attributes(const std::string &path) {
  DWORD a = GetFileAttributesA(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return "err=" + std::to_string(GetLastError());
  char text[16];
  wsprintfA(text, "0x%02X", static_cast<unsigned>(a));
  return text;
}

// Every name a search gives, sorted and joined by blanks; "err=N" when it finds nothing.
std::string Found(const std::string &pattern) {
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(pattern.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return "err=" + std::to_string(GetLastError());
  std::vector<std::string> names;
  do names.push_back(data.cFileName);
  while (FindNextFileA(h, &data));
  FindClose(h);
  std::sort(names.begin(), names.end());
  std::string all;
  for (const std::string &n : names) all += (all.empty() ? "" : " ") + n;
  return all;
}

std::string Upper(std::string text) {
  CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

// A directory query's size rules: the length when the buffer holds the text and its terminator,
// else the size needed with the terminator, the buffer left alone.
template <class Query>
void CheckSizeRules(const char *name, Query query) {
  char full[MAX_PATH], small[MAX_PATH];
  DWORD n = query(full, MAX_PATH);
  std::memset(small, 'x', sizeof small);
  DWORD tight = query(small, n);
  std::string what = name;
  Check((what + " without room for the terminator").c_str(), tight == n + 1 && small[0] == 'x',
        true);
  Check((what + " with room").c_str(), query(small, n + 1) == n && std::strcmp(small, full) == 0,
        true);
}

}  // namespace

CONFORMANCE_AREA(files) {
  const std::string dir = conformance::Scratch();
  const std::string missing = dir + "missing\\";

  // ---- The directory queries.
  CheckSizeRules("GetWindowsDirectoryA",
                 [](char *b, DWORD n) { return static_cast<DWORD>(GetWindowsDirectoryA(b, n)); });
  CheckSizeRules("GetSystemDirectoryA",
                 [](char *b, DWORD n) { return static_cast<DWORD>(GetSystemDirectoryA(b, n)); });
  CheckSizeRules("GetTempPathA", [](char *b, DWORD n) { return GetTempPathA(n, b); });
  CheckSizeRules("GetCurrentDirectoryA",
                 [](char *b, DWORD n) { return GetCurrentDirectoryA(n, b); });
  char text[MAX_PATH];
  GetTempPathA(MAX_PATH, text);
  Check("GetTempPathA ends with a backslash", text[std::strlen(text) - 1] == '\\', true);

  // ---- Creating, opening, reading and writing.
  const std::string file = dir + "file.txt";
  struct Creation {
    const char *what;
    DWORD disposition;
    bool exists;
    const char *nt;
  } creations[] = {
      {"CreateFileA(CREATE_NEW, new)", CREATE_NEW, false, "ok"},
      {"CreateFileA(CREATE_NEW, existing)", CREATE_NEW, true, "err=80"},
      {"CreateFileA(CREATE_ALWAYS, new)", CREATE_ALWAYS, false, "ok err=0"},
      {"CreateFileA(CREATE_ALWAYS, existing)", CREATE_ALWAYS, true, "ok err=183"},
      {"CreateFileA(OPEN_ALWAYS, new)", OPEN_ALWAYS, false, "ok err=0"},
      {"CreateFileA(OPEN_ALWAYS, existing)", OPEN_ALWAYS, true, "ok err=183"},
      {"CreateFileA(OPEN_EXISTING, missing)", OPEN_EXISTING, false, "err=2"},
      {"CreateFileA(TRUNCATE_EXISTING, missing)", TRUNCATE_EXISTING, false, "err=2"},
  };
  for (const Creation &c : creations) {
    DeleteFileA(file.c_str());
    if (c.exists) conformance::WriteBytes(file, "old");
    HANDLE h = Open(file, GENERIC_READ | GENERIC_WRITE, c.disposition);
    DWORD error = GetLastError();
    std::string r = OpenResult(h);
    // The documented last error of a success is only that of CREATE_ALWAYS and OPEN_ALWAYS.
    if (h != INVALID_HANDLE_VALUE && c.disposition != CREATE_NEW)
      r += error == conformance::kUntouched ? " err=untouched" : " err=" + std::to_string(error);
    Check(c.what, r, c.nt);
  }
  Check("CreateFileA(OPEN_EXISTING, missing directory)",
        OpenResult(Open(missing + "x.txt", GENERIC_READ, OPEN_EXISTING)), "err=3");
  Check("CreateFileA(OPEN_EXISTING, a directory)",
        OpenResult(Open(dir, GENERIC_READ, OPEN_EXISTING)), "err=5");

  conformance::WriteBytes(file, "12345");
  HANDLE h = Open(file, GENERIC_READ, OPEN_EXISTING);
  DWORD high = 7, done = 9;
  Check("GetFileSize", static_cast<long long>(GetFileSize(h, &high)) * 10 + high, 50);
  char buffer[16];
  ReadFile(h, buffer, sizeof buffer, &done, nullptr);
  Check("ReadFile past the end reads what is there", done, 5);
  BOOL ok = ReadFile(h, buffer, sizeof buffer, &done, nullptr);
  Check("ReadFile at the end", Result(ok) + " read=" + std::to_string(done), "ok read=0");
  ok = WriteFile(h, "x", 1, &done, nullptr);
  Check("WriteFile on a handle opened for reading", Result(ok), "err=5");
  DWORD at = SetFilePointer(h, -1, nullptr, FILE_BEGIN);
  Check("SetFilePointer before the start",
        (at == INVALID_SET_FILE_POINTER ? "invalid " : "") + Result(false), "invalid err=131");
  CloseHandle(h);
  ok = CloseHandle(h);
  Check("CloseHandle of a closed handle", Result(ok), "err=6");
  h = Open(file, GENERIC_WRITE, OPEN_EXISTING);
  ok = ReadFile(h, buffer, 1, &done, nullptr);
  Check("ReadFile on a handle opened for writing", Result(ok), "err=5");
  CloseHandle(h);

  // ---- Attributes: a file made, copied or written is archived; only SetFileAttributesA clears
  // the attribute.
  const std::string other = dir + "other.txt", ro = dir + "ro.txt", sub = dir + "sub";
  Check("GetFileAttributesA(new file)", Attributes(file), "0x20");
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  Check("GetFileAttributesA(after NORMAL)", Attributes(file), "0x80");
  CopyFileA(file.c_str(), other.c_str(), FALSE);
  Check("GetFileAttributesA(copy)", Attributes(other), "0x20");
  h = Open(file, GENERIC_WRITE, OPEN_EXISTING);
  WriteFile(h, "z", 1, &done, nullptr);
  CloseHandle(h);
  Check("GetFileAttributesA(written)", Attributes(file), "0x20");
  conformance::WriteBytes(ro, "ro");
  SetFileAttributesA(ro.c_str(), FILE_ATTRIBUTE_READONLY);
  Check("GetFileAttributesA(after READONLY)", Attributes(ro), "0x01");
  SetFileAttributesA(ro.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  Check("GetFileAttributesA(after READONLY|ARCHIVE)", Attributes(ro), "0x21");
  // A copy keeps the source's attributes and its date.
  const std::string roCopy = dir + "rocopy.txt";
  CopyFileA(ro.c_str(), roCopy.c_str(), FALSE);
  Check("GetFileAttributesA(copy of read-only)", Attributes(roCopy), "0x21");
  BY_HANDLE_FILE_INFORMATION info[2] = {};
  for (int i = 0; i < 2; ++i) {
    h = Open(i ? roCopy : ro, GENERIC_READ, OPEN_EXISTING);
    ok = GetFileInformationByHandle(h, &info[i]);
    CloseHandle(h);
  }
  Check("GetFileInformationByHandle(read-only file)",
        Result(ok) + " attributes=" + std::to_string(info[1].dwFileAttributes) +
            " size=" + std::to_string(info[1].nFileSizeLow) +
            " links=" + std::to_string(info[1].nNumberOfLinks),
        "ok attributes=33 size=2 links=1");
  const bool sameDate =
      info[0].ftLastWriteTime.dwLowDateTime == info[1].ftLastWriteTime.dwLowDateTime &&
      info[0].ftLastWriteTime.dwHighDateTime == info[1].ftLastWriteTime.dwHighDateTime;
  Check("CopyFileA keeps the last write time", sameDate ? "same" : "differs", "same");
  Check("GetFileInformationByHandle(closed handle)",
        Result(GetFileInformationByHandle(h, &info[0])), "err=6");
  SetFileAttributesA(roCopy.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(roCopy.c_str());
  CreateDirectoryA(sub.c_str(), nullptr);
  Check("GetFileAttributesA(new directory)", Attributes(sub), "0x10");
  SetFileAttributesA(sub.c_str(), FILE_ATTRIBUTE_READONLY);
  Check("GetFileAttributesA(read-only directory)", Attributes(sub), "0x11");
  SetFileAttributesA(sub.c_str(), FILE_ATTRIBUTE_NORMAL);
  Check("GetFileAttributesA(missing)", Attributes(dir + "none"), "err=2");
  Check("GetFileAttributesA(missing directory)", Attributes(missing + "none"), "err=3");
  Check("SetFileAttributesA(missing)",
        Result(SetFileAttributesA((dir + "none").c_str(), FILE_ATTRIBUTE_NORMAL)), "err=2");

  // ---- Directories, deletion, copies and moves.
  struct Call {
    const char *what;
    std::function<BOOL()> call;
    const char *nt;
  } calls[] = {
      {"CreateDirectoryA(existing)", [&] { return CreateDirectoryA(sub.c_str(), nullptr); },
       "err=183"},
      {"CreateDirectoryA(missing parent)",
       [&] { return CreateDirectoryA((missing + "x").c_str(), nullptr); }, "err=3"},
      {"RemoveDirectoryA(missing)", [&] { return RemoveDirectoryA((dir + "none").c_str()); },
       "err=2"},
      {"RemoveDirectoryA(a file)", [&] { return RemoveDirectoryA(file.c_str()); }, "err=267"},
      {"RemoveDirectoryA(not empty)", [&] { return RemoveDirectoryA(dir.c_str()); }, "err=145"},
      {"DeleteFileA(missing)", [&] { return DeleteFileA((dir + "none").c_str()); }, "err=2"},
      {"DeleteFileA(missing directory)", [&] { return DeleteFileA((missing + "x").c_str()); },
       "err=3"},
      {"DeleteFileA(read-only)", [&] { return DeleteFileA(ro.c_str()); }, "err=5"},
      {"DeleteFileA(a directory)", [&] { return DeleteFileA(sub.c_str()); }, "err=5"},
      {"CopyFileA(onto existing, fail if exists)",
       [&] { return CopyFileA(file.c_str(), other.c_str(), TRUE); }, "err=80"},
      {"CopyFileA(missing source)",
       [&] { return CopyFileA((dir + "none").c_str(), (dir + "x").c_str(), FALSE); }, "err=2"},
      {"CopyFileA(into missing directory)",
       [&] { return CopyFileA(file.c_str(), (missing + "x").c_str(), FALSE); }, "err=3"},
      {"CopyFileA(onto read-only)", [&] { return CopyFileA(file.c_str(), ro.c_str(), FALSE); },
       "err=5"},
      {"MoveFileExA(onto existing)", [&] { return MoveFileExA(file.c_str(), other.c_str(), 0); },
       "err=183"},
      {"MoveFileExA(missing source)",
       [&] { return MoveFileExA((dir + "none").c_str(), (dir + "x").c_str(), 0); }, "err=2"},
      {"MoveFileExA(onto existing, replace)",
       [&] { return MoveFileExA(other.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING); }, "ok"},
      {"MoveFileExA(a directory)",
       [&] { return MoveFileExA(sub.c_str(), (dir + "moved").c_str(), 0); }, "ok"},
  };
  for (const Call &c : calls) Check(c.what, Result(c.call() != 0), c.nt);
  Check("GetFileAttributesA(moved over)", Attributes(other), "err=2");
  SetFileAttributesA(ro.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryA((dir + "moved").c_str());

  // ---- Searches. NT's patterns: trailing dots and blanks dropped, '*' before a dot stopping at
  // the extension, names beginning with a dot having none, '?' matching nothing at a dot or the
  // end, and "." and ".." matching any pattern of wildcards and dots.
  const std::string names = dir + "names\\";
  CreateDirectoryA(names.c_str(), nullptr);
  for (const char *n : {"..a", "..a.a", ".a", ".a..a", ".a.a", ".aaa", "a", "a..a", "a.a", "a.a.a",
                        "aa", "aaa", "aaaa"})
    conformance::WriteBytes(names + n, "");
  const std::string all = ". .. ..a ..a.a .a .a..a .a.a .aaa a a..a a.a a.a.a aa aaa aaaa";
  struct Search {
    const char *pattern;
    std::string nt;
  } searches[] = {
      {"*", all},
      {"*.*", all},
      {"*. ", all},
      {"*.", ". .. ..a .a .aaa a aa aaa aaaa"},
      {"* .", ". .. ..a .a .aaa a aa aaa aaaa"},
      {".*", ". .. ..a ..a.a .a .a..a .a.a .aaa"},
      {"..*", ". .. ..a ..a.a"},
      {"*..*", ". .. ..a ..a.a .a..a a..a"},
      {".*.", ". .. .a .aaa"},
      {"?", ". .. a"},
      {"??.", ". .. a aa"},
      {"?.??.", ". .. .a a a.a"},
      {"a>", "a aa"},
      {"<", ". .. ..a .a .aaa a aa aaa aaaa"},
  };
  for (const Search &search : searches) {
    std::string what = std::string("FindFirstFileA(") + search.pattern + ")";
    Check(what.c_str(), Found(names + search.pattern), search.nt);
  }
  conformance::WriteBytes(dir + "driver.ppdx", "");
  Check("FindFirstFileA(*.ppd) by the short name", Found(dir + "*.ppd"), "driver.ppdx");
  Check("FindFirstFileA(directory with a trailing backslash)", Found(dir), "err=2");
  Check("FindFirstFileA(missing directory with a trailing backslash)", Found(missing), "err=3");
  Check("FindFirstFileA(missing name)", Found(dir + "none"), "err=2");
  Check("FindFirstFileA(in missing directory)", Found(missing + "*.*"), "err=3");
  Check("FindFirstFileA(nul)", Upper(Found(dir + "nul")), "NUL");
  Check("FindFirstFileA(nul\\*)", Found(dir + "nul\\*"), "err=3");
  Check("FindFirstFileA(nul*)", Found(dir + "nul*"), "err=2");
  Check("FindFirstFileA(nul in missing directory)", Found(missing + "nul"), "err=3");
  WIN32_FIND_DATAA data;
  SetCurrentDirectoryA(dir.c_str());
  h = FindFirstFileA("lpt1", &data);
  Check("FindFirstFileA(lpt1) attributes and size",
        h == INVALID_HANDLE_VALUE
            ? Result(false)
            : std::to_string(data.dwFileAttributes) + " " + std::to_string(data.nFileSizeLow),
        "32 0");
  ok = FindNextFileA(h, &data);
  Check("FindNextFileA after the last", Result(ok), "err=18");
  FindClose(h);
  h = FindFirstFileA((names + "*").c_str(), &data);
  std::string first = data.cFileName;
  FindNextFileA(h, &data);
  FindClose(h);
  Check("FindFirstFileA(*) gives . and .. first", first + " " + data.cFileName, ". ..");
  h = FindFirstFileA(file.c_str(), &data);
  FindClose(h);
  Check("FindFirstFileA(a file) attributes and size",
        std::to_string(data.dwFileAttributes) + " " + std::to_string(data.nFileSizeLow), "32 5");
  h = FindFirstFileA((dir + "names").c_str(), &data);
  FindClose(h);
  Check("FindFirstFileA(a directory) attributes", data.dwFileAttributes, 16);

  // ---- Temporary names: <path>\<up to 3 characters of the prefix><hexadecimal number>.TMP.
  char name[MAX_PATH];
  UINT unique = GetTempFileNameA(dir.c_str(), "abcd", 0x1234, name);
  Check("GetTempFileNameA(given number) name", Upper(name), Upper(dir + "ABC1234.TMP"));
  Check("GetTempFileNameA(given number) result and no file",
        std::to_string(unique) + " " + Attributes(name), "4660 err=2");
  unique = GetTempFileNameA(dir.c_str(), "zz", 0, name);
  std::string made = Upper(name);
  Check("GetTempFileNameA(0) makes the file", unique != 0 ? Attributes(name) : Result(false),
        "0x20");
  Check("GetTempFileNameA(0) name form",
        made.compare(0, dir.size() + 2, Upper(dir + "ZZ")) == 0 && made.size() > 4 &&
            made.compare(made.size() - 4, 4, ".TMP") == 0,
        true);
  DeleteFileA(name);
  unique = GetTempFileNameA(missing.c_str(), "zz", 0, name);
  Check("GetTempFileNameA(0, missing directory)", unique ? "ok" : Result(false), "err=267");
  std::string deep = dir + std::string(MAX_PATH - 13 - dir.size(), 'd');
  unique = GetTempFileNameA(deep.c_str(), "zz", 1, name);
  Check("GetTempFileNameA(path longer than MAX_PATH-14)", unique ? "ok" : Result(false), "err=111");

  // ---- Full path names and the path search.
  LPSTR part = nullptr;
  DWORD n = GetFullPathNameA("x.txt", MAX_PATH, name, &part);
  Check("GetFullPathNameA(relative)", std::string(name) + " part=" + (part ? part : "(null)"),
        dir + "x.txt part=x.txt");
  Check("GetFullPathNameA(relative) length", n, dir.size() + 5);
  GetFullPathNameA("sub\\..\\.\\y.txt", MAX_PATH, name, &part);
  Check("GetFullPathNameA(dots folded)", name, dir + "y.txt");
  GetFullPathNameA("z.txt. ", MAX_PATH, name, &part);
  Check("GetFullPathNameA(trailing dot and blank dropped)", name, dir + "z.txt");
  Check("GetFullPathNameA(small buffer)", GetFullPathNameA("x.txt", 4, name, &part),
        dir.size() + 6);
  n = SearchPathA(dir.c_str(), "file", ".txt", MAX_PATH, name, &part);
  Check("SearchPathA(extension added)", std::string(name) + " part=" + (part ? part : "(null)"),
        dir + "file.txt part=file.txt");
  Check("SearchPathA(small buffer)", SearchPathA(dir.c_str(), "file.txt", nullptr, 4, name, &part),
        n + 1);
  Check("SearchPathA(missing)",
        SearchPathA(dir.c_str(), "none.txt", nullptr, MAX_PATH, name, &part) ? "ok" : Result(false),
        "err=2");

  // ---- Drives.
  std::string root = dir.substr(0, 3);
  Check("GetDriveTypeA(the temporary directory's drive)", GetDriveTypeA(root.c_str()), DRIVE_FIXED);
  Check("GetDriveTypeA(no such drive)", GetDriveTypeA("Q:\\"), DRIVE_NO_ROOT_DIR);
  Check("GetLogicalDrives has that drive", (GetLogicalDrives() >> (Upper(root)[0] - 'A')) & 1, 1);
  DWORD sectors = 0, bytes = 0, freeClusters = 0, clusters = 0;
  ok = GetDiskFreeSpaceA(root.c_str(), &sectors, &bytes, &freeClusters, &clusters);
  Check("GetDiskFreeSpaceA", ok && sectors && bytes && clusters && freeClusters <= clusters, true);
  ok = GetDiskFreeSpaceA("Q:\\", &sectors, &bytes, &freeClusters, &clusters);
  Check("GetDiskFreeSpaceA(no such drive)", Result(ok), "err=3");
  SetCurrentDirectoryA(root.c_str());
}
