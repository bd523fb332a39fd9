; A Windows NT 3.5 print server (build 807) on a MIPS R4000 machine with release 4 of Norvale
; Network Printing installed: its monitor is registered as "Norvale Port" with one port, its DLL
; is loaded by the running spooler, and a printer uses a driver name of that release. Setup stops
; the spooler (and the LPD service that depends on it), replaces the DLL, brings the monitor's
; registration under "Norvale Network Port" keeping its port, starts the services again and
; moves the printer to the new driver name. The installed PostScript driver is version 2.
;
; Make an image of it with: build/bin/winsim-image create demo/profiles/nt35-mips-upgrade.profile <dir>

[system]
version = 3.50.807
platform = nt
processor = MIPS
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
COMPUTERNAME = PRINT-R4K

[token]
administrators = enabled
thread_token = none
privileges = SeShutdownPrivilege SeBackupPrivilege SeRestorePrivilege

[service Spooler]
state = running
stop_ms = 2000
wait_hint_ms = 500

[service TcpIp]
state = running

[service LPDSVC]
state = running
depends = Spooler TcpIp
stop_ms = 600
wait_hint_ms = 300

; ---- Registry ----------------------------------------------------------------------------------

[registry HKLM\SOFTWARE\Classes]

[registry HKLM\SYSTEM\Setup]
WinntPath = D:\MIPS

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Monitors\Local Port]
Driver = localmon.dll

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Monitors\Norvale Port]
Driver = zelpsmon.dll

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Monitors\Norvale Port\Ports\ZEL1]
Address = 192.0.2.17
Queue = PS
Timeout = dword:45

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows NT x86]
Directory = w32x86

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows NT Alpha_AXP]
Directory = w32alpha

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows NT R4000]
Directory = w32mips

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows NT R4000\Drivers\Version-2\Norvale ZELlaser 7200 v1307]
Driver = pscript.dll
Data File = ZL7200.PPD
Configuration File = pscrptui.dll
Version = dword:2

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Printers\Engineering ZELlaser]
Name = Engineering ZELlaser
Printer Driver = Norvale ZELlaser 7200 v1307
Port = ZEL1
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
|
| [Extensions]
| hlp=winhlp32.exe ^.hlp
| wri=write.exe ^.wri

[file C:\WINNT35\write.exe]
size = 6144

[file C:\WINNT35\system32\printman.exe]
size = 8192

[file C:\WINNT35\system32\winhlp32.exe]
size = 8192

[file C:\WINNT35\system32\localmon.dll]
size = 3072

[file C:\WINNT35\system32\zelpsmon.dll]
module = mips InitializeMonitor EnumPortsW OpenPort StartDocPort WritePort ReadPort EndDocPort ClosePort

[file C:\WINNT35\system32\spool\drivers\w32mips\2\pscript.dll]
size = 10240

[file C:\WINNT35\system32\spool\drivers\w32mips\2\pscrptui.dll]
size = 8192

[file C:\WINNT35\system32\spool\drivers\w32mips\2\ZL7200.PPD]
| *PPD-Adobe: "4.0"
| *% Norvale ZELlaser 7200, release 4
| *ModelName: "Norvale ZELlaser 7200"
| *NickName: "Norvale ZELlaser 7200 v1307"
| *% end of PPD file

[directory C:\WINNT35\system32\spool\drivers\w32x86]
[directory C:\WINNT35\system32\spool\drivers\w32alpha]
