// FValidDir, the check of a directory path that the user typed, and DoMsgBox.
//
// FValidDir checks the form of the path only, not that the directory exists. The distribution
// path dialog uses it to catch what is plainly not a path; whether the files are really there
// is found out by the copy that follows, which tells the user with its own notice and asks
// again, and a path on a CD or a network drive may well become reachable only after the user
// has read that notice. A valid path here:
// - begins with a drive letter and a colon ("C:" names the root of C:);
// - goes on, if at all, with a backslash (or slash) and names separated by single separators,
//   and may end in one separator ("D:\I386\");
// - has no empty name, no name of blanks only, no character that Windows refuses in file names,
//   no name above 255 characters, and at most 259 characters in all.
// A relative path ("I386", "C:I386") and a network path ("\\server\share") are refused: the
// files would be looked for in a place that depends on the current directory, or on a server
// this toolkit does not reach.
// Double-byte characters of the machine's code page are stepped over whole, so that their
// second byte is never taken for a separator.
#include <windows.h>

#include <cctype>
#include <cstring>

#include "setupkit/install_services.h"
#include "toolkit/toolkit_services.h"

namespace {

const size_t kMaxPath = 259;

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

}  // namespace

extern "C" {

BOOL WINAPI FValidDir(LPCSTR szDir) {
  if (!szDir) return FALSE;
  size_t n = std::strlen(szDir);
  if (n < 2 || n > kMaxPath) return FALSE;
  if (!std::isalpha(static_cast<unsigned char>(szDir[0])) || szDir[1] != ':') return FALSE;
  if (n == 2) return TRUE;
  if (!IsSeparator(szDir[2])) return FALSE;
  // One separator at the very end is allowed ("D:\I386\").
  return setupkit::CheckPathNames(szDir, 3, true, nullptr) ? TRUE : FALSE;
}

int WINAPI DoMsgBox(LPCSTR szText, LPCSTR szCaption, UINT fuStyle) {
  return MessageBoxA(HwndFrame(), szText, szCaption, fuStyle);
}

}  // extern "C"
