; A Windows NT 3.1 workstation (build 528) on an x86 machine, as an administrator finds it before
; the first installation of Norvale Network Printing 5.0: the spooler running, the Local Port
; monitor, the Windows NT PostScript driver in the root of the printer-driver directory (NT 3.1
; keeps no version subdirectories) with one printer on it. The Windows NT CD is in drive D:.
;
; Make an image of it with: build/bin/winsim-image create demo/profiles/nt31-x86.profile <dir>

[system]
version = 3.10.528
platform = nt
processor = x86
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
COMPUTERNAME = LAB-NT31

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
WinntPath = D:\I386
SystemPartition = \Device\Harddisk0\Partition1
OsLoaderPath = \

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Monitors\Local Port]
Driver = localmon.dll

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows NT x86]
Directory = w32x86

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows NT x86\Drivers\Version-1\Generic PostScript Printer]
Driver = pscript.dll
Data File = GENPS.PPD
Configuration File = pscrptui.dll
Version = dword:1

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows NT Alpha_AXP]
Directory = w32alpha

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows NT R4000]
Directory = w32mips

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Printers\Lab LaserWriter]
Name = Lab LaserWriter
Printer Driver = Generic PostScript Printer
Port = LPT1:
Print Processor = winprint
Datatype = RAW
Status = dword:0
Attributes = dword:0
Priority = dword:1

[registry HKU\.DEFAULT]

; ---- Files -------------------------------------------------------------------------------------

[file C:\WINNT\win.ini]
| [windows]
| load=
| run=
| Beep=yes
|
| [Extensions]
| hlp=winhlp32.exe ^.hlp
| wri=write.exe ^.wri

[file C:\WINNT\system.ini]
| [boot]
| shell=progman.exe

[file C:\WINNT\write.exe]
size = 6144

[file C:\WINNT\system32\printman.exe]
size = 8192

[file C:\WINNT\system32\winhlp32.exe]
size = 8192

[file C:\WINNT\system32\progman.exe]
size = 6144

[file C:\WINNT\system32\spoolss.dll]
size = 4096

[file C:\WINNT\system32\winspool.drv]
size = 4096

[file C:\WINNT\system32\localmon.dll]
size = 3072

[file C:\WINNT\system32\winprint.dll]
size = 2048

[file C:\WINNT\system32\spool\drivers\w32x86\pscript.dll]
size = 8192

[file C:\WINNT\system32\spool\drivers\w32x86\pscrptui.dll]
size = 6144

[file C:\WINNT\system32\spool\drivers\w32x86\pscript.hlp]
size = 4096

[file C:\WINNT\system32\spool\drivers\w32x86\GENPS.PPD]
| *PPD-Adobe: "4.0"
| *% Generic PostScript printer description for the Windows NT PostScript driver
| *FormatVersion: "4.0"
| *FileVersion: "1.0"
| *LanguageVersion: English
| *PCFileName: "GENPS.PPD"
| *ModelName: "Generic PostScript Printer"
| *NickName: "Generic PostScript Printer"
| *LanguageLevel: "1"
| *DefaultResolution: 300dpi
| *DefaultPageSize: Letter
| *PageSize Letter: "letter"
| *DefaultFont: Courier
| *Font Courier: Standard "(001.004)" Standard ROM
| *% end of PPD file

[directory C:\WINNT\system32\spool\drivers\w32alpha]
[directory C:\WINNT\system32\spool\drivers\w32mips]
[directory C:\WINNT\system32\spool\PRINTERS]

; The Windows NT CD holds its files compressed (SZDD, made with COMPRESS.EXE or Debian's
; mscompress), the last character of each name replaced by '_'. They expand to the driver that
; is installed above, as the machine was set up from this CD.
[file D:\I386\PSCRIPT.DL_]
copy = ../nt31-cd/I386/PSCRIPT.DL_

[file D:\I386\PSCRPTUI.DL_]
copy = ../nt31-cd/I386/PSCRPTUI.DL_

[file D:\I386\PSCRIPT.HL_]
copy = ../nt31-cd/I386/PSCRIPT.HL_
