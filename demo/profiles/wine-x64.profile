; The machine that tools/run-under-wine makes of a fresh 64-bit Wine prefix: Windows NT 3.5
; build 807 as the prefix reports it, an x64 processor, the Windows directory C:\windows, the
; spooler running with no service depending on it, no printer, and the PostScript driver's
; modules in version directory 3 of the x64 environment, where the script puts them.
;
; Make an image of it with: build/bin/winsim-image create demo/profiles/wine-x64.profile <dir>

[system]
version = 3.50.807
platform = nt
processor = AMD64
windows = C:\windows
system = C:\windows\system32
temp = C:\windows\temp
codepage = 1252

[drives]
C = drive_c

[environment]
PATH = C:\windows\system32;C:\windows
SystemRoot = C:\windows
windir = C:\windows
TEMP = C:\windows\temp

[token]
administrators = enabled
thread_token = none
privileges = SeShutdownPrivilege SeBackupPrivilege SeRestorePrivilege

[service Spooler]
state = running

; ---- Registry ----------------------------------------------------------------------------------

[registry HKLM\SOFTWARE\Classes]

[registry HKLM\SYSTEM\Setup]
WinntPath = C:\I386

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Monitors\Local Port]
Driver = localspl.dll

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows x64]
Directory = x64

[registry HKU\.DEFAULT]

; ---- Files -------------------------------------------------------------------------------------

[file C:\windows\win.ini]
| [windows]

[file C:\windows\system32\spool\drivers\x64\3\pscript.dll]
size = 30

[file C:\windows\system32\spool\drivers\x64\3\pscrptui.dll]
size = 45

[directory C:\windows\system32\spool\PRINTERS]
[directory C:\windows\temp]
