// The service control manager of the stand-in, as other areas of the stand-in and the tests see
// it. The Win32 surface (OpenSCManagerA ... CloseServiceHandle) is in <windows.h>; whether a
// service runs now is winsim::ServiceIsRunning in winsim/machine.h.
//
// How services behave over time (the [service <name>] sections of machine.ini):
// - A stop request puts a running or paused service into stop-pending; it is stopped once
//   stop_ms have passed on the machine's clock (at once when stop_ms is 0). While stop-pending
//   it reports wait_hint_ms as its wait hint and a checkpoint that starts at 1 and advances by
//   one per full wait hint. With hang = yes the stop never ends and the checkpoint stays at 1.
// - A start request puts a stopped service into start-pending. The first status report that
//   sees it start-pending (a query, a stop request, an enumeration) says so, and the service is
//   running from then on, as it is once any time has passed on the clock; anything else that
//   needs it (a dependent's start, a client of the spooler) finds it running at once, as a
//   client that waits for the service would.
// - Each state reached is written to machine.ini at once. A service found stop-pending when the
//   image is opened has begun its stop at that moment.
#ifndef WINSIM_SERVICES_H
#define WINSIM_SERVICES_H

#include <cstddef>

namespace winsim {

// Service manager and service handles that are open now (tests check that none is leaked).
size_t OpenServiceHandleCount();

// While "Spooler" is not stopped, the DLL of every monitor registered under
// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Monitors is loaded. The service
// manager keeps this up to date on every change of the spooler's state; the spooler calls this
// after it has registered a new monitor while running.
void RefreshSpoolerLoadedFiles();

// Run by OpenMachine: services found stop-pending begin their stop now, and the spooler's
// files are loaded. Called directly (not as an open hook) so that every program that opens a
// machine has its services, whether or not it calls a service function itself.
void ServicesOnOpen();

// Run whenever the clock advances: services move on by the clock (a stop that has run its
// time is over, a start is over), and the image records where they are.
void ServicesProgress();

}  // namespace winsim

#endif
