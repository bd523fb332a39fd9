; A Windows 95 machine (4.00.950). Setup greets the user, builds its copy list and then tells
; that installation on Windows 95 is not yet supported; nothing is copied or registered.
;
; Make an image of it with: build/bin/winsim-image create demo/profiles/win95.profile <dir>

[system]
version = 4.0.950
platform = windows
processor =
windows = C:\WINDOWS
system = C:\WINDOWS\SYSTEM
temp = C:\WINDOWS\TEMP
codepage = 1252

[drives]
C = drive_c

[environment]
PATH = C:\WINDOWS;C:\WINDOWS\COMMAND
windir = C:\WINDOWS
TEMP = C:\WINDOWS\TEMP

[token]
administrators = enabled

; ---- Registry ----------------------------------------------------------------------------------

[registry HKLM\SOFTWARE\Classes]

[registry HKLM\SYSTEM\CurrentControlSet\Control\Print\Monitors\Local Port]
Driver = localmon.dll

[registry HKU\.DEFAULT]

; ---- Files -------------------------------------------------------------------------------------

[file C:\WINDOWS\win.ini]
| [windows]
| load=
| run=

[file C:\WINDOWS\SYSTEM\printman.exe]
size = 8192

[file C:\WINDOWS\winhlp32.exe]
size = 8192

[directory C:\WINDOWS\TEMP]
