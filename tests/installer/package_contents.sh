#!/usr/bin/env bash
# The release archives as `./run package` makes them, packed into a scratch folder from the x64
# build's CPack configuration: the files each archive holds, that each DLL is of its machine,
# stripped, linked to its debug information and versioned from the project version.
#
#   package_contents.sh <CPackConfig.cmake of the win64 build> <objdump> <scratch>
#
# Exits 77 (skipped) when the win64 build has not been configured.
set -uo pipefail

(($# == 3)) || { sed -n '2,8p' "$0" >&2; exit 2; }
config=$1 objdump=$2 scratch=$3
[[ -f $config ]] || { echo "package_contents: no $config (configure the win64 preset); skipped"; exit 77; }
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
version=$(sed -n 's/^project(Korvod VERSION \([0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")
rm -rf "$scratch" && mkdir -p "$scratch"
scratch=$(cd "$scratch" && pwd)
cpack --config "$config" -B "$scratch" >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log"; exit 1; }

failures=0
check() {
  if [[ $2 == "$3" ]]; then echo "ok - $1"; else echo "not ok - $1: got \"$2\" expected \"$3\""; failures=$((failures + 1)); fi
}
archive=$scratch/korvod-$version-windows.zip symbols=$scratch/korvod-$version-windows-symbols.zip
listing() { unzip -Z1 "$1" | grep -v '/$' | sort | tr '\n' ' '; }
check "the archive's files" "$(listing "$archive" | tr ' ' '\n' | grep -v '^examples/' | tr '\n' ' ')" \
  "CHANGELOG.md LICENSE README.md docs/korvo-dic.md docs/reference.md include/korvo.h include/korvo_i.c tools/korvo-dic.exe x64/Korvod.dll x64/Korvod.tlb x86/Korvod.dll x86/Korvod.tlb "
check "the examples for every host" \
  "$(listing "$archive" | tr ' ' '\n' | grep -c -E '^examples/(tour\.vbs|tour\.js|asp/counter\.asp|cpp/client\.cpp|powershell/.*\.ps1|python/with_pywin32\.py|python/with_comtypes\.py|vba/.*\.bas)$')" 8
check "the symbols archive's files" "$(listing "$symbols")" "x64/Korvod.dll.debug x86/Korvod.dll.debug "

mkdir -p "$scratch/unpacked" && unzip -q "$archive" -d "$scratch/unpacked"
for arch in x64:pei-x86-64 x86:pei-i386; do
  dll=$scratch/unpacked/${arch%%:*}/Korvod.dll
  check "${arch%%:*}/Korvod.dll is ${arch#*:}" "$("$objdump" -f "$dll" | sed -n 's/.*file format //p')" "${arch#*:}"
  check "${arch%%:*}/Korvod.dll holds no debug information" "$("$objdump" -h "$dll" | grep -c '\.debug_info')" 0
  check "${arch%%:*}/Korvod.dll links to its debug information" "$("$objdump" -h "$dll" | grep -c '\.gnu_debuglink')" 1
  check "${arch%%:*}/Korvod.dll carries the version" \
    "$(strings -el "$dll" | grep -A1 -x 'FileVersion' | tail -n1)" "$version"
  check "${arch%%:*}/Korvod.dll names its maker" "$(strings -el "$dll" | grep -c -x -e 'CompanyName' -e 'LegalCopyright')" 2
done
check "the file tool is an x64 program" "$("$objdump" -f "$scratch/unpacked/tools/korvo-dic.exe" | sed -n 's/.*file format //p')" pei-x86-64
check "the header gives no wide-literal defaults" "$(grep -c 'L""' "$scratch/unpacked/include/korvo.h")" 0

echo "# $failures failed"
((failures == 0))
