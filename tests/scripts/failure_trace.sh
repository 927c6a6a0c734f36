#!/usr/bin/env bash
# The failure trace of Korvod.dll in a script host under Wine. A Connect of a name whose
# prefix goes to a loopback port where nothing listens fails with the refused connection; with
# the trace switched on, by KORVO_TRACE=1 or by the machine value FailureTrace, Wine's channel
# of OutputDebugString (debugstr; seh's warnings up to Wine 8) shows where the failure began (the connection's connect) and where it left the
# Dictionary object, each with file, line and HRESULT. Switched off, it shows no trace line.
#
#   failure_trace.sh [--arch x64|x86] --dll <Korvod.dll>
#
# Environment as for run_script_test.sh (WINEPREFIX, WINE64).
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
wine64=${WINE64:-/usr/lib/wine/wine64}
arch=x64 dll=
while (($# >= 2)); do
  case $1 in
    --arch) arch=$2 ;;
    --dll) dll=$2 ;;
    *) break ;;
  esac
  shift 2
done
[[ -n $dll ]] || { echo "usage: failure_trace.sh [--arch x64|x86] --dll <Korvod.dll>" >&2; exit 2; }
export WINEPREFIX=${WINEPREFIX:-$HOME/.wine}
bash "$here/run_script_test.sh" --arch "$arch" --dll "$dll" --register-only || exit 1

host=cscript
if [[ $arch == x86 ]]; then
  host='C:\windows\syswow64\cscript.exe'
  [[ -d $WINEPREFIX/drive_c/windows/syswow64 ]] || host='C:\windows\system32\cscript.exe'
fi

windows_path() { local unix; unix=$(cd "$(dirname "$1")" && pwd)/$(basename "$1"); printf 'Z:%s' "${unix//\//\\}"; }

# A loopback port that refuses a connection now.
port=
for _ in {1..50}; do
  candidate=$((20000 + RANDOM % 40000))
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then
    port=$candidate
    break
  fi
done
[[ -n $port ]] || { echo "failure_trace: no closed loopback port found" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/korvo-trace.XXXXXX")
trap 'rm -rf "$work"' EXIT
printf '[farm:]\r\nHost = 127.0.0.1\r\nPort = %s\r\nConnectTimeoutMs = 5000\r\n' "$port" >"$work/stores.ini"
cat >"$work/connect.vbs" <<'VBS'
Set d = CreateObject("Korvo.Dictionary")
On Error Resume Next
d.Connect "farm:traced"
WScript.Echo "connect: " & Hex(Err.Number)
VBS

# Runs the script with the debug-string channel on and the extra environment given; prints its
# output.
run() {
  env "$@" WINEDEBUG=+debugstr,warn+seh KORVO_REMOTE_STORES="$(windows_path "$work/stores.ini")" \
    timeout 120 "$wine64" "$host" //nologo "$(windows_path "$work/connect.vbs")" </dev/null 2>&1 | tr -d '\r'
}

failures=0
check() { # name, output, expect-trace (1/0)
  local name=$1 output=$2 traced=$3 ok=1
  grep -q '^connect: 8007274D$' <<<"$output" || ok=0
  local origin='Korvod: src/remote/connection\.cpp:[0-9]+ .*ConnectTcp.* -> 0x8007274D'
  local boundary='Korvod: src/server/dictionary_object\.cpp:[0-9]+ members::Connect\(.* -> 0x8007274D'
  if ((traced)); then
    grep -Eq "$origin" <<<"$output" && grep -Eq "$boundary" <<<"$output" || ok=0
  else
    grep -q 'Korvod: ' <<<"$output" && ok=0
  fi
  if ((ok)); then
    echo "ok - $name"
  else
    echo "not ok - $name"
    printf '%s\n' "$output" | grep -E 'connect:|Korvod' | head -20
    failures=$((failures + 1))
  fi
}

check "the variable switches the trace on" "$(run -u KORVO_TRACE KORVO_TRACE=1)" 1
check "without a switch nothing is traced" "$(run -u KORVO_TRACE)" 0

key='HKLM\SOFTWARE\Korvo\Dictionary'
if "$wine64" reg add "$key" /v FailureTrace /t REG_DWORD /d 1 /f /reg:64 >/dev/null 2>&1; then
  trap '"$wine64" reg delete "$key" /v FailureTrace /f /reg:64 >/dev/null 2>&1; rm -rf "$work"' EXIT
  check "the machine value switches the trace on" "$(run -u KORVO_TRACE)" 1
  "$wine64" reg delete "$key" /v FailureTrace /f /reg:64 >/dev/null 2>&1
else
  echo "not ok - the machine value FailureTrace cannot be written"
  failures=$((failures + 1))
fi
exit $((failures > 0))
