/*
 * The Setup Toolkit functions that the setup calls (MSSHLSTF, MSCOMSTF, MSINSSTF, MSUILSTF,
 * MSDETSTF). The setup never calls them directly: every call goes through a wrapper of the
 * toolkit layer that tests its result. Texts are 8-bit; a BOOL result is nonzero on success.
 */
#ifndef TOOLKIT_SERVICES_H
#define TOOLKIT_SERVICES_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Result of GrcCopyFilesInCopyList: 0 or below is success. */
typedef int GRC;
#define grcOkay 0
#define grcNotOkay 1 /* a file could not be copied; the user has been told which and why */
#define grcUserQuit 48

/* Result of the file calls that may ask the user: nonzero when the work is done. */
typedef int YNRC;
#define ynrcNo 0
#define ynrcYes 1

/* Options (cmo) of the calls that change the machine; the bits not named here are ignored. */
#define cmoNone 0x0000
#define cmoVital 0x0001     /* the setup depends on this step */
#define cmoTellUser 0x0002  /* a failure is shown to the user, naming the file and the reason */
#define cmoOverwrite 0x0400 /* an existing key, value or item of that name is replaced */

/* MSSHLSTF: frame, symbols, cursor. */
int WINAPI InitializeFrame(LPSTR szCmdLine); /* -1: end quietly; 0: failed; >0: frame up */
HWND WINAPI HwndFrame(void);
HINSTANCE WINAPI HinstFrame(void);
BOOL WINAPI FSetBitmap(LPCSTR szDll, UINT idBitmap);
BOOL WINAPI FSetSymbolValue(LPCSTR szSymbol, LPCSTR szValue);
HCURSOR WINAPI HShowWaitCursor(void);
BOOL WINAPI FRestoreCursor(HCURSOR hcurPrev);
void WINAPI TerminateFrame(void);
BOOL WINAPI FSetAbout(LPCSTR szAbout1, LPCSTR szAbout2); /* the two lines of the About box */
BOOL WINAPI FSetBeepingMode(BOOL fBeep); /* beep with each message; answers the previous mode */
/* Silent: no gauge or billboards (a failure is still told); answers the previous mode. */
BOOL WINAPI FSetSilent(BOOL fSilent);

/* MSCOMSTF: setup file, symbols, lists. Lengths answered are full lengths without the
 * terminator; a length of the buffer size or more means the value did not fit. */
BOOL WINAPI FOpenInf(LPCSTR szFile, BOOL fCheck, BOOL fCheckSyms);
int WINAPI CbGetSymbolValue(LPCSTR szSymbol, LPSTR szValue, int cbValue);
BOOL WINAPI FRemoveSymbol(LPCSTR szSymbol);
BOOL WINAPI FSetSymbolToListOfInfKeys(LPCSTR szSymbol, LPCSTR szSection, BOOL fNulls);
USHORT WINAPI UsGetListLength(LPCSTR szSymbol);
int WINAPI CbGetListItem(LPCSTR szListSymbol, USHORT nItem, LPSTR szListItem, int cbMax);
BOOL WINAPI FAddListItem(LPCSTR szListSymbol, LPCSTR szListItem);
BOOL WINAPI FReplaceListItem(LPCSTR szListSymbol, USHORT nItem, LPCSTR szListItem);
int WINAPI CbGetInfSectionKeyField(LPCSTR szSection, LPCSTR szKey, USHORT iField, LPSTR szBuf,
                                   int cbBuf); /* -1 when the key is missing */
/* Makes the list symbol hold field iField of every line of the section, in file order. */
BOOL WINAPI FMakeListInfSectionField(LPCSTR szSymbol, LPCSTR szSection, USHORT iField);
BOOL WINAPI FValidDir(LPCSTR szDir);
int WINAPI DoMsgBox(LPCSTR szText, LPCSTR szCaption, UINT fuStyle);

/* The log file: lines of text appended to a file of the machine. With fRequest set, a line
 * written while no log file is open is dropped without failure. */
BOOL WINAPI FOpenLogFile(LPCSTR szFile, BOOL fAppend);
BOOL WINAPI FCloseLogFile(void);
BOOL WINAPI FWriteToLogFile(LPCSTR szText, BOOL fRequest);

/* Looks for the file as OpenFile does (the path given; else the current, Windows and system
 * directories and the PATH): 0 with its full path in the buffer, 1 when it is nowhere,
 * 2 when the arguments are wrong or the path does not fit the buffer. */
int WINAPI WFindFileUsingFileOpen(LPCSTR szFile, LPSTR szBuf, int cbBuf);

/* MSINSSTF: installation. */
BOOL WINAPI FInitializeInstall(HINSTANCE hinst, HWND hwndFrame);
void WINAPI TerminateInstall(void);

/* The copy list: sections (or single lines) of the setup file, each copied from a source
 * directory into a destination directory when the list is run. In a section, field 1 of a line
 * names a file of the source directory (possibly in a subdirectory); it is copied under its own
 * name, or under the name that a field "rename=<name>" gives. */
