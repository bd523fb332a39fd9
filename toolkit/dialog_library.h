/*
 * The contract of the custom dialog library mscuistf.dll: dialog ids, procedure names,
 * result keywords and their result codes, and the symbols through which dialogs and the
 * setup exchange data.
 */
#ifndef DIALOG_LIBRARY_H
#define DIALOG_LIBRARY_H

#define DIALOG_LIBRARY "mscuistf.dll"
#define FRAME_BITMAP_ID 1

/* Dialog ids. */
#define DLG_WELCOME 100
#define DLG_QUIT 200
#define DLG_EXIT_NOTICE 400
#define DLG_FINISH 700
#define DLG_OPTION 800
#define DLG_HELP 900
#define DLG_UPGRADE_NOTICE 1000
#define DLG_DISTRIBUTION_PATH 1100
#define DLG_PRINTMAN_OFFER 1200
#define DLG_DRIVER_FILES_MISSING 1300
#define DLG_HELP_OFFER 1400
#define DLG_RESTART_OFFER 1500
#define DLG_RESTART_FAILED 1600
#define DLG_WAIT_PROGMAN 1700
#define DLG_WAIT_DRIVERS 1800
#define DLG_UNSUPPORTED 2000
#define DLG_NEWER_BUILD 2100
#define DLG_SPOOLER_RESTARTED 2200
#define DLG_ERROR 2300
#define DLG_NOT_ADMINISTRATOR 2400
#define DLG_WAIT_STOP_SPOOLER 5100
#define DLG_WAIT_START_SPOOLER 5300
#define DLG_PATH_PROBLEM 6400

/* Dialog procedures. */
#define PROC_WELCOME "FWelcomeDlgProc"
#define PROC_QUIT "FQuitDlgProc"
#define PROC_INFO "FInfoDlgProc"
#define PROC_INFO0 "FInfo0DlgProc"
#define PROC_RADIO "FRadioDlgProc"
#define PROC_EDIT "FEditDlgProc"
#define PROC_HELP "FHelpDlgProc"
#define PROC_ERROR "FErrorDlgProc"
#define PROC_MODELESS "FModelessDlgProc"

/* Result keywords and their result codes: the sum of the first two characters, masked to 16
 * bits. A keyword must be shorter than 15 characters. */
#define KEYWORD_CONTINUE "CONTINUE"
#define KEYWORD_CANCEL "CANCEL"
#define KEYWORD_EXIT "EXIT"
#define KEYWORD_BACK "BACK"
#define RESULT_CONTINUE 146
#define RESULT_CANCEL 132
#define RESULT_EXIT 157
#define RESULT_BACK 131

/* Symbols. */
#define SYM_DLGEVENT "DLGEVENT"
#define SYM_ERROR_TEXT "ErrorText"
#define SYM_RADIO_DEFAULT "RadioDefault"
#define SYM_BUTTON_CHECKED "ButtonChecked"
#define SYM_EDIT_TEXT_IN "EditTextIn"
#define SYM_EDIT_FOCUS "EditFocus"
#define SYM_EDIT_TEXT_OUT "EditTextOut"
#define SYM_PPD_LIST "PPDList"

#endif
