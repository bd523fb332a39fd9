// Process-level calls of kernel32: last-error value, exit, sleep, the version word, the
// environment, the error mode, the tick count, pseudo handles, local and global memory, and the
// run-time loading of ADVAPI32.DLL and of the dialog libraries linked into the program.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "winsim/handles.h"
#include "winsim/machine.h"
#include "winsim/modules.h"

namespace {

DWORD g_lastError = 0;
UINT g_errorMode = 0;

// The process environment: built from the machine when first asked for, changed by
// SetEnvironmentVariableA for the life of the process only (as on Windows, nothing is saved).
bool g_envBuilt = false;
std::vector<std::pair<std::string, std::string>> g_env;

// Fixed blocks from LocalAlloc/GlobalAlloc. Kept so that freeing a pointer that is not a live
// block fails with ERROR_INVALID_HANDLE as on Windows, instead of corrupting the host heap.
std::map<void *, size_t> g_blocks;

// How often each module is loaded (ADVAPI32.DLL and the linked-in libraries). Zero or absent:
// not in the process.
std::map<HMODULE, int> g_moduleRefs;

const DWORD kProcessId = 0x5C;
HMODULE const kExeModule = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x400000));
HMODULE const kAdvapiModule = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x77DC0000));
HANDLE const kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
HANDLE const kCurrentThread = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2));

// Each machine opened is a fresh process: its environment, error mode and modules start over.
// Blocks still allocated are left alone: their owners may free them later.
void ResetProcessState() {
  g_lastError = 0;
  g_errorMode = 0;
  g_envBuilt = false;
  g_env.clear();
  g_moduleRefs.clear();
}
[[maybe_unused]] const bool g_hooked = (winsim::AddOpenHook(&ResetProcessState), true);

std::vector<std::pair<std::string, std::string>> &Env() {
  if (g_envBuilt) return g_env;
  const winsim::Machine &m = winsim::M();
  g_env.clear();
  auto set = [](const std::string &name, const std::string &value) {
    for (auto &entry : g_env)
      if (winsim::EqualNoCase(entry.first, name)) {
        entry.second = value;
        return;
      }
    g_env.emplace_back(name, value);
  };
  set("SystemRoot", m.windowsDir);
  set("windir", m.windowsDir);
  // The processor key of [system] alone decides this one: an empty value means undefined, as on
  // a machine whose environment lacks it.
  if (!m.processor.empty()) set("PROCESSOR_ARCHITECTURE", m.processor);
  for (const auto &entry : m.environment)
    if (!winsim::EqualNoCase(entry.first, "PROCESSOR_ARCHITECTURE")) set(entry.first, entry.second);
  // The harness's files, by the Windows paths through which the program opens them.
  const std::pair<const char *, const std::string *> harness[] = {
      {"WINSIM_ANSWERS", &m.answersPath},
      {"WINSIM_TRANSCRIPT", &m.transcriptPath},
      {"WINSIM_RECORD", &m.recordPath}};
  for (const auto &[name, path] : harness)
    if (!path->empty()) set(name, winsim::WindowsPathOfHostFile(*path));
  g_envBuilt = true;
  return g_env;
}

const std::string *FindEnv(const std::string &name) {
  for (const auto &entry : Env())
    if (winsim::EqualNoCase(entry.first, name)) return &entry.second;
  return nullptr;
}

std::string Expand(const char *src) {
  std::string out;
  const char *p = src;
  while (*p) {
    if (*p != '%') {
      out += *p++;
      continue;
    }
    const char *close = std::strchr(p + 1, '%');
    if (!close) {
      out += p;
      break;
    }
    std::string name(p + 1, close);
    const std::string *value = name.empty() ? nullptr : FindEnv(name);
    if (value) {
      out += *value;
      p = close + 1;
    } else {
      // Left as written; the closing '%' may open the next reference.
      out += '%';
      out += name;
      p = close;
    }
  }
  return out;
}

HMODULE ModuleByName(const char *name) {
  std::string n = winsim::Upper(name);
  if (n.size() > 4 && n.compare(n.size() - 4, 4, ".DLL") == 0) n.resize(n.size() - 4);
  return n == "ADVAPI32" ? kAdvapiModule : winsim::LinkedModuleHandle(name);
}

