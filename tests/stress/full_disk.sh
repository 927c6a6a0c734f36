#!/usr/bin/env bash
# Mounts a small file system, saves a good dictionary file on it, fills the rest, and runs
# full_disk.vbs against it under Wine; unmounts whatever happens. Exits 77 (skipped) where
# the machine does not let the test mount a file system.
#
#   full_disk.sh --dll <Korvod.dll> <scratch folder>
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[[ ${1:-} == --dll && $# -eq 3 ]] || { sed -n '2,7p' "$0" >&2; exit 2; }
dll=$2
mountpoint=$3/full-disk
mkdir -p "$mountpoint"
if ! mount -t tmpfs -o size=192k tmpfs "$mountpoint" 2>/dev/null; then
  echo "full_disk: cannot mount a file system here (needs root and mount rights); skipped"
  exit 77
fi
trap 'umount "$mountpoint"' EXIT

# A good file of three records, written the way Save writes it.
printf 'fDIC' >"$mountpoint/data.dic"
for key in a b c; do
  printf '\x03\x00\x01\x00\x00\x00\x01\x00\x00\x00%s\x00' "$key" >>"$mountpoint/data.dic"
done
printf '\xff\xff' >>"$mountpoint/data.dic"
# Fill what is left, less a little: the Save's file starts, then the disk runs full.
dd if=/dev/zero of="$mountpoint/filler" bs=4k 2>/dev/null
rm -f "$mountpoint/filler"
dd if=/dev/zero of="$mountpoint/filler" bs=4k count=$(( $(df -k --output=avail "$mountpoint" | tail -n1) / 4 - 4 )) 2>/dev/null

windows=Z:${mountpoint//\//\\}
bash "$here/../scripts/run_script_test.sh" --dll "$dll" "$here/full_disk.vbs" "$windows"
