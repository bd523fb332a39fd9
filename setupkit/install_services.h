// Inside the Setup Toolkit: the installation services (copy list and copy engine,
// Program Manager, .ini files, files and directories, log file, restart list, billboards and the
// frame's modes) share these helpers, and tests look at their state through them. The system
// sees only toolkit/toolkit_services.h.
#ifndef SETUPKIT_INSTALL_SERVICES_H
#define SETUPKIT_INSTALL_SERVICES_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace setupkit {

// ---- files of the machine ------------------------------------------------------------------

// A Windows path of the machine and what is there.
struct MachineFile {
  std::string full;  // full Windows path, "C:\DIR\NAME"
  bool exists = false;
  bool isDir = false;
  bool readOnly = false;
  DWORD attributes = 0;  // its Win32 attributes, when it exists
  uint64_t size = 0;
  FILETIME written = {0, 0};  // last written, a file's only
};

// The full Windows path of a path; false with a Win32 error.
bool FullPath(const std::string &windowsPath, std::string *full, DWORD *error);
// Makes the path full and looks at what is there; false with a Win32 error when the path names
// nothing that could be there.
bool LocateMachineFile(const std::string &windowsPath, MachineFile *file, DWORD *error);
// Creates the directory and every missing directory above it; false with a Win32 error.
bool CreateMachineDirectory(const std::string &windowsPath, DWORD *error);
// Reads a whole file; false with a Win32 error.
bool ReadMachineFile(const std::string &windowsPath, std::string *content, DWORD *error);
// Writes a whole file (or appends to it), making it when it is not there; false with a Win32
// error.
bool WriteMachineFile(const std::string &windowsPath, const std::string &content, bool append,
                      DWORD *error);
// Copies a file, whose attributes are given, with its date; the copy is writable and archived.
// The copy is whole or not there. False with a Win32 error.
bool CopyFileContents(const MachineFile &from, const std::string &to, bool failIfExists,
                      DWORD *error);
// Whether the file opens for reading.
bool FileReadable(const std::string &windowsPath);
// The names GetPrivateProfileStringA lists: the file's sections (a null section) or the keys of
// a section.
std::vector<std::string> ProfileNames(LPCSTR szFile, LPCSTR szSect);
bool ListedNoCase(const std::vector<std::string> &names, const std::string &wanted);
// Whether a running program holds the file open, so that it cannot be written or removed.
bool FileInUse(const std::string &windowsPath);
// "access is denied", "the file is in use", ... for a Win32 error, for the user to read.
std::string ErrorText(DWORD error);
// Texts compared and changed as Windows does for the machine's code page.
bool EqualNoCase(const std::string &a, const std::string &b);
std::string Upper(const std::string &text);
// Without the blanks and tabs at either end, nor a carriage return at its end.
std::string TrimLine(const std::string &text);
// The entries of a list of directories such as PATH: split at ';', each trimmed (TrimLine), the
// empty ones left out.
std::vector<std::string> SplitDirectoryList(const std::string &list);
// Whether the text is a plain file name: not empty, no separator, drive, wildcard or control
// character, not "." or "..". Double-byte characters of the machine's code page are stepped
// over whole.
bool PlainFileName(const std::string &name);
// Checks the names of a full path from `start`, just past its "X:\": none empty or blanks only,
// none above 255 characters (a double-byte character of the machine's code page stepped over
// whole and counted once, never cut), none with a character that Windows refuses in file names.
// `separators`, if given, receives where the separators between the names stand. A separator at
// the very end is allowed only with `trailingSeparator`.
bool CheckPathNames(const std::string &path, size_t start, bool trailingSeparator,
                    std::vector<size_t> *separators);
// Splits a relative path at its separators, whole characters only; false when it is not a
// relative path of plain names.
bool SplitRelativePath(const std::string &path, std::vector<std::string> *names);

// The modal message of a toolkit failure, captioned with the frame's title; beeps first in
// beeping mode.
void TellUser(const std::string &text);

// ---- the copy list -------------------------------------------------------------------------

struct CopyListEntry {
  enum Kind { kSection, kSectionKey, kSpecial } kind = kSection;
  std::string section;
  std::string key;          // kSectionKey and kSpecial
  std::string source;       // source directory, as given
  std::string destination;  // destination directory (kSpecial: the full file path), as given
};
const std::vector<CopyListEntry> &CopyList();

// One file of the copy list, ready to copy.
struct CopyJob {
  std::string section;
  int line = 0;        // of setup.inf
  std::string field;   // field 1 as written
  std::string source;  // full Windows paths
  std::string destination;
  std::string destinationDir;
};
// The files of the copy list in order; false with the reason, for the user, when the list names
// what setup.inf lacks or a file name that would leave its directory.
bool ResolveCopyList(std::vector<CopyJob> *jobs, std::string *problem);

// ---- the copy engine -----------------------------------------------------------------------

// Copies one file as the copy engine does (directories made, the destination's state checked,
// the file's date kept, the copy left writable); false with the reason for the user. A file in
// use is staged for the next restart when a restart directory is set.
bool CopyMachineFile(const std::string &source, const std::string &destination,
                     std::string *reason);
// The gauge: percent shown, and the procedure of its dialog (its Cancel stops the copy after the
// file at hand).
unsigned GaugePercent();
INT_PTR CALLBACK CopyGaugeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
const std::string &RestartDirectory();
const std::vector<std::string> &RestartList();  // destinations staged for the restart

// ---- the frame's modes, billboards and the log file -----------------------------------------

bool SilentMode();
bool BeepingMode();
const std::string &AboutText();  // the two lines, joined by a line break
struct Billboard {
  std::string library;
  unsigned id = 0;
  std::string procedure;
  long ticks = 0;
};
const std::vector<Billboard> &Billboards();
// Appends a line to the open log file, if there is one; false when the write failed.
bool WriteLogLine(const std::string &text);
const std::string &LogFileName();  // full Windows path, empty when no log is open

// Forgets the installation state (copy list, billboards, log file, restart list, modes), as
// the end of the process would; opening a machine does it too.
void ForgetFrameModes();  // modes, About text, billboards, log file
void ForgetInstallState();

}  // namespace setupkit

#endif
