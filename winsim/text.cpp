// The character-set calls of user32 and kernel32: case conversion, stepping through double-byte
// texts, OEM <-> ANSI conversion, the lstr* family and wsprintfA. All follow the machine's ANSI
// code page: 1252 has the Latin-1 letters, 932 (and the other Far East pages) double-byte
// characters whose bytes are never changed or split.
#include <windows.h>

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "winsim/machine.h"

namespace {

unsigned CodePage() {
  return winsim::MachineOpen() ? winsim::M().codepage : 1252;
}

bool LeadByte(unsigned cp, unsigned char c) {
  switch (cp) {
    case 932:
      return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    case 936:
    case 949:
    case 950:
      return c >= 0x81 && c <= 0xFE;
    default:
      return false;
  }
}

// Case of single-byte characters. Under 1252 the accented letters and the few letters of
// 0x80-0x9F have case; under any other page only the ASCII letters do.
unsigned char ToUpper(unsigned cp, unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  if (cp != 1252) return c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
  switch (c) {
    case 0x9A:
      return 0x8A;  // s caron
    case 0x9C:
      return 0x8C;  // oe
    case 0x9E:
      return 0x8E;  // z caron
    case 0xFF:
      return 0x9F;  // y diaeresis
    default:
      return c;
  }
}

unsigned char ToLower(unsigned cp, unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (cp != 1252) return c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  switch (c) {
    case 0x8A:
      return 0x9A;
    case 0x8C:
      return 0x9C;
    case 0x8E:
      return 0x9E;
    case 0x9F:
      return 0xFF;
    default:
      return c;
  }
}

// Converts up to `count` bytes (or to the terminator when count is negative), stepping over
// double-byte characters unchanged. Answers the bytes processed.
DWORD ConvertCase(char *text, long long count, bool upper) {
  unsigned cp = CodePage();
  long long i = 0;
  while (count < 0 ? text[i] != '\0' : i < count) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (LeadByte(cp, c)) {
      bool trailHere = count < 0 ? text[i + 1] != '\0' : i + 1 < count;
      i += trailHere ? 2 : 1;
      continue;
    }
    text[i] = static_cast<char>(upper ? ToUpper(cp, c) : ToLower(cp, c));
    ++i;
  }
  return static_cast<DWORD>(i);
}

// A pointer whose high word is zero carries a single character in its low byte.
bool IsSingleChar(const void *p) {
  return reinterpret_cast<uintptr_t>(p) <= 0xFFFF;
}

// Code page 437 (the OEM page of a 1252 machine) against 1252, for the bytes 0x80-0xFF: the
// 1252 byte of the same character, or 0 where 1252 has no such character (the byte is then
// kept as it is).
const unsigned char kOem437ToAnsi[128] = {
    0xC7, 0xFC, 0xE9, 0xE2, 0xE4, 0xE0, 0xE5, 0xE7, 0xEA, 0xEB, 0xE8, 0xEF, 0xEE, 0xEC, 0xC4, 0xC5,
    0xC9, 0xE6, 0xC6, 0xF4, 0xF6, 0xF2, 0xFB, 0xF9, 0xFF, 0xD6, 0xDC, 0xA2, 0xA3, 0xA5, 0,    0x83,
    0xE1, 0xED, 0xF3, 0xFA, 0xF1, 0xD1, 0xAA, 0xBA, 0xBF, 0,    0xAC, 0xBD, 0xBC, 0xA1, 0xAB, 0xBB,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0,    0xDF, 0,    0,    0,    0,    0xB5, 0,    0,    0,    0,    0,    0,    0,    0,    0,
    0,    0xB1, 0,    0,    0,    0,    0xF7, 0,    0xB0, 0,    0xB7, 0,    0,    0xB2, 0,    0xA0,
};

struct OemTables {
  unsigned char toAnsi[256];
  unsigned char toOem[256];
  OemTables() {
    for (int i = 0; i < 256; ++i) toAnsi[i] = toOem[i] = static_cast<unsigned char>(i);
    for (int i = 0; i < 128; ++i) {
      unsigned char a = kOem437ToAnsi[i];
      if (!a) continue;
      toAnsi[0x80 + i] = a;
      toOem[a] = static_cast<unsigned char>(0x80 + i);
    }
  }
};
const OemTables &Tables() {
  static const OemTables tables;
  return tables;
}

