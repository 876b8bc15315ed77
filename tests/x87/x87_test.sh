#!/usr/bin/env bash
# The 32-bit Windows programs compute their clocks on the x87 unit; this
# proves, on any x86-64 machine, that such arithmetic writes the same bytes
# as the usual one. X87_BUILD is a Linux build configured with
# VARNEL_X87_CONTROL_WORD (every operation on the x87 unit, its control word
# set at the start as the MinGW runtime sets it), NORMAL_BUILD the usual
# build. Requires: the x87 build runs with the control word it was configured
# with; its clock model gives the same step, words, dividers and clocks as
# the usual build for every PLL reference word and every whole MHz
# (varnel-clock-sweep); its core tests pass; and its varnel-cli writes the
# same bytes and output as the usual one (tests/same_bytes_test.sh).
# Usage: tests/x87/x87_test.sh NORMAL_BUILD X87_BUILD
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
normal=$(cd "$1" && pwd)
x87=$(cd "$2" && pwd)
fail() { echo "x87: $*" >&2; exit 1; }

word=$(sed -n 's/^VARNEL_X87_CONTROL_WORD:STRING=//p' "$x87/CMakeCache.txt")
[ -n "$word" ] || fail "$x87 is not configured with VARNEL_X87_CONTROL_WORD"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

"$normal/bin/varnel-clock-sweep" >"$scratch/normal" & normal_sweep=$!
"$x87/bin/varnel-clock-sweep" >"$scratch/x87"
wait "$normal_sweep"
expected=$(printf 'arithmetic: x87, control word 0x%04x' "$word")
[ "$(head -n 1 "$scratch/x87")" = "$expected" ] ||
  fail "the x87 build runs with '$(head -n 1 "$scratch/x87")', not '$expected'"
[ "$(head -n 1 "$scratch/normal")" = "arithmetic: SSE" ] ||
  fail "$normal is no build of the usual arithmetic: $(head -n 1 "$scratch/normal")"
references=$(($(wc -l <"$scratch/normal") - 1))
[ "$references" -eq 65536 ] || fail "the sweep covered $references reference words, not 65536"
if ! cmp -s <(tail -n +2 "$scratch/normal") <(tail -n +2 "$scratch/x87"); then
  echo "x87: the clock model differs for these reference words (word, step, digest):" >&2
  diff <(tail -n +2 "$scratch/normal") <(tail -n +2 "$scratch/x87") | head -n 10 >&2 || true
  fail "$(diff <(tail -n +2 "$scratch/normal") <(tail -n +2 "$scratch/x87") | grep -c '^<') of $references reference words differ"
fi
echo "x87: the clock model is the same for all $references reference words"

"$x87/bin/varnel_core_tests" --gtest_brief=1 || fail "the core tests fail with x87 arithmetic"
"$here/../same_bytes_test.sh" "$normal" "$x87"
