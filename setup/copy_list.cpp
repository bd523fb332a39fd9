/*
 * The file copy list. Each entry is a whole section of setup.inf copied from the source
 * directory into one destination directory.
 */
#include <windows.h>

#include "setup/copy_list.h"
#include "setup/setup_state.h"
#include "toolkit/toolkit_wrappers.h"

/* The subdirectories of the destination that take the catalogue and system load files. */
static char szLoadCatDir[512];
static char szLoadSysDir[512];

/* szInstallDir followed by the subdirectory, cut so that it fits the 512-byte buffer. */
static void BuildLoadDir(LPSTR szDir, LPCSTR szSubdir) {
  lstrcpynA(szDir, szInstallDir, 512 - lstrlenA(szSubdir));
  lstrcatA(szDir, szSubdir);
}

void buildCopyList(void) {
  HCURSOR hcur = ShowBusyCursor();

  ClearCopyList();

  if (fChicago) {
    MustAddSectionFilesToCopyList("W95 Help File", szSrcDir, szSysDir);
    MustAddSectionFilesToCopyList("W95 Monitor", szSrcDir, szSysDir);
  } else {
    MustAddSectionFilesToCopyList("NT Help File", szSrcDir, szSysDir);
    MustAddSectionFilesToCopyList("PPD Files", szSrcDir, szDriverDir);
    if (fAlpha)
      MustAddSectionFilesToCopyList("Alpha Monitor", szSrcDir, szSysDir);
    else if (fMips)
      MustAddSectionFilesToCopyList("Mips Monitor", szSrcDir, szSysDir);
    else
      MustAddSectionFilesToCopyList("I386 Monitor", szSrcDir, szSysDir);
  }

  MustAddSectionFilesToCopyList("Write Files", szSrcDir, szInstallDir);

  /* Any choice but the first radio button brings the printer's load files along. */
  if (nSetupOption == 1) {
    BuildLoadDir(szLoadCatDir, "\\cat");
    BuildLoadDir(szLoadSysDir, "\\sys");
    MustAddSectionFilesToCopyList("Load PS Files", szSrcDir, szInstallDir);
    MustAddSectionFilesToCopyList("Load Cat Files", szSrcDir, szLoadCatDir);
    MustAddSectionFilesToCopyList("Load Sys Files", szSrcDir, szLoadSysDir);
  }

  MustRestoreCursor(hcur);
}
