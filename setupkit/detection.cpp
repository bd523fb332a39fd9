// The detection library's questions about the machine itself: drives, ports, the processor and
// the hardware tests.
//
// Drives are those that machine.ini maps. A: and B: are the floppy drive letters, so they count
// as removable and every other mapped letter as a local hard disk. The simulated machine is not
// connected to a network: no drive is remote. A drive's sizes are those of the host file system
// that holds its directory.
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
// The display cannot be told from the image. Windows NT needs a VGA or better display, and the
// simulated machine has a colour one: FHasMonochromeDisplay answers FALSE.
#include <windows.h>
#include <sys/statvfs.h>

#include <cstdint>
#include <string>
#include <vector>

#include "setupkit/setupkit.h"
#include "toolkit/toolkit_services.h"
#include "winsim/machine.h"
#include "winsim/registry_store.h"

namespace {

// The largest signed 32-bit count (LONG is 32 bits on every build).
const LONG kLongMax = 0x7FFFFFFF;

const char kParallelPorts[] = "HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\PARALLEL PORTS";
const char kSerialPorts[] = "HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM";
const char kPointerPort[] = "HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\PointerPort";
const char kProcessor[] = "HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
const char kCoprocessor[] =
    "HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\FloatingPointProcessor";

// The letter of a drive number, or 0 when the number names no drive.
char LetterOf(int nDrive) {
  return nDrive >= 1 && nDrive <= 26 ? static_cast<char>('A' + nDrive - 1) : 0;
}

// The host directory of a mapped drive.
const std::string *DriveHost(char letter) {
  if (!letter) return nullptr;
  const auto &drives = winsim::M().drives;
  auto it = drives.find(letter);
  return it == drives.end() ? nullptr : &it->second;
}

bool FloppyLetter(char letter) {
  return letter == 'A' || letter == 'B';
}

// A count of bytes as a signed 32-bit value: a larger count is held at the largest one.
LONG Clamp(uint64_t bytes) {
  return bytes > static_cast<uint64_t>(kLongMax) ? kLongMax : static_cast<LONG>(bytes);
}

// The drive's total (or free) bytes, 0 for a drive that is not there.
LONG DriveBytes(int nDrive, bool total) {
  const std::string *host = DriveHost(LetterOf(nDrive));
  struct statvfs fs;
  if (!host || ::statvfs(host->c_str(), &fs) != 0) return 0;
  uint64_t blocks = total ? fs.f_blocks : fs.f_bavail;
  return Clamp(static_cast<uint64_t>(blocks) * fs.f_frsize);
}

// A registry text without the terminators it was stored with.
std::string RegText(const std::string &data) {
  std::string text = data;
  while (!text.empty() && text.back() == '\0') text.pop_back();
  size_t nul = text.find('\0');
  return nul == std::string::npos ? text : text.substr(0, nul);
}

const winsim::RegKey *HardwareKey(const char *path) {
  return winsim::FindRegistryKey(*winsim::M().registry, path);
}

// The port names that a DEVICEMAP key records, in the order of its values.
std::vector<std::string> PortNames(const char *path) {
  std::vector<std::string> names;
  const winsim::RegKey *key = HardwareKey(path);
  if (!key) return names;
  for (const auto &value : key->values) {
    if (value->dead || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) continue;
    std::string name = RegText(value->data);
    size_t slash = name.find_last_of('\\');
    if (slash != std::string::npos) name = name.substr(slash + 1);
    if (!name.empty()) names.push_back(name);
  }
  return names;
}

bool HasLiveValue(const winsim::RegKey *key) {
  if (!key) return false;
  for (const auto &value : key->values)
    if (!value->dead) return true;
  return false;
}

// The model's name for an x86 family number, as the detection library names it.
const char *X86Model(unsigned family) {
  static const char *const kModels[] = {"8086", "80186", "80286", "80386", "80486", "PENTIUM"};
  return family < sizeof kModels / sizeof kModels[0] ? kModels[family] : nullptr;
}

// The processor's name from the identifier NT recorded; empty when there is none.
std::string ProcessorName() {
  uint32_t type = 0;
  std::string data;
  if (!winsim::GetRegistryValue(*winsim::M().registry, kProcessor, "Identifier", &type, &data) ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return "";
  std::string identifier = RegText(data);
  const std::string prefix = "X86 FAMILY ";
  std::string upper = winsim::Upper(identifier);
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

std::vector<std::string> Drives(bool (*wanted)(char letter)) {
  std::vector<std::string> items;
  for (const auto &drive : winsim::M().drives)
    if (wanted(drive.first)) items.push_back(std::string(1, drive.first) + ":");
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
  if (winsim::Fault("FIsValidDrive")) return FALSE;
  return DriveHost(LetterOf(nDrive)) ? TRUE : FALSE;
}

BOOL WINAPI FIsLocalHardDrive(int nDrive) {
  if (winsim::Fault("FIsLocalHardDrive")) return FALSE;
  char letter = LetterOf(nDrive);
  return DriveHost(letter) && !FloppyLetter(letter) ? TRUE : FALSE;
}

BOOL WINAPI FIsRemoveDrive(int nDrive) {
  if (winsim::Fault("FIsRemoveDrive")) return FALSE;
  char letter = LetterOf(nDrive);
  return DriveHost(letter) && FloppyLetter(letter) ? TRUE : FALSE;
}

BOOL WINAPI FIsRemoteDrive(int nDrive) {
  (void)nDrive;
  if (winsim::Fault("FIsRemoteDrive")) return FALSE;
  return FALSE;
}

LONG WINAPI LcbTotalDrive(int nDrive) {
  if (winsim::Fault("LcbTotalDrive")) return 0;
  return DriveBytes(nDrive, true);
}

LONG WINAPI LcbFreeDrive(int nDrive) {
  if (winsim::Fault("LcbFreeDrive")) return 0;
  return DriveBytes(nDrive, false);
}

// ---- lists
// ----------------------------------------------------------------------------------------

BOOL WINAPI FGetValidDrivesList(LPCSTR szSymbol) {
  if (winsim::Fault("FGetValidDrivesList")) return FALSE;
  return MakeList(szSymbol, Drives([](char) { return true; }));
}

BOOL WINAPI FGetLocalHardDrivesList(LPCSTR szSymbol) {
  if (winsim::Fault("FGetLocalHardDrivesList")) return FALSE;
  return MakeList(szSymbol, Drives([](char letter) { return !FloppyLetter(letter); }));
}

BOOL WINAPI FGetRemovableDrivesList(LPCSTR szSymbol) {
  if (winsim::Fault("FGetRemovableDrivesList")) return FALSE;
  return MakeList(szSymbol, Drives(FloppyLetter));
}

BOOL WINAPI FGetNetworkDrivesList(LPCSTR szSymbol) {
  if (winsim::Fault("FGetNetworkDrivesList")) return FALSE;
  return MakeList(szSymbol, {});
}

BOOL WINAPI FGetParallelPortsList(LPCSTR szSymbol) {
  if (winsim::Fault("FGetParallelPortsList")) return FALSE;
  return MakeList(szSymbol, PortNames(kParallelPorts));
}

BOOL WINAPI FGetSerialPortsList(LPCSTR szSymbol) {
  if (winsim::Fault("FGetSerialPortsList")) return FALSE;
  return MakeList(szSymbol, PortNames(kSerialPorts));
}

// ---- processor and hardware ---------------------------------------------------------------------

BOOL WINAPI FGetProcessorType(LPCSTR szSymbol, int nReserved, LPSTR szBuf, int cbBuf) {
  (void)nReserved;
  if (winsim::Fault("FGetProcessorType")) return FALSE;
  if (szBuf && cbBuf > 0) szBuf[0] = '\0';
  std::string name = ProcessorName();
  if (name.empty() || !szBuf || cbBuf <= 0 || name.size() >= static_cast<size_t>(cbBuf))
    return FALSE;
  setupkit::CopyText(name, szBuf, cbBuf);
  if (szSymbol && *szSymbol) setupkit::SetSymbol(szSymbol, name);
  return TRUE;
}

BOOL WINAPI FHas87MathChip(void) {
  if (winsim::Fault("FHas87MathChip")) return FALSE;
  return HardwareKey(kCoprocessor) ? TRUE : FALSE;
}

BOOL WINAPI FHasMonochromeDisplay(void) {
  if (winsim::Fault("FHasMonochromeDisplay")) return FALSE;
  return FALSE;
}

BOOL WINAPI FHasMouseInstalled(void) {
  if (winsim::Fault("FHasMouseInstalled")) return FALSE;
  return HasLiveValue(HardwareKey(kPointerPort)) ? TRUE : FALSE;
}

}  // extern "C"