BOOL Translate(const char *src, char *dst, bool toAnsi) {
  if (!src || !dst) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Only a 1252 machine has a distinct OEM page here; on the others the texts are kept.
  bool map = CodePage() == 1252;
  const unsigned char *table = toAnsi ? Tables().toAnsi : Tables().toOem;
  size_t i = 0;
  for (;; ++i) {
    unsigned char c = static_cast<unsigned char>(src[i]);
    dst[i] = static_cast<char>(map ? table[c] : c);
    if (!c) break;
  }
  return TRUE;
}

// The user locale's word sort, as lstrcmpA and lstrcmpiA compare: first the characters alike in
// case and accent (punctuation before digits before letters), then the accents, then the case
// (lower before upper), and only when all of that ties the hyphens and apostrophes, which the
// earlier levels pass over so that "co-op" sorts beside "coop".
struct SortWeight {
  unsigned primary = 0;  // 0: weighed only at the last level
  unsigned accent = 0;
  unsigned upper = 0;
};

// The order of the ASCII punctuation in the default sort table; '+' '<' '=' '>' follow the rest.
const char kPunctuation[] = " !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>";

// 1252's accented letters: the base letter and the accent's rank, for 0xC0-0xFF.
const char kAccentBase[] = "AAAAAAACEEEEIIIIDNOOOOO*OUUUUYTsaaaaaaaceeeeiiiidnooooo/ouuuuyty";

SortWeight WeightOf(unsigned cp, unsigned char c) {
  SortWeight w;
  if (c == '-' || c == '\'') return w;
  const unsigned kDigits = 0x100, kLetters = 0x200, kOther = 0x400;
  if (c >= '0' && c <= '9') {
    w.primary = kDigits + (c - '0');
  } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
    w.primary = kLetters + ((c | 0x20) - 'a') * 4;
    w.upper = c <= 'Z';
  } else if (const char *at = c ? std::strchr(kPunctuation, c) : nullptr) {
    w.primary = 1 + static_cast<unsigned>(at - kPunctuation);
  } else if (cp == 1252 && c >= 0xC0 &&
             std::isalpha(static_cast<unsigned char>(kAccentBase[c - 0xC0]))) {
    char base = kAccentBase[c - 0xC0];
    w.primary = kLetters + ((base | 0x20) - 'a') * 4;
    w.accent = 1 + (c & 0x1F);
    w.upper = c < 0xE0 && c != 0xDF;
  } else if (cp == 1252 && ToLower(cp, c) != c) {
    w.primary = kOther + ToLower(cp, c);
    w.upper = 1;
  } else {
    w.primary = c < 0x80 ? 0x80 + c : kOther + c;  // controls and the rest: by their code
  }
  return w;
}

// The weights of the 256 characters in the code page asked for last.
const SortWeight *WeightsOf(unsigned cp) {
  static unsigned tableCp = 0;
  static SortWeight table[256];
  if (tableCp != cp) {
    for (unsigned c = 0; c < 256; ++c) table[c] = WeightOf(cp, static_cast<unsigned char>(c));
    tableCp = cp;
  }
  return table;
}

int Compare(const char *a, const char *b, bool ignoreCase) {
  if (!a || !b) return a == b ? 0 : (a ? 1 : -1);
  const SortWeight *w = WeightsOf(CodePage());
  const auto *x = reinterpret_cast<const unsigned char *>(a);
  const auto *y = reinterpret_cast<const unsigned char *>(b);
  // One level: the weights in order, the hyphens and apostrophes passed over; a text that ends
  // first sorts first. The levels after the first see texts of the same length.
  for (unsigned SortWeight::*level :
       {&SortWeight::primary, &SortWeight::accent, &SortWeight::upper}) {
    if (ignoreCase && level == &SortWeight::upper) break;
    for (size_t i = 0, j = 0;; ++i, ++j) {
      while (x[i] && !w[x[i]].primary) ++i;
      while (y[j] && !w[y[j]].primary) ++j;
      if (!x[i] || !y[j]) {
        if (x[i] || y[j]) return x[i] ? 1 : -1;
        break;
      }
      if (w[x[i]].*level != w[y[j]].*level) return w[x[i]].*level < w[y[j]].*level ? -1 : 1;
    }
  }
  // The hyphens and apostrophes, each by where it stands and which it is: a text without them
  // sorts first, else the one whose first difference among them stands earlier sorts after.
  auto next = [&](const unsigned char *s, size_t *at) -> long {
    while (s[*at] && w[s[*at]].primary) ++*at;
    if (!s[*at]) return -1;
    long key = static_cast<long>(*at) * 2 + (s[*at] == '-');
    ++*at;
    return key;
  };
  size_t i = 0, j = 0;
  long p = next(x, &i), q = next(y, &j);
  if ((p < 0) != (q < 0)) return p < 0 ? -1 : 1;
  for (; p >= 0 && q >= 0; p = next(x, &i), q = next(y, &j))
    if (p != q) return p < q ? 1 : -1;
  return (p >= 0) - (q >= 0);
}

