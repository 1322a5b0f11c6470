#!/usr/bin/env bash
# Creates the sample catalog's data when it is missing.
set -euo pipefail
build_dir=${1:-build}
scale=${2:-1}
cd "$(dirname "$0")/.."
if [ -x "$build_dir/bin/orvex-sample" ]; then
  "$build_dir/bin/orvex-sample" --catalog-dir data/catalogs/Sample --scale "$scale" --if-missing
fi
