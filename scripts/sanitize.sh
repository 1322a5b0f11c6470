#!/usr/bin/env bash
# The unit, integration and PostgreSQL tests and the fuzz corpus replays under
# AddressSanitizer and UndefinedBehaviorSanitizer (any report fails the test),
# in the fuzz build folder. The browser tests are left out: they test the
# page's scripts, and the server under them is the one tested here already.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
jobs=${JOBS:-$(nproc)}
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  cmake -S . -B "$build_dir" -DCMAKE_CXX_COMPILER=clang++ -DORVEX_FUZZ=ON >/dev/null
fi
cmake --build "$build_dir" -j "$jobs"
# The prebuilt DuckDB library and libpq need no LD_PRELOAD: the test programs
# carry the ASan runtime themselves, and the libraries' malloc and free are the
# intercepted ones. Leak checking stays on; neither library is reported by it.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_init_order=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export ORVEX_EVENT_LOG=${ORVEX_EVENT_LOG:-$PWD/$build_dir/test-events.log}
ctest --test-dir "$build_dir" --output-on-failure -j "$jobs" --timeout 900 -LE browser