// wsprintfA: the forms Windows documents (flags '-', '#', '0', width, precision, 'l' and 'h',
// types c C d i u x X s S and %%), into at most 1024 bytes. 'l' means 32 bits, as on Windows.
const size_t kWsprintfLimit = 1024;

void AppendPadded(std::string *out, const std::string &body, const std::string &prefix,
                  size_t width, bool left, bool zero) {
  size_t len = prefix.size() + body.size();
  size_t pad = width > len ? width - len : 0;
  if (left) {
    *out += prefix + body + std::string(pad, ' ');
  } else if (zero) {
    *out += prefix + std::string(pad, '0') + body;
  } else {
    *out += std::string(pad, ' ') + prefix + body;
  }
}

std::string WideToAnsi(const uint16_t *w, size_t limit) {
  std::string out;
  for (size_t i = 0; i < limit && w[i]; ++i) out += w[i] <= 0xFF ? static_cast<char>(w[i]) : '?';
  return out;
}

std::string Format(const char *fmt, va_list args) {
  std::string out;
  for (const char *p = fmt; *p && out.size() < kWsprintfLimit; ++p) {
    if (*p != '%') {
      out += *p;
      continue;
    }
    const char *start = p++;
    bool left = false, alt = false, zero = false;
    for (;; ++p) {
      if (*p == '-')
        left = true;
      else if (*p == '#')
        alt = true;
      else if (*p == '0')
        zero = true;
      else
        break;
    }
    size_t width = 0;
    while (*p >= '0' && *p <= '9') width = width * 10 + static_cast<size_t>(*p++ - '0');
    bool hasPrecision = false;
    size_t precision = 0;
    if (*p == '.') {
      hasPrecision = true;
      ++p;
      while (*p >= '0' && *p <= '9') precision = precision * 10 + static_cast<size_t>(*p++ - '0');
    }
    if (width > kWsprintfLimit) width = kWsprintfLimit;
    if (precision > kWsprintfLimit) precision = kWsprintfLimit;
    bool wide = false, narrow = false;
    if (*p == 'l')
      wide = true, ++p;
    else if (*p == 'h')
      narrow = true, ++p;
    char type = *p;
    switch (type) {
      case 'd':
      case 'i': {
        long long v = va_arg(args, int);  // 32-bit, with or without 'l'
        std::string digits = std::to_string(v < 0 ? -v : v);
        if (hasPrecision && digits.size() < precision)
          digits.insert(0, precision - digits.size(), '0');
        AppendPadded(&out, digits, v < 0 ? "-" : "", width, left, zero && !hasPrecision);
        break;
      }
      case 'u':
      case 'x':
      case 'X': {
        unsigned v = va_arg(args, unsigned);
        char buf[16];
        std::snprintf(buf, sizeof buf, type == 'u' ? "%u" : type == 'x' ? "%x" : "%X", v);
        std::string digits = buf;
        if (hasPrecision && digits.size() < precision)
          digits.insert(0, precision - digits.size(), '0');
        std::string prefix = alt && type != 'u' && v != 0 ? (type == 'x' ? "0x" : "0X") : "";
        AppendPadded(&out, digits, prefix, width, left, zero && !hasPrecision);
        break;
      }
      case 'c':
      case 'C': {
        int v = va_arg(args, int);
        bool isWide = (type == 'C' && !narrow) || wide;
        char c = isWide && (v & 0xFFFF) > 0xFF ? '?' : static_cast<char>(v);
        AppendPadded(&out, std::string(1, c), "", width, left, zero);
        break;
      }
      case 's':
      case 'S': {
        bool isWide = (type == 'S' && !narrow) || wide;
        size_t limit = hasPrecision ? precision : kWsprintfLimit;
        std::string text;
        if (isWide) {
          const uint16_t *w = va_arg(args, const uint16_t *);
          text = w ? WideToAnsi(w, limit) : "(null)";
        } else {
          const char *s = va_arg(args, const char *);
          text = s ? std::string(s, strnlen(s, limit)) : "(null)";
        }
        if (text.size() > limit) text.resize(limit);
        AppendPadded(&out, text, "", width, left, zero);
        break;
      }
      case '\0':
        out.append(start, p);
        --p;
        break;
      default:
        // An unknown type is written as the character itself (this covers "%%").
        out += type;
        break;
    }
  }
  return out;
}

}  // namespace

