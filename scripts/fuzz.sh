#!/usr/bin/env bash
# Fuzzes every parser the project owns (tests/fuzz), one target after the
# other on one core, each for SECONDS, starting from its corpus in the tree.
#   scripts/fuzz.sh [SECONDS] [TARGET...]    (default 45 s each; targets:
#                                             mesh_load bmp_web image_load tool_arguments)
# Installs clang when missing (scripts/setup.sh --fuzz) and builds the
# libFuzzer programs into build-fuzz/. What a run adds to a corpus goes to
# build-fuzz/corpus/TARGET (kept for the next run, never into the tree); an
# input that fails is written to build-fuzz/findings/ and fails the script.
# Longer runs: scripts/fuzz.sh 3600 bmp_web, or the program itself with
# libFuzzer's options (-jobs, -max_len, ...), see tests/fuzz/CMakeLists.txt.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-45}
shift || true
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(mesh_load bmp_web image_load tool_arguments)
[[ "$seconds" =~ ^[0-9]+$ && "$seconds" -gt 0 ]] || { echo "usage: $0 [SECONDS] [TARGET...]" >&2; exit 2; }
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-dummy} SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}

"$root/scripts/setup.sh" --fuzz
build=$root/build-fuzz
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLANTERNFAY_FUZZ=ON \
  -DLANTERNFAY_TESTS=OFF -DLANTERNFAY_BENCHMARKS=OFF -DLANTERNFAY_CROSS_TOOLS=OFF -DLANTERNFAY_CAPTURE=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

mkdir -p "$build/findings"
status=0
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  mkdir -p "$corpus"
  log=$build/fuzz_$target.log
  # One process, its own messages (and the parsers' notices) kept out of the log.
  if ! "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
       -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$build/findings/$target-" \
       "$corpus" "$root/tests/fuzz/corpus/$target" >"$log" 2>&1; then
    status=1
    echo "fuzz $target: FAILED (the input is in $build/findings/)" >&2
    grep -E "ERROR|SUMMARY|Test unit written" "$log" >&2 || tail -n 20 "$log" >&2
    continue
  fi
  runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+)/\1/p' "$log")
  edges=$(grep -oE 'cov: [0-9]+' "$log" | tail -n 1 | cut -d' ' -f2)
  echo "fuzz $target: $runs runs in $seconds s, $edges edges, no finding"
done
exit $status
