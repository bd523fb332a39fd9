; The machine the conformance checks run on under winsim: Windows NT 3.5 build 807 on x86 as an
; administrator finds it, the spooler running with one service that depends on it, the Local
; Port monitor, and the PostScript driver's modules in the x86 driver directory. The checks make
; and remove everything else they need.

[system]
version = 3.50.807
platform = nt
processor = x86
windows = C:\WINNT35
system = C:\WINNT35\system32
temp = C:\TEMP
codepage = 1252

[drives]
C = drive_c

[environment]
PATH = C:\WINNT35\system32;C:\WINNT35
SystemRoot = C:\WINNT35
windir = C:\WINNT35
TEMP = C:\TEMP

[token]
administrators = enabled
thread_token = none
privileges = SeShutdownPrivilege SeBackupPrivilege SeRestorePrivilege

[service Spooler]
state = running
stop_ms = 1500
wait_hint_ms = 500

[service LPDSVC]
state = running
depends = Spooler
stop_ms = 500

[registry HKLM\SOFTWARE\Classes]

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Monitors\Local Port]
Driver = localmon.dll

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows NT x86]
Directory = w32x86

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows NT Alpha_AXP]
Directory = w32alpha

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows NT R4000]
Directory = w32mips

[registry HKU\.DEFAULT]

[file C:\WINNT35\system32\localmon.dll]
size = 3072

[directory C:\WINNT35\system32\spool\drivers\w32x86\1]
[directory C:\WINNT35\system32\spool\drivers\w32alpha]
[directory C:\WINNT35\system32\spool\drivers\w32mips]
[directory C:\WINNT35\system32\spool\PRINTERS]

; The monitor DLLs of the spooler's checks, as tools/run-conformance-under-wine puts them into
; Wine's system directory: a monitor NT loads, a DLL without a monitor's entry point, and a file
; that is no module.
[file C:\WINNT35\system32\cfmon.dll]
module = i386 InitializeMonitor InitializePrintMonitor2 EnumPortsW OpenPort ClosePort

[file C:\WINNT35\system32\cfnoentry.dll]
module = i386 SymbolValue

[file C:\WINNT35\system32\cfplain.dll]
| MZ this is not a loadable module
