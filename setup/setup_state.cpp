/*
 * The setup state: one instance for the whole process, all zero when the program starts.
 */
#include "setup/setup_state.h"

int fChicago;
int fDaytona;
int fNT31;
int fX86;
int fAlpha;
int fMips;
int fUpgrade;

int nSetupOption;

char szSrcDir[256];
char szSysDir[512];
char szDriverDir[512];
char szInstallDir[512];

REGISTRYLIBRARY RegLib;
