#!/bin/bash
# print_demo with standard output sent to a file reproduces its input byte for byte, control
# characters included: redirected output is written unchanged.
# Arguments: a scratch directory, the program, and the emulator that runs it (if any).
set -eu
work=$1
demo=$2
shift 2
rm -rf "$work"
mkdir -p "$work"

# Every byte value, then text with each control character, over several 4096-byte chunks.
round=$work/round.bin
for value in $(seq 0 255); do
  printf -v escape '\\x%02x' "$value"
  printf "$escape"
done >"$round"
printf 'line\r\nfeed\nreturn\rbell\a tab\t back\bspace end of file\x1a after\n' >>"$round"
for _ in $(seq 20); do cat "$round"; done >"$work/input.bin"

# Files, not pipes: under Wine the server would hold a pipe open after the program ends.
status=0
"$@" "$demo" <"$work/input.bin" >"$work/output.bin" 2>"$work/stderr.txt" || status=$?
if [ "$status" -ne 0 ]; then
  echo "print_demo ended with $status"
  cat "$work/stderr.txt"
  exit 1
fi
if ! cmp "$work/input.bin" "$work/output.bin"; then
  echo "output differs from input ($(stat -c %s "$work/input.bin") bytes in," \
    "$(stat -c %s "$work/output.bin") out)"
  exit 1
fi
echo "print_demo reproduced $(stat -c %s "$work/input.bin") bytes"
