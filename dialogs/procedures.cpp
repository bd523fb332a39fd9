/*
 * The dialog procedures of the library, exported by name (mscuistf.def). Each is an ordinary
 * dialog procedure: WM_INITDIALOG fills the dialog's controls from the setup's symbols, a push
 * button's WM_COMMAND leaves the symbols that the dialog gives back and the button's keyword in
 * "DLGEVENT", then ends the dialog. Closing the dialog (its close box, or the person going
 * away) is the way out it offers: Exit Setup, else the refusing button, else its only button.
 *
 * A procedure that needs controls its template lacks (the radio buttons, the path field, the
 * error text) ends the dialog at once with -1: the template is not one of its dialogs.
 */
#include <windows.h>

#include "dialogs/library_ids.h"
#include "toolkit/dialog_library.h"
#include "toolkit/toolkit_services.h"

namespace {

const int kTextSize = 1024; /* symbols the dialogs read and write */

enum Kind { kPlain, kRadio, kEdit, kError };

const char *KeywordOf(int id) {
  switch (id) {
    case IDOK:
      return KEYWORD_CONTINUE;
    case IDCANCEL:
      return KEYWORD_CANCEL;
    case IDC_EXIT:
      return KEYWORD_EXIT;
    case IDC_BACK:
      return KEYWORD_BACK;
    default:
      return NULL;
  }
}

int RadioCount(HWND hDlg) {
  int n = 0;
  while (IDC_RADIO_FIRST + n <= IDC_RADIO_LAST && GetDlgItem(hDlg, IDC_RADIO_FIRST + n)) ++n;
  return n;
}

/* Fills the controls; answers what WM_INITDIALOG answers (FALSE when the focus was set). */
BOOL InitControls(HWND hDlg, Kind kind) {
  char text[kTextSize];
  switch (kind) {
    case kRadio: {
      int n = RadioCount(hDlg);
      if (n == 0) break;
      /* "RadioDefault" names the button checked first; anything else checks the first. */
      CbGetSymbolValue(SYM_RADIO_DEFAULT, text, sizeof text);
      int def = text[0] >= '1' && text[0] <= '9' && text[1] == '\0' ? text[0] - '0' : 1;
      if (def > n) def = 1;
      CheckRadioButton(hDlg, IDC_RADIO_FIRST, IDC_RADIO_FIRST + n - 1, IDC_RADIO_FIRST + def - 1);
      return TRUE;
    }
    case kEdit: {
      HWND edit = GetDlgItem(hDlg, IDC_EDIT);
      if (!edit) break;
      CbGetSymbolValue(SYM_EDIT_TEXT_IN, text, sizeof text);
      SetDlgItemTextA(hDlg, IDC_EDIT, text);
      int length = lstrlenA(text);
      /* "EditFocus": "ALL" selects the whole path, "END" puts the caret after it. */
      CbGetSymbolValue(SYM_EDIT_FOCUS, text, sizeof text);
      if (lstrcmpiA(text, "ALL") == 0) SendMessageA(edit, EM_SETSEL, 0, -1);
      if (lstrcmpiA(text, "END") == 0) SendMessageA(edit, EM_SETSEL, length, length);
      SetFocus(edit);
      return FALSE;
    }
    case kError:
      if (!GetDlgItem(hDlg, IDC_ERROR_TEXT)) break;
      CbGetSymbolValue(SYM_ERROR_TEXT, text, sizeof text);
      SetDlgItemTextA(hDlg, IDC_ERROR_TEXT, text);
      return TRUE;
    case kPlain:
      return TRUE;
  }
  EndDialog(hDlg, -1); /* not a dialog of this procedure */
  return TRUE;
}

void Leave(HWND hDlg, Kind kind, int id) {
  char text[kTextSize];
  if (kind == kRadio) {
    int n = RadioCount(hDlg), checked = 0;
    for (int i = 0; i < n && !checked; ++i)
      if (IsDlgButtonChecked(hDlg, IDC_RADIO_FIRST + i) == BST_CHECKED) checked = i + 1;
    wsprintfA(text, "%d", checked ? checked : 1);
    FSetSymbolValue(SYM_BUTTON_CHECKED, text);
  }
  if (kind == kEdit) {
    GetDlgItemTextA(hDlg, IDC_EDIT, text, sizeof text);
    FSetSymbolValue(SYM_EDIT_TEXT_OUT, text);
  }
  FSetSymbolValue(SYM_DLGEVENT, KeywordOf(id));
  EndDialog(hDlg, id);
}

INT_PTR ModalProc(HWND hDlg, UINT msg, WPARAM wParam, Kind kind) {
  switch (msg) {
    case WM_INITDIALOG:
      return InitControls(hDlg, kind);
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      if (id == IDHELP) {
        /* The frame shows the help that the setup gave with this dialog. */
        SendMessageA(GetParent(hDlg), WM_COMMAND, IDHELP, (LPARAM)hDlg);
        return TRUE;
      }
      if (!KeywordOf(id) || HIWORD(wParam) != BN_CLICKED) return FALSE;
      Leave(hDlg, kind, id);
      return TRUE;
    }
    case WM_CLOSE: {
      const int ways[] = {IDC_EXIT, IDCANCEL, IDOK};
      for (int id : ways)
        if (GetDlgItem(hDlg, id)) {
          Leave(hDlg, kind, id);
          return TRUE;
        }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

extern "C" {

INT_PTR CALLBACK FWelcomeDlgProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  return ModalProc(hDlg, msg, wParam, kPlain);
}

INT_PTR CALLBACK FQuitDlgProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  return ModalProc(hDlg, msg, wParam, kPlain);
}

INT_PTR CALLBACK FInfoDlgProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  return ModalProc(hDlg, msg, wParam, kPlain);
}

INT_PTR CALLBACK FInfo0DlgProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  return ModalProc(hDlg, msg, wParam, kPlain);
}

INT_PTR CALLBACK FHelpDlgProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  return ModalProc(hDlg, msg, wParam, kPlain);
}

INT_PTR CALLBACK FRadioDlgProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  return ModalProc(hDlg, msg, wParam, kRadio);
}

INT_PTR CALLBACK FEditDlgProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  return ModalProc(hDlg, msg, wParam, kEdit);
}

INT_PTR CALLBACK FErrorDlgProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  return ModalProc(hDlg, msg, wParam, kError);
}

/* A dialog that only tells the user what Setup is doing: it stays up, without buttons, until
 * the setup removes it. */
INT_PTR CALLBACK FModelessDlgProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  (void)hDlg;
  (void)wParam;
  (void)lParam;
  return msg == WM_INITDIALOG ? TRUE : FALSE;
}

}  // extern "C"
