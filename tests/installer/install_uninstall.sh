#!/usr/bin/env bash
# The installer in a Wine prefix of its own, as an administrator uses it: an older package,
# then the current one over it (a major upgrade: one product left, the current version), a
# script under each script host against what was installed, a refused downgrade, then
# `msiexec /x`. At the end every file and registry entry the packages wrote is gone and
# nothing else has changed, apart from the empty bookkeeping keys of the installer service.
#
#   install_uninstall.sh --x64 <Korvod.dll> <korvo.tlb> --x86 <Korvod.dll> <korvo.tlb> <scratch>
#
# Needs WINEDLLPATH naming Wine's i386 DLLs (for the 32-bit script host). Exits 77 (skipped)
# when the x64 DLL has not been built or wixl is missing.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$here/../..
wine64=${WINE64:-/usr/lib/wine/wine64}
x64=() x86=()
while [[ ${1:-} == --* ]]; do
  case $1 in
    --x64) x64=("$2" "$3"); shift 3 ;;
    --x86) x86=("$2" "$3"); shift 3 ;;
    *) sed -n '2,12p' "$0" >&2; exit 2 ;;
  esac
done
(($# == 1)) && ((${#x64[@]} == 2 && ${#x86[@]} == 2)) || { sed -n '2,12p' "$0" >&2; exit 2; }
[[ -f ${x64[0]} ]] || { echo "install_uninstall: no x64 DLL at ${x64[0]} (build the win64 preset); skipped"; exit 77; }
command -v wixl >/dev/null || { echo "install_uninstall: wixl is missing (run ./run bootstrap); skipped"; exit 77; }

scratch=$1
rm -rf "$scratch" && mkdir -p "$scratch"
scratch=$(cd "$scratch" && pwd)
version=$(sed -n 's/^project(Korvod VERSION \([0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")
"$root/tools/make-msi" --version 1.0.0.1 --x64 "${x64[@]}" --x86 "${x86[@]}" -o "$scratch/older.msi" 2>/dev/null &&
  "$root/tools/make-msi" --version "$version" --x64 "${x64[@]}" --x86 "${x86[@]}" -o "$scratch/current.msi" 2>/dev/null ||
  { echo "install_uninstall: wixl failed"; exit 1; }

# Both bitnesses in one prefix need a 64-bit Windows; the emulated x86 lane's test prefix is a
# 32-bit one (and this machine runs no WoW64), so the WoW64 lane is where this runs.
if [[ -n ${WINEPREFIX:-} && -f $WINEPREFIX/.korvo-emulated ]]; then
  echo "skipped: the x86 lane here is the emulated 32-bit Windows; this check needs a 64-bit one with WoW64"
  exit 77
fi
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all
session=$root/tools/wine-session
"$session" start "$WINEPREFIX" || "$session" start "$WINEPREFIX" || exit 1
trap '"$session" stop "$WINEPREFIX"' EXIT

failures=0
check() {
  if [[ $2 == "$3" ]]; then echo "ok - $1"; else echo "not ok - $1: got \"$2\" expected \"$3\""; failures=$((failures + 1)); fi
}
wine() { "$wine64" "$@" </dev/null 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# Files of drive C: (the installer's package cache aside) and the machine's registry.
snapshot() {
  find "$WINEPREFIX/drive_c" -path '*/windows/Installer' -prune -o -type f -print | sort >"$scratch/files.$1"
  "$wine64" reg export 'HKLM\Software' "$scratch/registry.$1" /y >/dev/null 2>&1
  iconv -f UTF-16 -t UTF-8 "$scratch/registry.$1" | tr -d '\r' >"$scratch/registry.$1.txt"
}
products() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s |
    awk '/^HKEY/ {key=$0} /DisplayName +REG_SZ +Korvod$/ {print key}' | wc -l
}
installed_version() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s |
    awk '/DisplayName +REG_SZ +Korvod$/ {found=1} found && /DisplayVersion/ {print $3; exit}'
}

# Wine's script hosts register their own type library when they first run: let them do that
# before the snapshot, so that only what the packages do is compared.
printf 'WScript.Quit 0\n' >"$scratch/warm-up.vbs"
wine cscript //nologo "$(windows_path "$scratch/warm-up.vbs")" >/dev/null
wine 'C:\windows\syswow64\cscript.exe' //nologo "$(windows_path "$scratch/warm-up.vbs")" >/dev/null
snapshot before
wine msiexec /i "$(windows_path "$scratch/older.msi")" /qn
check "the older package installs" "$?" 0
wine msiexec /i "$(windows_path "$scratch/current.msi")" /qn
check "the current package installs over it" "$?" 0
check "one product is installed" "$(products)" 1
check "its version is the current one" "$(installed_version)" "$version"
for file in 'Program Files/Korvod/Korvod.dll' 'Program Files (x86)/Korvod/Korvod.dll'; do
  check "C:/$file is installed" "$(cmp -s "$WINEPREFIX/drive_c/$file" "$([[ $file == *x86* ]] && echo "${x86[0]}" || echo "${x64[0]}")" && echo same)" same
done

script=$here/installed_component.vbs
"$root/tests/scripts/run_script_test.sh" --arch x64 "$script" 'C:\Program Files\Korvod\Korvod.dll'
check "a 64-bit script uses the installed x64 server" "$?" 0
"$root/tests/scripts/run_script_test.sh" --arch x86 "$script" 'C:\Program Files (x86)\Korvod\Korvod.dll'
check "a 32-bit script uses the installed x86 server" "$?" 0

wine msiexec /i "$(windows_path "$scratch/older.msi")" /qn
[[ $? != 0 ]] && refused=yes || refused=no
check "the older package does not replace the current one" "$refused" yes
check "the current version stays" "$(installed_version)" "$version"

wine msiexec /x "$(windows_path "$scratch/current.msi")" /qn
check "the package uninstalls" "$?" 0
snapshot after
check "no product is left" "$(products)" 0
check "the files of drive C: are as before" "$(diff "$scratch/files.before" "$scratch/files.after" | grep -c '^[<>]')" 0
# Added lines may only be the installer service's own empty bookkeeping keys.
changed=$(diff "$scratch/registry.before.txt" "$scratch/registry.after.txt" | grep '^[<>]' |
  grep -v -E '^> (\[HKEY_LOCAL_MACHINE\\Software\\(Classes\\Installer|Microsoft\\Windows\\CurrentVersion\\Installer)(\\[^]]*)?\])?$')
check "the registry is as before" "$changed" ""

echo "# $failures failed"
((failures == 0))
