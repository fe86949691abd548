#!/usr/bin/env bash
# Speed and memory of the text commands on one prose text, next to the floor
# (the letter rules alone) and, where installed, ICU's uconv and the npm
# package lotin-kirill. Prints, for the median of VEXO_BENCH_RUNS runs of every
# job, the wall time, the processor time (user + system), words per second of
# processor time (so that a machine busy with other work still gives one-core
# figures), the ratio to the letter rules and the peak memory (max RSS). vexo
# runs with -j 1 (VEXO_BENCH_JOBS="" leaves it out, for builds without -j).
#
#   tools/bench.sh [--mb N] [--peers] [FILE]
#
# FILE is old-spelling Latin prose (default: N MB made by tools/gen_prose.py,
# 50 by default). --peers installs icu-devtools and lotin-kirill (into
# /var/cache/vexo-bench) first. VEXO_BIN and VEXO_NAIVE name other binaries;
# by default build/ is configured and built as a release.
set -euo pipefail
cd "$(dirname "$0")/.."
mb=50
peers=0
input=""
while [ $# -gt 0 ]; do
  case "$1" in
    --mb) mb=$2; shift 2 ;;
    --peers) peers=1; shift ;;
    *) input=$1; shift ;;
  esac
done
runs=${VEXO_BENCH_RUNS:-3}
jobs=${VEXO_BENCH_JOBS--j 1}
work=${VEXO_BENCH_DIR:-/tmp/vexo-bench}
peer_dir=/var/cache/vexo-bench
mkdir -p "$work"

if [ -z "${VEXO_BIN:-}" ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
  cmake --build build -j "$(nproc)" --target vexo letters_naive > /dev/null
fi
vexo=${VEXO_BIN:-build/cli/vexo}
naive=${VEXO_NAIVE:-build/bench/letters_naive}

if [ "$peers" = 1 ]; then
  command -v uconv > /dev/null || apt-get install -y -q icu-devtools > /dev/null
  if [ ! -d "$peer_dir/node_modules/lotin-kirill" ] && command -v npm > /dev/null; then
    mkdir -p "$peer_dir" && npm install --silent --prefix "$peer_dir" lotin-kirill > /dev/null
  fi
fi

if [ -z "$input" ]; then
  input=$work/prose-$mb.txt
  [ -s "$input" ] || python3 tools/gen_prose.py "$mb" > "$input"
fi
cyrillic=$work/$(basename "$input").cyr
new=$work/$(basename "$input").new
[ -s "$cyrillic" ] || "$vexo" cyr < "$input" > "$cyrillic"
[ -s "$new" ] || "$vexo" < "$input" > "$new"
words=$(wc -w < "$input")
echo "text: $input, $(du -h "$input" | cut -f1), $words words; median of $runs runs"

# Prints "cpu-seconds wall-seconds max-rss-kB" for the median run of one
# command line.
measure() {
  local stdin=$1; shift
  for _ in $(seq "$runs"); do
    /usr/bin/time -f "%U %S %e %M" -o "$work/time" "$@" < "$stdin" > /dev/null
    awk '{ printf "%.2f %s %s\n", $1 + $2, $3, $4 }' "$work/time"
  done | sort -n | sed -n "$(( (runs + 1) / 2 ))p"
}

naive_rate=""
row() {
  local name=$1 stdin=$2; shift 2
  local seconds wall rss rate ratio
  read -r seconds wall rss < <(measure "$stdin" "$@")
  rate=$(awk -v w="$words" -v s="$seconds" 'BEGIN { printf "%.2f", w / (s > 0 ? s : 0.01) / 1e6 }')
  [ -n "$naive_rate" ] || naive_rate=$rate
  ratio=$(awk -v r="$rate" -v n="$naive_rate" 'BEGIN { printf "%.2f", r / n }')
  printf '%-34s %7ss wall %7ss cpu %6s M words/s %6s x naive %6s MB\n' "$name" "$wall" \
    "$seconds" "$rate" "$ratio" "$((rss / 1024))"
}

row "letter rules (naive)" "$input" "$naive"
row "vexo" "$input" "$vexo" $jobs
row "vexo --no-guard" "$input" "$vexo" $jobs --no-guard
row "vexo old (new text)" "$new" "$vexo" $jobs old
row "vexo cyr" "$input" "$vexo" $jobs cyr
row "vexo (Cyrillic text)" "$cyrillic" "$vexo" $jobs
if command -v uconv > /dev/null; then
  row "uconv -x uz_Cyrl-uz_Latn" "$cyrillic" uconv -x uz_Cyrl-uz_Latn
fi
if [ -d "$peer_dir/node_modules/lotin-kirill" ] && command -v node > /dev/null; then
  cat > "$work/lotin-kirill.js" <<JS
const m = require("$peer_dir/node_modules/lotin-kirill");
const f = m.latinToCyrillic;
const text = require("fs").readFileSync(0, "utf8");
process.stdout.write(f(text));
JS
  row "lotin-kirill (node) Latin->Cyr" "$input" node "$work/lotin-kirill.js"
fi
