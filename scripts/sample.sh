#!/usr/bin/env bash
# Creates the sample catalog's data when it is missing or was made for another scale:
#   scripts/sample.sh [BUILD_DIR] [SCALE]   (make sample, make sample SCALE=100)
set -euo pipefail
build_dir=${1:-build}
scale=${2:-1}
cd "$(dirname "$0")/.."
if [ ! -x "$build_dir/bin/orvex-sample" ]; then
  echo "sample.sh: $build_dir/bin/orvex-sample is missing; build first (make build)." >&2
  exit 1
fi
"$build_dir/bin/orvex-sample" --catalog-dir data/catalogs/Sample --scale "$scale" --if-missing
