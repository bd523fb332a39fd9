/*
 * Detection helpers over the toolkit's detection library.
 */
#include <windows.h>

#include "toolkit/detection_helpers.h"
#include "toolkit/error_reporting.h"
#include "toolkit/toolkit_services.h"

/* FGetProcessorType's buffer. */
#define CB_PROCESSOR_NAME 32

/* Where each field of a file date begins (counted from 0) and how many digits it has. */
#define DATE_YEAR_AT 0
#define DATE_YEAR_DIGITS 4
#define DATE_MONTH_AT 5
#define DATE_DAY_AT 8
#define DATE_HOUR_AT 11
#define DATE_MINUTE_AT 14
#define DATE_SECOND_AT 17
#define DATE_FIELD_DIGITS 2

static const struct {
  LPCSTR szName;
  int nCode;
} rgProcessors[] = {
    {"C400", 400},   {"AXP21064", 21064}, {"R4000", 4000}, {"R3000", 3000},
    {"R2000", 2000}, {"PENTIUM", 5},      {"80486", 4},    {"80386", 3},
    {"80286", 2},    {"80186", 1},        {"8086", 0},
};

/* ---- drives ---------------------------------------------------------------------------------- */

/* The toolkit's drive number for a drive letter: A is 1, Z is 26. Any other character gives a
 * number outside that range, which the toolkit answers as no drive. */
static int DriveNumber(char chLetter) {
  return (int)(BYTE)chLetter - 64;
}

/* The drive number of the text, with its first character upper-cased in place. */
static int UpperFirstDrive(LPSTR szDrive) {
  if (szDrive == NULL) return 0;
  CharUpperBuffA(szDrive, 1);
  return DriveNumber(szDrive[0]);
}

/* The drive number of the text, the text left as it is. */
static int CopiedDrive(LPCSTR szDrive) {
  char szLetter[2];

  if (szDrive == NULL) return 0;
  szLetter[0] = szDrive[0];
  szLetter[1] = '\0';
  CharUpperBuffA(szLetter, 1);
  return DriveNumber(szLetter[0]);
}

BOOL AskDriveValid(LPSTR szDrive) {
  return FIsValidDrive(UpperFirstDrive(szDrive));
}

BOOL AskDriveLocalHard(LPSTR szDrive) {
  if (szDrive == NULL) return FIsLocalHardDrive(0);
  CharUpperA(szDrive);
  return FIsLocalHardDrive(DriveNumber(szDrive[0]));
}

BOOL AskDriveRemovable(LPSTR szDrive) {
  return FIsRemoveDrive(UpperFirstDrive(szDrive));
}

BOOL AskDriveRemote(LPCSTR szDrive) {
  return FIsRemoteDrive(CopiedDrive(szDrive));
}

LONG AskDriveTotalBytes(LPSTR szDrive) {
  return LcbTotalDrive(UpperFirstDrive(szDrive));
}

LONG AskDriveFreeBytes(LPCSTR szDrive) {
  return LcbFreeDrive(CopiedDrive(szDrive));
}

/* ---- lists ----------------------------------------------------------------------------------- */

static void MustSucceed(BOOL fResult) {
  if (!fResult) ReportApiError(SETUP_ERR_CALL_FAILED);
}

void MustListValidDrives(LPCSTR szSymbol) {
  MustSucceed(FGetValidDrivesList(szSymbol));
}

void MustListLocalHardDrives(LPCSTR szSymbol) {
  MustSucceed(FGetLocalHardDrivesList(szSymbol));
}

void MustListRemovableDrives(LPCSTR szSymbol) {
  MustSucceed(FGetRemovableDrivesList(szSymbol));
}

void MustListNetworkDrives(LPCSTR szSymbol) {
  MustSucceed(FGetNetworkDrivesList(szSymbol));
}

void MustListParallelPorts(LPCSTR szSymbol) {
  MustSucceed(FGetParallelPortsList(szSymbol));
}

void MustListSerialPorts(LPCSTR szSymbol) {
  MustSucceed(FGetSerialPortsList(szSymbol));
}

/* ---- texts ----------------------------------------------------------------------------------- */

/* So that a call that writes nothing leaves an empty text. */
static void EmptyText(LPSTR szBuf, int cbBuf) {
  if (szBuf != NULL && cbBuf > 0) szBuf[0] = '\0';
}

/* A length of the size or more did not fit. */
static LPSTR MustFit(int cb, LPSTR szBuf, int cbBuf) {
  if (cb >= cbBuf) ReportApiError(SETUP_ERR_CALL_FAILED);
  return szBuf;
}

LPSTR MustReadEnvVariable(LPCSTR szName, LPSTR szBuf, int cbBuf) {
  EmptyText(szBuf, cbBuf);
  return MustFit(CbGetEnvVariableValue(szName, szBuf, cbBuf), szBuf, cbBuf);
}

