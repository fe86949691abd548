#!/usr/bin/env bash
# Checks that two vexo binaries write the same bytes in both Cyrillic
# directions: `vexo cyr` on Latin prose (old spelling, new alphabet, mixed),
# and the default conversion on Cyrillic prose and on text that mixes the
# scripts line by line and inside words. Each fuzz seed and every FILE given
# is run through both commands as well. Keep a binary built before a change
# and compare it with one built after:
#
#   tools/same_cyrillic.sh REFERENCE_VEXO NEW_VEXO [--mb N] [FILE...]
#
# The prose (N MB, 4 by default) is made by tools/gen_prose.py with a fixed
# seed; its Cyrillic form is made by the reference binary. Exit status 0 when
# every output and exit status agree; the first difference is shown.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 2 ] || { echo "usage: $0 REFERENCE_VEXO NEW_VEXO [--mb N] [FILE...]" >&2; exit 2; }
ref=$1 new=$2
shift 2
mb=4
files=()
while [ $# -gt 0 ]; do
  case "$1" in
    --mb) mb=$2; shift 2 ;;
    *) files+=("$1"); shift ;;
  esac
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 tools/gen_prose.py "$mb" 7 > "$work/latin.txt"
"$ref" old < "$work/latin.txt" > "$work/new.txt"
"$ref" cyr < "$work/latin.txt" > "$work/cyrillic.txt"
# Lines taken in turn from the three texts, and words whose two halves are
# written in different scripts (Toshкент, шаҳarda).
paste -d '\n' "$work/latin.txt" "$work/cyrillic.txt" "$work/new.txt" > "$work/mixed.txt"
paste -d ' ' <(cut -c1-40 "$work/latin.txt") <(cut -c41- "$work/cyrillic.txt") > "$work/joined.txt"

failed=0
# Runs one command of both binaries on one input and compares output and status.
compare() {
  local input=$1; shift
  local ref_status=0 new_status=0
  "$ref" "$@" < "$input" > "$work/ref.out" 2> "$work/ref.err" || ref_status=$?
  "$new" "$@" < "$input" > "$work/new.out" 2> "$work/new.err" || new_status=$?
  if [ "$ref_status" != "$new_status" ] || ! cmp -s "$work/ref.out" "$work/new.out" ||
     ! cmp -s "$work/ref.err" "$work/new.err"; then
    echo "DIFFERENT: vexo $* < $input (status $ref_status vs $new_status)"
    diff <(cat "$work/ref.out" "$work/ref.err") <(cat "$work/new.out" "$work/new.err") | head -6 || true
    failed=1
  fi
}

inputs=("$work/latin.txt" "$work/new.txt" "$work/cyrillic.txt" "$work/mixed.txt" "$work/joined.txt")
for corpus in fuzz/corpus/*/; do
  for seed in "$corpus"*; do [ -f "$seed" ] && inputs+=("$seed"); done
done
inputs+=("${files[@]}")
for input in "${inputs[@]}"; do
  compare "$input" cyr
  compare "$input"
  compare "$input" --tutuq="'"
done
if [ "$failed" = 0 ]; then
  echo "same output on ${#inputs[@]} inputs ($(du -ch "${inputs[@]}" | tail -1 | cut -f1))"
fi
exit "$failed"
