// The library's procedures on their own templates, as any dialog manager runs them: what
// WM_INITDIALOG puts into the controls from the symbols.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "answered_frame.h"
#include "dialogs/library_ids.h"
#include "toolkit/dialog_library.h"
#include "toolkit/toolkit_services.h"

namespace {

DLGPROC g_procedure = nullptr;
std::string g_state;  // what the controls held after WM_INITDIALOG

// Runs the library's procedure, notes the controls once it has set the dialog up, and ends it.
INT_PTR CALLBACK Observer(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  INT_PTR result = g_procedure(hDlg, msg, wParam, lParam);
  if (msg == WM_INITDIALOG) {
    char text[64] = "";
    if (GetDlgItem(hDlg, IDC_EDIT)) {
      GetDlgItemTextA(hDlg, IDC_EDIT, text, sizeof text);
      LRESULT sel = SendDlgItemMessageA(hDlg, IDC_EDIT, EM_GETSEL, 0, 0);
      g_state =
          std::string(text) + " " + std::to_string(LOWORD(sel)) + "-" + std::to_string(HIWORD(sel));
    } else if (GetDlgItem(hDlg, IDC_ERROR_TEXT)) {
      GetDlgItemTextA(hDlg, IDC_ERROR_TEXT, text, sizeof text);
      g_state = text;
    } else {
      g_state = std::to_string(IsDlgButtonChecked(hDlg, IDC_RADIO_FIRST)) +
                std::to_string(IsDlgButtonChecked(hDlg, IDC_RADIO_FIRST + 1));
    }
    EndDialog(hDlg, IDOK);
  }
  return result;
}

class Procedures : public testing_support::AnsweredFrameTest {};

TEST_F(Procedures, InitialiseTheirControlsFromTheSymbols) {
  Start("");
  HMODULE library = LoadLibraryA(DIALOG_LIBRARY);
  ASSERT_NE(library, nullptr);
  const struct {
    unsigned dialog;
    const char *procedure, *symbol, *value, *state;
  } cases[] = {
      {DLG_OPTION, PROC_RADIO, SYM_RADIO_DEFAULT, "2", "01"},
      {DLG_OPTION, PROC_RADIO, SYM_RADIO_DEFAULT, "3", "10"},  // no such button: the first
      {DLG_OPTION, PROC_RADIO, SYM_RADIO_DEFAULT, "12", "10"},
      {DLG_DISTRIBUTION_PATH, PROC_EDIT, SYM_EDIT_FOCUS, "ALL", "D:\\I386 0-7"},
      {DLG_DISTRIBUTION_PATH, PROC_EDIT, SYM_EDIT_FOCUS, "END", "D:\\I386 7-7"},
      {DLG_ERROR, PROC_ERROR, SYM_ERROR_TEXT, "Error code = 1024", "Error code = 1024"},
  };
  FSetSymbolValue(SYM_EDIT_TEXT_IN, "D:\\I386");
  for (const auto &c : cases) {
    FSetSymbolValue(c.symbol, c.value);
    g_procedure = reinterpret_cast<DLGPROC>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(library, c.procedure)));
    g_state.clear();
    EXPECT_EQ(DialogBoxParamA(library, MAKEINTRESOURCEA(c.dialog), HwndFrame(), Observer, 0), IDOK);
    EXPECT_EQ(g_state, c.state) << c.procedure << " " << c.value;
  }
  // A template without the controls of the procedure is not one of its dialogs.
  g_procedure = reinterpret_cast<DLGPROC>(
      reinterpret_cast<void (*)(void)>(GetProcAddress(library, PROC_EDIT)));
  EXPECT_EQ(DialogBoxParamA(library, MAKEINTRESOURCEA(DLG_FINISH), HwndFrame(), g_procedure, 0),
            -1);
  FreeLibrary(library);
}

}  // namespace
