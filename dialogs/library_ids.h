/*
 * Ids inside the dialog library besides the dialogs of the setup itself
 * (toolkit/dialog_library.h): the controls of its templates and the copy gauge the toolkit
 * shows while it copies. Included by dialogs.rc, so it holds #defines only.
 */
#ifndef DIALOGS_LIBRARY_IDS_H
#define DIALOGS_LIBRARY_IDS_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

/* Push buttons. The accepting button is IDOK (CONTINUE) and the refusing one IDCANCEL
 * (CANCEL); the help button is IDHELP. */
#define IDC_EXIT 10 /* EXIT */
#define IDC_BACK 11 /* BACK */

/* The option dialog's radio buttons, in their order; the edit dialog's path field; the error
 * dialog's text. */
#define IDC_RADIO_FIRST 20
#define IDC_RADIO_LAST 29
#define IDC_EDIT 30
#define IDC_ERROR_TEXT 31

/* The copy gauge: a modeless dialog run by the toolkit's own dialog procedure. */
#define DLG_COPY_GAUGE 3000
#define IDC_GAUGE_TEXT 3001 /* static text: the file being copied */
#define IDC_GAUGE_BAR 3002  /* progress control, range 0 to 100 */
/* Its Cancel button is IDCANCEL. */

#endif
