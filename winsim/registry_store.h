// The registry of the machine image: every hive in one REGEDIT4 text file (system.reg).
#ifndef WINSIM_REGISTRY_STORE_H
#define WINSIM_REGISTRY_STORE_H

#include <memory>
#include <string>

#include "winsim/machine.h"

namespace winsim {

// Parses REGEDIT4 text; on a fault returns null and names the line and what is wrong.
std::unique_ptr<RegistryStore, RegistryStoreDeleter> ParseRegistry(const std::string &text,
                                                                   const std::string &fileName,
                                                                   ImageError *error);
// The REGEDIT4 text of the store. Text that was loaded and not changed comes back byte for byte.
std::string FormatRegistry(const RegistryStore &store);

}  // namespace winsim

#endif
