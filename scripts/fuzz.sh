#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, in their own build folder) and runs them.
#   scripts/fuzz.sh SECONDS [TARGET...]
# SECONDS is the whole run, shared evenly by the targets, which run one after
# another (all six when none is named). Inputs that find new code go to
# BUILD_DIR/corpus/<target> (seeded from tests/fuzz/corpus/<target>, which it
# never changes); a crash is minimized into tests/fuzz/crashes/<target>/, where
# ctest replays it from then on, and the run fails. The last line per target
# gives its executions per second and libFuzzer's coverage (cov: edges, ft: features).
# A target with reproducers in tests/fuzz/pending/<target>/ (crashes whose fix
# is under way) keeps fuzzing past crashes, which are counted, not kept, and
# do not fail the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?usage: scripts/fuzz.sh SECONDS [TARGET...]}
shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(mdx_parser mdx_eval view_definition schema_reader format_string http_request)
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
jobs=${JOBS:-$(nproc)}

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: clang++ is missing (scripts/deps.sh installs it)" >&2
  exit 1
fi
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  cmake -S . -B "$build_dir" -DCMAKE_CXX_COMPILER=clang++ -DORVEX_FUZZ=ON >/dev/null
fi
cmake --build "$build_dir" --target fuzzers -j "$jobs"

# The sanitizers stop at the first fault; libFuzzer also reports an input that leaks.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export ORVEX_EVENT_LOG=${ORVEX_EVENT_LOG:-$PWD/$build_dir/fuzz-events.log}
per_target=$(( seconds / ${#targets[@]} ))
[ "$per_target" -ge 1 ] || per_target=1
failed=0
for target in "${targets[@]}"; do
  binary="$build_dir/bin/fuzz_$target"
  work="$build_dir/corpus/$target"
  artifacts="$build_dir/artifacts/$target"
  mkdir -p "$work" "$artifacts" "tests/fuzz/crashes/$target"
  dict=()
  [ -f "tests/fuzz/dict/$target.dict" ] && dict=(-dict="tests/fuzz/dict/$target.dict")
  log="$build_dir/fuzz-$target.log"
  before=$(ls "$artifacts" | wc -l)
  keep="tests/fuzz/crashes/$target"
  pending=()
  if [ -n "$(ls "tests/fuzz/pending/$target" 2>/dev/null)" ]; then
    keep="tests/fuzz/pending/$target"
    pending=(-fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1)
  fi
  nice -n 10 "$binary" "$work" "tests/fuzz/corpus/$target" "${dict[@]}" "${pending[@]}" -max_total_time="$per_target" \
    -timeout=10 -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    >"$log" 2>&1 || true
  stats=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -1 || true)
  execs=$(grep -E '^stat::average_exec_per_sec' "$log" | awk '{print $2}' || true)
  [ -n "$execs" ] || execs=$(echo "$stats" | grep -oE 'exec/s:? [0-9]+' | awk '{print $2}' || true)
  echo "fuzz $target: ${per_target}s, ${execs:-?} exec/s, $(echo "$stats" | grep -oE 'cov: [0-9]+ ft: [0-9]+' || echo 'cov: ?')"
  found=$(( $(ls "$artifacts" | wc -l) - before ))
  if [ ${#pending[@]} -gt 0 ]; then
    # Known to crash until its fix is in: count what was found, keep nothing.
    [ "$found" -eq 0 ] || echo "fuzz $target: $found crashes of a target with pending fixes (see $keep; log: $log)" >&2
  elif [ "$found" -gt 0 ] || grep -qE 'ERROR: (AddressSanitizer|libFuzzer|LeakSanitizer)|runtime error:' "$log"; then
    failed=1
    for crash in $(ls -t "$artifacts" | head -n "$found"); do
      minimized="$keep/$crash"
      nice -n 10 "$binary" -minimize_crash=1 -max_total_time=60 -exact_artifact_path="$minimized" \
        "$artifacts/$crash" >"$log.minimize" 2>&1 || true
      [ -f "$minimized" ] || cp "$artifacts/$crash" "$minimized"
      echo "fuzz $target: CRASH, kept as $minimized (log: $log)" >&2
    done
    grep -m1 -E 'ERROR:|runtime error:' "$log" >&2 || true
  fi
done
exit $failed
