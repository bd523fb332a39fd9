/*
 * Ids inside the dialog library that the Setup Toolkit relies on besides the dialogs of the
 * setup itself (toolkit/dialog_library.h): the copy gauge the toolkit shows while it copies.
 * Included by dialogs.rc, so it holds #defines only.
 */
#ifndef DIALOGS_LIBRARY_IDS_H
#define DIALOGS_LIBRARY_IDS_H

/* The copy gauge: a modeless dialog run by the toolkit's own dialog procedure. */
#define DLG_COPY_GAUGE 3000
#define IDC_GAUGE_TEXT 3001 /* static text: the file being copied */
#define IDC_GAUGE_BAR 3002  /* progress control, range 0 to 100 */
/* Its Cancel button is IDCANCEL. */

#endif
