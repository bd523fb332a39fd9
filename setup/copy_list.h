/*
 * The file copy list: which sections of setup.inf the setup copies, and where to, for the
 * operating system, processor and option of this run. Install runs the list later.
 */
#ifndef SETUP_COPY_LIST_H
#define SETUP_COPY_LIST_H

#ifdef __cplusplus
extern "C" {
#endif

/* Fills the toolkit's copy list from fChicago, fAlpha, fMips, nSetupOption and the four
 * directories of the setup state, which must all be set. */
void buildCopyList(void);

#ifdef __cplusplus
}
#endif

#endif
