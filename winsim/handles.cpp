#include "winsim/handles.h"

#include <map>

namespace winsim {
namespace {

struct Entry {
  std::string kind;
  std::shared_ptr<void> object;
};
std::map<uintptr_t, Entry> &Table() {
  static std::map<uintptr_t, Entry> table;
  return table;
}
uintptr_t g_next = 0x1000;

}  // namespace

HANDLE NewKernelHandle(const std::string &kind, std::shared_ptr<void> object) {
  g_next += 4;
  Table()[g_next] = {kind, std::move(object)};
  return reinterpret_cast<HANDLE>(g_next);
}

std::shared_ptr<void> KernelObject(HANDLE handle, const std::string &kind) {
  auto it = Table().find(reinterpret_cast<uintptr_t>(handle));
  if (it == Table().end() || it->second.kind != kind) return nullptr;
  return it->second.object;
}

void CloseKernelHandlesOf(const std::string &kind) {
  for (auto it = Table().begin(); it != Table().end();)
    it = it->second.kind == kind ? Table().erase(it) : std::next(it);
}

bool CloseKernelHandle(HANDLE handle) {
  return Table().erase(reinterpret_cast<uintptr_t>(handle)) != 0;
}

size_t OpenKernelHandleCount() {
  return Table().size();
}

}  // namespace winsim
