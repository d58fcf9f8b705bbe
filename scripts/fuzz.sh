#!/usr/bin/env bash
# Builds the libFuzzer targets (clang-14, AddressSanitizer and UndefinedBehaviorSanitizer) in
# build-fuzz and runs each for the given number of seconds (default 60), two at a time, starting
# from the seed corpus in tests/fuzz/corpus/<target>/. Prints executions and crashes per target.
# Crashing inputs are left in build-fuzz/findings/<target>/; keep each one under
# tests/fuzz/regressions/<target>/ once it is fixed, so that the replay test guards it.
#   bash scripts/fuzz.sh [seconds] [target ...]
set -euo pipefail
cd "$(dirname "$0")/.."
VISTREL_SANITIZE=1 source scripts/setup.sh

seconds=${1:-60}
shift || true
build=build-fuzz
mkdir -p "$build"
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DVISTREL_FUZZ=ON -DVISTREL_BUILD_GUI=OFF -DVISTREL_BUILD_TESTS=OFF -DVISTREL_BUILD_BENCH=OFF \
  > "$build/configure.log"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in tests/fuzz/*_fuzz.cpp; do
    name=$(basename "$source" .cpp)
    # Picture targets exist only when QtGui and libjpeg were found.
    if grep -q "^$name:" <(cmake --build "$build" --target help | sed 's/^\.\.\. //;s/$/:/'); then
      targets+=("$name")
    fi
  done
fi
cmake --build "$build" --target "${targets[@]}" -j2

# Pictures decode through Qt without an application object; keep it quiet and headless.
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Readers that take a path get their input through a scratch file: keep it in memory.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

run_one() {
  local name=$1
  local work="$build/corpus/$name" findings="$build/findings/$name" log="$build/logs/$name.log"
  mkdir -p "$work" "$findings" "$(dirname "$log")"
  # -rss_limit_mb: a picture may take up to 800 MB by design; beyond that is a finding.
  "$build/tests/fuzz/$name" "$work" "tests/fuzz/corpus/$name" \
    -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -max_len=16384 \
    -artifact_prefix="$findings/" -print_final_stats=1 > "$log" 2>&1 || true
  local runs crashes
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  # libFuzzer stops at the first crash, leak, timeout or memory excess and writes its input.
  crashes=$(grep -c "Test unit written to" "$log" || true)
  printf '%-18s executions %12s   crashes %3s   (%s)\n' "$name" "${runs:-?}" "$crashes" "$log"
}

# Two at a time: the machine has two cores.
pending=("${targets[@]}")
while [ ${#pending[@]} -gt 0 ]; do
  run_one "${pending[0]}" &
  first=$!
  if [ ${#pending[@]} -gt 1 ]; then
    run_one "${pending[1]}" &
    second=$!
    wait "$first" "$second"
    pending=("${pending[@]:2}")
  else
    wait "$first"
    pending=("${pending[@]:1}")
  fi
done
