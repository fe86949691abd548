#!/usr/bin/env bash
# Checks that a changed vexo writes the same bytes as a reference build: the
# text commands (default, --no-guard, old, cyr, explain) on every given file,
# on every fuzz corpus file and on generated prose with and without the o'/g'
# apostrophes, and -j 1 against -j 3 on the prose.
#
#   tools/same_output.sh REFERENCE_VEXO [--new VEXO] [--mb N] [FILE...]
#
# The new build defaults to build/cli/vexo, N (megabytes of prose) to 20. Prints
# the inputs that differ and exits 1 when any does.
set -uo pipefail
cd "$(dirname "$0")/.."
ref=${1:?usage: tools/same_output.sh REFERENCE_VEXO [--new VEXO] [--mb N] [FILE...]}
shift
new=build/cli/vexo
mb=20
files=()
while [ $# -gt 0 ]; do
  case "$1" in
    --mb) mb=$2; shift 2 ;;
    --new) new=$2; shift 2 ;;
    *) files+=("$1"); shift ;;
  esac
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 tools/gen_prose.py "$mb" > "$work/prose.txt"
# The same prose typed without the o'/g' apostrophes.
sed -E "s/([oOgG])['‘’ʻ]/\1/g" "$work/prose.txt" > "$work/prose-bare.txt"
# The fuzz corpora, one text of all their files per target.
for dir in fuzz/corpus/*/; do
  find "$dir" -type f -print0 | sort -z | xargs -0 cat > "$work/corpus-$(basename "$dir").txt"
done

failed=0
differs() {
  echo "DIFFERENT: $*"
  failed=1
}
compare() {  # compare INPUT ARGS...
  local input=$1; shift
  "$ref" "$@" < "$input" > "$work/a" 2> "$work/a.err"
  local ra=$?
  "$new" "$@" < "$input" > "$work/b" 2> "$work/b.err"
  local rb=$?
  if [ "$ra" != "$rb" ] || ! cmp -s "$work/a" "$work/b" || ! cmp -s "$work/a.err" "$work/b.err"; then
    differs "$(basename "$input")" "$@"
  fi
}

inputs=("$work/prose.txt" "$work/prose-bare.txt" "$work"/corpus-*.txt "${files[@]}")
for input in "${inputs[@]}"; do
  for args in "-j 1" "-j 1 --no-guard" "-j 1 old" "-j 1 cyr"; do
    # shellcheck disable=SC2086
    compare "$input" $args
  done
  # explain reads its text whole; one MB of the prose is enough.
  head -c 1000000 "$input" > "$work/head"
  compare "$work/head" explain
done
for input in "$work/prose.txt" "$work/prose-bare.txt"; do
  "$new" -j 3 < "$input" > "$work/c"
  "$ref" -j 1 < "$input" | cmp -s - "$work/c" || differs "$(basename "$input")" "-j 3"
done
[ "$failed" = 0 ] && echo "same output on ${#inputs[@]} inputs"
exit "$failed"
