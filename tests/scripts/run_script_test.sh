#!/usr/bin/env bash
# Runs one VBScript or JScript test under the script host of the given bitness and judges it
# by its own report. The test's check helpers (lib/check.vbs or lib/check.js) are put in
# front of it in a composed copy in the working directory, which is what the host runs.
# Every check prints "ok - <name>" or "not ok - <name>: ...", and the last line is
# "# script-result: <passed> passed, <failed> failed". The host exits 0 even when a script
# dies half-way, so a missing or inconsistent final line fails the test.
#
#   run_script_test.sh [--arch x64|x86] [--dll <Korvod.dll>] <script.vbs|script.js> [args...]
#   run_script_test.sh [--arch x64|x86] --dll <Korvod.dll> --register-only
#
# --arch x86 runs the 32-bit regsvr32 and cscript from C:\windows\syswow64 (the 64-bit Wine's
# WoW64 mode; WINEDLLPATH must name Wine's i386 DLLs), so the registration goes to the 32-bit
# registry view, or on a 32-bit Windows (a prefix without syswow64) from system32; the default
# is the 64-bit tools.
# Environment: WINEPREFIX (the prefix of the test session; default ~/.wine), WINE64 (default
# /usr/lib/wine/wine64), KORVO_DLL (instead of --dll). With a DLL given, it is registered
# with regsvr32 in that prefix once per build of the DLL (a stamp in the prefix remembers
# which file was registered), under a lock so parallel tests register it only once.
set -uo pipefail

usage() { sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }

wine64=${WINE64:-/usr/lib/wine/wine64}
dll=${KORVO_DLL:-}
arch=x64 register_only=0
while [[ ${1:-} == --* ]]; do
  [[ $1 == --register-only ]] || (($# >= 2)) || usage
  case $1 in
    --arch) arch=$2; shift 2 ;;
    --dll) dll=$2; shift 2 ;;
    --register-only) register_only=1; shift ;;
    *) usage ;;
  esac
done
((register_only || $# >= 1)) || usage
export WINEPREFIX=${WINEPREFIX:-$HOME/.wine}
# On a 64-bit Windows the 32-bit tools are the syswow64 ones; a 32-bit Windows (the emulated
# x86 lane's prefix) has no syswow64, and its own tools are 32-bit.
x86_tools='C:\windows\syswow64'
[[ -d $WINEPREFIX/drive_c/windows/syswow64 ]] || x86_tools='C:\windows\system32'
case $arch in
  x64) regsvr32=regsvr32 host=cscript ;;
  x86) regsvr32="$x86_tools\regsvr32.exe" host="$x86_tools\cscript.exe" ;;
  *) usage ;;
esac
script=${1:-}
shift || true
((register_only)) || [[ -f $script ]] || { echo "run_script_test: no such script: $script" >&2; exit 2; }

export WINEDEBUG=${WINEDEBUG:--all}

# Absolute Unix paths are reachable through Wine's Z: drive.
windows_path() {
  local unix
  unix=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
  printf 'Z:%s' "${unix//\//\\}"
}

register_once() {
  [[ -f $dll ]] || { echo "run_script_test: DLL not found: $dll" >&2; exit 1; }
  mkdir -p "$WINEPREFIX"
  local stamp=$WINEPREFIX/.korvo-registered-$arch want
  want=$(stat -c '%n %s %Y' "$(cd "$(dirname "$dll")" && pwd)/$(basename "$dll")")
  (
    flock 9
    if [[ ! -f $stamp || $(cat "$stamp") != "$want" ]]; then
      if ! "$wine64" "$regsvr32" /s "$(windows_path "$dll")" </dev/null >/dev/null 2>&1; then
        echo "run_script_test: regsvr32 failed for $dll" >&2
        exit 1
      fi
      printf '%s' "$want" >"$stamp"
    fi
  ) 9>"$WINEPREFIX/.korvo-register.lock" || exit 1
}

[[ -n $dll ]] && register_once
((register_only)) && exit 0

# The helpers first, then the test: one file, as the script host takes one.
helpers=$(dirname "$0")/lib/check.${script##*.}
[[ -f $helpers ]] || { echo "run_script_test: no helpers for $script: $helpers" >&2; exit 2; }
mkdir -p composed
composed=composed/$(basename "$script")
cat "$helpers" "$script" >"$composed"

output=$(timeout 120 "$wine64" "$host" //nologo "$(windows_path "$composed")" "$@" </dev/null 2>&1)
rc=$?
output=${output//$'\r'/}
printf '%s\n' "$output"

last_line=$(printf '%s\n' "$output" | sed '/^[[:space:]]*$/d' | tail -n 1)
if [[ ! $last_line =~ ^\#\ script-result:\ ([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
  echo "run_script_test: $script did not reach its end (exit code $rc, last line: \"$last_line\")" >&2
  exit 1
fi
passed=${BASH_REMATCH[1]}
failed=${BASH_REMATCH[2]}
ok_lines=$(printf '%s\n' "$output" | grep -c '^ok - ')
not_ok_lines=$(printf '%s\n' "$output" | grep -c '^not ok - ')
if ((ok_lines != passed || not_ok_lines != failed)); then
  echo "run_script_test: the final count ($passed passed, $failed failed) disagrees with the" \
       "check lines ($ok_lines ok, $not_ok_lines not ok)" >&2
  exit 1
fi
if ((rc != failed)); then
  echo "run_script_test: exit code $rc, expected $failed (the number of failed checks)" >&2
  exit 1
fi
if ((passed == 0 || failed > 0)); then
  echo "run_script_test: $script: $passed passed, $failed failed" >&2
  exit 1
fi
exit 0
