// The dialogs of the library: what each asks or tells, its buttons and the keyword each button
// leaves, and the frame bitmap.
#include "dialogs/dialogs.h"
#include "toolkit/dialog_library.h"

namespace dialogs {
namespace {

const char kC[] = KEYWORD_CONTINUE;
const char kX[] = KEYWORD_EXIT;
const char kN[] = KEYWORD_CANCEL;
const char kB[] = KEYWORD_BACK;

const Button kOk = {'O', "OK", kC};
const Button kExitSetup = {'X', "Exit Setup", kX};

std::vector<DialogTemplate> MakeTemplates() {
  std::vector<DialogTemplate> t;
  t.push_back({DLG_WELCOME,
               PROC_WELCOME,
               "Welcome",
               "Welcome to Setup for Norvale Network Printing for Windows NT.\n"
               "Setup installs the print monitor \"Norvale Network Port\", printer drivers for "
               "Norvale PostScript printers, the online help and the documentation, and creates "
               "the Program Manager group \"Norvale Network Printers\".\n"
               "You need administrator rights on this computer. Close programs that are printing "
               "before you go on.\n"
               "Choose Continue to begin, or Exit Setup to leave without changing anything.",
               {{'C', "Continue", kC}, kExitSetup},
               {},
               nullptr});
  t.push_back({DLG_QUIT,
               PROC_QUIT,
               "Exit Setup",
               "Setup has not finished installing Norvale Network Printing.\n"
               "If you exit now, the package is not completely installed. What Setup has already "
               "done stays in place; you can run Setup again later.\n"
               "Choose Continue to go on with Setup, or Exit Setup to end it now.",
               {{'C', "Continue", kC}, kExitSetup},
               {},
               nullptr});
  t.push_back({DLG_NEWER_BUILD,
               PROC_QUIT,
               "Newer Windows NT Build",
               "This computer runs a build of Windows NT newer than build 807, the last build "
               "Norvale Network Printing was tested with. The print monitor and drivers may not "
               "work correctly on it.\n"
               "Choose Continue to install anyway, or Exit Setup to end Setup now.",
               {{'C', "Continue", kC}, kExitSetup},
               {},
               nullptr});
  t.push_back({DLG_NOT_ADMINISTRATOR,
               PROC_INFO,
               "Administrator Rights Needed",
               "Setup adds a print monitor and printer drivers to Windows NT, which only a member "
               "of the Administrators group may do.\n"
               "Log on as an administrator and run Setup again. Choose OK to end Setup.",
               {kOk},
               {},
               nullptr});
  t.push_back({DLG_UNSUPPORTED,
               PROC_INFO,
               "Unsupported System",
               "Norvale Network Printing runs on Windows NT 3.1 and 3.5 on x86, Alpha AXP and "
               "MIPS R4000 computers. This system is not one of them, so Setup installs "
               "nothing.\n"
               "Choose OK to end Setup.",
               {kOk},
               {},
               nullptr});
  t.push_back({DLG_OPTION,
               PROC_RADIO,
               "Installation Options",
               "Choose what Setup installs on this computer.\n"
               "Choose Continue to install, or Exit Setup to leave.",
               {{'C', "Continue", kC}, kExitSetup},
               {"Workstation: the print monitor, the printer drivers, the online help and the "
                "documentation.",
                "Print server: all of the above, and the printer load files (PostScript, catalog "
                "and system files) that the server sends to Norvale printers."},
               nullptr});
  t.push_back({DLG_HELP,
               PROC_HELP,
               "Setup Help",
               "Setup installs Norvale Network Printing: the print monitor \"Norvale Network "
               "Port\" (zelpsmon.dll) and its help file in the Windows system directory, one "
               "printer driver for each Norvale printer model in the printer-driver directory, "
               "and the documents in the directory win32app\\zelpsmon of the system drive.\n"
               "Workstation installs what a computer needs to print to Norvale printers. Print "
               "server also copies the printer load files into win32app\\zelpsmon, win32app\\"
               "zelpsmon\\cat and win32app\\zelpsmon\\sys.\n"
               "If an earlier release is installed, Setup replaces it and keeps your printers, "
               "moving them to the new driver names.\n"
               "You can leave Setup from any step with Exit Setup; Setup asks you to confirm.",
               {{'C', "Close", kC}},
               {},
               nullptr});
  t.push_back({DLG_PRINTMAN_OFFER,
               PROC_INFO,
               "Start Print Manager",
               "To print to a Norvale printer, create a printer in Print Manager on the port "
               "\"Norvale Network Port\" with one of the Norvale printer drivers.\n"
               "Do you want Setup to start Print Manager when it has finished?",
               {{'Y', "Yes", kC}, {'N', "No", kN}},
               {},
               nullptr});
  t.push_back({DLG_HELP_OFFER,
               PROC_INFO,
               "View Help",
               "The online help explains how to set up printers on the Norvale Network Port and "
               "how to follow and manage print jobs.\n"
               "Do you want Setup to open the help when it has finished?",
               {{'Y', "Yes", kC}, {'N', "No", kN}},
               {},
               nullptr});
  t.push_back({DLG_FINISH,
               PROC_INFO,
               "Setup Complete",
               "Setup has installed Norvale Network Printing. The Program Manager group "
               "\"Norvale Network Printers\" holds the help, the release notes and the product "
               "description.\n"
               "Choose OK to end Setup.",
               {kOk},
               {},
               nullptr});
  t.push_back({DLG_UPGRADE_NOTICE,
               PROC_INFO,
               "Earlier Release Replaced",
               "Setup has replaced an earlier release of Norvale Network Printing. The print "
               "spooler still uses the old print monitor until Windows NT restarts.",
               {kOk},
               {},
               nullptr});
  t.push_back({DLG_RESTART_OFFER,
               PROC_INFO,
               "Restart Windows NT",
               "Windows NT must restart before the new Norvale Network Port monitor is used. Save "
               "your work in other programs first.\n"
               "Choose Restart Now to restart the computer, or Restart Later to restart it "
               "yourself.",
               {{'R', "Restart Now", kC}, {'L', "Restart Later", kN}},
               {},
               nullptr});
  t.push_back({DLG_RESTART_FAILED,
               PROC_INFO,
               "Restart Failed",
               "Setup could not restart Windows NT. Close your programs and restart the computer "
               "yourself, so that the new print monitor is used.",
               {kOk},
               {},
               nullptr});
  t.push_back({DLG_SPOOLER_RESTARTED,
               PROC_INFO,
               "Print Spooler Restarted",
               "To replace the print monitor, Setup stopped the print spooler and the services "
               "that depend on it, and has now started them again. Waiting print jobs go on "
               "printing.",
               {kOk},
               {},
               nullptr});
  t.push_back({DLG_DRIVER_FILES_MISSING,
               PROC_INFO,
               "PostScript Driver Files Needed",
               "Norvale printer drivers use the Windows NT PostScript driver files pscript.dll "
               "and pscrptui.dll, which Setup could not find on this computer or in the path you "
               "gave.\n"
               "Setup now asks for the Windows NT distribution files, for example the I386 "
               "directory of the Windows NT CD.\n"
               "Choose Continue to give their path, or Exit Setup to leave.",
               {{'C', "Continue", kC}, kExitSetup},
               {},
               nullptr});
  t.push_back({DLG_DISTRIBUTION_PATH,
               PROC_EDIT,
               "Windows NT Distribution Files",
               "Type the path of the Windows NT distribution files for this computer's "
               "processor, for example D:\\I386. Setup copies the PostScript driver files from "
               "there.",
               {{'C', "Continue", kC}, {'B', "Back", kB}, kExitSetup},
               {},
               "Path"});
  t.push_back({DLG_PATH_PROBLEM,
               PROC_INFO0,
               "Invalid Path",
               "The path is empty or is not a valid directory path. Type a full path that begins "
               "with a drive letter, for example D:\\I386.",
               {{'R', "Retry", kC}, kExitSetup},
               {},
               nullptr});
  t.push_back({DLG_ERROR,
               PROC_ERROR,
               "Setup Error",
               "Setup cannot go on and ends when you choose OK. What Setup has already changed "
               "on this computer stays in place.",
               {kOk},
               {},
               nullptr});
  t.push_back({DLG_EXIT_NOTICE,
               PROC_INFO0,
               "Setup",
               "Setup is ending. Norvale Network Printing is not completely installed.",
               {kOk},
               {},
               nullptr});
  t.push_back({DLG_WAIT_PROGMAN,
               PROC_MODELESS,
               "Please Wait",
               "Creating the Program Manager group \"Norvale Network Printers\"...",
               {},
               {},
               nullptr});
  t.push_back({DLG_WAIT_DRIVERS,
               PROC_MODELESS,
               "Please Wait",
               "Installing the Norvale printer drivers...",
               {},
               {},
               nullptr});
  t.push_back({DLG_WAIT_STOP_SPOOLER,
               PROC_MODELESS,
               "Please Wait",
               "Stopping the print spooler and the services that depend on it...",
               {},
               {},
               nullptr});
  t.push_back({DLG_WAIT_START_SPOOLER,
               PROC_MODELESS,
               "Please Wait",
               "Starting the print spooler...",
               {},
               {},
               nullptr});
  return t;
}

// Bitmap 1, the picture behind the frame window.
const std::vector<std::string> kFrameBitmap = {
    "  _   _                       _      ",      " | \\ | | ___  _ ____   ____ _| | ___ ",
    " |  \\| |/ _ \\| '__\\ \\ / / _` | |/ _ \\", " | |\\  | (_) | |   \\ V / (_| | |  __/",
    " |_| \\_|\\___/|_|    \\_/ \\__,_|_|\\___|", "         Network Printing for Windows NT",
};

}  // namespace

const std::vector<DialogTemplate> &Templates() {
  static const std::vector<DialogTemplate> templates = MakeTemplates();
  return templates;
}

const DialogTemplate *FindTemplate(unsigned id) {
  for (const DialogTemplate &t : Templates())
    if (t.id == id) return &t;
  return nullptr;
}

const std::vector<std::string> *FrameBitmap(unsigned id) {
  return id == FRAME_BITMAP_ID ? &kFrameBitmap : nullptr;
}

}  // namespace dialogs
