#!/usr/bin/env bash
# A file that the component saved under Wine, read by the Windows build of korvo-dic: a
# VBScript fills a store with every kind of value a script makes and Saves it, then
# korvo-dic.exe verifies it, dumps it as text, as JSON and through a key pattern (the
# RegExp component), and writes it back from the JSON byte for byte.
#
# With --native, the Linux build of korvo-dic (when it has been built) must read the file the
# same way: the same verdict and the same JSON.
#
#   saved_by_component.sh --arch x64|x86 --dll <Korvod.dll> --tool <korvo-dic.exe> [--native <korvo-dic>]
#                         <run_script_test.sh>
set -uo pipefail
arch=x64 dll= tool= native=
while [[ ${1:-} == --* ]]; do
  case $1 in
    --arch) arch=$2 ;;
    --dll) dll=$2 ;;
    --tool) tool=$2 ;;
    --native) native=$2 ;;
    *) echo "saved_by_component: unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done
runner=$1
wine64=${WINE64:-/usr/lib/wine/wine64}
export WINEDEBUG=${WINEDEBUG:--all}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "$PWD/saved-XXXXXX")
trap 'rm -rf "$work"' EXIT
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
failed=0
fail() { echo "not ok - $*"; failed=1; }

bash "$runner" --arch "$arch" --dll "$dll" "$here/save_for_tool.vbs" "$(windows_path "$work/saved.dic")" ||
  { echo "saved_by_component: the script did not save the store" >&2; exit 1; }

tool_run() { # tool_run <out> <args...>: the exit code of korvo-dic.exe, CRs dropped from its output
  local out=$1
  shift
  "$wine64" "$tool" "$@" </dev/null 2>"$work/err" | tr -d '\r' >"$out"
  return "${PIPESTATUS[0]}"
}

tool_run "$work/verify.txt" verify "$(windows_path "$work/saved.dic")" || fail "verify: $(cat "$work/err")"
grep -q '^sound: 12 records$' "$work/verify.txt" || fail "verify counts 12 records (the array is left out): $(cat "$work/verify.txt")"

tool_run "$work/dump.txt" dump "$(windows_path "$work/saved.dic")" || fail "dump: $(cat "$work/err")"
for line in $'"bool"\tVT_BOOL\tTrue' $'"byte"\tVT_UI1\t200' $'"currency"\tVT_CY\t12.5' \
            $'"date"\tVT_DATE\t2024-02-29 13:45:30' $'"double"\tVT_R8\t-0.10000000000000001' \
            $'"empty"\tVT_EMPTY\t' $'"integer"\tVT_I2\t-7' $'"long"\tVT_I4\t2000000000' $'"null"\tVT_NULL\t' \
            $'"single"\tVT_R4\t1.5' $'"string"\tVT_BSTR\t"say \\"hi\\""' $'"string"\tVT_BSTR\t""'; do
  grep -qxF "$line" "$work/dump.txt" || fail "dump shows: $line"
done

tool_run "$work/pattern.txt" dump --pattern '^(s|n)' "$(windows_path "$work/saved.dic")" ||
  fail "dump --pattern: $(cat "$work/err")"
[[ $(cut -f1 "$work/pattern.txt" | tr '\n' ' ') == '"null" "single" "string" "string" ' ]] ||
  fail "the pattern selects null, single and both strings: $(cat "$work/pattern.txt")"

tool_run "$work/saved.json" dump --json "$(windows_path "$work/saved.dic")" || fail "dump --json: $(cat "$work/err")"
tool_run "$work/none.txt" from-json "$(windows_path "$work/saved.json")" "$(windows_path "$work/back.dic")" ||
  fail "from-json: $(cat "$work/err")"
cmp -s "$work/saved.dic" "$work/back.dic" || fail "from-json gives back the saved bytes"

if [[ -x $native ]]; then
  "$native" dump --json "$work/saved.dic" >"$work/native.json" 2>"$work/err" || fail "native dump --json: $(cat "$work/err")"
  cmp -s "$work/saved.json" "$work/native.json" || fail "the native build dumps the same JSON"
fi

head -c 40 "$work/saved.dic" >"$work/cut.dic"
tool_run "$work/none.txt" verify "$(windows_path "$work/cut.dic")"
[[ $? == 1 ]] && grep -q '^offset [0-9]*: ' "$work/err" || fail "a cut file: exit 1 and its offset: $(cat "$work/err")"

((failed == 0)) && echo "ok - the component's file through korvo-dic.exe"
exit $failed
