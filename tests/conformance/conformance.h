// Checks of what Windows NT 3.5 documents for the Win32 calls that the setup, the toolkit and the
// dialog library make. The same source builds against winsim and with MinGW for Windows (run
// under Wine), so winsim is held to an implementation that we did not write.
//
// Each check has a stable name (area.what), the value NT gives and the value this machine gave.
// Values are compared as text. An area is a function registered with CONFORMANCE_AREA; areas
// run in the order of their names.
#ifndef TESTS_CONFORMANCE_CONFORMANCE_H
#define TESTS_CONFORMANCE_CONFORMANCE_H

#include <windows.h>

#include <string>

namespace conformance {

using AreaFunction = void (*)();

struct AreaRegistration {
  AreaRegistration(const char *name, AreaFunction run);
};

std::string Text(const std::string &value);
std::string Text(const char *value);  // a null pointer reads "(null)"
std::string Text(bool value);
std::string Text(long long value);
std::string Text(unsigned long long value);
inline std::string Text(int value) {
  return Text(static_cast<long long>(value));
}
inline std::string Text(long value) {
  return Text(static_cast<long long>(value));
}
inline std::string Text(unsigned value) {
  return Text(static_cast<unsigned long long>(value));
}
inline std::string Text(unsigned long value) {
  return Text(static_cast<unsigned long long>(value));
}

// Records one check of the running area: what this machine gave against what NT gives.
void Record(const char *what, const std::string &actual, const std::string &nt);

template <class Actual, class Nt>
void Check(const char *what, const Actual &actual, const Nt &nt) {
  Record(what, Text(actual), Text(nt));
}

// A call's result and the last-error value after it, as one text ("0 err=5"); the last error is
// set to a marker first, so a call that leaves it alone reads err=untouched.
std::string Outcome(long long result);
void ArmLastError();
constexpr DWORD kUntouched = 0xC0FFEE;

// A directory of its own for the running area below the temporary directory, empty and made
// afresh; it ends with a backslash.
std::string Scratch();
// Writes a file of the given bytes; false when it could not be written.
bool WriteBytes(const std::string &path, const std::string &bytes);
// Removes a directory tree (files first); quiet when it is missing.
void RemoveTree(const std::string &dir);

}  // namespace conformance

#define CONFORMANCE_CONCAT2(a, b) a##b
#define CONFORMANCE_CONCAT(a, b) CONFORMANCE_CONCAT2(a, b)
// Defines the checks of one area: CONFORMANCE_AREA(registry) { ... }
#define CONFORMANCE_AREA(area)                                                  \
  static void CONFORMANCE_CONCAT(area, _checks)();                              \
  static conformance::AreaRegistration CONFORMANCE_CONCAT(area, _registration)( \
      #area, CONFORMANCE_CONCAT(area, _checks));                                \
  static void CONFORMANCE_CONCAT(area, _checks)()

#endif  // TESTS_CONFORMANCE_CONFORMANCE_H
