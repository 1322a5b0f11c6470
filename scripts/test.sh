#!/usr/bin/env bash
# Runs every test: unit tests, integration tests and browser tests, through ctest.
set -euo pipefail
build_dir=${1:-build}
cd "$(dirname "$0")/.."
# Keep the events of the test run apart from those of a running server.
export ORVEX_EVENT_LOG=${ORVEX_EVENT_LOG:-$PWD/$build_dir/test-events.log}
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)" --timeout 600
