/*
 * Detection helpers: the toolkit's questions about drives, ports, the environment, files,
 * the processor, the hardware and .ini files. The Must... helpers test the answer and end the
 * setup with code 1024 when it means failure (a text that does not fit, at once and without the
 * "Buffer Overflow" box); the Ask... helpers hand the toolkit's answer back unchanged.
 */
#ifndef TOOLKIT_DETECTION_HELPERS_H
#define TOOLKIT_DETECTION_HELPERS_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Drives: the first character of the text is the drive letter. Some of these upper-case the
 * caller's text in place: AskDriveValid, AskDriveRemovable and AskDriveTotalBytes its first
 * character, AskDriveLocalHard all of it; the others leave it as it is. */
BOOL AskDriveValid(LPSTR szDrive);
BOOL AskDriveLocalHard(LPSTR szDrive);
BOOL AskDriveRemovable(LPSTR szDrive);
BOOL AskDriveRemote(LPCSTR szDrive);
LONG AskDriveTotalBytes(LPSTR szDrive);
LONG AskDriveFreeBytes(LPCSTR szDrive);

/* Lists: each fills the list symbol. */
void MustListValidDrives(LPCSTR szSymbol);
void MustListLocalHardDrives(LPCSTR szSymbol);
void MustListRemovableDrives(LPCSTR szSymbol);
void MustListNetworkDrives(LPCSTR szSymbol);
void MustListParallelPorts(LPCSTR szSymbol);
void MustListSerialPorts(LPCSTR szSymbol);

/* Texts, into the caller's buffer; the size counts the terminator. */
LPSTR MustReadEnvVariable(LPCSTR szName, LPSTR szBuf, int cbBuf);
LPSTR MustReadFileDate(LPCSTR szFile, LPSTR szBuf, int cbBuf);
LPSTR MustReadFileVersion(LPCSTR szFile, LPSTR szBuf, int cbBuf);
LPSTR MustFindOnEnvPath(LPCSTR szFile, LPCSTR szEnvVar, LPSTR szBuf, int cbBuf);
LPSTR MustFindFileInTree(LPCSTR szFile, LPCSTR szDir, LPSTR szBuf, int cbBuf);
LPSTR MustReadIniString(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, LPSTR szBuf, int cbBuf);

/* Other questions. */
BOOL AskFileExists(LPCSTR szPath, int fem); /* 0 as well for a path that is not valid */
LONG AskVersionField(LPCSTR szVersion, int nField);
LONG AskFileSize(LPCSTR szFile);
BOOL AskDriverInConfig(LPCSTR szDriver);
BOOL AskMathChip(void);
BOOL AskMonochromeDisplay(void);
BOOL AskMouseInstalled(void);
BOOL AskDirExists(LPCSTR szDir);
BOOL AskIniSectionExists(LPCSTR szFile, LPCSTR szSect);
BOOL AskIniKeyExists(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey);

/* The fields of a file date as MustReadFileDate gives it ("YYYY-MM-DD-hh-mm-ss"); 0 for a
 * field that holds no digit or lies past the end of the text. */
int DateYear(LPCSTR szDate);
int DateMonth(LPCSTR szDate);
int DateDay(LPCSTR szDate);
int DateHour(LPCSTR szDate);
int DateMinute(LPCSTR szDate);
int DateSecond(LPCSTR szDate);

/* The processor's code: 0 "8086", 1 "80186", 2 "80286", 3 "80386", 4 "80486", 5 "PENTIUM",
 * 2000, 3000, 4000 "R2000" to "R4000", 21064 "AXP21064", 400 "C400"; 0 as well when the toolkit
 * cannot tell, and PROCESSOR_UNKNOWN for a name it reports that is none of these. */
#define PROCESSOR_UNKNOWN (-1)
int ProcessorCode(void);

#ifdef __cplusplus
}
#endif

#endif
