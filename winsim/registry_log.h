// The registry's log: how a change reaches the disk at a cost that grows with the change, as NT
// keeps a hive and its log.
//
// system.reg holds the registry as it was last written in full. Each change made since then is
// one line appended to system.log beside it before the call that made it returns. Loading reads
// system.reg and replays the log; the log is folded into system.reg (written in full, the log
// removed) when the machine closes and when the log grows larger than system.reg. A process that
// is killed leaves the log behind, and the next load replays it and folds it.
//
// system.log, one record per line ending in "\n":
//
//   REGLOG 1 <hash of system.reg, 16 hex digits>     the first line
//   +key <key> [<class>]                             the key, and any missing above it, created;
//                                                    <class>: the new key's class, if any
//   -key <key>                                       the key and everything below it deleted
//   =value <key> <name> <type> <data>                a value set (its key created when missing)
//   -value <key> <name>                              a value deleted
//   restore <key> <REGEDIT4 text>                    the key's values and subkeys replaced by
//                                                    those of the text (RegRestoreKeyA)
//
// Fields are separated by one blank. In a field every byte below 0x21, 0x7F, '%' and '@' is
// written %XX (two hex digits); an empty field is written "@". Keys are full paths; <type> is
// decimal; <data> the value's bytes. The hash ties the log to the system.reg it continues: a log
// whose hash differs (left when a fold was cut short after system.reg was replaced) is obsolete
// and ignored. A last line without its "\n", or one that cannot be read, was torn by a kill and
// is dropped; any other line that cannot be read makes the image refused, with the line.
#ifndef WINSIM_REGISTRY_LOG_H
#define WINSIM_REGISTRY_LOG_H

#include <cstdint>
#include <memory>
#include <string>

#include "winsim/machine.h"
#include "winsim/registry_store.h"

namespace winsim {

// Records of one change each, for AppendRegistryLog. Changes below volatile keys are not
// recorded (the empty text): they end with the machine.
std::string KeyCreatedRecord(const RegKey &key);
std::string KeyDeletedRecord(const RegKey &key);
std::string ValueSetRecord(const RegKey &key, const RegValue &value);
std::string ValueDeletedRecord(const RegKey &key, const std::string &name);
std::string KeyRestoredRecord(const RegKey &key, const std::string &savedText);

// Appends a record to the open machine's log; false when it could not be written whole. Folds
// the log once it has grown larger than system.reg.
bool AppendRegistryLog(const std::string &record);

// The registry of an image directory as the image holds it: system.reg with its log replayed.
// `files` (may be null) learns the state of the two files, for further appends and the fold.
// On a fault answers null and describes it.
std::unique_ptr<RegistryStore, RegistryStoreDeleter> LoadImageRegistry(const std::string &dir,
                                                                       RegistryFiles *files,
                                                                       ImageError *error);

// Writes the machine's registry to system.reg in full and removes the log.
bool FoldRegistryLog(Machine &machine);
// What the machine's end does with the registry's files: folds a log that holds changes, lets
// go of it, and appends the registry's counts to the statistics file when one is named.
void CloseRegistryFiles(Machine &machine);

}  // namespace winsim

#endif
