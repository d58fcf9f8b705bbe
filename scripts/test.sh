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

run_ctest() {
  local dir=$1
  if [ -n "${DISPLAY:-}" ]; then
    ctest --test-dir "$dir" --output-on-failure -j "$jobs"
  else
    xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir "$dir" --output-on-failure -j "$jobs"
  fi
}

# A decimal-comma locale of our own, so the locale tests run without touching the system's.
if [ -d /usr/share/i18n/locales ] && command -v localedef > /dev/null; then
  mkdir -p build/locale
  [ -d build/locale/fr_FR.UTF-8 ] || localedef -i fr_FR -f UTF-8 build/locale/fr_FR.UTF-8 2> /dev/null || true
  export LOCPATH="$PWD/build/locale"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j "$jobs"
run_ctest build

if [ "${VISTREL_SANITIZE:-0}" = "1" ]; then
  cmake --preset sanitize > /dev/null
  cmake --build --preset sanitize -j "$jobs"
  LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_ctest build-sanitize
fi
