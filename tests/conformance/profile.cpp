// Private profile (.ini) files.
#include <string>

#include "tests/conformance/conformance.h"

using conformance::Check;

namespace {

std::string file;

// The answer and the text read, a list's NULs shown as commas; the last error where the call
// documents one.
std::string Read(LPCSTR section, LPCSTR key, LPCSTR fallback, DWORD size = 64,
                 const std::string &path = file) {
  char buffer[64];
  DWORD n = GetPrivateProfileStringA(section, key, fallback, buffer, size, path.c_str());
  std::string text(buffer, n + (section && key ? 0 : 1));
  for (char &c : text)
    if (c == '\0') c = ',';
  return std::to_string(n) + " " + text;
}

bool Write(LPCSTR section, LPCSTR key, LPCSTR value, const std::string &path = file) {
  return WritePrivateProfileStringA(section, key, value, path.c_str()) != 0;
}

}  // namespace

CONFORMANCE_AREA(profile) {
  const std::string dir = conformance::Scratch();
  file = dir + "test.ini";
  Check("WritePrivateProfileStringA(new file)", Write("Sec", "Key", "Value"), true);
  Write("Sec", "Quoted", "\"in quotes\"");
  Write("Other", "k", "v");
  struct Case {
    const char *what;
    std::string actual, nt;
  } cases[] = {
      {"read, names in another case", Read("SEC", "key", "def"), "5 Value"},
      {"missing key gives the default", Read("Sec", "none", "def"), "3 def"},
      {"default without its trailing blanks", Read("Sec", "none", "def  "), "3 def"},
      {"value cut to the buffer", Read("Sec", "Key", "def", 4), "3 Val"},
      {"quotes dropped", Read("Sec", "Quoted", ""), "9 in quotes"},
      {"keys of a section", Read("Sec", nullptr, ""), "11 Key,Quoted,,"},
      {"keys cut to the buffer", Read("Sec", nullptr, "", 6), "4 Key,,"},
      {"sections", Read(nullptr, nullptr, ""), "10 Sec,Other,,"},
      {"missing section's keys give the default", Read("None", nullptr, "def"), "3 def,"},
  };
  for (const Case &c : cases) Check(c.what, c.actual, c.nt);

  conformance::WriteBytes(dir + "raw.ini", "[S]\r\n  k  =  v v  \r\nx=1;2\r\n");
  Check("blanks around names and values dropped", Read("S", "k", "", 64, dir + "raw.ini"), "3 v v");
  Check("a ';' inside a value is kept", Read("S", "x", "", 64, dir + "raw.ini"), "3 1;2");

  Write("Sec", "Key", nullptr);
  Check("a null value removes the key", Read("Sec", "Key", "gone"), "4 gone");
  Write("Other", nullptr, nullptr);
  Check("a null key removes the section", Read(nullptr, nullptr, ""), "4 Sec,,");

  SetLastError(conformance::kUntouched);
  std::string missing = Read("Sec", "Key", "def", 64, dir + "none.ini");
  Check("missing file gives the default and error 2",
        missing + " err=" + std::to_string(GetLastError()), "3 def err=2");
  SetLastError(conformance::kUntouched);
  bool written = Write("Sec", "Key", "v", dir + "none\\x.ini");
  Check("WritePrivateProfileStringA(missing directory)",
        written ? "ok" : "err=" + std::to_string(GetLastError()), "err=3");

  // A name without a directory is a file of the Windows directory.
  Write("Sec", "Key", "v", "cfprof.ini");
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  std::string inWindows = std::string(windows) + "\\cfprof.ini";
  Check("a bare name lies in the Windows directory",
        GetFileAttributesA(inWindows.c_str()) != INVALID_FILE_ATTRIBUTES, true);
  DeleteFileA(inWindows.c_str());
}
