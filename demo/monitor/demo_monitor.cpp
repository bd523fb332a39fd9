// The demonstration print monitor: a monitor DLL that the spooler loads and that serves no
// port. It stands in for the package's real monitor in the demonstration distribution, so that
// registering the monitor exercises a real load by the spooler.
//
// Windows NT 3.x calls InitializeMonitor and then finds the port functions by their exported
// names. Later spoolers (and Wine's) call InitializePrintMonitor2 and take the functions from
// the table it answers, which carries its own size. Either way the monitor lists no ports and
// refuses to open, add or configure one.
#include <windows.h>
#include <winsplp.h>

namespace {

BOOL Refuse() {
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

BOOL NoPorts(LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
  (void)pPorts, (void)cbBuf;
  if (pcbNeeded) *pcbNeeded = 0;
  if (pcReturned) *pcReturned = 0;
  return TRUE;
}

BOOL WINAPI EnumPorts2(HANDLE, LPWSTR, DWORD, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded,
                       LPDWORD pcReturned) {
  return NoPorts(pPorts, cbBuf, pcbNeeded, pcReturned);
}
BOOL WINAPI OpenPort2(HANDLE, LPWSTR, PHANDLE) {
  return Refuse();
}
BOOL WINAPI AddPort2(HANDLE, LPWSTR, HWND, LPWSTR) {
  return Refuse();
}
BOOL WINAPI ConfigurePort2(HANDLE, LPWSTR, HWND, LPWSTR) {
  return Refuse();
}
BOOL WINAPI DeletePort2(HANDLE, LPWSTR, HWND, LPWSTR) {
  return Refuse();
}
VOID WINAPI Shutdown2(HANDLE) {}

}  // namespace

extern "C" {

// Port functions of an open port: none is ever opened.
BOOL WINAPI StartDocPort(HANDLE, LPWSTR, DWORD, DWORD, LPBYTE) {
  return Refuse();
}
BOOL WINAPI WritePort(HANDLE, LPBYTE, DWORD, LPDWORD pcbWritten) {
  if (pcbWritten) *pcbWritten = 0;
  return Refuse();
}
BOOL WINAPI ReadPort(HANDLE, LPBYTE, DWORD, LPDWORD pcbRead) {
  if (pcbRead) *pcbRead = 0;
  return Refuse();
}
BOOL WINAPI EndDocPort(HANDLE) {
  return Refuse();
}
BOOL WINAPI ClosePort(HANDLE) {
  return Refuse();
}

// The Windows NT 3.x interface: the entry, then the port functions by name.
BOOL WINAPI InitializeMonitor(LPWSTR pRegistryRoot) {
  (void)pRegistryRoot;
  return TRUE;
}
BOOL WINAPI EnumPortsW(LPWSTR, DWORD, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded,
                       LPDWORD pcReturned) {
  return NoPorts(pPorts, cbBuf, pcbNeeded, pcReturned);
}
BOOL WINAPI OpenPort(LPWSTR, PHANDLE) {
  return Refuse();
}
BOOL WINAPI AddPortW(LPWSTR, HWND, LPWSTR) {
  return Refuse();
}
BOOL WINAPI ConfigurePortW(LPWSTR, HWND, LPWSTR) {
  return Refuse();
}
BOOL WINAPI DeletePortW(LPWSTR, HWND, LPWSTR) {
  return Refuse();
}

// The later interface: one table of functions, stamped with its size.
LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT pMonitorInit, PHANDLE phMonitor) {
  static MONITOR2 table;
  (void)pMonitorInit;
  table.cbSize = sizeof table;
  table.pfnEnumPorts = EnumPorts2;
  table.pfnOpenPort = OpenPort2;
  table.pfnStartDocPort = StartDocPort;
  table.pfnWritePort = WritePort;
  table.pfnReadPort = ReadPort;
  table.pfnEndDocPort = EndDocPort;
  table.pfnClosePort = ClosePort;
  table.pfnAddPort = AddPort2;
  table.pfnConfigurePort = ConfigurePort2;
  table.pfnDeletePort = DeletePort2;
  table.pfnShutdown = Shutdown2;
  if (phMonitor) *phMonitor = reinterpret_cast<HANDLE>(&table);
  return &table;
}

}  // extern "C"
