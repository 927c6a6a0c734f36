#!/usr/bin/env bash
# Table of the x86 lane rule: requested lane, what this machine can do, and the lane chosen;
# then when a run whose lane is "none" counts as failed.
set -uo pipefail
lane=$1
failures=0
check() {  # name, got, expected
  if [[ $2 == "$3" ]]; then echo "ok - $1"; else echo "not ok - $1: got \"$2\" expected \"$3\""; failures=$((failures + 1)); fi
}

no_wow64="no: this machine cannot run 32-bit Windows code in WoW64"
no_emu="no: the emulated 32-bit Wine could not be prepared"
# requested | wow64 | emulated | chosen
cases=(
  "auto|yes|no: not prepared|wow64"
  "auto|$no_wow64|yes|emulated"
  "auto|$no_wow64|$no_emu|none: this machine cannot run 32-bit Windows code in WoW64, and the emulated 32-bit Wine could not be prepared"
  "emulated|yes|yes|emulated"
  "emulated|no: not checked|$no_emu|none: the emulated lane was asked for; the emulated 32-bit Wine could not be prepared"
  "wow64|yes|no: not prepared|wow64"
  "wow64|$no_wow64|no: not prepared|none: WoW64 was asked for; this machine cannot run 32-bit Windows code in WoW64"
  "none|yes|yes|none: KORVO_X86_LANE=none"
  "x68|yes|yes|none: KORVO_X86_LANE=x68 is not one of auto, wow64, emulated, none"
)
for row in "${cases[@]}"; do
  IFS='|' read -r requested wow64 emulated expected <<<"$row"
  check "$requested, wow64 \"$wow64\", emulated \"$emulated\"" "$("$lane" decide "$requested" "$wow64" "$emulated")" "$expected"
done

# lane | CI | KORVO_ALLOW_NO_X86 | counts as a failure
runs=(
  "none: no way|true||yes"
  "none: no way|true|1|no"
  "none: no way|||no"
  "emulated|true||no"
  "wow64|true||no"
)
for row in "${runs[@]}"; do
  IFS='|' read -r chosen ci allow expected <<<"$row"
  got=no
  CI=$ci KORVO_ALLOW_NO_X86=$allow "$lane" fails-run "$chosen" && got=yes
  check "lane \"$chosen\" with CI=$ci KORVO_ALLOW_NO_X86=$allow: counted as a failure $expected" "$got" "$expected"
done

# The real choice on this machine, forced each way: it names a lane or says why there is none.
for requested in wow64 emulated; do
  got=$(KORVO_X86_LANE=$requested "$lane" choose 2>/dev/null)
  [[ $got == "$requested" || $got == none:* ]]
  check "KORVO_X86_LANE=$requested chooses that lane or none with a reason (\"$got\")" "$?" 0
done
echo "# $failures failed"
((failures == 0))
