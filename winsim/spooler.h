// The spooler of the stand-in, as other areas of the stand-in and the tests see it. The Win32
// surface (GetPrinterDriverDirectoryA ... ClosePrinter) is in <winspool.h>.
//
// Monitors, drivers and printers live in the registry where Windows NT keeps them, below
// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print:
//   Monitors\<monitor>                                   Driver
//   Environments\<environment>                           Directory (w32x86, w32alpha, w32mips)
//   Environments\<environment>\Drivers\Version-<n>\<driver>
//                                                        Driver, Data File, Configuration File,
//                                                        Version
//   Printers\<printer>                                   Name, Printer Driver, Port, Status, ...
// A driver's files lie in <system dir>\spool\drivers\<Directory>\<n>.
#ifndef WINSIM_SPOOLER_H
#define WINSIM_SPOOLER_H

#include <cstddef>
#include <string>

namespace winsim {

// A printing environment the spooler knows: its name ("Windows NT x86") and the standard name of
// its driver directory ("w32x86").
struct PrintEnvironment {
  const char *name;
  const char *directory;
};
// The environment of that name, without regard to case, or null when the spooler knows none.
const PrintEnvironment *FindPrintEnvironment(const std::string &name);

// The environment of a machine with that processor (%PROCESSOR_ARCHITECTURE%).
std::string PrintEnvironmentOfProcessor(const std::string &processor);
// The environment that a null environment stands for: follows the machine's processor.
std::string LocalPrintEnvironment();

// Printer handles that are open now (tests check that none is leaked).
size_t OpenPrinterHandleCount();

}  // namespace winsim

#endif
