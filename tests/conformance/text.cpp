// String comparison and the character helpers.
#include <cstring>

#include "tests/conformance/conformance.h"

using conformance::Check;

namespace {

int Sign(int v) {
  return v < 0 ? -1 : v > 0 ? 1 : 0;
}

std::string Said(int length, const char *text) {
  return std::to_string(length) + " " + text;
}

}  // namespace

CONFORMANCE_AREA(text) {
  // lstrcmpA and lstrcmpiA sort by the user locale's word sort: letters alike in case first,
  // lower case before upper case on a tie, hyphen and apostrophe weighed only when all else ties.
  struct Case {
    const char *a, *b;
    int cmp, cmpi;
  } cases[] = {
      {"a", "B", -1, -1},
      {"a", "A", -1, 0},
      {"co-op", "coop", 1, 1},
      {"abc", "abc", 0, 0},
      {"", "a", -1, -1},
      {"Zebra", "apple", 1, 1},
      {"can't", "cant", 1, 1},
      {"a-b", "ab", 1, 1},
      {"ab", "a-c", -1, -1},
      {"MONITOR", "monitor", 1, 0},
      // Punctuation before digits before letters; accents after the letters, case after that.
      {"!", "0", -1, -1},
      {"_", "a", -1, -1},
      {"a", "{", 1, 1},
      {"aa", "AB", -1, -1},
      {"aB", "Aab", 1, 1},
      {"-o", "/m", 1, 1},
      {"a-", "a", 1, 1},
      {"\xE9", "f", -1, -1},
      {"\xC9", "\xE9", 1, 0},
  };
  for (const Case &c : cases) {
    std::string args = std::string("(") + c.a + "," + c.b + ")";
    Check(("lstrcmpA" + args).c_str(), Sign(lstrcmpA(c.a, c.b)), c.cmp);
    Check(("lstrcmpiA" + args).c_str(), Sign(lstrcmpiA(c.a, c.b)), c.cmpi);
  }

  // The character helpers under code page 1252.
  char upper[] = "abc\xE9z", lower[] = "ABC\xC9Z", part[] = "abcd";
  CharUpperA(upper);
  CharLowerA(lower);
  Check("CharUpperA", upper, "ABC\xC9Z");
  Check("CharLowerA", lower, "abc\xE9z");
  Check("CharUpperA(one character)",
        static_cast<int>(reinterpret_cast<UINT_PTR>(CharUpperA(reinterpret_cast<LPSTR>('q')))),
        'Q');
  Check("CharUpperBuffA(2)", std::to_string(CharUpperBuffA(part, 2)) + " " + part, "2 ABcd");
  const char *text = "ab";
  Check("CharNextA", CharNextA(text) - text, 1);
  Check("CharNextA(at the end)", CharNextA(text + 2) - text, 2);
  Check("CharPrevA", CharPrevA(text, text + 2) - text, 1);
  Check("CharPrevA(at the start)", CharPrevA(text, text) - text, 0);
  char oem[] = "\x82\x9C", ansi[8];
  OemToCharA(oem, ansi);
  Check("OemToCharA", ansi, "\xE9\xA3");
  Check("IsDBCSLeadByte(0x81)", IsDBCSLeadByte(0x81) != 0, false);
  Check("lstrlenA", lstrlenA("abc"), 3);
  Check("lstrlenA(null)", lstrlenA(nullptr), 0);
  char copy[8];
  lstrcpynA(copy, "abcdef", 4);
  Check("lstrcpynA cuts to the size less one", copy, "abc");
  Check("lstrcpyA returns the target", lstrcpyA(copy, "xy") == copy && !std::strcmp(copy, "xy"),
        true);

  // wsprintfA: the answer is the length written, without the terminator.
  char out[64];
  const DWORD big = 4000000000u;
  struct Format {
    const char *what;
    std::string actual, nt;
  } formats[] = {
      {"%d", Said(wsprintfA(out, "%d", -5), out), "2 -5"},
      {"%5s", Said(wsprintfA(out, "%5s", "x"), out), "5     x"},
      {"%-4d", Said(wsprintfA(out, "%-4d.", 7), out), "5 7   ."},
      {"%#x", Said(wsprintfA(out, "%#x", 255u), out), "4 0xff"},
      {"%lu", Said(wsprintfA(out, "%lu", big), out), "10 4000000000"},
      {"%.2s", Said(wsprintfA(out, "%.2s", "abc"), out), "2 ab"},
      {"%s of null", Said(wsprintfA(out, "%s", static_cast<const char *>(nullptr)), out),
       "6 (null)"},
  };
  for (const Format &f : formats) {
    std::string what = std::string("wsprintfA(") + f.what + ")";
    Check(what.c_str(), f.actual, f.nt);
  }
}
