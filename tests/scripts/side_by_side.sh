#!/usr/bin/env bash
# Both builds of Korvod.dll registered side by side in one Wine prefix, as on a 64-bit server
# that serves 32-bit and 64-bit script hosts: each host finds its own build, what regsvr32 wrote
# lands in each registry view, and unregistering one build leaves the other's class working.
#
#   side_by_side.sh --x64-dll <Korvod.dll> --x86-dll <Korvod.dll> <prefix>
#
# The prefix is this test's own (created on first use with WINEDLLPATH, which must name Wine's
# i386 DLLs), so that registering and unregistering never disturbs the other tests; it gets a
# Wine session of its own for the run. Exits 77 (skipped) when the x64 DLL has not been built.
#
# The ProgID key Korvo.Dictionary is one key shared by both views: unregistering one build
# must leave it while the other build is registered, and remove it with the last one.
set -uo pipefail

usage() { sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
session=$here/../../tools/wine-session
wine64=${WINE64:-/usr/lib/wine/wine64}
x64_dll='' x86_dll=''
while [[ ${1:-} == --* ]]; do
  (($# >= 2)) || usage
  case $1 in
    --x64-dll) x64_dll=$2 ;;
    --x86-dll) x86_dll=$2 ;;
    *) usage ;;
  esac
  shift 2