bool IsLoaded(HMODULE module) {
  auto it = g_moduleRefs.find(module);
  return it != g_moduleRefs.end() && it->second > 0;
}

struct Export {
  const char *name;
  FARPROC proc;
};
// Through void (*)(void), the type that stands for "any function".
#define WINSIM_EXPORT(fn) \
  { #fn, reinterpret_cast < FARPROC>(reinterpret_cast <void (*)(void)>(&fn)) }
// The registry entry points that ADVAPI32.DLL hands out by name.
const Export kAdvapiExports[] = {
    WINSIM_EXPORT(RegCloseKey),      WINSIM_EXPORT(RegCreateKeyA),
    WINSIM_EXPORT(RegCreateKeyExA),  WINSIM_EXPORT(RegDeleteKeyA),
    WINSIM_EXPORT(RegDeleteValueA),  WINSIM_EXPORT(RegEnumKeyA),
    WINSIM_EXPORT(RegEnumKeyExA),    WINSIM_EXPORT(RegEnumValueA),
    WINSIM_EXPORT(RegOpenKeyA),      WINSIM_EXPORT(RegOpenKeyExA),
    WINSIM_EXPORT(RegQueryInfoKeyA), WINSIM_EXPORT(RegQueryValueA),
    WINSIM_EXPORT(RegQueryValueExA), WINSIM_EXPORT(RegSetValueA),
    WINSIM_EXPORT(RegSetValueExA),
};
#undef WINSIM_EXPORT

HLOCAL AllocBlock(const char *function, UINT flags, SIZE_T bytes) {
  if (DWORD err = winsim::Fault(function)) {
    SetLastError(err);
    return nullptr;
  }
  if (bytes > 0x7FFFFFFF) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  size_t size = bytes ? bytes : 1;
  void *block = std::malloc(size);
  if (!block) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // Without the zero-init flag the content is whatever the heap held; a fixed pattern makes a
  // caller that relies on zeros it did not ask for fail in tests.
  std::memset(block, (flags & LMEM_ZEROINIT) ? 0 : 0xCD, size);
  g_blocks[block] = size;
  return block;
}

HLOCAL FreeBlock(HLOCAL mem) {
  if (!mem) return nullptr;
  auto it = g_blocks.find(mem);
  if (it == g_blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return mem;
  }
  g_blocks.erase(it);
  std::free(mem);
  return nullptr;
}

}  // namespace

namespace winsim {

const LinkedModule *LoadedModule(HMODULE module) {
  return IsLoaded(module) ? LinkedModuleOf(module) : nullptr;
}

}  // namespace winsim

