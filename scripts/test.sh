#!/usr/bin/env bash
# Sets up, builds and runs every test. Window tests run offscreen; OpenGL tests need an X server,
# so the tests run under Xvfb when no display is there.
# VISTREL_SANITIZE=1 also builds and runs the whole suite with AddressSanitizer and
# UndefinedBehaviorSanitizer (clang).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh

jobs=$(nproc)
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"

# An X server of this run's own, on a display number of its own. Xvfb tells the number once it
# takes connections. Not the lowest free number: right after another run's server on that
# number was stopped, connections may still reach the old one while it shuts down (seen as
# "could not connect to display :0" in one of eight back-to-back runs). -noreset: without it the
# server resets whenever its last client leaves and refuses connections meanwhile.
start_own_display() {
  local fifo number attempt
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  for attempt in $(seq 1 50); do
    number=$((100 + RANDOM % 30000))
    Xvfb ":$number" -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3> "$fifo" > /dev/null 2>&1 &
    XVFB_PID=$!
    # Empty when the server gave up (the number is taken).
    read -r number < "$fifo" || true
    if [ -n "$number" ]; then break; fi
    wait "$XVFB_PID" 2> /dev/null || true
  done
  rm -f "$fifo"
  if [ -z "$number" ]; then
    echo "no X server could be started" >&2
    exit 1
  fi
  export DISPLAY=":$number"
  # Wait for it to be gone, so that no run started after this one meets it half shut down.
  trap 'kill "$XVFB_PID" 2> /dev/null && wait "$XVFB_PID" 2> /dev/null || true' EXIT
}

run_ctest() {
  ctest --test-dir "$1" --output-on-failure -j "$jobs"
}

if [ -z "${DISPLAY:-}" ]; then start_own_display; fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j "$jobs"
run_ctest build

if [ "${VISTREL_SANITIZE:-0}" = "1" ]; then
  cmake --preset sanitize > /dev/null
  cmake --build --preset sanitize -j "$jobs"
  LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_ctest build-sanitize
fi