LPSTR MustReadFileDate(LPCSTR szFile, LPSTR szBuf, int cbBuf) {
  return MustFit(CbGetDateOfFile(szFile, szBuf, cbBuf), szBuf, cbBuf);
}

LPSTR MustReadFileVersion(LPCSTR szFile, LPSTR szBuf, int cbBuf) {
  EmptyText(szBuf, cbBuf);
  return MustFit(CbGetVersionOfFile(szFile, szBuf, cbBuf), szBuf, cbBuf);
}

LPSTR MustFindOnEnvPath(LPCSTR szFile, LPCSTR szEnvVar, LPSTR szBuf, int cbBuf) {
  EmptyText(szBuf, cbBuf);
  return MustFit(CbFindTargetOnEnvVar(szFile, szEnvVar, szBuf, cbBuf), szBuf, cbBuf);
}

LPSTR MustFindFileInTree(LPCSTR szFile, LPCSTR szDir, LPSTR szBuf, int cbBuf) {
  return MustFit(CbFindFileInTree(szFile, szDir, szBuf, cbBuf), szBuf, cbBuf);
}

LPSTR MustReadIniString(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, LPSTR szBuf, int cbBuf) {
  EmptyText(szBuf, cbBuf);
  return MustFit(CbGetIniKeyString(szFile, szSect, szKey, szBuf, cbBuf), szBuf, cbBuf);
}

/* ---- other questions ------------------------------------------------------------------------- */

BOOL AskFileExists(LPCSTR szPath, int fem) {
  if (!FValidPath(szPath)) return 0;
  return FDoesFileExist(szPath, fem);
}

LONG AskVersionField(LPCSTR szVersion, int nField) {
  return LGetVersionNthField(szVersion, nField);
}

LONG AskFileSize(LPCSTR szFile) {
  return LcbGetSizeOfFile(szFile);
}

BOOL AskDriverInConfig(LPCSTR szDriver) {
  return FIsDriverInConfig(szDriver);
}

BOOL AskMathChip(void) {
  return FHas87MathChip();
}

BOOL AskMonochromeDisplay(void) {
  return FHasMonochromeDisplay();
}

BOOL AskMouseInstalled(void) {
  return FHasMouseInstalled();
}

BOOL AskDirExists(LPCSTR szDir) {
  return FDirExists(szDir);
}

BOOL AskIniSectionExists(LPCSTR szFile, LPCSTR szSect) {
  return FDoesIniSectionExist(szFile, szSect);
}

BOOL AskIniKeyExists(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey) {
  return FDoesIniKeyExist(szFile, szSect, szKey);
}

/* ---- file dates ------------------------------------------------------------------------------ */

/* The field's digits read as a base-10 number, up to the first other character. A text that
 * ends before the field gives 0: nothing past its terminator is read. */
static int DateField(LPCSTR szDate, int iAt, int cDigits) {
  int i;
  int nValue = 0;

  if (szDate == NULL) return 0;
  for (i = 0; i < iAt; i++)
    if (szDate[i] == '\0') return 0;
  for (i = iAt; i < iAt + cDigits && szDate[i] >= '0' && szDate[i] <= '9'; i++)
    nValue = nValue * 10 + (szDate[i] - '0');
  return nValue;
}

int DateYear(LPCSTR szDate) {
  return DateField(szDate, DATE_YEAR_AT, DATE_YEAR_DIGITS);
}

int DateMonth(LPCSTR szDate) {
  return DateField(szDate, DATE_MONTH_AT, DATE_FIELD_DIGITS);
}

int DateDay(LPCSTR szDate) {
  return DateField(szDate, DATE_DAY_AT, DATE_FIELD_DIGITS);
}

int DateHour(LPCSTR szDate) {
  return DateField(szDate, DATE_HOUR_AT, DATE_FIELD_DIGITS);
}

int DateMinute(LPCSTR szDate) {
  return DateField(szDate, DATE_MINUTE_AT, DATE_FIELD_DIGITS);
}

int DateSecond(LPCSTR szDate) {
  return DateField(szDate, DATE_SECOND_AT, DATE_FIELD_DIGITS);
}

/* ---- processor ------------------------------------------------------------------------------- */

int ProcessorCode(void) {
  char szName[CB_PROCESSOR_NAME];
  int i;

  if (!FGetProcessorType("", 0, szName, sizeof(szName))) return 0;
  szName[sizeof(szName) - 1] = '\0';
  for (i = 0; i < (int)(sizeof(rgProcessors) / sizeof(rgProcessors[0])); i++)
    if (lstrcmpiA(szName, rgProcessors[i].szName) == 0) return rgProcessors[i].nCode;
  return PROCESSOR_UNKNOWN;
}
