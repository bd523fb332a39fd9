// What Windows NT does to a machine image at its next boot.
//
// 1. Before any service starts, the session manager carries out the moves kept in
//    HKLM\SYSTEM\CurrentControlSet\Control\Session Manager, value PendingFileRenameOperations
//    (REG_MULTI_SZ, pairs of "\??\<source>" and "\??\<target>", an empty target to delete, a
//    "!" in front of the target to let it replace an existing file), in order. An operation that
//    cannot be done (no source, a target that exists and may not be replaced, another drive, a
//    read-only file, a directory that is not empty) is skipped, as NT does, and the next one
//    runs. No service holds a file at that time, so a DLL that the spooler had loaded goes.
// 2. The value is removed.
// 3. The restart request is fulfilled: [system] restart = no.
// 4. Services start as after any boot. The image keeps no start type, so: the spooler always
//    starts (NT starts it at every boot); every other service that was not stopped before the
//    restart (running, paused, start- or stop-pending) starts again; the services that a
//    starting service depends on start first. A service whose start fails (start_error) stays
//    stopped, and so does every service that depends on it.
#ifndef TOOLS_IMAGE_RESTART_H
#define TOOLS_IMAGE_RESTART_H

#include <string>
#include <vector>

namespace image_tool {

struct PendingRename {
  std::string from;      // the source as written, prefixes taken off
  std::string to;        // the target as written, prefixes taken off; empty: delete the source
  bool replace = false;  // "!": the target may replace an existing file
};

// The operations held in PendingFileRenameOperations data, in the order NT carries them out:
// pairs of names up to the first pair that starts with an empty name. What is not read (a last
// name without its target, names after an empty one) is told in *note, empty otherwise.
std::vector<PendingRename> ParsePendingRenames(const std::string &data, std::string *note);

// The same, read from the open machine's registry; empty when none is pending. *present says
// whether the value exists at all.
std::vector<PendingRename> PendingRenamesOfOpenMachine(bool *present, std::string *note);

enum class RestartOutcome {
  Done,      // the restart was applied
  Failed,    // nothing or only part could be done (a setup holds the image, a write failed)
  BadImage,  // the image does not load
};

// Applies a restart to the image. *log receives one line per thing done or skipped.
RestartOutcome ApplyRestart(const std::string &imageDir, std::vector<std::string> *log,
                            std::string *error);

}  // namespace image_tool

#endif
