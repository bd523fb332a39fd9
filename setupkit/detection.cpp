// The detection library's questions about the machine itself: drives, ports, the processor and
// the hardware tests.
//
// Drives and their kinds are those that GetLogicalDrives and GetDriveTypeA tell; their sizes
// come from GetDiskFreeSpaceA, held at the largest 32-bit count.
//
// Ports and hardware come from where Windows NT records what it found at boot, below
// HKEY_LOCAL_MACHINE\HARDWARE of the machine's registry:
// - DEVICEMAP\PARALLEL PORTS and DEVICEMAP\SERIALCOMM: one value per port, its data the port's
//   name ("\DosDevices\LPT1", "COM1");
// - DESCRIPTION\System\CentralProcessor\0, value "Identifier": the processor ("x86 Family 5
//   Model 2 Stepping 5"); an x86 family number gives the model's name, any other identifier is
//   reported as it stands;
// - DESCRIPTION\System\FloatingPointProcessor: present when the machine has a maths coprocessor;
// - DEVICEMAP\PointerPort: a value per pointing device whose driver has started.
// A machine whose registry lacks these keys has no ports, no coprocessor and no mouse, and does
// not say what its processor is.
//
// Windows NT needs a VGA or better display, which is a colour one: FHasMonochromeDisplay answers
// FALSE.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "setupkit/install_services.h"
#include "setupkit/setupkit.h"
#include "toolkit/toolkit_services.h"

