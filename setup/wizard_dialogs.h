/*
 * The questions and notices the setup puts to the user. Each routine runs one dialog of the
 * dialog library until the user gives an answer it acts on; any other answer shows the same
 * dialog again. Routines that "end the setup" do not return: they remove every dialog, tear the
 * toolkit down and end the process with exit code 0.
 */
#ifndef SETUP_WIZARD_DIALOGS_H
#define SETUP_WIZARD_DIALOGS_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Size of the distribution-path dialog's working copy of the path; the path it gives back has
 * at most CB_EDIT_PATH_READ - 1 characters. */
#define CB_EDIT_PATH 260
#define CB_EDIT_PATH_READ 255

void WelcomeDialog(void);    /* dialog 100 */
void QuitConfirmation(void); /* dialog 200; EXIT ends the setup here */

/* Removes every dialog, tears the toolkit down and ends the process with exit code 0. */
void QuitSetup(void);

void NewerBuildWarning(void);       /* dialog 2100; EXIT ends the setup here */
void NotAdministratorNotice(void);  /* dialog 2400; CONTINUE ends the setup here */
void UnsupportedSystemNotice(void); /* dialog 2000 */

/* Dialog 800: sets nSetupOption to 3 for the first radio button, 1 for any other. */
void OptionDialog(void);
/* What a "ButtonChecked" value means for nSetupOption. */
int SetupOptionFromButton(LPCSTR szButtonChecked);

/* The offers set *pfAccepted to 1 on CONTINUE, else leave it 0. */
void PrintmanOffer(int *pfAccepted); /* dialog 1200 */
void HelpOffer(int *pfAccepted);     /* dialog 1400 */
void FinishDialog(void);             /* dialog 700 */
void UpgradeNotice(void);            /* dialog 1000 */
/* Dialog 1500: on CONTINUE asks for a restart; when that fails, dialog 1600 follows. */
void RestartOffer(void);
void RestartFailedNotice(void);      /* dialog 1600 */
void SpoolerRestartedNotice(void);   /* dialog 2200 */
void DriverFilesMissingNotice(void); /* dialog 1300 */

/* Dialog 1100: offers szPath (without one trailing backslash) for editing and writes the path
 * the user accepted back into it, exactly as typed. szPath must hold CB_EDIT_PATH_READ bytes.
 * A path too long for the working copy is not offered: the dialog then starts empty. */
void DistributionPathDialog(LPSTR szPath);
void PathProblemNotice(void); /* dialog 6400 */

#ifdef __cplusplus
}
#endif

#endif
