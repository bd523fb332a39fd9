; A Windows NT 3.1 server (build 528) on a DEC Alpha AXP machine. The PostScript driver was never
; installed here, so Setup asks for the Windows NT distribution (the CD in drive D:, \ALPHA) and
; installs pscript.dll, pscrptui.dll and pscript.hlp from it, expanding the compressed files
; that the CD holds (PSCRIPT.DL_, PSCRPTUI.DL_, PSCRIPT.HL_). Drivers are registered for
; "Windows NT Alpha_AXP".
;
; Make an image of it with: build/bin/winsim-image create demo/profiles/nt31-alpha.profile <dir>

[system]
version = 3.10.528
platform = nt
processor = ALPHA
windows = C:\WINNT
system = C:\WINNT\system32
temp = C:\TEMP
codepage = 1252

[drives]
C = drive_c
D = cdrom

[environment]
PATH = C:\WINNT\system32;C:\WINNT
SystemRoot = C:\WINNT
windir = C:\WINNT
TEMP = C:\TEMP
COMPUTERNAME = ENG-AXP

[token]
administrators = enabled
thread_token = none
privileges = SeShutdownPrivilege SeBackupPrivilege SeRestorePrivilege

[service Spooler]
state = running
stop_ms = 1000
wait_hint_ms = 500

; ---- Registry ----------------------------------------------------------------------------------

[registry HKLM\SOFTWARE\Classes]

[registry HKLM\SYSTEM\Setup]
WinntPath = D:\ALPHA\

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Monitors\Local Port]
Driver = localmon.dll

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows NT x86]
Directory = w32x86

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows NT Alpha_AXP]
Directory = w32alpha

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows NT R4000]
Directory = w32mips

[registry HKU\.DEFAULT]

; ---- Files -------------------------------------------------------------------------------------

[file C:\WINNT\win.ini]
| [windows]
| load=
| run=
|
| [Extensions]
| hlp=winhlp32.exe ^.hlp
| wri=write.exe ^.wri

[file C:\WINNT\write.exe]
size = 6144

[file C:\WINNT\system32\printman.exe]
size = 8192

[file C:\WINNT\system32\winhlp32.exe]
size = 8192

[file C:\WINNT\system32\localmon.dll]
size = 3072

[directory C:\WINNT\system32\spool\drivers\w32x86]
[directory C:\WINNT\system32\spool\drivers\w32alpha]
[directory C:\WINNT\system32\spool\drivers\w32mips]

; The Windows NT CD holds its files compressed (SZDD, made with COMPRESS.EXE or Debian's
; mscompress), the last character of each name replaced by '_'.
[file D:\ALPHA\PSCRIPT.DL_]
copy = ../nt31-cd/ALPHA/PSCRIPT.DL_

[file D:\ALPHA\PSCRPTUI.DL_]
copy = ../nt31-cd/ALPHA/PSCRPTUI.DL_

[file D:\ALPHA\PSCRIPT.HL_]
copy = ../nt31-cd/ALPHA/PSCRIPT.HL_
