#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each one in turn
# for SECONDS seconds (default 60) on a copy of its seed corpus. Stops at the
# first crash, leak, out-of-memory (or single allocation above 256 MiB) or
# timeout; the failing input is left in build-fuzz/findings/<target>/.
# VEXO_FUZZ_SEED fixes libFuzzer's random seed (the default, 0, picks a new one
# each run), so that a short run gives the same inputs on every machine.
#   tools/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  targets=(convert_fuzz reverse_fuzz session_fuzz capi_fuzz ooxml_part_fuzz ooxml_package_fuzz
           align_fuzz marked_words_fuzz settings_fuzz keymap_fuzz)
fi
jobs=${VEXO_JOBS:-$(nproc)}

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXO_WERROR=ON \
  -DVEXO_FUZZ=ON -DVEXO_BUILD_TESTS=OFF -DVEXO_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$jobs" --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in "${targets[@]}"; do
  work=build-fuzz/corpus/$target
  findings=build-fuzz/findings/$target
  rm -rf "$findings"
  mkdir -p "$work" "$findings"
  dict=()
  [ -f "fuzz/$target.dict" ] && dict=(-dict="fuzz/$target.dict")
  echo "== $target: ${seconds}s"
  # The seed corpus is read but never written; new inputs go to the work copy.
  build-fuzz/fuzz/"$target" "$work" "fuzz/corpus/$target" "${dict[@]}" -max_total_time="$seconds" \
    -seed="${VEXO_FUZZ_SEED:-0}" \
    -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=256 -max_len=65536 -print_final_stats=1 \
    -artifact_prefix="$findings/" 2>&1 | grep -E '^(#[0-9]+[[:space:]]+DONE|stat::|==|SUMMARY|INFO: Seed)|invariant broken|ERROR' || true
  if [ -n "$(ls -A "$findings")" ]; then
    echo "$target: failing input in $findings" >&2
    exit 1
  fi
done
