// Dialog libraries linked into the program and found by name, as Windows finds a DLL: the build
// generates each one's table (its exports from the library's .def file, its resource script and
// the files the script names) and registers it before main runs.
#ifndef WINSIM_MODULES_H
#define WINSIM_MODULES_H

#include <windows.h>

#include <cstddef>
#include <string>

namespace winsim {

struct LinkedExport {
  const char *name;
  FARPROC proc;
};

struct LinkedFile {
  const char *name;  // as the script names it, '/' separated
  const unsigned char *data;
  size_t size;
};

struct LinkedModule {
  const char *name;  // "mscuistf.dll"
  const LinkedExport *exports;
  size_t exportCount;
  const char *script;  // the resource script, one of the files
  const LinkedFile *files;
  size_t fileCount;
};

// Called from the generated tables' static initialisers.
bool RegisterLinkedModule(const LinkedModule *module);

struct ModuleResources;  // winsim/resources.h
// The handle a linked module has (by its file name, with or without ".dll"), or null; and the
// module a handle names. Whether it is loaded is kernel32's business.
HMODULE LinkedModuleHandle(const std::string &name);
const LinkedModule *LinkedModuleOf(HMODULE module);
// The loaded module behind a handle (LoadLibraryA's answer), or null.
const LinkedModule *LoadedModule(HMODULE module);
// Its resources, read from its script when first asked for; null when the script is faulty
// (the fault is reported on standard error once).
const ModuleResources *ModuleResourcesOf(HMODULE module);

}  // namespace winsim

#endif
