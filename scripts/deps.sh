#!/usr/bin/env bash
# Installs everything Orvex needs to build, test and run, on Debian 12.
# Safe to run again: it checks first and installs only what is missing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

apt_packages=(
  build-essential cmake pkg-config git ca-certificates ccache
  libgtest-dev libgmock-dev
  libpugixml-dev libcpp-httplib-dev nlohmann-json3-dev libxlsxwriter-dev libssl-dev zlib1g-dev libbrotli-dev
  libpq-dev postgresql
  clickhouse-server
  chromium
  g++-mingw-w64-x86-64
  wrk
  clang libclang-rt-14-dev
  default-jdk-headless libolap4j-java libxerces2-java
)

missing=()
for package in "${apt_packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
# Node.js may come from another source with npm built in; Debian's npm would conflict with it.
if ! command -v npm >/dev/null 2>&1; then
  missing+=(nodejs npm)
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing Debian packages: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The DuckDB C library: the header from the duckdb package, the shared library
# from the matching prebuilt bindings. The pair is pinned because it is known to work.
duckdb_dir="$here/deps/duckdb"
if [ ! -f "$duckdb_dir/lib/libduckdb.so" ] || [ ! -f "$duckdb_dir/include/duckdb.h" ]; then
  echo "Fetching the DuckDB C library"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && npm pack --silent duckdb@1.4.4 @duckdb/node-bindings-linux-x64@1.4.4-r.4 >/dev/null)
  mkdir -p "$duckdb_dir/include" "$duckdb_dir/lib"
  tar -xzf "$work/duckdb-1.4.4.tgz" -C "$work" package/src/duckdb/src/include/duckdb.h
  cp "$work/package/src/duckdb/src/include/duckdb.h" "$duckdb_dir/include/"
  rm -rf "$work/package"
  tar -xzf "$work/duckdb-node-bindings-linux-x64-1.4.4-r.4.tgz" -C "$work" package/libduckdb.so
  cp "$work/package/libduckdb.so" "$duckdb_dir/lib/"
fi

# playwright-core drives the Debian Chromium in the browser tests; it never downloads a browser.
if [ ! -d "$here/tests/e2e/node_modules/playwright-core" ]; then
  echo "Installing playwright-core for the browser tests"
  (cd "$here/tests/e2e" && npm install --silent --no-audit --no-fund)
fi

# The analyst's page loads its grid virtualiser and chart library as ES modules
# from web/explore/vendor: their browser builds, copied from npm packages, so
# no build step is needed.
libs="$here/scripts/explore-libs"
vendor="$here/web/explore/vendor"
if [ ! -f "$vendor/echarts/echarts.esm.min.js" ] || [ ! -f "$vendor/virtual-core/index.js" ]; then
  echo "Installing the libraries of the analyst's page"
  (cd "$libs" && npm ci --silent --no-audit --no-fund)
  rm -rf "$vendor"
  mkdir -p "$vendor/echarts" "$vendor/virtual-core"
  cp "$libs/node_modules/echarts/dist/echarts.esm.min.js" "$libs/node_modules/echarts/LICENSE" "$vendor/echarts/"
  cp "$libs/node_modules/@tanstack/virtual-core/dist/esm/"*.js "$libs/node_modules/@tanstack/virtual-core/LICENSE" \
    "$vendor/virtual-core/"
fi
