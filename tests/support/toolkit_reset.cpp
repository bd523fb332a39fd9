// Programs that open many machines in one process (the tests) start the toolkit afresh with each
// machine, as a new process would: compiled into every test program that links the toolkit.
#include "setupkit/setupkit.h"
#include "winsim/machine.h"

namespace {

[[maybe_unused]] const bool g_hooked = (winsim::AddOpenHook(&setupkit::ResetToolkit), true);

}  // namespace
