#!/usr/bin/env bash
# Checks that a changed vexo converts office documents as a reference build
# does: `vexo file` (new alphabet, --old, --old --ascii and the dry run) on
# every document in tests/fixtures/ and tests/fixtures/lo/, on the fuzz seeds
# of ooxml_package_fuzz and on every FILE given (the large documents of
# bench/office_bench.sh, say). The messages, exit statuses and listings must
# be the same bytes, and so must every entry of each written package once
# uncompressed, in the same order with the same names and times; only the
# compressed bytes may differ. Keep a binary built before a change and
# compare it with one built after:
#
#   tools/same_office.sh REFERENCE_VEXO [--new VEXO] [FILE...]
#
# The new build defaults to build/cli/vexo. Prints the inputs that differ,
# then the compressed sizes of all written packages, and exits 1 when any
# input differs.
set -uo pipefail
cd "$(dirname "$0")/.."
ref=$(realpath "${1:?usage: tools/same_office.sh REFERENCE_VEXO [--new VEXO] [FILE...]}")
shift
new=build/cli/vexo
files=()
while [ $# -gt 0 ]; do
  case "$1" in
    --new) new=$2; shift 2 ;;
    *) files+=("$(realpath "$1")"); shift ;;
  esac
done
new=$(realpath "$new")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

inputs=(tests/fixtures/*.* tests/fixtures/lo/*.* "${files[@]}")
for seed in fuzz/corpus/ooxml_package_fuzz/*; do
  [ -f "$seed" ] || continue
  cp "$seed" "$work/seed-$(basename "$seed").docx"
  inputs+=("$work/seed-$(basename "$seed").docx")
done

failed=0
differs() {
  echo "DIFFERENT: $*"
  failed=1
}
# Both binaries convert a copy of the input under the same name, each in a
# directory of its own, so that their messages name the same paths.
run() {  # run WHICH INPUT ARGS...
  local which=$1 input=$2; shift 2
  local bin=$ref
  [ "$which" = b ] && bin=$new
  rm -rf "$work/$which" && mkdir -p "$work/$which"
  cp "$input" "$work/$which/in.${input##*.}"
  (cd "$work/$which" && "$bin" file -j 1 "$@" "in.${input##*.}" > out 2> err; echo $? > status)
}

for input in "${inputs[@]}"; do
  for args in "" "--old" "--old --ascii" "--dry-run"; do
    # shellcheck disable=SC2086
    run a "$input" $args
    # shellcheck disable=SC2086
    run b "$input" $args
    for f in out err status; do
      cmp -s "$work/a/$f" "$work/b/$f" || differs "$(basename "$input") $args: $f"
    done
    for written in "$work"/a/in.*.*; do
      [ -f "$written" ] || continue
      python3 tools/same_package.py "$written" "$work/b/${written##*/}" ||
        differs "$(basename "$input") $args: package"
      echo "$(stat -c %s "$written") $(stat -c %s "$work/b/${written##*/}" 2> /dev/null || echo 0)" \
        >> "$work/sizes"
    done
  done
done
[ -f "$work/sizes" ] &&
  awk '{ a += $1; b += $2 } END { printf "written packages: %d bytes, reference %d bytes (%+.2f%%)\n", b, a, a ? 100 * (b - a) / a : 0 }' "$work/sizes"
[ "$failed" = 0 ] && echo "same output on ${#inputs[@]} inputs"
exit "$failed"
