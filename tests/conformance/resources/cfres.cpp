// The one procedure of cfres.dll: a dialog that ends itself while it is set up, with the value
// it was given, so that a modal dialog can be checked without anyone to answer it.
#include <windows.h>

extern "C" INT_PTR CALLBACK CfEndAtInitProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  (void)wParam;
  if (msg != WM_INITDIALOG) return FALSE;
  EndDialog(hDlg, static_cast<INT_PTR>(lParam));
  return TRUE;
}
