#!/usr/bin/env bash
# The korvo-dic program itself: its exit codes (0 sound, 1 a file problem, 2 cannot run),
# usage errors, and every cut of a file through verify, dump and dump --json (a crash or a
# sanitizer report would end in another code).
#
#   command_line.sh <korvo-dic>
set -uo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

expect() { # expect <name> <code> <command...>
  local name=$1 want=$2
  shift 2
  "$@" >"$work/out" 2>"$work/err"
  local got=$?
  if [[ $got != "$want" ]]; then
    echo "not ok - $name: exit $got, expected $want"; sed 's/^/  /' "$work/err"; failed=1
  fi
}

# A key 'a' holding the 4-byte integer 1 and then the string 'x'.
printf 'fDIC\x03\x00\x01\x00\x00\x00\x01\x00\x00\x00a\x00\x08\x00\x01\x00\x00\x00x\x00\x01\x00\x00\x00a\x00\xff\xff' >"$work/s.dic"

expect "verify sound" 0 "$tool" verify "$work/s.dic"
expect "dump" 0 "$tool" dump "$work/s.dic"
[[ $(cat "$work/out") == $'"a"\tVT_I4\t1\n"a"\tVT_BSTR\t"x"' ]] || { echo "not ok - dump text"; failed=1; }
expect "dump --json" 0 "$tool" dump --json "$work/s.dic"
cp "$work/out" "$work/s.json"
expect "from-json" 0 "$tool" from-json "$work/s.json" "$work/back.dic"
cmp -s "$work/s.dic" "$work/back.dic" || { echo "not ok - from-json bytes differ"; failed=1; }
expect "pattern" 0 "$tool" dump --pattern '^b' "$work/s.dic"
[[ ! -s $work/out ]] || { echo "not ok - pattern selects no key"; failed=1; }
expect "bad pattern" 2 "$tool" dump --pattern '(' "$work/s.dic"
expect "no command" 2 "$tool"
expect "unknown command" 2 "$tool" frobnicate "$work/s.dic"
expect "missing file" 2 "$tool" verify "$work/absent.dic"
expect "help" 0 "$tool" --help

size=$(stat -c %s "$work/s.dic")
for ((cut = 0; cut < size; cut++)); do
  head -c "$cut" "$work/s.dic" >"$work/cut.dic"
  expect "verify cut $cut" 1 "$tool" verify "$work/cut.dic"
  grep -q '^offset [0-9]*: ' "$work/err" || { echo "not ok - cut $cut: no offset"; failed=1; }
  expect "dump cut $cut" 1 "$tool" dump "$work/cut.dic"
  expect "dump --json cut $cut" 1 "$tool" dump --json "$work/cut.dic"
done

((failed == 0)) && echo "ok - korvo-dic command line"
exit $failed
