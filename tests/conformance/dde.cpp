// DDEML as a client of Program Manager: the conversation the toolkit holds to make groups and
// items. The group is made and removed again.
#include <windows.h>

#include <ddeml.h>

#include <string>

#include "tests/conformance/conformance.h"

using conformance::Check;

namespace {

HDDEDATA CALLBACK Callback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  return nullptr;
}

// "done", or "refused <DdeGetLastError>" for an execute transaction that was not carried out.
std::string Execute(DWORD instance, HCONV conv, const char *command) {
  std::string text = command;
  DWORD result = 0;
  HDDEDATA done =
      DdeClientTransaction(reinterpret_cast<LPBYTE>(&text[0]), static_cast<DWORD>(text.size() + 1),
                           conv, nullptr, CF_TEXT, XTYP_EXECUTE, 10000, &result);
  if (done) {
    DdeFreeDataHandle(done);
    return "done";
  }
  return "refused " + std::to_string(DdeGetLastError(instance));
}

}  // namespace

CONFORMANCE_AREA(dde) {
  DWORD instance = 0;
  Check("DdeInitializeA", DdeInitializeA(&instance, Callback, APPCMD_CLIENTONLY, 0),
        DMLERR_NO_ERROR);
  if (!instance) return;
  HSZ progman = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
  HSZ nobody = DdeCreateStringHandleA(instance, "NorvaleNoSuchService", CP_WINANSI);
  Check("DdeCreateStringHandleA", progman && nobody && progman != nobody, true);

  Check("DdeConnect no server", DdeConnect(instance, nobody, nobody, nullptr) == nullptr, true);
  Check("DdeGetLastError no server", DdeGetLastError(instance), DMLERR_NO_CONV_ESTABLISHED);
  Check("DdeGetLastError read once", DdeGetLastError(instance), DMLERR_NO_ERROR);

  HCONV conv = DdeConnect(instance, progman, progman, nullptr);
  Check("DdeConnect PROGMAN", conv != nullptr, true);
  if (conv) {
    // Program Manager takes the first word of an item's command line as the program and the
    // rest as its arguments.
    struct Case {
      const char *what, *command, *nt;
    } cases[] = {
        {"CreateGroup", "[CreateGroup(Norvale Conformance)]", "done"},
        {"AddItem", "[AddItem(notepad.exe,Notepad)]", "done"},
        {"AddItem with arguments", "[AddItem(notepad.exe readme.txt,Readme)]", "done"},
        {"AddItem quoted", "[AddItem(\"notepad.exe\",\"Notepad, again\")]", "done"},
        {"unknown command", "[NorvaleNoSuchCommand()]", "refused 16393"},
        {"not a command", "CreateGroup(Norvale Conformance)", "refused 16393"},
        {"DeleteGroup", "[DeleteGroup(Norvale Conformance)]", "done"},
        {"DeleteGroup missing", "[DeleteGroup(Norvale Conformance)]", "refused 16393"},
    };
    for (const Case &c : cases)
      Check((std::string("DdeClientTransaction ") + c.what).c_str(),
            Execute(instance, conv, c.command), c.nt);
    Check("DdeDisconnect", DdeDisconnect(conv) != 0, true);
    Check("DdeDisconnect again", DdeDisconnect(conv) != 0, false);
  }
  DdeFreeStringHandle(instance, nobody);
  DdeFreeStringHandle(instance, progman);
  Check("DdeUninitialize", DdeUninitialize(instance) != 0, true);
  Check("DdeUninitialize again", DdeUninitialize(instance) != 0, false);
}
