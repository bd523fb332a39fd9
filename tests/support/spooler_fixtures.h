// The spooler objects that an earlier release left on a machine, described briefly, one per line:
//
//   monitor "<monitor name>" <dll file>
//       a registered monitor; the DLL (MonitorModule) is placed in the system directory
//   driver "<driver name>" [version=<n>] [data=<file>] [environment="<environment>"]
//       an installed printer driver: pscript.dll, the data file and pscrptui.dll registered under
//       Version-<n> (default 1) and placed in the version subdirectory of the environment's
//       driver directory; the data file defaults to a name made from the driver name
//   printer "<printer name>" "<driver name>" [port=<port>] [paused] [deny]
//       a local printer; paused: its status is PRINTER_STATUS_PAUSED; deny: the setup account
//       may not open it with full access
//   spooler running | stopped
//       the state of the Spooler service (default running)
//
// Texts in double quotes keep every blank (\" and \\ escape inside them); a line whose first
// non-blank character is '#' is a comment. The description turns into registry text, files and
// machine.ini entries, so that the image tool can build demo machines from the same lines.
#ifndef TESTS_SUPPORT_SPOOLER_FIXTURES_H
#define TESTS_SUPPORT_SPOOLER_FIXTURES_H

#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "test_image.h"

namespace testing_support {

struct SpoolerFixture {
  bool running = true;
  std::string registry;  // REGEDIT4 sections, to follow a registry text's other keys
  std::vector<std::string> directories;                    // Windows paths to create
  std::vector<std::pair<std::string, std::string>> files;  // Windows path, content
  std::vector<std::string> deniedPrinters;
};

// Turns a description into what the machine holds. systemDir and processor are the machine's
// ([system] system and processor). On a fault returns false and names the line and the fault.
bool DescribeSpooler(const std::string &description, const std::string &systemDir,
                     const std::string &processor, SpoolerFixture *fixture, std::string *error);

// A monitor DLL that the spooler loads: a PE module for the processor (%PROCESSOR_ARCHITECTURE%)
// that exports NT 3.x's monitor entry point.
std::string MonitorModule(const std::string &dllName, const std::string &processor = "x86");

// The REGEDIT4 text of a value or key name in double quotes, with \ and " escaped.
std::string RegQuote(const std::string &text);

// An image (not opened) of the machine that machineIni describes (empty: Windows NT 3.5 on x86
// with drive C:) whose spooler holds what `description` says, on top of kMinimalRegistry plus
// extraRegistry (REGEDIT4 sections). machineIni must not hold [service Spooler] or [deny].
// Fails the test on a fault of the description.
std::unique_ptr<TestImage> MakeSpoolerImage(const std::string &description,
                                            const std::string &machineIni = "",
                                            const std::string &extraRegistry = "");

// The registry path below HKEY_LOCAL_MACHINE that holds the spooler's objects.
extern const char kPrintRegistryPath[];

// Reading back what the open machine's spooler holds, as a program would.
// Whether the key below kPrintRegistryPath exists.
bool PrintKeyExists(const std::string &relative);
// A REG_SZ value of a key below kPrintRegistryPath, "<no key>" or "<no value>" when missing.
std::string PrintValue(const std::string &relative, const char *name);

struct LocalPrinter {
  std::string driver;
  std::string port;
  unsigned long status = 0;
  bool operator==(const LocalPrinter &o) const {
    return driver == o.driver && port == o.port && status == o.status;
  }
};
std::ostream &operator<<(std::ostream &out, const LocalPrinter &printer);
// The local printers by name, through EnumPrintersA at level 2.
std::map<std::string, LocalPrinter> LocalPrinters();

}  // namespace testing_support

#endif
