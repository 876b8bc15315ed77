// Linked into every program of a build with VARNEL_X87_CONTROL_WORD: sets
// the x87 control word before any other initialisation runs, as the MinGW
// runtime of the 32-bit Windows programs does (fninit) before their main.
#include <cstdint>

namespace {

[[gnu::constructor(101)]] void setX87ControlWord() {
  const uint16_t word = VARNEL_X87_CONTROL_WORD;
  __asm__ volatile("fldcw %0" : : "m"(word));
}

}  // namespace