void WINAPI ResetCopyList(void);
BOOL WINAPI FAddSectionFilesToCopyList(LPCSTR szSect, LPCSTR szSrc, LPCSTR szDest);
BOOL WINAPI FAddSectionKeyFileToCopyList(LPCSTR szSect, LPCSTR szKey, LPCSTR szSrc, LPCSTR szDest);
/* The file of the key's line, copied to szDestPath, a full path with the file name. */
BOOL WINAPI FAddSpecialFileToCopyList(LPCSTR szSect, LPCSTR szKey, LPCSTR szSrc, LPCSTR szDestPath);
/* Bytes the copy adds to the disks; negative when the list cannot be costed. The list symbols
 * szCostList and szNeedList (when named) receive 26 items, one per drive A to Z: the bytes
 * added there, and the bytes missing beyond the free space. szExtraList may name a list of 26
 * further byte counts to add per drive. */
LONG WINAPI LcbGetCopyListCost(LPCSTR szExtraList, LPCSTR szCostList, LPCSTR szNeedList);
BOOL WINAPI FDumpCopyListToFile(LPCSTR szFile);
GRC WINAPI GrcCopyFilesInCopyList(HINSTANCE hInstance);
BOOL WINAPI ProSetPos(UINT uPos, UINT uRange); /* the copy gauge at uPos of uRange */

/* Billboards: dialogs shown in turn while the copy list runs, each for its share of lTicks.
 * A blank billboard has no library, dialog or procedure. */
BOOL WINAPI FAddToBillboardList(LPCSTR szDll, UINT idDlg, LPCSTR szProc, LONG lTicks);
BOOL WINAPI FClearBillboardList(void);

/* Files and directories. */
BOOL WINAPI FCopyOneFile(LPCSTR szSrc, LPCSTR szDest, int cmo, BOOL fAppend);
YNRC WINAPI YnrcRemoveFile(LPCSTR szFullPath, int cmo);
YNRC WINAPI YnrcBackupFile(LPCSTR szFullPath, LPCSTR szBackup, int cmo);
BOOL WINAPI FCreateDir(LPCSTR szDir, int cmo); /* with every missing directory above it */
BOOL WINAPI FRemoveDir(LPCSTR szDir, int cmo); /* an empty directory */
BOOL WINAPI FIsDirWritable(LPCSTR szDir);
BOOL WINAPI FIsFileWritable(LPCSTR szFile);
/* Copies the batch file szSrc to szDst with szDir put first on its PATH. */
BOOL WINAPI FPrependToPath(LPCSTR szSrc, LPCSTR szDst, LPCSTR szDir, int cmo);
/* Writes cbData bytes into resource wResId of type wResType of the program file that the key's
 * line of the section names, in the directory szDst. */
BOOL WINAPI FStampResource(LPCSTR szSect, LPCSTR szKey, LPCSTR szDst, WORD wResType, WORD wResId,
                           LPCSTR szData, int cbData);

/* The restart list: files that were in use when the copy reached them, staged in the restart
 * directory and put in place when the machine restarts. */
BOOL WINAPI FSetRestartDir(LPCSTR szDir);
BOOL WINAPI FRestartListEmpty(void);
BOOL WINAPI FExitExecRestart(void); /* restarts the machine to finish the restart list */

/* .ini files. A file named without a directory is the one in the Windows directory. */
BOOL WINAPI FCreateIniKeyValue(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, LPCSTR szValue, int cmo);
/* The same for files such as SYSTEM.INI whose sections may hold a key on several lines: the
 * value is added on a line of its own unless a line of that key holds it already; with
 * cmoOverwrite the first line of the key is replaced instead. */
BOOL WINAPI FCreateSysIniKeyValue(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, LPCSTR szValue,
                                  int cmo);
BOOL WINAPI FRemoveIniKey(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, int cmo);
BOOL WINAPI FRemoveIniSection(LPCSTR szFile, LPCSTR szSect, int cmo);

/* Program Manager. The item text is the item's title, optionally followed by a comma and the
 * file that holds its icon. The Ex forms take the path of the group's file as well (null for
 * the default). */
BOOL WINAPI FCreateProgManGroup(LPCSTR szGroup, LPCSTR szPath, int cmo);
BOOL WINAPI FCreateProgManGroupEx(LPCSTR szGroup, LPCSTR szPath, int cmo);
BOOL WINAPI FShowProgManGroup(LPCSTR szGroup, LPCSTR szCommand, int cmo);
BOOL WINAPI FShowProgManGroupEx(LPCSTR szGroup, LPCSTR szPath, LPCSTR szCommand, int cmo);
BOOL WINAPI FCreateProgManItem(LPCSTR szGroup, LPCSTR szItem, LPCSTR szCmd, int cmo);
BOOL WINAPI FCreateProgManItemEx(LPCSTR szGroup, LPCSTR szPath, LPCSTR szItem, LPCSTR szCmd,
                                 int cmo);

/* MSUILSTF: dialogs. FDoDialogExt leaves the keyword of the button pressed in "DLGEVENT". */
BOOL WINAPI FDoDialogExt(HWND hwndParent, LPCSTR szDll, UINT idDlg, LPCSTR szDlgProc,
                         LPCSTR szHelpDll, UINT idHelp, LPCSTR szHelpProc);
