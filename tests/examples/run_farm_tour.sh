#!/usr/bin/env bash
# The farm tour (tools/farm-tour) with two script-host processes of one bitness against its
# own redis-server: the shared counter must end exact, and each worker's entry must be there.
#
#   run_farm_tour.sh --arch x64|x86 --dll <Korvod.dll> <rounds>
#
# Environment as for run_script_test.sh. Exit 77 (skipped) when no redis-server can start.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
(($# == 5)) && [[ $1 == --arch && $3 == --dll ]] || { sed -n '2,8p' "$0" >&2; exit 2; }
arch=$2 dll=$4 rounds=$5
"$here/../scripts/run_script_test.sh" --arch "$arch" --dll "$dll" --register-only || exit 1

output=$("$here/../../tools/farm-tour" "$rounds" "$arch" "$arch")
status=$?
printf '%s\n' "$output"
((status == 77)) && exit 77
((status == 0)) || { echo "run_farm_tour: the tour failed (exit $status)" >&2; exit 1; }
expected=$(printf '  %s\n' "counter = $((2 * rounds))" \
  "worker 1 ($arch): $rounds increments" "worker 2 ($arch): $rounds increments")
shown=$(printf '%s\n' "$output" | sed -n '/^what every process now sees/,$p' | tail -n +2)
if [[ $shown != "$expected" ]]; then
  printf 'run_farm_tour: the store shows\n%s\ninstead of\n%s\n' "$shown" "$expected" >&2
  exit 1
fi