extern "C" {

DWORD WINAPI GetLastError(void) {
  return g_lastError;
}
void WINAPI SetLastError(DWORD dwErrCode) {
  g_lastError = dwErrCode;
}

void WINAPI ExitProcess(UINT uExitCode) {
  winsim::Transcript("exit " + std::to_string(uExitCode));
  // The machine closes with the process: its clock is kept for the next run and its registry's
  // log is folded into system.reg.
  if (winsim::MachineOpen()) winsim::SaveMachineIni();
  winsim::CloseMachine();
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(static_cast<int>(uExitCode));
}

void WINAPI Sleep(DWORD dwMilliseconds) {
  winsim::Transcript("sleep " + std::to_string(dwMilliseconds));
  winsim::AdvanceClock(dwMilliseconds);
}

DWORD WINAPI GetTickCount(void) {
  return static_cast<DWORD>(winsim::NowMs());
}

DWORD WINAPI GetVersion(void) {
  const winsim::Machine &m = winsim::M();
  DWORD word = (m.major & 0xFF) | (m.minor & 0xFF) << 8 | (m.build & 0x7FFF) << 16;
  if (m.windows95) word |= 0x80000000u;
  return word;
}

UINT WINAPI SetErrorMode(UINT uMode) {
  UINT previous = g_errorMode;
  g_errorMode = uMode;
  return previous;
}

DWORD WINAPI ExpandEnvironmentStringsA(LPCSTR lpSrc, LPSTR lpDst, DWORD nSize) {
  if (DWORD err = winsim::Fault("ExpandEnvironmentStringsA")) {
    SetLastError(err);
    return 0;
  }
  // A null source expands like an empty one. The count includes the terminator. A buffer that
  // is too small receives an empty text, so that a caller that looks at it anyway reads a
  // terminated one, and the count it needs; the last error is left alone, as every recorded NT
  // version does.
  std::string out = Expand(lpSrc ? lpSrc : "");
  DWORD needed = static_cast<DWORD>(out.size() + 1);
  if (lpDst && nSize >= needed)
    std::memcpy(lpDst, out.c_str(), needed);
  else if (lpDst && nSize > 0)
    lpDst[0] = '\0';
  return needed;
}

DWORD WINAPI GetEnvironmentVariableA(LPCSTR lpName, LPSTR lpBuffer, DWORD nSize) {
  // The harness's own variables are not the machine's: [faults] never fail them.
  bool harness = lpName && winsim::Upper(lpName).compare(0, 7, "WINSIM_") == 0;
  if (DWORD err = harness ? 0 : winsim::Fault("GetEnvironmentVariableA")) {
    SetLastError(err);
    return 0;
  }
  const std::string *value = lpName ? FindEnv(lpName) : nullptr;
  if (!value) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  if (!lpBuffer || nSize <= value->size()) return static_cast<DWORD>(value->size() + 1);
  std::memcpy(lpBuffer, value->c_str(), value->size() + 1);
  return static_cast<DWORD>(value->size());
}

BOOL WINAPI SetEnvironmentVariableA(LPCSTR lpName, LPCSTR lpValue) {
  if (DWORD err = winsim::Fault("SetEnvironmentVariableA")) {
    SetLastError(err);
    return FALSE;
  }
  if (!lpName || !*lpName || std::strchr(lpName, '=')) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto &env = Env();
  for (auto it = env.begin(); it != env.end(); ++it)
    if (winsim::EqualNoCase(it->first, lpName)) {
      if (lpValue)
        it->second = lpValue;
      else
        env.erase(it);
      return TRUE;
    }
  if (lpValue) env.emplace_back(lpName, lpValue);
  return TRUE;
}

HANDLE WINAPI GetCurrentProcess(void) {
  return kCurrentProcess;
}
HANDLE WINAPI GetCurrentThread(void) {
  return kCurrentThread;
}
DWORD WINAPI GetCurrentProcessId(void) {
  return kProcessId;
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
  if (DWORD err = winsim::IsHarnessHandle(hObject) ? 0 : winsim::Fault("CloseHandle")) {
    SetLastError(err);
    return FALSE;
  }
  if (hObject == kCurrentProcess || hObject == kCurrentThread) return TRUE;
  if (!hObject || !winsim::CloseKernelHandle(hObject)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
  return AllocBlock("LocalAlloc", uFlags, uBytes);
}
HLOCAL WINAPI LocalFree(HLOCAL hMem) {
  return FreeBlock(hMem);
}
HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
  return AllocBlock("GlobalAlloc", uFlags, dwBytes);
}
HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) {
  return FreeBlock(hMem);
}

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  if (DWORD err = winsim::Fault("LoadLibraryA")) {
    SetLastError(err);
    return nullptr;
  }
  if (!lpLibFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HMODULE module = ModuleByName(lpLibFileName);
  if (!module) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  ++g_moduleRefs[module];
  return module;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  if (!lpModuleName) return kExeModule;
  HMODULE module = ModuleByName(lpModuleName);
  if (!module || !IsLoaded(module)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return module;
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  if (DWORD err = winsim::Fault("FreeLibrary")) {
    SetLastError(err);
    return FALSE;
  }
  if (!IsLoaded(hLibModule)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  --g_moduleRefs[hLibModule];
  return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  if (DWORD err = winsim::Fault("GetProcAddress")) {
    SetLastError(err);
    return nullptr;
  }
  if (!IsLoaded(hModule)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  // A value below 64K is an ordinal; the stand-in exports by name only. Names are exact.
  if (reinterpret_cast<uintptr_t>(lpProcName) > 0xFFFF) {
    if (hModule == kAdvapiModule) {
      for (const Export &e : kAdvapiExports)
        if (std::strcmp(e.name, lpProcName) == 0) return e.proc;
    } else if (const winsim::LinkedModule *m = winsim::LinkedModuleOf(hModule)) {
      for (size_t i = 0; i < m->exportCount; ++i)
        if (std::strcmp(m->exports[i].name, lpProcName) == 0) return m->exports[i].proc;
    }
  }
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

}  // extern "C"
