#!/usr/bin/env bash
# Runs every test: unit tests, integration tests and browser tests, through ctest.
set -euo pipefail
build_dir=${1:-build}
cd "$(dirname "$0")/.."
# Keep the events of the test run apart from those of a running server.
export ORVEX_EVENT_LOG=${ORVEX_EVENT_LOG:-$PWD/$build_dir/test-events.log}
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)" --timeout 600

# A short run of every fuzz target (ctest above replayed the corpus and every
# crash found so far); FUZZ_SMOKE_SECONDS=0 skips it.
fuzz_seconds=${FUZZ_SMOKE_SECONDS:-60}
if [ "$fuzz_seconds" -gt 0 ]; then
  scripts/fuzz.sh "$fuzz_seconds"
fi
