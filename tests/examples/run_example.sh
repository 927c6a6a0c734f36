#!/usr/bin/env bash
# Runs an example program against the registered component and compares what it prints with
# the output the example documents.
#
#   run_example.sh --arch x64|x86 --dll <Korvod.dll> <program.exe> <expected output file>
#
# Environment as for run_script_test.sh (WINEPREFIX, WINE64, WINEDLLPATH for x86).
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
(($# == 6)) && [[ $1 == --arch && $3 == --dll ]] || { sed -n '2,8p' "$0" >&2; exit 2; }
arch=$2 dll=$4 program=$5 expected=$6
"$here/../scripts/run_script_test.sh" --arch "$arch" --dll "$dll" --register-only || exit 1

export WINEDEBUG=${WINEDEBUG:--all}
output=$(timeout 120 "${WINE64:-/usr/lib/wine/wine64}" "$program" </dev/null 2>&1)
rc=$?
output=${output//$'\r'/}
printf '%s\n' "$output"
if ! diff <(printf '%s\n' "$output") "$expected"; then
  echo "run_example: $(basename "$program") printed other than $expected (exit code $rc)" >&2
  exit 1
fi
((rc == 0)) || { echo "run_example: $(basename "$program") exited with $rc" >&2; exit 1; }