namespace {

// The largest signed 32-bit count (LONG is 32 bits on every build).
const LONG kLongMax = 0x7FFFFFFF;

const char kParallelPorts[] = "HARDWARE\\DEVICEMAP\\PARALLEL PORTS";
const char kSerialPorts[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
const char kPointerPort[] = "HARDWARE\\DEVICEMAP\\PointerPort";
const char kProcessor[] = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
const char kCoprocessor[] = "HARDWARE\\DESCRIPTION\\System\\FloatingPointProcessor";

// The letter of a drive number, or 0 when the number names no drive.
char LetterOf(int nDrive) {
  return nDrive >= 1 && nDrive <= 26 ? static_cast<char>('A' + nDrive - 1) : 0;
}

// The drive's type as GetDriveTypeA tells it; DRIVE_NO_ROOT_DIR for a drive that is not there.
UINT DriveType(char letter) {
  if (!letter) return DRIVE_NO_ROOT_DIR;
  char root[] = "?:\\";
  root[0] = letter;
  return GetDriveTypeA(root);
}

bool ValidType(UINT type) {
  return type != DRIVE_UNKNOWN && type != DRIVE_NO_ROOT_DIR;
}

// A count of bytes as a signed 32-bit value: a larger count is held at the largest one.
LONG Clamp(uint64_t bytes) {
  return bytes > static_cast<uint64_t>(kLongMax) ? kLongMax : static_cast<LONG>(bytes);
}

// The drive's total (or free) bytes, 0 for a drive that is not there.
LONG DriveBytes(int nDrive, bool total) {
  char letter = LetterOf(nDrive);
  if (!ValidType(DriveType(letter))) return 0;
  char root[] = "?:\\";
  root[0] = letter;
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
    return 0;
  uint64_t count = total ? clusters : freeClusters;
  return Clamp(count * sectorsPerCluster * bytesPerSector);
}

// A text value of the registry without the terminators it was stored with.
std::string RegText(const BYTE *data, DWORD size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  size_t nul = text.find('\0');
  return nul == std::string::npos ? text : text.substr(0, nul);
}

bool HardwareKeyExists(const char *path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// The port names that a DEVICEMAP key records, in the order of its values.
std::vector<std::string> PortNames(const char *path) {
  std::vector<std::string> names;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
  for (DWORD index = 0;; ++index) {
    char valueName[256];
    BYTE data[512];
    DWORD nameSize = sizeof valueName, dataSize = sizeof data, type = 0;
    LONG rc = RegEnumValueA(key, index, valueName, &nameSize, nullptr, &type, data, &dataSize);
    if (rc == ERROR_MORE_DATA) continue;  // no port's name is that long
    if (rc != ERROR_SUCCESS) break;
    if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
    std::string name = RegText(data, dataSize);
    size_t slash = name.find_last_of('\\');
    if (slash != std::string::npos) name = name.substr(slash + 1);
    if (!name.empty()) names.push_back(name);
  }
  RegCloseKey(key);
  return names;
}

bool HasValue(const char *path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  char valueName[256];
  DWORD nameSize = sizeof valueName;
  LONG rc = RegEnumValueA(key, 0, valueName, &nameSize, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA;
}

// The model's name for an x86 family number, as the detection library names it.
const char *X86Model(unsigned family) {
  static const char *const kModels[] = {"8086", "80186", "80286", "80386", "80486", "PENTIUM"};
  return family < sizeof kModels / sizeof kModels[0] ? kModels[family] : nullptr;
}

// The processor's name from the identifier NT recorded; empty when there is none.
std::string ProcessorName() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProcessor, 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
  BYTE data[512];
  DWORD size = sizeof data, type = 0;
  LONG rc = RegQueryValueExA(key, "Identifier", nullptr, &type, data, &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return "";
  std::string identifier = RegText(data, size);
  const std::string prefix = "X86 FAMILY ";
  std::string upper = setupkit::Upper(identifier);
  if (upper.compare(0, prefix.size(), prefix) == 0) {
    size_t i = prefix.size();
    unsigned family = 0;
    bool digits = false;
    while (i < upper.size() && upper[i] >= '0' && upper[i] <= '9' && family < 1000) {
      family = family * 10 + static_cast<unsigned>(upper[i++] - '0');
      digits = true;
    }
    if (digits && X86Model(family)) return X86Model(family);
  }
  return identifier;
}

std::vector<std::string> Drives(bool (*wanted)(UINT type)) {
  std::vector<std::string> items;
  DWORD mask = GetLogicalDrives();
  for (int d = 0; d < 26; ++d) {
    char letter = static_cast<char>('A' + d);
    if ((mask & (1u << d)) && wanted(DriveType(letter)))
      items.push_back(std::string(1, letter) + ":");
  }
  return items;
}

BOOL MakeList(LPCSTR szSymbol, const std::vector<std::string> &items) {
  if (!szSymbol || !*szSymbol) return FALSE;
  return setupkit::SetListSymbol(szSymbol, items) ? TRUE : FALSE;
}

}  // namespace

extern "C" {

// ---- drives -------------------------------------------------------------------------------------

BOOL WINAPI FIsValidDrive(int nDrive) {
  return ValidType(DriveType(LetterOf(nDrive))) ? TRUE : FALSE;
}

BOOL WINAPI FIsLocalHardDrive(int nDrive) {
  return DriveType(LetterOf(nDrive)) == DRIVE_FIXED ? TRUE : FALSE;
}

BOOL WINAPI FIsRemoveDrive(int nDrive) {
  return DriveType(LetterOf(nDrive)) == DRIVE_REMOVABLE ? TRUE : FALSE;
}

BOOL WINAPI FIsRemoteDrive(int nDrive) {
  return DriveType(LetterOf(nDrive)) == DRIVE_REMOTE ? TRUE : FALSE;
}

LONG WINAPI LcbTotalDrive(int nDrive) {
  return DriveBytes(nDrive, true);
}

LONG WINAPI LcbFreeDrive(int nDrive) {
  return DriveBytes(nDrive, false);
}

// ---- lists --------------------------------------------------------------------------------------

BOOL WINAPI FGetValidDrivesList(LPCSTR szSymbol) {
  return MakeList(szSymbol, Drives(ValidType));
}

BOOL WINAPI FGetLocalHardDrivesList(LPCSTR szSymbol) {
  return MakeList(szSymbol, Drives([](UINT type) { return type == DRIVE_FIXED; }));
}

BOOL WINAPI FGetRemovableDrivesList(LPCSTR szSymbol) {
  return MakeList(szSymbol, Drives([](UINT type) { return type == DRIVE_REMOVABLE; }));
}

BOOL WINAPI FGetNetworkDrivesList(LPCSTR szSymbol) {
  return MakeList(szSymbol, Drives([](UINT type) { return type == DRIVE_REMOTE; }));
}

BOOL WINAPI FGetParallelPortsList(LPCSTR szSymbol) {
  return MakeList(szSymbol, PortNames(kParallelPorts));
}

BOOL WINAPI FGetSerialPortsList(LPCSTR szSymbol) {
  return MakeList(szSymbol, PortNames(kSerialPorts));
}

// ---- processor and hardware ---------------------------------------------------------------------

BOOL WINAPI FGetProcessorType(LPCSTR szSymbol, int nReserved, LPSTR szBuf, int cbBuf) {
  (void)nReserved;
  if (szBuf && cbBuf > 0) szBuf[0] = '\0';
  std::string name = ProcessorName();
  if (name.empty() || !szBuf || cbBuf <= 0 || name.size() >= static_cast<size_t>(cbBuf))
    return FALSE;
  setupkit::CopyText(name, szBuf, cbBuf);
  if (szSymbol && *szSymbol) setupkit::SetSymbol(szSymbol, name);
  return TRUE;
}

BOOL WINAPI FHas87MathChip(void) {
  return HardwareKeyExists(kCoprocessor) ? TRUE : FALSE;
}

BOOL WINAPI FHasMonochromeDisplay(void) {
  return FALSE;
}

BOOL WINAPI FHasMouseInstalled(void) {
  return HasValue(kPointerPort) ? TRUE : FALSE;
}

}  // extern "C"
