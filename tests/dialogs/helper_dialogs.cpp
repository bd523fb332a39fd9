// Runs dialogs of the dialog library in a process of their own, as the setup would: on the
// machine of WINSIM_MACHINE, answered from WINSIM_ANSWERS or in the terminal (and then recorded
// in WINSIM_RECORD), transcribed in WINSIM_TRANSCRIPT. Each argument is a step:
//   <id>          run the dialog with its procedure (and help 900 where the setup offers it)
//   pop           remove the top dialog
//   NAME=VALUE    set a symbol
// After each dialog it prints "=> <id> <DLGEVENT>" and the symbols that the dialog sets.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "answered_frame.h"
#include "toolkit/dialog_library.h"
#include "toolkit/toolkit_services.h"
#include "winsim/machine.h"

namespace {

std::string Symbol(const char *name) {
  char buf[512];
  CbGetSymbolValue(name, buf, sizeof buf);
  return buf;
}

}  // namespace

int main(int argc, char **argv) {
  winsim::OpenOptions options;
  const char *image = std::getenv("WINSIM_MACHINE");
  if (!image) return 3;
  options.imageDir = image;
  if (const char *a = std::getenv("WINSIM_ANSWERS")) options.answersPath = a;
  if (const char *t = std::getenv("WINSIM_TRANSCRIPT")) options.transcriptPath = t;
  if (const char *r = std::getenv("WINSIM_RECORD")) options.recordPath = r;
  winsim::ImageError error;
  if (!winsim::OpenMachine(options, &error)) {
    std::fprintf(stderr, "%s\n", error.Text().c_str());
    return 3;
  }
  char commandLine[] = "";
  if (InitializeFrame(commandLine) <= 0) return 3;

  for (int i = 1; i < argc; ++i) {
    std::string step = argv[i];
    size_t eq = step.find('=');
    if (step == "pop") {
      std::printf("=> pop %d\n", FKillNDialogs(1));
    } else if (eq != std::string::npos) {
      FSetSymbolValue(step.substr(0, eq).c_str(), step.substr(eq + 1).c_str());
    } else {
      unsigned id = static_cast<unsigned>(std::atoi(step.c_str()));
      if (!testing_support::RunLibraryDialog(id)) {
        std::printf("=> %u failed\n", id);
        continue;
      }
      std::printf("=> %u %s", id, Symbol(SYM_DLGEVENT).c_str());
      if (id == DLG_OPTION) std::printf(" ButtonChecked=%s", Symbol(SYM_BUTTON_CHECKED).c_str());
      if (id == DLG_DISTRIBUTION_PATH)
        std::printf(" EditTextOut=[%s]", Symbol(SYM_EDIT_TEXT_OUT).c_str());
      std::printf("\n");
    }
    std::fflush(stdout);
  }
  TerminateFrame();
  ExitProcess(0);
}
