// String comparison and the character helpers.
#include "tests/conformance/conformance.h"

using conformance::Check;

namespace {

int Sign(int v) {
  return v < 0 ? -1 : v > 0 ? 1 : 0;
}

}  // namespace

CONFORMANCE_AREA(text) {
  // lstrcmpA and lstrcmpiA sort by the user locale's word sort: letters alike in case first,
  // lower case before upper case on a tie, hyphen and apostrophe weighed only when all else ties.
  struct Case {
    const char *a, *b;
    int cmp, cmpi;
  } cases[] = {
      {"a", "B", -1, -1},           {"a", "A", -1, 0},   {"co-op", "coop", 1, 1},
      {"abc", "abc", 0, 0},         {"", "a", -1, -1},   {"Zebra", "apple", 1, 1},
      {"can't", "cant", 1, 1},      {"a-b", "ab", 1, 1}, {"ab", "a-c", -1, -1},
      {"MONITOR", "monitor", 1, 0},
  };
  for (const Case &c : cases) {
    std::string args = std::string("(") + c.a + "," + c.b + ")";
    Check(("lstrcmpA" + args).c_str(), Sign(lstrcmpA(c.a, c.b)), c.cmp);
    Check(("lstrcmpiA" + args).c_str(), Sign(lstrcmpiA(c.a, c.b)), c.cmpi);
  }
}