extern "C" {

LPSTR WINAPI CharUpperA(LPSTR lpsz) {
  if (IsSingleChar(lpsz)) {
    unsigned char c = static_cast<unsigned char>(reinterpret_cast<uintptr_t>(lpsz));
    return reinterpret_cast<LPSTR>(static_cast<uintptr_t>(ToUpper(CodePage(), c)));
  }
  ConvertCase(lpsz, -1, true);
  return lpsz;
}

LPSTR WINAPI CharLowerA(LPSTR lpsz) {
  if (IsSingleChar(lpsz)) {
    unsigned char c = static_cast<unsigned char>(reinterpret_cast<uintptr_t>(lpsz));
    return reinterpret_cast<LPSTR>(static_cast<uintptr_t>(ToLower(CodePage(), c)));
  }
  ConvertCase(lpsz, -1, false);
  return lpsz;
}

DWORD WINAPI CharUpperBuffA(LPSTR lpsz, DWORD cchLength) {
  if (!lpsz) return 0;
  return ConvertCase(lpsz, static_cast<long long>(cchLength), true);
}

DWORD WINAPI CharLowerBuffA(LPSTR lpsz, DWORD cchLength) {
  if (!lpsz) return 0;
  return ConvertCase(lpsz, static_cast<long long>(cchLength), false);
}

BOOL WINAPI IsDBCSLeadByte(BYTE TestChar) {
  return LeadByte(CodePage(), TestChar) ? TRUE : FALSE;
}

LPSTR WINAPI CharNextA(LPCSTR lpsz) {
  if (!lpsz || !*lpsz) return const_cast<LPSTR>(lpsz);
  // A lead byte followed by the terminator is a broken character: step one byte only, so the
  // walk stops at the terminator.
  if (LeadByte(CodePage(), static_cast<unsigned char>(*lpsz)) && lpsz[1] != '\0')
    return const_cast<LPSTR>(lpsz + 2);
  return const_cast<LPSTR>(lpsz + 1);
}

LPSTR WINAPI CharPrevA(LPCSTR lpszStart, LPCSTR lpszCurrent) {
  if (!lpszStart || !lpszCurrent || lpszCurrent <= lpszStart) return const_cast<LPSTR>(lpszStart);
  // Only a walk from the start tells a trail byte from a character of its own.
  const char *p = lpszStart;
  for (;;) {
    const char *next = CharNextA(p);
    if (next >= lpszCurrent || next == p) return const_cast<LPSTR>(p);
    p = next;
  }
}

BOOL WINAPI OemToCharA(LPCSTR pSrc, LPSTR pDst) {
  return Translate(pSrc, pDst, true);
}
BOOL WINAPI CharToOemA(LPCSTR pSrc, LPSTR pDst) {
  return Translate(pSrc, pDst, false);
}

int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2) {
  return Compare(lpString1, lpString2, false);
}

int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
  return Compare(lpString1, lpString2, true);
}

int WINAPI lstrlenA(LPCSTR lpString) {
  return lpString ? static_cast<int>(std::strlen(lpString)) : 0;
}

LPSTR WINAPI lstrcpyA(LPSTR lpString1, LPCSTR lpString2) {
  if (!lpString1 || !lpString2) return nullptr;
  return std::strcpy(lpString1, lpString2);
}

LPSTR WINAPI lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength) {
  if (!lpString1 || !lpString2) return nullptr;
  if (iMaxLength <= 0) return lpString1;
  int i = 0;
  for (; i < iMaxLength - 1 && lpString2[i]; ++i) lpString1[i] = lpString2[i];
  lpString1[i] = '\0';
  return lpString1;
}

LPSTR WINAPI lstrcatA(LPSTR lpString1, LPCSTR lpString2) {
  if (!lpString1 || !lpString2) return nullptr;
  return std::strcat(lpString1, lpString2);
}

int WINAPIV wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...) {
  if (!lpOut || !lpFmt) return 0;
  va_list args;
  va_start(args, lpFmt);
  std::string text = Format(lpFmt, args);
  va_end(args);
  if (text.size() > kWsprintfLimit - 1) text.resize(kWsprintfLimit - 1);
  std::memcpy(lpOut, text.c_str(), text.size() + 1);
  return static_cast<int>(text.size());
}

}  // extern "C"
