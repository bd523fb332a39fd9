; A Windows NT 3.5 workstation (build 807) on an x86 machine, as an administrator finds it before
; the first installation of Norvale Network Printing 5.0: the spooler running with two services
; that depend on it, the Local Port monitor, the Windows NT PostScript driver with one printer on
; it, and one printer still on a driver of an earlier Norvale release. The Windows NT CD is in
; drive D:.
;
; Make an image of it with: build/bin/winsim-image create demo/profiles/nt35-x86.profile <dir>

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
D = cdrom

[environment]
PATH = C:\WINNT35\system32;C:\WINNT35
SystemRoot = C:\WINNT35
windir = C:\WINNT35
TEMP = C:\TEMP
COMPUTERNAME = ACCT-NT35

[token]
administrators = enabled
thread_token = none
privileges = SeShutdownPrivilege SeBackupPrivilege SeRestorePrivilege

[service Spooler]
state = running
stop_ms = 1500
wait_hint_ms = 500

[service TcpIp]
state = running

[service AppleTalk]
state = running

[service LPDSVC]
state = running
depends = Spooler TcpIp
stop_ms = 500

[service MacPrint]
state = running
depends = Spooler AppleTalk
stop_ms = 800
wait_hint_ms = 400

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

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows NT x86\Drivers\Version-1\Norvale PageRelay 12 v31.2]
Driver = pscript.dll
Data File = PR12V31.PPD
Configuration File = pscrptui.dll
Version = dword:1

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows NT Alpha_AXP]
Directory = w32alpha

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows NT R4000]
Directory = w32mips

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Printers\Accounting]
Name = Accounting
Printer Driver = Generic PostScript Printer
Port = LPT1:
Print Processor = winprint
Datatype = RAW
Status = dword:0
Attributes = dword:0
Priority = dword:1

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Printers\Sales PageRelay]
Name = Sales PageRelay
Printer Driver = Norvale PageRelay 12 v31.2
Port = LPT2:
Print Processor = winprint
Datatype = RAW
Status = dword:0
Attributes = dword:0
Priority = dword:1

[registry HKU\.DEFAULT]

; ---- Files -------------------------------------------------------------------------------------

[file C:\WINNT35\win.ini]
| [windows]
| load=
| run=
| Beep=yes
| NullPort=None
|
| [Desktop]
| Wallpaper=(None)
|
| [Extensions]
| hlp=winhlp32.exe ^.hlp
| wri=write.exe ^.wri

[file C:\WINNT35\system.ini]
| [boot]
| shell=progman.exe

[file C:\WINNT35\write.exe]
size = 6144

[file C:\WINNT35\system32\printman.exe]
size = 8192

[file C:\WINNT35\system32\winhlp32.exe]
size = 8192

[file C:\WINNT35\system32\progman.exe]
size = 6144

[file C:\WINNT35\system32\spoolss.dll]
size = 4096

[file C:\WINNT35\system32\winspool.drv]
size = 4096

[file C:\WINNT35\system32\localmon.dll]
size = 3072

[file C:\WINNT35\system32\winprint.dll]
size = 2048

[file C:\WINNT35\system32\spool\drivers\w32x86\1\pscript.dll]
size = 8192

[file C:\WINNT35\system32\spool\drivers\w32x86\1\pscrptui.dll]
size = 6144

[file C:\WINNT35\system32\spool\drivers\w32x86\1\GENPS.PPD]
| *PPD-Adobe: "4.1"
| *% Generic PostScript printer description for the Windows NT PostScript driver
| *FormatVersion: "4.1"
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

[file C:\WINNT35\system32\spool\drivers\w32x86\1\PR12V31.PPD]
| *PPD-Adobe: "4.0"
| *% Norvale PageRelay 12 printer description, release 31.2
| *FormatVersion: "4.0"
| *FileVersion: "31.2"
| *LanguageVersion: English
| *PCFileName: "PR12V31.PPD"
| *ModelName: "Norvale PageRelay 12"
| *NickName: "Norvale PageRelay 12 v31.2"
| *LanguageLevel: "1"
| *DefaultResolution: 300dpi
| *DefaultPageSize: Letter
| *PageSize Letter: "letter"
| *DefaultFont: Courier
| *Font Courier: Standard "(001.004)" Standard ROM
| *% end of PPD file

[directory C:\WINNT35\system32\spool\drivers\w32alpha]
[directory C:\WINNT35\system32\spool\drivers\w32mips]
[directory C:\WINNT35\system32\spool\PRINTERS]

[file D:\I386\pscript.dll]
size = 8192

[file D:\I386\pscrptui.dll]
size = 6144