BOOL WINAPI FKillNDialogs(int n); /* -1 removes every dialog */

/* MSCOMSTF: the error handler. Tells the user that a step failed (grc says what kind of step, the
 * texts name it) and answers what the caller should do next. */
typedef int EERC;
#define eercAbort 0
#define eercRetry 1
#define eercIgnore 2
#define grcRegistryFailed 104 /* a registry database operation; sz1 names it */
EERC WINAPI EercErrorHandler(GRC grc, BOOL fVital, LPCSTR sz1, LPCSTR sz2, LPCSTR sz3);

/* MSCOMSTF: paths. A valid path is a full path of a file: drive, colon, backslash and names.
 * FParsePathIntoPieces copies the pieces of a valid path into the buffers given (a null buffer
 * is skipped): the volume ("C:"), the directory ("\DIR\SUB\") and the file name; FALSE when the
 * path is not valid or a piece does not fit its buffer. */
BOOL WINAPI FValidPath(LPCSTR szPath);
BOOL WINAPI FParsePathIntoPieces(LPCSTR szPath, LPSTR szVolume, int cbVolume, LPSTR szDir,
                                 int cbDir, LPSTR szFile, int cbFile);

/* MSDETSTF: detection. Drives are numbered from 1 (A:) to 26 (Z:); any other number names no
 * drive. Byte counts are signed 32-bit, as much as that holds for a larger drive. */
BOOL WINAPI FIsValidDrive(int nDrive);
BOOL WINAPI FIsLocalHardDrive(int nDrive);
BOOL WINAPI FIsRemoveDrive(int nDrive);
BOOL WINAPI FIsRemoteDrive(int nDrive);
LONG WINAPI LcbTotalDrive(int nDrive);
LONG WINAPI LcbFreeDrive(int nDrive);

/* Each makes the list symbol hold what it finds: drives as "C:", ports as "LPT1", "COM2". */
BOOL WINAPI FGetValidDrivesList(LPCSTR szSymbol);
BOOL WINAPI FGetLocalHardDrivesList(LPCSTR szSymbol);
BOOL WINAPI FGetRemovableDrivesList(LPCSTR szSymbol);
BOOL WINAPI FGetNetworkDrivesList(LPCSTR szSymbol);
BOOL WINAPI FGetParallelPortsList(LPCSTR szSymbol);
BOOL WINAPI FGetSerialPortsList(LPCSTR szSymbol);

/* Text results: the full length without the terminator; what fits is copied. Nothing is
 * written, and 0 answered, when there is nothing to report (no such variable, file, key). A
 * file date reads "YYYY-MM-DD-hh-mm-ss"; a file version "a.b.c.d". */
int WINAPI CbGetEnvVariableValue(LPCSTR szEnvVar, LPSTR szBuf, int cbBuf);
int WINAPI CbGetDateOfFile(LPCSTR szFile, LPSTR szBuf, int cbBuf);
int WINAPI CbGetVersionOfFile(LPCSTR szFile, LPSTR szBuf, int cbBuf);
/* The full path of the file in the first directory of the variable's list that holds it. */
int WINAPI CbFindTargetOnEnvVar(LPCSTR szFile, LPCSTR szEnvVar, LPSTR szBuf, int cbBuf);
/* The full path of the first file of that name in the directory szDir or below it. */
int WINAPI CbFindFileInTree(LPCSTR szFile, LPCSTR szDir, LPSTR szBuf, int cbBuf);
int WINAPI CbGetIniKeyString(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, LPSTR szBuf, int cbBuf);

/* What FDoesFileExist asks of the file. */
#define femExists 0
#define femRead 1
#define femWrite 2
#define femReadWrite 3
BOOL WINAPI FDoesFileExist(LPCSTR szFile, int fem);
LONG WINAPI LGetVersionNthField(LPCSTR szVersion, int nField); /* field 1 to 4; 0 if none */
LONG WINAPI LcbGetSizeOfFile(LPCSTR szFile);                   /* -1 when there is no file */
BOOL WINAPI FIsDriverInConfig(LPCSTR szDriver); /* a DEVICE line of CONFIG.SYS loads it */
BOOL WINAPI FHas87MathChip(void);
BOOL WINAPI FHasMonochromeDisplay(void);
BOOL WINAPI FHasMouseInstalled(void);
BOOL WINAPI FDirExists(LPCSTR szDir);
BOOL WINAPI FDoesIniSectionExist(LPCSTR szFile, LPCSTR szSect);
BOOL WINAPI FDoesIniKeyExist(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey);
/* The processor's name ("80486", "PENTIUM", ...) in the buffer, and in the symbol szSymbol when
 * one is named; nReserved is 0. FALSE when the machine does not say or the name does not fit. */
BOOL WINAPI FGetProcessorType(LPCSTR szSymbol, int nReserved, LPSTR szBuf, int cbBuf);

#ifdef __cplusplus
}
#endif

#endif
