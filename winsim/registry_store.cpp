// Placeholder until the REGEDIT4 store lands: accepts any text and keeps it.
#include "winsim/registry_store.h"

namespace winsim {

struct RegistryStore {
  std::string text;
};

void RegistryStoreDeleter::operator()(RegistryStore *store) const { delete store; }

std::unique_ptr<RegistryStore, RegistryStoreDeleter> ParseRegistry(const std::string &text,
                                                                   const std::string &,
                                                                   ImageError *) {
  std::unique_ptr<RegistryStore, RegistryStoreDeleter> store(new RegistryStore);
  store->text = text;
  return store;
}

std::string FormatRegistry(const RegistryStore &store) { return store.text; }

}  // namespace winsim