done
(($# == 1)) && [[ -n $x64_dll && -n $x86_dll ]] || usage
[[ -f $x86_dll ]] || { echo "side_by_side: no x86 DLL at $x86_dll" >&2; exit 1; }
if [[ ! -f $x64_dll ]]; then
  echo "side_by_side: no x64 DLL at $x64_dll (build the win64 preset first); skipped"
  exit 77
fi

mkdir -p "$1"
# Both bitnesses in one prefix need a 64-bit Windows; the emulated x86 lane's test prefix is a
# 32-bit one (and this machine runs no WoW64), so the WoW64 lane is where this runs.
if [[ -n ${WINEPREFIX:-} && -f $WINEPREFIX/.korvo-emulated ]]; then
  echo "skipped: the x86 lane here is the emulated 32-bit Windows; this check needs a 64-bit one with WoW64"
  exit 77
fi
export WINEPREFIX
WINEPREFIX=$(cd "$1" && pwd)
export WINEDEBUG=-all WINE64=$wine64

"$session" start "$WINEPREFIX" || "$session" start "$WINEPREFIX" || exit 1
trap '"$session" stop "$WINEPREFIX"' EXIT

windows_path() {
  local unix
  unix=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
  printf 'Z:%s' "${unix//\//\\}"
}
x64_path=$(windows_path "$x64_dll")
x86_path=$(windows_path "$x86_dll")
regsvr32_x64=regsvr32
regsvr32_x86='C:\windows\syswow64\regsvr32.exe'
class_key='HKCR\CLSID\{FF1EDF26-F2EE-4BCF-A988-A8E26C1C12B5}'
class_key_x86='HKCR\Wow6432Node\CLSID\{FF1EDF26-F2EE-4BCF-A988-A8E26C1C12B5}'

failures=0 checks=0

step() { printf '\n== %s\n' "$*"; }

check() {
  local name=$1 got=$2 expected=$3
  checks=$((checks + 1))
  if [[ ${got,,} == "${expected,,}" ]]; then
    echo "ok - $name"
  else
    echo "not ok - $name: got \"$got\" expected \"$expected\""
    failures=$((failures + 1))
  fi
}

register() {
  local arch=$1 tool
  shift
  [[ $arch == x64 ]] && tool=$regsvr32_x64 || tool=$regsvr32_x86
  "$wine64" "$tool" /s "$@" </dev/null >/dev/null 2>&1
}

# The default value of a key as the 64-bit reg.exe sees it (it reaches the 32-bit view
# through Wow6432Node), or <absent>.
registry_text() {
  local output
  if output=$("$wine64" reg query "$1" /ve </dev/null 2>/dev/null); then
    output=${output//$'\r'/}
    sed -n 's/^[[:space:]]*(Default)[[:space:]]*REG_SZ[[:space:]]*//p' <<<"$output" | head -n 1
  else
    echo '<absent>'
  fi
}

# own_server.vbs in the host of one bitness, judged by run_script_test.sh.
probe() {
  local arch=$1 state=$2 host_arch dll_path output status
  [[ $arch == x64 ]] && host_arch=AMD64 || host_arch=x86
  [[ $arch == x64 ]] && dll_path=$x64_path || dll_path=$x86_path
  checks=$((checks + 1))
  output=$(bash "$here/run_script_test.sh" --arch "$arch" "$here/side_by_side/own_server.vbs" \
           "$state" "$host_arch" "$dll_path" 2>&1)
  status=$?
  printf '%s\n' "$output" | sed "s/^/  [$arch $state] /"
  if ((status == 0)); then
    echo "ok - the $arch host sees the state \"$state\""
  else
    echo "not ok - the $arch host does not see the state \"$state\""
    failures=$((failures + 1))
  fi
}

step "clean slate: neither build registered"
register x64 /u "$x64_path"
register x86 /u "$x86_path"
check "no class key in the 64-bit view" "$(registry_text "$class_key\\InprocServer32")" '<absent>'
check "no class key in the 32-bit view" "$(registry_text "$class_key_x86\\InprocServer32")" '<absent>'

step "register the x64 build with the 64-bit regsvr32, the x86 build with the 32-bit one"
register x64 "$x64_path"; check "64-bit regsvr32 exit code" $? 0
check "the 32-bit view is still empty" "$(registry_text "$class_key_x86\\InprocServer32")" '<absent>'
register x86 "$x86_path"; check "32-bit regsvr32 exit code" $? 0
check "the 64-bit view names the x64 build" "$(registry_text "$class_key\\InprocServer32")" "$x64_path"
check "the 32-bit view (Wow6432Node) names the x86 build" "$(registry_text "$class_key_x86\\InprocServer32")" "$x86_path"
echo "# the ProgID key in the 64-bit view: $(registry_text 'HKCR\Korvo.Dictionary\CLSID'), in Wow6432Node:" \
     "$(registry_text 'HKCR\Wow6432Node\Korvo.Dictionary\CLSID')"
probe x64 registered
probe x86 registered

step "unregister the x86 build: the x64 build's class keeps working"
register x86 /u "$x86_path"; check "32-bit regsvr32 /u exit code" $? 0
check "the 64-bit view still names the x64 build" "$(registry_text "$class_key\\InprocServer32")" "$x64_path"
probe x64 orphaned
probe x86 unregistered
check "the shared ProgID key still names the class" "$(registry_text 'HKCR\Korvo.Dictionary\CLSID')" \
      '{FF1EDF26-F2EE-4BCF-A988-A8E26C1C12B5}'

step "register the x86 build again: both work as before"
register x86 "$x86_path"; check "32-bit regsvr32 exit code" $? 0
probe x64 registered
probe x86 registered

step "unregister the x64 build: the x86 build's class keeps working"
register x64 /u "$x64_path"; check "64-bit regsvr32 /u exit code" $? 0
check "the 32-bit view still names the x86 build" "$(registry_text "$class_key_x86\\InprocServer32")" "$x86_path"
probe x86 orphaned
probe x64 unregistered
check "the shared ProgID key still names the class" "$(registry_text 'HKCR\Korvo.Dictionary\CLSID')" \
      '{FF1EDF26-F2EE-4BCF-A988-A8E26C1C12B5}'

step "unregister the x86 build too: the last unregistration removes the shared ProgID key"
register x86 /u "$x86_path"; check "32-bit regsvr32 /u exit code" $? 0
check "no ProgID key is left" "$(registry_text 'HKCR\Korvo.Dictionary')" '<absent>'
check "no class key in the 32-bit view" "$(registry_text "$class_key_x86\\InprocServer32")" '<absent>'
probe x86 unregistered

step "summary"
echo "side_by_side: $((checks - failures)) of $checks checks passed"
((failures == 0))
