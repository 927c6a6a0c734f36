#!/usr/bin/env bash
# Signing with tools/sign-file and a throw-away self-signed certificate: both DLLs and the
# installer verify against it, signing again replaces the signature instead of adding one, a
# changed byte breaks it, and the signed DLLs still register and serve scripts of their bitness.
#
#   signing.sh --x64 <Korvod.dll> <korvo.tlb> --x86 <Korvod.dll> <korvo.tlb> <scratch>
#
# Needs WINEDLLPATH naming Wine's i386 DLLs. Exits 77 (skipped) when the x64 DLL has not been
# built or osslsigncode, openssl or wixl is missing.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$here/../..
wine64=${WINE64:-/usr/lib/wine/wine64}
x64=() x86=()
while [[ ${1:-} == --* ]]; do
  case $1 in
    --x64) x64=("$2" "$3"); shift 3 ;;
    --x86) x86=("$2" "$3"); shift 3 ;;
    *) sed -n '2,9p' "$0" >&2; exit 2 ;;
  esac
done
(($# == 1)) && ((${#x64[@]} == 2 && ${#x86[@]} == 2)) || { sed -n '2,9p' "$0" >&2; exit 2; }
[[ -f ${x64[0]} ]] || { echo "signing: no x64 DLL at ${x64[0]} (build the win64 preset); skipped"; exit 77; }
for tool in osslsigncode openssl wixl; do
  command -v $tool >/dev/null || { echo "signing: $tool is missing (run ./run bootstrap); skipped"; exit 77; }
done

scratch=$1
rm -rf "$scratch" && mkdir -p "$scratch/x64" "$scratch/x86"
scratch=$(cd "$scratch" && pwd)
cd "$scratch" || exit 1

failures=0
check() {
  if [[ $2 == "$3" ]]; then echo "ok - $1"; else echo "not ok - $1: got \"$2\" expected \"$3\""; failures=$((failures + 1)); fi
}
signatures() { osslsigncode verify -CAfile cert.pem -in "$1" 2>/dev/null | sed -n 's/^Number of verified signatures: //p'; }
verifies() { osslsigncode verify -CAfile cert.pem -in "$1" >/dev/null 2>&1 && echo yes || echo no; }

openssl req -x509 -newkey rsa:2048 -keyout key.pem -out cert.pem -days 2 -nodes -subj "/CN=Korvod test signing" \
  -addext "extendedKeyUsage=codeSigning" >/dev/null 2>&1 &&
  openssl pkcs12 -export -in cert.pem -inkey key.pem -out cert.pfx -passout pass:throw-away ||
  { echo "signing: openssl could not make the certificate"; exit 1; }
export KORVO_SIGN_PFX=$scratch/cert.pfx KORVO_SIGN_PASSWORD=throw-away

cp "${x64[0]}" x64/Korvod.dll && cp "${x86[0]}" x86/Korvod.dll
"$root/tools/make-msi" --version 1.0.0.1 --x64 "${x64[@]}" --x86 "${x86[@]}" -o korvod.msi 2>/dev/null ||
  { echo "signing: wixl failed"; exit 1; }
for file in x64/Korvod.dll x86/Korvod.dll korvod.msi; do
  check "$file is unsigned at first" "$(verifies "$file")" no
  "$root/tools/sign-file" "$file" >/dev/null
  check "$file is signed" "$(signatures "$file")" 1
done
"$root/tools/sign-file" x64/Korvod.dll >/dev/null
check "signing again replaces the signature" "$(signatures x64/Korvod.dll)" 1
cp x64/Korvod.dll tampered.dll
printf 'X' | dd of=tampered.dll bs=1 seek=4096 conv=notrunc status=none
check "a changed byte breaks the signature" "$(verifies tampered.dll)" no
KORVO_SIGN_PASSWORD=wrong "$root/tools/sign-file" tampered.dll >/dev/null 2>&1
check "a wrong password fails" "$?" 1

# The signed DLLs serve scripts as the unsigned ones do.
lane_prefix=${WINEPREFIX:-}
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all
session=$root/tools/wine-session
"$session" start "$WINEPREFIX" || "$session" start "$WINEPREFIX" || exit 1
trap '"$session" stop "$WINEPREFIX"' EXIT
script=$here/installed_component.vbs
"$root/tests/scripts/run_script_test.sh" --arch x64 --dll x64/Korvod.dll "$script" >/dev/null
check "the signed x64 DLL registers and serves a 64-bit script" "$?" 0
# Where the x86 lane is the emulated 32-bit Windows, the x86 DLL is tried in a copy of its prefix.
x86_prefix=$WINEPREFIX
if [[ -f $lane_prefix/.korvo-emulated ]]; then
  x86_prefix=$scratch/prefix-x86
  "$root/tools/wine-i386-emu" copy-prefix "$x86_prefix" && "$session" start "$x86_prefix" || exit 1
  trap '"$session" stop "$WINEPREFIX"; "$session" stop "$x86_prefix"' EXIT
fi
WINEPREFIX=$x86_prefix "$root/tests/scripts/run_script_test.sh" --arch x86 --dll x86/Korvod.dll "$script" >/dev/null
check "the signed x86 DLL registers and serves a 32-bit script" "$?" 0

echo "# $failures failed"
((failures == 0))
