// The dialog libraries linked into the program: found by LoadLibraryA under their file name,
// their procedures by GetProcAddress under the names their .def file exports, their resources
// by FindResourceA and the user32 resource calls.
#include "winsim/modules.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "winsim/machine.h"
#include "winsim/resources.h"

namespace winsim {
namespace {

struct Loaded {
  const LinkedModule *module = nullptr;
  bool resourcesRead = false;
  std::unique_ptr<ModuleResources> resources;  // null when the script is faulty
};

std::vector<const LinkedModule *> &Registry() {
  static std::vector<const LinkedModule *> modules;
  return modules;
}

std::map<const LinkedModule *, Loaded> &ResourceCache() {
  static std::map<const LinkedModule *, Loaded> cache;
  return cache;
}

HMODULE const kFirstHandle = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x10000000));
const uintptr_t kHandleStep = 0x100000;

}  // namespace

bool RegisterLinkedModule(const LinkedModule *module) {
  Registry().push_back(module);
  return true;
}

// Handles of linked modules: the n-th registered one has its own fixed handle.
HMODULE LinkedModuleHandle(const std::string &name) {
  std::string n = Upper(name);
  for (size_t i = 0; i < Registry().size(); ++i) {
    std::string full = Upper(Registry()[i]->name);
    std::string base = full.size() > 4 ? full.substr(0, full.size() - 4) : full;
    if (n == full || n == base)
      return reinterpret_cast<HMODULE>(reinterpret_cast<uintptr_t>(kFirstHandle) + i * kHandleStep);
  }
  return nullptr;
}

const LinkedModule *LinkedModuleOf(HMODULE handle) {
  uintptr_t h = reinterpret_cast<uintptr_t>(handle),
            first = reinterpret_cast<uintptr_t>(kFirstHandle);
  if (h < first || (h - first) % kHandleStep) return nullptr;
  size_t i = (h - first) / kHandleStep;
  return i < Registry().size() ? Registry()[i] : nullptr;
}

const ModuleResources *ModuleResourcesOf(HMODULE module) {
  const LinkedModule *m = LoadedModule(module);
  if (!m) return nullptr;
  Loaded &entry = ResourceCache()[m];
  if (!entry.resourcesRead) {
    entry.resourcesRead = true;
    auto reader = [m](const std::string &name, std::string *content) {
      for (size_t i = 0; i < m->fileCount; ++i)
        if (name == m->files[i].name) {
          content->assign(reinterpret_cast<const char *>(m->files[i].data), m->files[i].size);
          return true;
        }
      return false;
    };
    auto resources = std::make_unique<ModuleResources>();
    std::string error;
    if (ReadResourceScript(m->script, reader, resources.get(), &error))
      entry.resources = std::move(resources);
    else
      std::fprintf(stderr, "winsim: %s: resources: %s\n", m->name, error.c_str());
  }
  return entry.resources.get();
}

}  // namespace winsim

extern "C" {

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
  if (DWORD err = winsim::Fault("FindResourceA")) {
    SetLastError(err);
    return nullptr;
  }
  const winsim::ModuleResources *r = winsim::ModuleResourcesOf(hModule);
  if (!r) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  if (!IS_INTRESOURCE(lpName) || !IS_INTRESOURCE(lpType)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);  // the libraries name resources by number
    return nullptr;
  }
  unsigned id = static_cast<unsigned>(reinterpret_cast<uintptr_t>(lpName));
  bool typeFound = false, found = false;
  if (lpType == RT_DIALOG) {
    typeFound = !r->dialogs.empty();
    found = r->dialogs.count(id) != 0;
  } else if (lpType == RT_BITMAP) {
    typeFound = !r->bitmaps.empty();
    found = r->bitmaps.count(id) != 0;
  } else if (lpType == RT_VERSION) {
    typeFound = found = r->hasVersion && id == 1;
  }
  if (!found) {
    SetLastError(typeFound ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  // A handle that names the resource: the module's handle plus its place, never dereferenced.
  return reinterpret_cast<HRSRC>(reinterpret_cast<uintptr_t>(hModule) +
                                 (reinterpret_cast<uintptr_t>(lpType) << 16) + id);
}

}  // extern "C"
