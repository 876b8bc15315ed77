// For tests: a save that fails at the very last step, once every check has
// passed, as a disk or another program can make it fail.
#pragma once

namespace varnel {

// The next `replacements` files put in place by a save succeed; the one
// after them fails (access denied), and later ones succeed again. -1 ends
// the fault before it happens.
void failReplacementAfter(int replacements);

}  // namespace varnel
