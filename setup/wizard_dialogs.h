/*
 * The questions and notices the setup puts to the user. Each routine runs one dialog of the
 * dialog library until the user gives an answer it acts on.
 */
#ifndef SETUP_WIZARD_DIALOGS_H
#define SETUP_WIZARD_DIALOGS_H

#ifdef __cplusplus
extern "C" {
#endif

void WelcomeDialog(void);    /* dialog 100 */
void QuitConfirmation(void); /* dialog 200; EXIT ends the setup here */

/* Removes every dialog, tears the toolkit down and ends the process with exit code 0. */
void QuitSetup(void);

#ifdef __cplusplus
}
#endif

#endif
